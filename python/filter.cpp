// SPDX-License-Identifier: MIT
#include "python/filter.h"

#include <pybind11/stl.h>

namespace py = pybind11;

namespace {

zv::ChannelSet ChannelsOf(const std::string& key) {
    for (const auto& [name, channels] : zv::kFormulaKeys) {
        if (key == name) return channels;
    }
    throw py::value_error("no channels called " + key + "; all, rgb, r, g, b and a are");
}

}  // namespace

zv::FilterFile Compose(const Recipe& s) {
    if (s.file) return zv::ParseFilterFile(s.file->first, s.file->second);
    zv::FilterFile file;
    for (const auto& [key, text] : s.formulas) {
        const std::string label = key == "all" ? "formula" : "formula for " + key;
        file.formulas.push_back({ChannelsOf(key), {text, label, {}, {}}, 0});
    }
    if (file.formulas.empty()) throw py::value_error("a filter needs at least one formula");
    return file;
}

py::tuple StateOf(const PyFilter& f) {
    return py::make_tuple(f.source.formulas, f.source.file);
}

PyFilter FromState(const py::tuple& state) {
    Recipe recipe;
    try {
        if (state.size() != 2) throw py::cast_error();
        recipe = {state[0].cast<decltype(Recipe::formulas)>(),
                  state[1].cast<decltype(Recipe::file)>()};
    } catch (const py::cast_error&) {
        throw py::type_error(
            "a Filter's state is ([(key, formula), ...], None or (text, name)), not " +
            std::string(py::repr(state)));
    }
    return PyFilter(std::move(recipe));
}

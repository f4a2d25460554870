/* SPDX-License-Identifier: MIT */
// The Python Filter: what it was made from (so that it pickles) and what
// that compiles to; and the caster that refuses a Filter no constructor ran
// on, which Filter.__new__(Filter) or a pickle stream without state makes.
#pragma once

#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "zorvan/render.hpp"

// Dask sends filters to its workers; they compile again on the other side.
struct Recipe {
    std::vector<std::pair<std::string, std::string>> formulas;  // key ("r", "all", ...), text
    std::optional<std::pair<std::string, std::string>> file;    // text, name
};

zv::FilterFile Compose(const Recipe& recipe);

struct PyFilter {
    Recipe source;
    zv::FilterFile file;
    zv::Filter filter;

    explicit PyFilter(Recipe s) : source(std::move(s)), file(Compose(source)), filter(file) {}
};

// What pickles: the recipe as a tuple, and back; a state of another shape
// raises TypeError.
pybind11::tuple StateOf(const PyFilter& f);
PyFilter FromState(const pybind11::tuple& state);

namespace pybind11::detail {

// pybind11 would hand such an object over as uninitialised memory.
template <>
class type_caster<PyFilter> : public type_caster_base<PyFilter> {
   public:
    bool load(handle src, bool convert) {
        if (isinstance<PyFilter>(src) &&
            !reinterpret_cast<instance*>(src.ptr())
                 ->get_value_and_holder(get_type_info(typeid(PyFilter)))
                 .holder_constructed()) {
            throw type_error(
                "this Filter was never made: Filter(...), Filter.from_text, Filter.from_file, "
                "Filter.example or a pickle with its state make filters");
        }
        return type_caster_base<PyFilter>::load(src, convert);
    }
};

}  // namespace pybind11::detail

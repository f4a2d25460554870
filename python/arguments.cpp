// SPDX-License-Identifier: MIT
#include "python/arguments.h"

#include <cctype>
#include <cmath>

namespace {

std::string Shown(py::handle value) {
    return std::string(py::repr(value));
}

[[noreturn]] void Refuse(py::handle value, const std::string& what, int64_t low, int64_t high,
                         bool number) {
    const std::string message = what + " must be a whole number from " + std::to_string(low) +
                                " to " + std::to_string(high) + ", not " + Shown(value);
    if (number) throw py::value_error(message);
    throw py::type_error(message);
}

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// A control by its number or, ignoring case as the command line does, by name.
int ControlIndex(const zv::FilterFile& file, py::handle key) {
    if (!py::isinstance<py::str>(key))
        return static_cast<int>(WholeNumber(key, "controls: an index", 0, 7));
    const auto name = key.cast<std::string>();
    std::string known;
    for (size_t k = 0; k < file.controls.size(); ++k) {
        const std::string& given = file.controls[k].name;
        if (given.empty()) continue;
        if (SameName(given, name)) return static_cast<int>(k);
        known += (known.empty() ? "" : ", ") + given;
    }
    throw py::value_error(
        "controls: the filter has no control called " + name + "; " +
        (known.empty() ? "it names none of its controls" : "its controls are " + known));
}

}  // namespace

int64_t WholeNumber(py::handle value, const std::string& what, int64_t low, int64_t high) {
    PyObject* const v = value.ptr();
    if (PyIndex_Check(v)) {
        const auto index = py::reinterpret_steal<py::object>(PyNumber_Index(v));
        if (!index) throw py::error_already_set();
        int overflow = 0;
        const long long n = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
        if (overflow != 0 || n < low || n > high) Refuse(value, what, low, high, true);
        return n;
    }
    if (!PyNumber_Check(v) || PyComplex_Check(v)) Refuse(value, what, low, high, false);
    const double d = value.cast<double>();
    // Both bounds are exact in a double for the 32-bit ranges asked for.
    if (!(d == std::trunc(d) && d >= static_cast<double>(low) && d <= static_cast<double>(high))) {
        Refuse(value, what, low, high, true);
    }
    return static_cast<int64_t>(d);
}

std::array<int32_t, 8> Controls(const zv::FilterFile& file, py::handle given) {
    std::array<int32_t, 8> values = zv::ControlValues(file);
    if (given.is_none()) return values;
    if (py::isinstance<py::dict>(given)) {
        for (const auto& [key, value] : py::reinterpret_borrow<py::dict>(given)) {
            values[ControlIndex(file, key)] = Whole<int32_t>(value, "controls[" + Shown(key) + "]");
        }
        return values;
    }
    if (py::isinstance<py::str>(given) || py::isinstance<py::bytes>(given) ||
        !PySequence_Check(given.ptr())) {
        throw py::type_error("controls: up to 8 values or a dict by index or name, not " +
                             Shown(given));
    }
    const auto list = py::reinterpret_borrow<py::sequence>(given);
    if (list.size() > 8) throw py::value_error("controls: at most 8 values");
    for (size_t k = 0; k < list.size(); ++k) {
        values[k] = Whole<int32_t>(list[k], "controls[" + std::to_string(k) + "]");
    }
    return values;
}

zv::Rect Region(py::handle given) {
    if (given.is_none()) return {};
    const char* const parts[] = {"x", "y", "width", "height"};
    if (py::isinstance<py::str>(given) || !PySequence_Check(given.ptr()) || py::len(given) != 4) {
        throw py::type_error("region: (x, y, width, height), not " + Shown(given));
    }
    const auto seq = py::reinterpret_borrow<py::sequence>(given);
    int32_t v[4];
    for (size_t k = 0; k < 4; ++k) v[k] = Whole<int32_t>(seq[k], std::string("region ") + parts[k]);
    return {v[0], v[1], v[2], v[3]};
}

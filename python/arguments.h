/* SPDX-License-Identifier: MIT */
// Python values into render settings, each refused with a message that
// names it: whole numbers in range (integral floats too, as sliders give
// them), controls by index or by name in any case, regions.
#pragma once

#include <pybind11/pybind11.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "zorvan/render.hpp"

namespace py = pybind11;

// An int, a NumPy integer or an integral float in low..high; anything else
// raises ValueError (TypeError for what is no number) naming `what`.
int64_t WholeNumber(py::handle value, const std::string& what, int64_t low, int64_t high);

template <class T>
T Whole(py::handle value, const std::string& what) {
    using limits = std::numeric_limits<T>;
    return static_cast<T>(WholeNumber(value, what, limits::min(), limits::max()));
}

// The file's defaults with `given` over them: None, up to 8 values, or a
// dict by index or name.
std::array<int32_t, 8> Controls(const zv::FilterFile& file, py::handle given);

// (x, y, width, height), or None or all zero for the whole image.
zv::Rect Region(py::handle given);

/* SPDX-License-Identifier: MIT */
// The built-in test picture, drawn in integers so it is the same everywhere:
// colour bars, a hue sweep, a grey ramp next to fine stripes and a
// checkerboard, rings that grow finer outwards, and an orange disc.
#pragma once

#include <cstdint>

#include "tools/zorvan/photos.h"

namespace zv::cli {

// An RGB test image of the given size (both at least 1).
Image TestImage(int32_t width, int32_t height);

}  // namespace zv::cli

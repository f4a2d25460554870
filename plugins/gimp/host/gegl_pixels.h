/* SPDX-License-Identifier: MIT */
// A drawable's buffer read and written at 8 bits through babl, whatever its
// precision: the formulas' pixels are bytes. GEGL only, so the benchmark
// runs it without GIMP.
#pragma once

#include <gegl.h>

#include "plugins/gimp/core/pixels.h"

namespace zvgimp {

// The 8-bit format of the drawable's own channels and encoding ("R'G'B'A
// u8" for a perceptual RGBA layer, "Y u8" for a linear channel).
const Babl* EightBitFormat(const Babl* drawableFormat);

Pixels ReadPixels(GeglBuffer* buffer, const Babl* format);
// Writes rect's pixels, laid out as ReadPixels gives them.
void WritePixels(GeglBuffer* buffer, const Babl* format, const zv::Rect& rect,
                 const std::vector<uint8_t>& bytes);

}  // namespace zvgimp

/* SPDX-License-Identifier: MIT */
// A drawable's buffer read and written at 8 bits through babl, whatever its
// precision: the formulas' pixels are bytes. GEGL only, so the benchmark
// runs it without GIMP.
#pragma once

#include <gegl.h>

#include <functional>

#include "plugins/gimp/core/pixels.h"

namespace zvgimp {

// The 8-bit format a drawable is filtered in, so that it is seen as its
// 8-bit export is: a layer perceptual ("R'G'B'A u8", "Y' u8") whatever its
// precision and encoding; a mask or channel in its own model, as GIMP keeps
// it ("Y u8" for a mask, so that 50 % is 128; "Y' u8" for a channel of a
// perceptual image).
const Babl* EightBitFormat(const Babl* drawableFormat, bool layer);

// Told the rows done of all after each band of rows.
using RowsDone = std::function<void(int32_t done, int32_t all)>;

Pixels ReadPixels(GeglBuffer* buffer, const Babl* format, const RowsDone& done = {});
// Writes rect's pixels, laid out as ReadPixels gives them.
void WritePixels(GeglBuffer* buffer, const Babl* format, const zv::Rect& rect,
                 const Bytes& bytes, const RowsDone& done = {});

}  // namespace zvgimp

/* SPDX-License-Identifier: MIT */
// Interleaved runs: a run of n elements of a row's interleaved pixels, where
// element e is channel e % channels of pixel x0 + e / channels. A formula
// whose only leaves that vary are x, z and c runs over the row's bytes as
// they lie, without taking the channels apart and putting them back.
#pragma once

#include <cstdint>

#include "eval/depends.h"
#include "render/span/span.h"

namespace zv {

// Why kind keeps a formula off interleaved runs: it varies per pixel but not
// per channel (computing it for every element would repeat it), or reads a
// pixel's other channels. Null when it does not.
const char* NotInterleaved(int32_t kind);

// On interleaved runs whatever differs between channels differs along the run.
constexpr Depends Interleave(Depends d) {
    return {d.position || d.channel, false, d.context, d.effect};
}

// The bytes of n elements from column x0 of row c.y, when they lie in the
// row as the run takes them: pixels inside the image, channel k at offset k
// of pixels `channels` wide, none in an alpha plane. Null when they do not.
const uint8_t* PackedBytes(const PixelContext& c, int32_t x0, int32_t n, int32_t channels);

// The loop of an interleaved leaf: x, z or c.
SpanKernel InterleavedLeaf(int32_t kind);

}  // namespace zv

/* SPDX-License-Identifier: MIT */
// Reading channel bytes of the host's image through the context.
#pragma once

#include <cstdint>

#include "api/zorvan.h"

namespace zv {

inline int32_t Clamp(int32_t v, int32_t hi) {
    return v < 0 ? 0 : v > hi ? hi : v;
}

// Channel z (0..3) of one image row, row already clamped: the alpha plane
// for channel 3 when there is one, else rows. The offsets are added in 64
// bits: pixelBase and channelOffset may be negative, and no intermediate may
// overflow.
struct ChannelRow {
    const uint8_t* base;
    int64_t stride;
    int32_t At(int32_t col) const { return base[col * stride]; }  // col already clamped
};
inline ChannelRow RowOf(const PixelContext& c, int32_t row, int32_t z) {
    if (z == 3 && c.alphaPlane) return {c.alphaPlane + int64_t{row} * c.width, 1};
    return {c.rows[row] + (int64_t{c.channelOffset[z]} + c.pixelBase), c.pixelStride};
}

// Channel z of the pixel nearest to (col, row). A channel outside 0..3,
// negative ones included, is 255 and reads nothing.
inline int32_t ReadPixel(const PixelContext& c, int32_t col, int32_t row, int32_t z) {
    if (uint32_t(z) > 3) return 255;
    return RowOf(c, Clamp(row, c.maxY), z).At(Clamp(col, c.maxX));
}

// i, u and v take channels 0..2 at the current position from rows, never
// from the alpha plane; the sums divide truncating toward zero.
struct Rgb {
    int32_t r, g, b;
};
inline Rgb RgbAt(const PixelContext& c, int32_t col, int32_t row) {
    col = Clamp(col, c.maxX);
    row = Clamp(row, c.maxY);
    return {RowOf(c, row, 0).At(col), RowOf(c, row, 1).At(col), RowOf(c, row, 2).At(col)};
}
inline int32_t Luma(Rgb p) {
    return (76 * p.r + 150 * p.g + 29 * p.b) / 256;
}
inline int32_t ChromaU(Rgb p) {
    return (56 * p.b - 37 * p.g - 19 * p.r) / 256;
}
inline int32_t ChromaV(Rgb p) {
    return (78 * p.r - 65 * p.g - 13 * p.b) / 256;
}

}  // namespace zv

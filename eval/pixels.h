// Reading channel bytes of the host's image through the record.
#pragma once

#include <cstdint>

#include "api/zorvan.h"

namespace zv {

inline int32_t Clamp(int32_t v, int32_t hi) {
    return v < 0 ? 0 : v > hi ? hi : v;
}

// Byte k of the pixel (col, row) of rows, col and row already clamped. The
// offset is formed in 64 bits: pixelBase and channelOffset may be negative,
// and no intermediate may overflow.
inline int32_t RowByte(const PixelContext& c, int32_t col, int32_t row, int32_t k) {
    int64_t offset = int64_t{col} * c.pixelStride + c.channelOffset[k] + c.pixelBase;
    return c.rows[row][offset];
}

// Channel z of the pixel nearest to (col, row). A channel outside 0..3,
// negative ones included, is 255 and reads nothing.
inline int32_t ReadPixel(const PixelContext& c, int32_t col, int32_t row, int32_t z) {
    if (uint32_t(z) > 3) return 255;
    col = Clamp(col, c.maxX);
    row = Clamp(row, c.maxY);
    if (z == 3 && c.alphaPlane) return c.alphaPlane[int64_t{row} * c.width + col];
    return RowByte(c, col, row, z);
}

// i, u and v take channels 0..2 at the current position from rows, never
// from the alpha plane; the sums divide truncating toward zero.
struct Rgb {
    int32_t r, g, b;
};
inline Rgb CurrentRgb(const PixelContext& c) {
    int32_t col = Clamp(c.x, c.maxX), row = Clamp(c.y, c.maxY);
    return {RowByte(c, col, row, 0), RowByte(c, col, row, 1), RowByte(c, col, row, 2)};
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

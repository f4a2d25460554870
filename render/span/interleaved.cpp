// SPDX-License-Identifier: MIT
// The leaves of interleaved runs. Each element's pixel and channel come from
// tables, so that the loops stay free of divisions and vectorise.
#include "render/span/interleaved.h"

#include <array>

#include "eval/pixels.h"

namespace zv {
namespace {

// Per channel count (1..4): each element's pixel within the run, and its channel.
struct Element {
    std::array<std::array<int32_t, kSpanMax>, 5> pixel, channel;
};
constexpr Element kElement = [] {
    Element t{};
    for (int32_t n = 1; n <= 4; ++n) {
        for (int32_t e = 0; e < kSpanMax; ++e) t.pixel[n][e] = e / n, t.channel[n][e] = e % n;
    }
    return t;
}();

void Column(const SpanStep& s, const SpanState& f) {
    const int32_t* pixel = kElement.pixel[f.channels].data();
    int32_t* out = LaneOf(f, s.out);
    for (int32_t e = 0, n = f.n, x0 = f.x0; e < n; ++e) out[e] = x0 + pixel[e];
}

void ChannelNumber(const SpanStep& s, const SpanState& f) {
    const int32_t* channel = kElement.channel[f.channels].data();
    int32_t* out = LaneOf(f, s.out);
    for (int32_t e = 0, n = f.n; e < n; ++e) out[e] = channel[e];
}

void Current(const SpanStep& s, const SpanState& f) {
    const PixelContext& c = *f.context;
    const int32_t channels = f.channels;
    int32_t* out = LaneOf(f, s.out);
    if (const uint8_t* p = PackedBytes(c, f.x0, f.n, channels)) {
        for (int32_t e = 0, n = f.n; e < n; ++e) out[e] = p[e];
    } else {
        const int32_t* pixel = kElement.pixel[channels].data();
        const int32_t* channel = kElement.channel[channels].data();
        for (int32_t e = 0, n = f.n; e < n; ++e) {
            out[e] = ReadPixel(c, f.x0 + pixel[e], c.y, channel[e]);
        }
    }
}

}  // namespace

const uint8_t* PackedBytes(const PixelContext& c, int32_t x0, int32_t n, int32_t channels) {
    if (x0 < 0 || x0 + (n - 1) / channels > c.maxX || c.pixelStride != channels) return nullptr;
    if (channels == 4 && c.alphaPlane) return nullptr;
    for (int32_t k = 0; k < channels; ++k) {
        if (c.channelOffset[k] != k) return nullptr;
    }
    return c.rows[Clamp(c.y, c.maxY)] + (int64_t{c.pixelBase} + int64_t{x0} * channels);
}

SpanKernel InterleavedLeaf(int32_t kind) {
    return kind == 'x' ? &Column : kind == 'z' ? &ChannelNumber : kind == 'c' ? &Current : nullptr;
}

// Everything that varies along a row but x, c and cnv varies per pixel,
// reading other channels: it has no element-wise kernel.
const char* NotInterleaved(int32_t kind) {
    return DependsOf(kind).position && !InterleavedLeaf(kind) && kind != ZV_CNV
               ? "varies per pixel, not per element"
               : nullptr;
}

}  // namespace zv

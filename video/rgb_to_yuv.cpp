// SPDX-License-Identifier: MIT
#include "video/rgb_to_yuv.h"

extern "C" {
#include <libavutil/csp.h>
}

#include <algorithm>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

namespace zv::video {

namespace {

constexpr int kShift = 16;  // of the fixed-point weights

// Y, U and V from R, G and B, each scaled by 1 << kShift; the offsets hold
// the rounding too.
struct Weights {
    int32_t y[3], u[3], v[3];
    int32_t yOffset, cOffset;
};

Weights WeightsFor(const ColourTags& tags, const AVLumaCoefficients& luma) {
    const double kr = av_q2d(luma.cr), kg = av_q2d(luma.cg), kb = av_q2d(luma.cb);
    const bool full = tags.range == AVCOL_RANGE_JPEG;
    const double ys = (full ? 255.0 : 219.0) / 255, cs = (full ? 255.0 : 224.0) / 255;
    const double one = 1 << kShift;
    const auto fixed = [&](double w) { return static_cast<int32_t>(std::lround(w * one)); };
    const double u = cs / (2 * (1 - kb)), v = cs / (2 * (1 - kr));
    return {{fixed(ys * kr), fixed(ys * kg), fixed(ys * kb)},
            {fixed(-u * kr), fixed(-u * kg), fixed(u * (1 - kb))},
            {fixed(v * (1 - kr)), fixed(-v * kg), fixed(-v * kb)},
            fixed(full ? 0.5 : 16.5),
            fixed(128.5)};
}

// The kernels are inlined into an entry point per instruction set, where
// the compiler makes them vector loops of that set's width.
#define ZV_INLINE [[gnu::always_inline]] inline
#if defined(__x86_64__) || defined(__i386__)
#define ZV_AVX2 __attribute__((target("avx2")))
#endif

ZV_INLINE uint8_t Clamped(int32_t scaled, int shift) {
    return static_cast<uint8_t>(std::clamp(scaled >> shift, 0, 255));
}

// One row's channels apart, for loops the compiler makes vector loops.
struct Planar {
    explicit Planar(int width) : r(width + 1), g(width + 1), b(width + 1) {}
    std::vector<int32_t> r, g, b;
};

// C channels a pixel; the last pixel of an odd width is repeated, so that
// chroma sees pairs.
template <int C>
ZV_INLINE void Split(const uint8_t* row, int width, Planar& to) {
    int32_t* __restrict r = to.r.data();
    int32_t* __restrict g = to.g.data();
    int32_t* __restrict b = to.b.data();
    for (int x = 0; x < width; ++x) {
        r[x] = row[x * C];
        g[x] = row[x * C + 1];
        b[x] = row[x * C + 2];
    }
    r[width] = r[width - 1], g[width] = g[width - 1], b[width] = b[width - 1];
}

ZV_INLINE void Luma(const Planar& p, int width, const Weights& w, uint8_t* __restrict out) {
    const int32_t* __restrict r = p.r.data();
    const int32_t* __restrict g = p.g.data();
    const int32_t* __restrict b = p.b.data();
    for (int x = 0; x < width; ++x) {
        out[x] = Clamped(w.y[0] * r[x] + w.y[1] * g[x] + w.y[2] * b[x] + w.yOffset, kShift);
    }
}

// The chroma of a row pair, each sample the mean of a 2 x 2 block.
ZV_INLINE void Chroma(const Planar& top, const Planar& bottom, int width, const Weights& w,
                      uint8_t* __restrict u, uint8_t* __restrict v) {
    const int32_t cOffset = w.cOffset << 2;
    for (int x = 0; x < (width + 1) / 2; ++x) {
        const int32_t r = top.r[2 * x] + top.r[2 * x + 1] + bottom.r[2 * x] + bottom.r[2 * x + 1];
        const int32_t g = top.g[2 * x] + top.g[2 * x + 1] + bottom.g[2 * x] + bottom.g[2 * x + 1];
        const int32_t b = top.b[2 * x] + top.b[2 * x + 1] + bottom.b[2 * x] + bottom.b[2 * x + 1];
        u[x] = Clamped(w.u[0] * r + w.u[1] * g + w.u[2] * b + cOffset, kShift + 2);
        v[x] = Clamped(w.v[0] * r + w.v[1] * g + w.v[2] * b + cOffset, kShift + 2);
    }
}

// Rows first to end (first even) of from: C channels a pixel, the fourth
// into the alpha plane with Alpha; an odd height's last row counted twice
// in chroma.
template <int C, bool Alpha>
ZV_INLINE void Convert(const AVFrame& from, AVFrame& to, const Weights& w, int first, int end) {
    const int width = from.width, height = from.height;
    Planar top(width), bottom(width);
    const auto row = [&](int frame, int plane, int y) {
        const AVFrame& f = frame ? to : from;
        return f.data[plane] + static_cast<ptrdiff_t>(y) * f.linesize[plane];
    };
    for (int y = first; y < end; y += 2) {
        const int below = std::min(y + 1, height - 1);
        Split<C>(row(0, 0, y), width, top);
        Split<C>(row(0, 0, below), width, bottom);
        Luma(top, width, w, row(1, 0, y));
        if (below > y) Luma(bottom, width, w, row(1, 0, below));
        Chroma(top, bottom, width, w, row(1, 1, y / 2), row(1, 2, y / 2));
        for (int k = y; Alpha && k <= below; ++k) {
            const uint8_t* in = row(0, 0, k);
            uint8_t* alpha = row(1, 3, k);
            for (int x = 0; x < width; ++x) alpha[x] = in[x * 4 + 3];
        }
    }
}

using Rows = void (*)(const AVFrame&, AVFrame&, const Weights&, int, int);

template <int C, bool Alpha>
void Plain(const AVFrame& from, AVFrame& to, const Weights& w, int first, int end) {
    Convert<C, Alpha>(from, to, w, first, end);
}

#ifdef ZV_AVX2
template <int C, bool Alpha>
ZV_AVX2 void Wide(const AVFrame& from, AVFrame& to, const Weights& w, int first, int end) {
    Convert<C, Alpha>(from, to, w, first, end);
}
#endif

template <int C, bool Alpha>
Rows RowsFor() {
#ifdef ZV_AVX2
    if (__builtin_cpu_supports("avx2")) return &Wide<C, Alpha>;
#endif
    return &Plain<C, Alpha>;
}

// Bands of at least this many rows go to threads of their own.
constexpr int kBandRows = 128;

}  // namespace

bool RgbToYuv420(const AVFrame& from, AVFrame& to, const ColourTags& tags) {
    const bool alpha = from.format == AV_PIX_FMT_RGBA && to.format == AV_PIX_FMT_YUVA420P;
    const bool opaque = (from.format == AV_PIX_FMT_RGB24 || from.format == AV_PIX_FMT_RGBA) &&
                        to.format == AV_PIX_FMT_YUV420P;
    const AVColorSpace space = tags.space == AVCOL_SPC_UNSPECIFIED || tags.space == AVCOL_SPC_RGB
                                   ? AVCOL_SPC_SMPTE170M
                                   : tags.space;
    const AVLumaCoefficients* luma = av_csp_luma_coeffs_from_avcsp(space);
    if (!(alpha || opaque) || !luma || from.width != to.width || from.height != to.height) {
        return false;
    }
    const Weights weights = WeightsFor(tags, *luma);
    static const Rows kRows[] = {RowsFor<3, false>(), RowsFor<4, false>(), RowsFor<4, true>()};
    const Rows rows = kRows[alpha ? 2 : from.format == AV_PIX_FMT_RGBA];
    // The frame in even bands, one a core; the caller's thread takes the last.
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int bands = std::clamp(from.height / kBandRows, 1, cores);
    const int band = (from.height / bands + 1) & ~1;
    std::vector<std::jthread> others;
    int first = 0;
    try {
        for (; first + band < from.height; first += band) {
            others.emplace_back(rows, std::cref(from), std::ref(to), std::cref(weights), first,
                                first + band);
        }
    } catch (const std::system_error&) {
        // No thread to be had: the rest on this one.
    }
    rows(from, to, weights, first, from.height);
    return true;
}

}  // namespace zv::video

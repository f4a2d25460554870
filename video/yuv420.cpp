// SPDX-License-Identifier: MIT
#include "video/yuv420.h"

extern "C" {
#include <libavutil/csp.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZV_AVX2 __attribute__((target("avx2")))
#endif
#define ZV_INLINE [[gnu::always_inline]] inline

namespace zv::video {

namespace {

// All arithmetic is 16-bit fixed point in the vector loops' own steps, so
// that the scalar rows (other processors, a row's last pixels) give the
// same bytes: a product is (a * b + 2^14) >> 15, b a weight scaled by 2^15,
// a value scaled so that the product keeps 4 or 6 bits of fraction.
ZV_INLINE int MulRound(int a, int b) {
    return (a * b + (1 << 14)) >> 15;
}

ZV_INLINE uint8_t Byte(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

struct Matrix {
    double kr, kg, kb;
    bool full;  // range
};

std::optional<Matrix> MatrixFor(const ColourTags& tags, bool fullFormat) {
    const AVColorSpace space = tags.space == AVCOL_SPC_UNSPECIFIED || tags.space == AVCOL_SPC_RGB
                                   ? AVCOL_SPC_SMPTE170M
                                   : tags.space;
    const AVLumaCoefficients* luma = av_csp_luma_coeffs_from_avcsp(space);
    if (!luma) return std::nullopt;
    return Matrix{av_q2d(luma->cr), av_q2d(luma->cg), av_q2d(luma->cb),
                  fullFormat || tags.range == AVCOL_RANGE_JPEG};
}

int16_t Fixed(double w, int bits) {
    return static_cast<int16_t>(std::lround(w * (1 << bits)));
}

// RGB to YUV: luma of p * 64 (6 bits of fraction kept), chroma of a 2 x 2
// block's sum * 16 (the mean's 6 bits); the offsets hold the rounding.
struct ToYuv {
    int16_t y[3], u[3], v[3];
    int16_t yOffset, cOffset;
};

ToYuv ToYuvWeights(const Matrix& m) {
    const double ys = m.full ? 1 : 219.0 / 255, cs = m.full ? 1 : 224.0 / 255;
    const double u = cs / (2 * (1 - m.kb)), v = cs / (2 * (1 - m.kr));
    return {{Fixed(ys * m.kr, 15), Fixed(ys * m.kg, 15), Fixed(ys * m.kb, 15)},
            {Fixed(-u * m.kr, 15), Fixed(-u * m.kg, 15), Fixed(u * (1 - m.kb), 15)},
            {Fixed(v * (1 - m.kr), 15), Fixed(-v * m.kg, 15), Fixed(-v * m.kb, 15)},
            static_cast<int16_t>((m.full ? 0 : 16) * 64 + 32),
            static_cast<int16_t>(128 * 64 + 32)};
}

// YUV to RGB: (Y - yOffset) * 64 and (U or V - 128) * 64 times weights
// scaled by 2^13, which leaves 4 bits of fraction.
struct ToRgb {
    int16_t ys, rv, gu, gv, bu;
    int16_t yOffset;
};

ToRgb ToRgbWeights(const Matrix& m) {
    const double ys = m.full ? 1 : 255.0 / 219, cs = m.full ? 1 : 255.0 / 224;
    return {Fixed(ys, 13),
            Fixed(2 * (1 - m.kr) * cs, 13),
            Fixed(2 * (1 - m.kb) * m.kb / m.kg * cs, 13),
            Fixed(2 * (1 - m.kr) * m.kr / m.kg * cs, 13),
            Fixed(2 * (1 - m.kb) * cs, 13),
            static_cast<int16_t>(m.full ? 0 : 16)};
}

// A pair of rows (an odd height's last row paired with itself) and the
// chroma row they share.
struct Rows {
    uint8_t* packed[2];  // RGB or RGBA
    uint8_t* luma[2];
    uint8_t* alpha[2];  // null without an alpha plane
    uint8_t* u;
    uint8_t* v;
};

Rows RowsAt(const AVFrame& packed, const AVFrame& planar, int y) {
    const int below = std::min(y + 1, packed.height - 1);
    const auto at = [](const AVFrame& f, int plane, int row) {
        return f.data[plane] ? f.data[plane] + static_cast<ptrdiff_t>(row) * f.linesize[plane]
                             : nullptr;
    };
    return {{at(packed, 0, y), at(packed, 0, below)},
            {at(planar, 0, y), at(planar, 0, below)},
            {at(planar, 3, y), at(planar, 3, below)},
            at(planar, 1, y / 2),
            at(planar, 2, y / 2)};
}

// Luma of a pixel (values its channels, scale 64) or chroma of a block
// (values the channels' sums over it, scale 16).
ZV_INLINE uint8_t Weighted(const int values[3], int scale, const int16_t weight[3], int offset) {
    return Byte((MulRound(values[0] * scale, weight[0]) + MulRound(values[1] * scale, weight[1]) +
                 MulRound(values[2] * scale, weight[2]) + offset) >>
                6);
}

// Pixels x on of a row pair into YUV; an odd width's last pixel pairs
// with itself in chroma.
template <int C>
ZV_INLINE void ToYuvPixels(const Rows& r, int x, int width, const ToYuv& w) {
    for (; x < width; x += 2) {
        const int pair[2] = {x, std::min(x + 1, width - 1)};
        int sum[3] = {};
        for (int k = 0; k < 2; ++k) {
            for (const int px : pair) {
                const uint8_t* p = r.packed[k] + px * C;
                const int rgb[3] = {p[0], p[1], p[2]};
                r.luma[k][px] = Weighted(rgb, 64, w.y, w.yOffset);
                for (int ch = 0; ch < 3; ++ch) sum[ch] += rgb[ch];
                if (C == 4 && r.alpha[k]) r.alpha[k][px] = p[3];
            }
        }
        r.u[x / 2] = Weighted(sum, 16, w.u, w.cOffset);
        r.v[x / 2] = Weighted(sum, 16, w.v, w.cOffset);
    }
}

template <int C>
ZV_INLINE void ToRgbPixels(const Rows& r, int x, int width, const ToRgb& w) {
    for (; x < width; ++x) {
        const int u = (r.u[x / 2] - 128) * 64, v = (r.v[x / 2] - 128) * 64;
        const int red = MulRound(v, w.rv), green = MulRound(u, w.gu) + MulRound(v, w.gv);
        const int blue = MulRound(u, w.bu);
        for (int k = 0; k < 2; ++k) {
            const int l = MulRound((r.luma[k][x] - w.yOffset) * 64, w.ys) + 8;
            uint8_t* p = r.packed[k] + x * C;
            p[0] = Byte((l + red) >> 4);
            p[1] = Byte((l - green) >> 4);
            p[2] = Byte((l + blue) >> 4);
            if constexpr (C == 4) p[3] = r.alpha[k] ? r.alpha[k][x] : 255;
        }
    }
}

#ifdef ZV_AVX2
// 32 pixels of RGB at a time, each 128-bit lane holding 16 (48 bytes) in
// three parts; a channel is gathered from, or scattered to, the parts by
// byte shuffles within lanes.
using Mask = std::array<int8_t, 32>;

constexpr Mask Gather(int ch, int part) {
    Mask m{};
    for (int i = 0; i < 32; ++i) {
        const int from = 3 * (i % 16) + ch;
        m[i] = static_cast<int8_t>(from / 16 == part ? from % 16 : -128);
    }
    return m;
}

constexpr Mask Scatter(int ch, int part) {
    Mask m{};
    for (int i = 0; i < 32; ++i) {
        const int to = 16 * part + i % 16;
        m[i] = static_cast<int8_t>(to % 3 == ch ? to / 3 : -128);
    }
    return m;
}

template <Mask (*Make)(int, int)>
constexpr std::array<Mask, 9> kMasks = {Make(0, 0), Make(0, 1), Make(0, 2), Make(1, 0), Make(1, 1),
                                        Make(1, 2), Make(2, 0), Make(2, 1), Make(2, 2)};

ZV_INLINE ZV_AVX2 __m256i Load(const Mask& m) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m.data()));
}
ZV_INLINE ZV_AVX2 __m256i Load2(const uint8_t* lo, const uint8_t* hi) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lo))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi)), 1);
}
ZV_INLINE ZV_AVX2 __m256i Mul(__m256i a, int16_t w) {
    return _mm256_mulhrs_epi16(a, _mm256_set1_epi16(w));
}
// Two vectors of 16-bit pixels 0-15 and 16-31 as 32 bytes in order.
ZV_INLINE ZV_AVX2 __m256i Packed(__m256i lo, __m256i hi) {
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
}
ZV_INLINE ZV_AVX2 __m256i Half(__m256i bytes, int h) {
    return _mm256_cvtepu8_epi16(h ? _mm256_extracti128_si256(bytes, 1)
                                  : _mm256_castsi256_si128(bytes));
}

// The channels of 32 RGB pixels, 32 bytes each.
ZV_INLINE ZV_AVX2 void Split(const uint8_t* p, __m256i out[3]) {
    const __m256i part[3] = {Load2(p, p + 48), Load2(p + 16, p + 64), Load2(p + 32, p + 80)};
    const auto& m = kMasks<Gather>;
    for (int ch = 0; ch < 3; ++ch) {
        out[ch] =
            _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(part[0], Load(m[3 * ch])),
                                            _mm256_shuffle_epi8(part[1], Load(m[3 * ch + 1]))),
                            _mm256_shuffle_epi8(part[2], Load(m[3 * ch + 2])));
    }
}

ZV_INLINE ZV_AVX2 void Join(const __m256i in[3], uint8_t* p) {
    const auto& m = kMasks<Scatter>;
    for (int part = 0; part < 3; ++part) {
        const __m256i bytes =
            _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(in[0], Load(m[part])),
                                            _mm256_shuffle_epi8(in[1], Load(m[3 + part]))),
                            _mm256_shuffle_epi8(in[2], Load(m[6 + part])));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * part), _mm256_castsi256_si128(bytes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 48 + 16 * part),
                         _mm256_extracti128_si256(bytes, 1));
    }
}

ZV_INLINE ZV_AVX2 __m256i Luma16(const __m256i rgb[3], int h, const ToYuv& w) {
    __m256i sum = _mm256_set1_epi16(w.yOffset);
    for (int ch = 0; ch < 3; ++ch) {
        sum = _mm256_add_epi16(sum, Mul(_mm256_slli_epi16(Half(rgb[ch], h), 6), w.y[ch]));
    }
    return _mm256_srai_epi16(sum, 6);
}

ZV_INLINE ZV_AVX2 __m256i Chroma16(const __m256i sum[3], const int16_t weight[3], int16_t offset) {
    __m256i c = _mm256_set1_epi16(offset);
    for (int ch = 0; ch < 3; ++ch) {
        c = _mm256_add_epi16(c, Mul(_mm256_slli_epi16(sum[ch], 4), weight[ch]));
    }
    return _mm256_srai_epi16(c, 6);
}

// 32 pixels of a row pair, from x, into YUV.
ZV_INLINE ZV_AVX2 void ToYuv32(const Rows& r, int x, const ToYuv& w) {
    const __m256i ones = _mm256_set1_epi8(1);
    __m256i sum[3] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
    for (int k = 0; k < 2; ++k) {
        __m256i rgb[3];
        Split(r.packed[k] + 3 * x, rgb);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(r.luma[k] + x),
                            Packed(Luma16(rgb, 0, w), Luma16(rgb, 1, w)));
        for (int ch = 0; ch < 3; ++ch) {
            sum[ch] = _mm256_add_epi16(sum[ch], _mm256_maddubs_epi16(rgb[ch], ones));
        }
    }
    const __m256i uv = Packed(Chroma16(sum, w.u, w.cOffset), Chroma16(sum, w.v, w.cOffset));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(r.u + x / 2), _mm256_castsi256_si128(uv));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(r.v + x / 2), _mm256_extracti128_si256(uv, 1));
}

// 16 chroma samples, each repeated for its two pixels: pixels 0-15 in
// out[0], 16-31 in out[1].
ZV_INLINE ZV_AVX2 void Spread(__m256i c, __m256i out[2]) {
    c = _mm256_permute4x64_epi64(c, 0xD8);
    out[0] = _mm256_unpacklo_epi16(c, c);
    out[1] = _mm256_unpackhi_epi16(c, c);
}

ZV_INLINE ZV_AVX2 __m256i Centred(const uint8_t* chroma) {
    const __m256i c =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(chroma)));
    return _mm256_slli_epi16(_mm256_sub_epi16(c, _mm256_set1_epi16(128)), 6);
}

ZV_INLINE ZV_AVX2 void ToRgb32(const Rows& r, int x, const ToRgb& w) {
    const __m256i u = Centred(r.u + x / 2), v = Centred(r.v + x / 2);
    __m256i red[2], green[2], blue[2];
    Spread(Mul(v, w.rv), red);
    Spread(_mm256_add_epi16(Mul(u, w.gu), Mul(v, w.gv)), green);
    Spread(Mul(u, w.bu), blue);
    for (int k = 0; k < 2; ++k) {
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r.luma[k] + x));
        __m256i out[3][2];
        for (int h = 0; h < 2; ++h) {
            const __m256i lifted = _mm256_sub_epi16(Half(y, h), _mm256_set1_epi16(w.yOffset));
            const __m256i l =
                _mm256_add_epi16(Mul(_mm256_slli_epi16(lifted, 6), w.ys), _mm256_set1_epi16(8));
            out[0][h] = _mm256_srai_epi16(_mm256_add_epi16(l, red[h]), 4);
            out[1][h] = _mm256_srai_epi16(_mm256_sub_epi16(l, green[h]), 4);
            out[2][h] = _mm256_srai_epi16(_mm256_add_epi16(l, blue[h]), 4);
        }
        const __m256i rgb[3] = {Packed(out[0][0], out[0][1]), Packed(out[1][0], out[1][1]),
                                Packed(out[2][0], out[2][1])};
        Join(rgb, r.packed[k] + 3 * x);
    }
}

// The first pixels of a row pair (a multiple of 32), 32 at a time.
struct Avx2 {
    ZV_AVX2 static void Row(const Rows& r, int pixels, const ToYuv& w) {
        for (int x = 0; x < pixels; x += 32) ToYuv32(r, x, w);
    }
    ZV_AVX2 static void Row(const Rows& r, int pixels, const ToRgb& w) {
        for (int x = 0; x < pixels; x += 32) ToRgb32(r, x, w);
    }
};
#endif

// The scalar rows alone.
struct Scalar {
    template <class Weights>
    static void Row(const Rows&, int, const Weights&) {}
};

template <class Vector, int C, bool ToPlanar, class Weights>
ZV_INLINE void Convert(const AVFrame& from, AVFrame& to, const Weights& w, int first, int end) {
    const AVFrame& packed = ToPlanar ? from : to;
    const AVFrame& planar = ToPlanar ? to : from;
    const int width = from.width;
    // Whole steps only where the vector loop reads and writes no further
    // than the scalar one.
    const int whole = std::is_same_v<Vector, Scalar> ? 0 : width & ~31;
    for (int y = first; y < end; y += 2) {
        const Rows rows = RowsAt(packed, planar, y);
        Vector::Row(rows, whole, w);
        if constexpr (ToPlanar) {
            ToYuvPixels<C>(rows, whole, width, w);
        } else {
            ToRgbPixels<C>(rows, whole, width, w);
        }
    }
}

template <class Weights>
using Band = void (*)(const AVFrame&, AVFrame&, const Weights&, int, int);

template <int C, bool ToPlanar, class Weights>
void Plain(const AVFrame& from, AVFrame& to, const Weights& w, int first, int end) {
    Convert<Scalar, C, ToPlanar>(from, to, w, first, end);
}

#ifdef ZV_AVX2
template <bool ToPlanar, class Weights>
ZV_AVX2 void Wide(const AVFrame& from, AVFrame& to, const Weights& w, int first, int end) {
    Convert<Avx2, 3, ToPlanar>(from, to, w, first, end);
}
#endif

// RGB (C = 3) has vector loops; RGBA, the rarer, the scalar rows alone.
template <int C, bool ToPlanar, class Weights>
Band<Weights> BandFor() {
#ifdef ZV_AVX2
    if (C == 3 && __builtin_cpu_supports("avx2")) return &Wide<ToPlanar, Weights>;
#endif
    return &Plain<C, ToPlanar, Weights>;
}

// Bands of at least this many rows go to threads of their own.
constexpr int kBandRows = 128;

// The frame in even bands, one a core; the caller's thread takes the last.
template <class Weights>
void InBands(Band<Weights> band, const AVFrame& from, AVFrame& to, const Weights& w) {
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int bands = std::clamp(from.height / kBandRows, 1, cores);
    const int rows = (from.height / bands + 1) & ~1;
    std::vector<std::jthread> others;
    int first = 0;
    try {
        for (; first + rows < from.height; first += rows) {
            others.emplace_back(band, std::cref(from), std::ref(to), std::cref(w), first,
                                first + rows);
        }
    } catch (const std::system_error&) {
        // No thread to be had: the rest on this one.
    }
    band(from, to, w, first, from.height);
}

bool SameSize(const AVFrame& a, const AVFrame& b) {
    return a.width == b.width && a.height == b.height;
}

}  // namespace

bool RgbToYuv420(const AVFrame& from, AVFrame& to, const ColourTags& tags) {
    const bool rgba = from.format == AV_PIX_FMT_RGBA;
    const bool fits =
        (from.format == AV_PIX_FMT_RGB24 || rgba) &&
        (to.format == AV_PIX_FMT_YUV420P || (rgba && to.format == AV_PIX_FMT_YUVA420P));
    const std::optional<Matrix> matrix = MatrixFor(tags, false);
    if (!fits || !matrix || !SameSize(from, to)) return false;
    static const Band<ToYuv> kBands[] = {BandFor<3, true, ToYuv>(), BandFor<4, true, ToYuv>()};
    InBands(kBands[rgba], from, to, ToYuvWeights(*matrix));
    return true;
}

bool Yuv420ToRgb(const AVFrame& from, AVFrame& to, const ColourTags& tags) {
    const bool fits = (from.format == AV_PIX_FMT_YUV420P || from.format == AV_PIX_FMT_YUVJ420P ||
                       from.format == AV_PIX_FMT_YUVA420P) &&
                      (to.format == AV_PIX_FMT_RGB24 || to.format == AV_PIX_FMT_RGBA);
    const std::optional<Matrix> matrix = MatrixFor(tags, from.format == AV_PIX_FMT_YUVJ420P);
    if (!fits || !matrix || !SameSize(from, to)) return false;
    static const Band<ToRgb> kBands[] = {BandFor<3, false, ToRgb>(), BandFor<4, false, ToRgb>()};
    InBands(kBands[to.format == AV_PIX_FMT_RGBA], from, to, ToRgbWeights(*matrix));
    return true;
}

}  // namespace zv::video

// SPDX-License-Identifier: MIT
// The 16-bit loops for each instruction set the build has, in blocks of
// elements that stay in the first-level cache.
#include <algorithm>
#include <array>
#include <utility>

#include "render/span/isa.h"
#include "render/span/narrow.h"

#if defined(__SSE2__) || ZV_SPAN_WIDE
#include <immintrin.h>
#endif

namespace zv {
namespace {

constexpr int32_t kNarrowBlock = 1024;
constexpr size_t kNarrowLanes = kNarrowMaxSteps + 1;
constexpr size_t kNarrowOps = size_t(NarrowOp::kBroadcast) + 1;
using NarrowLane = uint16_t[kNarrowBlock];
using NarrowLoop = void (*)(const NarrowStep&, NarrowLane*, int32_t);

// out[i] = ((a[i] * k) >> 16) >> shift for i from `from`: a multiply-high
// and a shift per vector, where GCC's own vector code widens to 32 bits.
[[gnu::always_inline]] inline void DivideRest(uint16_t* out, const uint16_t* a, int32_t from,
                                              int32_t n, uint32_t k, int shift) {
    for (int32_t i = from; i < n; ++i) out[i] = static_cast<uint16_t>(((a[i] * k) >> 16) >> shift);
}
// 16-bit values clamped into bytes: a signed one as it is, an unsigned one
// first to at most 255, as v - (v -sat 255); the saturating pack clamps.
[[gnu::always_inline]] inline void PackRest(const uint16_t* v, int32_t from, int32_t n, bool isSigned,
                                            uint8_t* out) {
    for (int32_t i = from; i < n; ++i) {
        const int32_t x = isSigned ? int32_t{static_cast<int16_t>(v[i])} : int32_t{v[i]};
        out[i] = static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x);
    }
}
#if defined(__SSE2__) || ZV_SPAN_WIDE
#define ZV_NARROW_DIVIDE(V, load, store, set1, mulhi, srl)                                \
    void DivideLanes(uint16_t* out, const uint16_t* a, int32_t n, uint16_t k, int shift) { \
        const V m = set1(static_cast<short>(k));                                          \
        const __m128i by = _mm_cvtsi32_si128(shift);                                      \
        constexpr int32_t kStep = sizeof(V) / 2;                                          \
        int32_t i = 0;                                                                    \
        for (; i + kStep <= n; i += kStep) {                                              \
            const V q = mulhi(load(reinterpret_cast<const V*>(a + i)), m);                \
            store(reinterpret_cast<V*>(out + i), srl(q, by));                             \
        }                                                                                 \
        DivideRest(out, a, i, n, k, shift);                                               \
    }

#define ZV_NARROW_PACK(V, load, store, set1, subs, sub, packus, order)                         \
    template <bool kSigned>                                                                    \
    void PackAs(const uint16_t* v, int32_t n, uint8_t* out) {                                  \
        const V most = set1(255);                                                              \
        constexpr int32_t kStep = sizeof(V);                                                   \
        const auto in = [&](int32_t i) {                                                       \
            const V x = load(reinterpret_cast<const V*>(v + i));                               \
            return kSigned ? x : sub(x, subs(x, most));                                        \
        };                                                                                     \
        int32_t i = 0;                                                                         \
        for (; i + kStep <= n; i += kStep) {                                                   \
            store(reinterpret_cast<V*>(out + i), order(packus(in(i), in(i + kStep / 2))));     \
        }                                                                                      \
        PackRest(v, i, n, kSigned, out);                                                       \
    }                                                                                          \
    void PackLanes(const uint16_t* v, int32_t n, bool isSigned, uint8_t* out) {                \
        return isSigned ? PackAs<true>(v, n, out) : PackAs<false>(v, n, out);                  \
    }
#define ZV_NARROW_128                                                                                  \
    ZV_NARROW_DIVIDE(__m128i, _mm_loadu_si128, _mm_storeu_si128, _mm_set1_epi16, _mm_mulhi_epu16, \
                     _mm_srl_epi16)                                                                  \
    ZV_NARROW_PACK(__m128i, _mm_loadu_si128, _mm_storeu_si128, _mm_set1_epi16, _mm_subs_epu16,       \
                   _mm_sub_epi16, _mm_packus_epi16, )

#define ZV_NARROW_256                                                                            \
    ZV_NARROW_DIVIDE(__m256i, _mm256_loadu_si256, _mm256_storeu_si256, _mm256_set1_epi16,        \
                     _mm256_mulhi_epu16, _mm256_srl_epi16)                                       \
    /* The packs work within halves: the quarters back in order. */                             \
    [[gnu::always_inline]] inline __m256i InOrder(__m256i v) {                                   \
        return _mm256_permute4x64_epi64(v, 0xD8);                                                \
    }                                                                                            \
    ZV_NARROW_PACK(__m256i, _mm256_loadu_si256, _mm256_storeu_si256, _mm256_set1_epi16,          \
                   _mm256_subs_epu16, _mm256_sub_epi16, _mm256_packus_epi16, InOrder)
#endif

}  // namespace

#define ZV_EACH_ISA "render/span/narrow.inc"
#include "render/span/each_isa.inc"
#undef ZV_EACH_ISA

void RunNarrow(const NarrowProgram& p, const uint8_t* in, size_t count, uint8_t* out) {
    switch (CurrentIsa()) {
#if ZV_SPAN_WIDE
        case Isa::kSsse3: return ssse3::Run(p, in, count, out);
        case Isa::kAvx2: return avx2::Run(p, in, count, out);
        case Isa::kAvx512: return avx512::Run(p, in, count, out);
#endif
        default: return baseline::Run(p, in, count, out);
    }
}

}  // namespace zv

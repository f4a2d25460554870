#include "render/span_bytes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/context.h"
#include "render/span_isa.h"

#if ZV_SPAN_WIDE
#include <immintrin.h>
#endif

namespace zv {
namespace {

#if ZV_SPAN_WIDE
#define ZV_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// Table bytes 0..127 and 128..255 by two permutes of 128 bytes each, picked
// by the index's top bit.
ZV_VBMI inline __m512i Look(const __m512i (&t)[4], __m512i index) {
    const __m512i low = _mm512_permutex2var_epi8(t[0], index, t[1]);
    const __m512i high = _mm512_permutex2var_epi8(t[2], index, t[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

ZV_VBMI void LookUp512(const uint8_t* table, const uint8_t* in, size_t count, uint8_t* out) {
    const __m512i t[4] = {_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64),
                          _mm512_loadu_si512(table + 128), _mm512_loadu_si512(table + 192)};
    size_t i = 0;
    for (; i + 64 <= count; i += 64)
        _mm512_storeu_si512(out + i, Look(t, _mm512_loadu_si512(in + i)));
    const __mmask64 rest = (__mmask64{1} << (count - i)) - 1;
    _mm512_mask_storeu_epi8(out + i, rest, Look(t, _mm512_maskz_loadu_epi8(rest, in + i)));
}

bool HasVbmi() {
    static const bool has = __builtin_cpu_supports("avx512vbmi");
    return has;
}
#endif

}  // namespace

// SSE2's two saturating packs clamp exactly so, int32 to int16 keeping the
// sign, then int16 to unsigned bytes; GCC's own vector code compares and
// blends instead.
void ClampToBytes(const int32_t* values, int32_t count, uint8_t* out) {
    int32_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= count; i += 16) {
        const auto at = [&](int32_t j) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + i + j));
        };
        const __m128i low = _mm_packs_epi32(at(0), at(4)), high = _mm_packs_epi32(at(8), at(12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
    }
#endif
    for (; i < count; ++i) out[i] = ClampToByte(values[i]);
}

bool LooksUpFast() {
#if ZV_SPAN_WIDE
    return CurrentIsa() == Isa::kAvx512 && HasVbmi();
#else
    return false;
#endif
}

void LookUp(const uint8_t* table, const uint8_t* in, size_t count, uint8_t* out) {
#if ZV_SPAN_WIDE
    LookUp512(table, in, count, out);
#else
    (void)table, (void)in, (void)count, (void)out;
#endif
}

}  // namespace zv

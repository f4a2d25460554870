// SPDX-License-Identifier: MIT
#include "render/span/bytes.h"

#include <algorithm>
#include <atomic>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__ARM_NEON)
#include <arm_neon.h>
#endif

#include "render/span/isa.h"

#if ZV_SPAN_WIDE
#include <immintrin.h>
#endif

namespace zv {
namespace {

// The bytes after a vector loop's last whole vector.
[[maybe_unused]] void Tail(const ByteTable& t, const uint8_t* in, size_t from, size_t count, uint8_t* out) {
    for (size_t i = from; i < count; ++i) out[i] = t.bytes[in[i]];
}

using Loop = void (*)(const ByteTable&, const uint8_t*, size_t, uint8_t*);
// Per instruction set: the loop of each way, null where the set has none.
// narrow: whether 16-bit steps beat the shuffles, where there are steps.
struct Ways {
    Loop saturate = nullptr, shuffle = nullptr;
    bool narrow = false;
};

// maybe_unused: a set without byte shuffles leaves some of its operations unused.
#define ZV_OP [[gnu::always_inline, maybe_unused]] inline ZV_SET

#if defined(__SSE2__) || ZV_SPAN_WIDE
#define ZV_SSE_OPS                                                                            \
    using V = __m128i;                                                                        \
    ZV_OP V Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); } \
    ZV_OP void Store(uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }       \
    ZV_OP V Broadcast(uint8_t b) { return _mm_set1_epi8(static_cast<char>(b)); }              \
    ZV_OP V AddSat(V a, V b) { return _mm_adds_epu8(a, b); }                                  \
    ZV_OP V SubSat(V a, V b) { return _mm_subs_epu8(a, b); }                                  \
    ZV_OP V Xor(V a, V b) { return _mm_xor_si128(a, b); }
#endif

#if defined(__SSE2__)
namespace sse2 {
#define ZV_SET
ZV_SSE_OPS
#include "render/span/bytes.inc"
#undef ZV_SET
}  // namespace sse2
#endif

#if ZV_SPAN_WIDE
// The shuffles' tree of blends: Blend takes b where mask's top bit is set.
#define ZV_BLEND_OPS(add, both, blend)                     \
    ZV_OP V Add(V a, V b) { return add(a, b); }            \
    ZV_OP V And(V a, V b) { return both(a, b); }           \
    ZV_OP V Blend(V a, V b, V mask) { return blend(a, b, mask); }

namespace ssse3 {
#define ZV_SET __attribute__((target("ssse3,sse4.1")))
ZV_SSE_OPS
ZV_OP V Piece(const uint8_t* p) {
    return Load(p);
}
ZV_OP V ShuffleBytes(V table, V index) {
    return _mm_shuffle_epi8(table, index);
}
ZV_BLEND_OPS(_mm_add_epi8, _mm_and_si128, _mm_blendv_epi8)
#define ZV_SHUFFLES
#include "render/span/bytes.inc"
#undef ZV_SET
}  // namespace ssse3

namespace avx2 {
#define ZV_SET __attribute__((target("avx2")))
using V = __m256i;
ZV_OP V Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const V*>(p));
}
ZV_OP void Store(uint8_t* p, V v) {
    _mm256_storeu_si256(reinterpret_cast<V*>(p), v);
}
ZV_OP V Broadcast(uint8_t b) {
    return _mm256_set1_epi8(static_cast<char>(b));
}
ZV_OP V AddSat(V a, V b) {
    return _mm256_adds_epu8(a, b);
}
ZV_OP V SubSat(V a, V b) {
    return _mm256_subs_epu8(a, b);
}
ZV_OP V Xor(V a, V b) {
    return _mm256_xor_si256(a, b);
}
// Shuffles stay within each 16-byte half, so both halves hold the piece.
ZV_OP V Piece(const uint8_t* p) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
ZV_OP V ShuffleBytes(V table, V index) {
    return _mm256_shuffle_epi8(table, index);
}
ZV_BLEND_OPS(_mm256_add_epi8, _mm256_and_si256, _mm256_blendv_epi8)
#include "render/span/bytes.inc"
#undef ZV_SHUFFLES
#undef ZV_SET
}  // namespace avx2

namespace avx512 {
#define ZV_SET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// Table bytes 0..127 and 128..255 by two permutes of 128 bytes each, picked
// by the index's top bit.
ZV_OP __m512i Look(const __m512i (&t)[4], __m512i index) {
    const __m512i low = _mm512_permutex2var_epi8(t[0], index, t[1]);
    const __m512i high = _mm512_permutex2var_epi8(t[2], index, t[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

ZV_SET void Permute(const ByteTable& table, const uint8_t* in, size_t count, uint8_t* out) {
    const uint8_t* b = table.bytes.data();
    const __m512i t[4] = {_mm512_loadu_si512(b), _mm512_loadu_si512(b + 64),
                          _mm512_loadu_si512(b + 128), _mm512_loadu_si512(b + 192)};
    size_t i = 0;
    for (; i + 64 <= count; i += 64)
        _mm512_storeu_si512(out + i, Look(t, _mm512_loadu_si512(in + i)));
    const __mmask64 rest = (__mmask64{1} << (count - i)) - 1;
    _mm512_mask_storeu_epi8(out + i, rest, Look(t, _mm512_maskz_loadu_epi8(rest, in + i)));
}
#undef ZV_SET

bool HasVbmi() {
    static const bool has = __builtin_cpu_supports("avx512vbmi");
    return has;
}
}  // namespace avx512
#endif

#if defined(__ARM_NEON)
namespace neon {
#define ZV_SET
using V = uint8x16_t;
ZV_OP V Load(const uint8_t* p) {
    return vld1q_u8(p);
}
ZV_OP void Store(uint8_t* p, V v) {
    vst1q_u8(p, v);
}
ZV_OP V Broadcast(uint8_t b) {
    return vdupq_n_u8(b);
}
ZV_OP V AddSat(V a, V b) {
    return vqaddq_u8(a, b);
}
ZV_OP V SubSat(V a, V b) {
    return vqsubq_u8(a, b);
}
ZV_OP V Xor(V a, V b) {
    return veorq_u8(a, b);
}
#include "render/span/bytes.inc"

// Four lookups in pieces of 64 entries: tbl gives 0 for an index past its
// piece, tbx leaves the lane as it was, so each lane keeps its own piece's.
void Tables(const ByteTable& table, const uint8_t* in, size_t count, uint8_t* out) {
    const uint8_t* b = table.bytes.data();
    // Named, not an array: GCC keeps an array of them on the stack and
    // loads it again for every vector.
    const uint8x16x4_t t0 = vld1q_u8_x4(b), t1 = vld1q_u8_x4(b + 64),
                       t2 = vld1q_u8_x4(b + 128), t3 = vld1q_u8_x4(b + 192);
    const V step = vdupq_n_u8(64);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const V x = vld1q_u8(in + i), x1 = vsubq_u8(x, step), x2 = vsubq_u8(x1, step);
        V r = vqtbl4q_u8(t0, x);
        r = vqtbx4q_u8(r, t1, x1);
        r = vqtbx4q_u8(r, t2, x2);
        vst1q_u8(out + i, vqtbx4q_u8(r, t3, vsubq_u8(x2, step)));
    }
    Tail(table, in, i, count, out);
}
#undef ZV_SET
}  // namespace neon
#endif

Ways WaysOf(Isa isa) {
    switch (isa) {
#if ZV_SPAN_WIDE
        case Isa::kSsse3: return {&ssse3::Saturate, &ssse3::Shuffle, true};
        case Isa::kAvx2: return {&avx2::Saturate, &avx2::Shuffle, true};
        case Isa::kAvx512:
            if (avx512::HasVbmi()) return {&avx2::Saturate, &avx512::Permute, false};
            return {&avx2::Saturate, &avx2::Shuffle, true};
#endif
        default:
#if defined(__ARM_NEON)
            return {&neon::Saturate, &neon::Tables, false};
#elif defined(__SSE2__)
            return {&sse2::Saturate, nullptr, true};
#else
            return {nullptr, nullptr, true};
#endif
    }
}

// Whether bytes[c] is clamp(k + c) for some k, after flipping every bit
// (255 - clamp(j + c) is clamp(255 - j - c)): found from an entry strictly
// between 0 and 255, or one at the ends everywhere.
bool Saturates(ByteTable& t, uint8_t flip) {
    int32_t k = (t.bytes[0] ^ flip) == 0 ? -255 : 255;
    for (int32_t c = 0; c < 256; ++c) {
        const int32_t b = t.bytes[c] ^ flip;
        if (b > 0 && b < 255) {
            k = b - c;
            break;
        }
    }
    for (int32_t c = 0; c < 256; ++c) {
        if ((t.bytes[c] ^ flip) != ClampToByte(k + c)) return false;
    }
    t.add = static_cast<uint8_t>(std::clamp(k, 0, 255));
    t.subtract = static_cast<uint8_t>(std::clamp(-k, 0, 255));
    t.flip = flip;
    return true;
}

std::atomic<void (*)()> wrongSteps{nullptr};

bool Computes(const NarrowProgram& narrow, const std::array<uint8_t, 256>& bytes) {
    std::array<uint8_t, 256> every, out;
    for (int32_t c = 0; c < 256; ++c) every[c] = static_cast<uint8_t>(c);
    RunNarrow(narrow, every.data(), every.size(), out.data());
    return out == bytes;
}

}  // namespace

// SSE2's two saturating packs (NEON's narrowing moves) clamp exactly so,
// int32 to int16 keeping the sign, then int16 to unsigned bytes; GCC's own
// vector code compares and blends instead.
void ClampToBytes(const int32_t* values, int32_t count, uint8_t* out) {
    int32_t i = 0;
#if defined(__ARM_NEON)
    for (; i + 16 <= count; i += 16) {
        const auto at = [&](int32_t j) { return vqmovn_s32(vld1q_s32(values + i + j)); };
        const int16x8_t low = vcombine_s16(at(0), at(4)), high = vcombine_s16(at(8), at(12));
        vst1q_u8(out + i, vcombine_u8(vqmovun_s16(low), vqmovun_s16(high)));
    }
#elif defined(__SSE2__)
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

// The steps are taken only where they give the table's bytes, which they
// must: the ranges are what make them exact.
void Prepare(ByteTable& table, NarrowProgram narrow) {
    const Ways ways = WaysOf(CurrentIsa());
    using Way = ByteTable::Way;
    void (*const report)() = wrongSteps.load(std::memory_order_relaxed);
    const bool steps = narrow.root >= 0 && (ways.narrow || report) && Computes(narrow, table.bytes);
    if (report && narrow.root >= 0 && !steps) report();
    table.narrow = {};
    if (ways.saturate && (Saturates(table, 0) || Saturates(table, 0xFF))) {
        table.way = Way::kSaturate;
    } else if (ways.narrow && steps) {
        table.way = Way::kNarrow;
        table.narrow = std::move(narrow);
    } else {
        table.way = ways.shuffle ? Way::kShuffle : Way::kNone;
    }
}

void ReportWrongSteps(void (*report)()) {
    wrongSteps.store(report, std::memory_order_relaxed);
}

void LookUp(const ByteTable& table, const uint8_t* in, size_t count, uint8_t* out) {
    if (table.way == ByteTable::Way::kNarrow) return RunNarrow(table.narrow, in, count, out);
    const Ways ways = WaysOf(CurrentIsa());
    (table.way == ByteTable::Way::kSaturate ? ways.saturate : ways.shuffle)(table, in, count, out);
}

}  // namespace zv

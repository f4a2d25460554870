// SPDX-License-Identifier: MIT
// The 16-bit loops for each instruction set the build has, in blocks of
// elements that stay in the first-level cache, and the fused shapes.
#include <algorithm>
#include <array>
#include <cstring>
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
[[maybe_unused]] constexpr size_t kNarrowFusedShapes = std::size(kNarrowShapes);  // with vectors
using NarrowLane = uint16_t[kNarrowBlock];
using NarrowLoop = void (*)(const NarrowStep&, NarrowLane*, int32_t);
using FusedLoop = void (*)(const NarrowFused&, const uint8_t*, size_t, uint8_t*);

// out[i] = ((a[i] * k) >> 16) >> shift for i from `from`: a multiply-high
// and a shift per vector, where GCC's own vector code widens to 32 bits.
[[gnu::always_inline]] inline void DivideRest(uint16_t* out, const uint16_t* a, int32_t from,
                                              int32_t n, uint32_t k, int shift) {
    for (int32_t i = from; i < n; ++i) out[i] = static_cast<uint16_t>(((a[i] * k) >> 16) >> shift);
}
// 16-bit values clamped into bytes: a signed one as it is, an unsigned one
// first to at most 255; the saturating pack clamps.
[[gnu::always_inline]] inline void PackRest(const uint16_t* v, int32_t from, int32_t n, bool isSigned,
                                            uint8_t* out) {
    for (int32_t i = from; i < n; ++i) {
        const int32_t x = isSigned ? int32_t{static_cast<int16_t>(v[i])} : int32_t{v[i]};
        out[i] = static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x);
    }
}

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

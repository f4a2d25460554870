// SPDX-License-Identifier: MIT
// The loops over a run for each instruction set the build has, and the
// table that picks one by kind, by which of its arguments are the same for
// the whole run, and by the instruction set in use.
#include "render/span/kernels.h"

#include <array>
#include <utility>

#include "eval/apply.h"
#include "eval/depends.h"
#include "eval/rules.h"
#include "render/span/direction.h"
#include "render/span/interleaved.h"
#include "render/span/isa.h"

namespace zv {

// Index 8 holds the loop for all arguments scalar, for kinds of more than
// three arguments; indexes 0..7 the masks of up to three.
constexpr uint32_t kAllScalars = 8;
using KernelRow = std::array<SpanKernel, 9>;

// One set's loops: per kind, and those that are not a kind's: rad's column
// and row, and cnv on interleaved runs by its weights, all in lanes or all
// fixed for the run.
constexpr uint32_t kAllWeights = (1u << 10) - 1;
struct SetKernels {
    std::array<KernelRow, kKindSlots> kinds;
    std::array<SpanKernel, 2> radAt, interleavedConvolution;
};

// Apply's arg(j) on a pixel's loaded arguments. One type for every loop, so
// that Apply is instantiated once and folded to a kind in each loop; outside
// the instruction sets, like Apply, which inlines it.
struct Loaded {
    const int32_t* v;
    [[gnu::always_inline]] int32_t operator()(int32_t j) const { return v[j]; }
};

// Before a loop that reads the image and writes lanes, which never share
// memory: clang leaves such a loop scalar where it cannot prove that.
#if defined(__clang__)
#define ZV_LANES_APART _Pragma("clang loop vectorize(assume_safety)")
#else
#define ZV_LANES_APART _Pragma("GCC ivdep")
#endif

#define ZV_EACH_ISA "render/span/loops.inc"
#include "render/span/each_isa.inc"
#undef ZV_EACH_ISA
#undef ZV_LANES_APART

namespace {

const SetKernels& KernelsFor(Isa isa) {
#if ZV_SPAN_WIDE
    if (isa == Isa::kAvx512) return avx512::kSet;
    if (isa == Isa::kAvx2) return avx2::kSet;
    if (isa == Isa::kSsse3) return ssse3::kSet;
#endif
    (void)isa;
    return baseline::kSet;
}

}  // namespace

SpanKernel KernelFor(int32_t kind, uint32_t scalarMask, bool interleaved) {
    if (kind == kSpanRadColumn || kind == kSpanRadRow) {
        return scalarMask ? nullptr : KernelsFor(CurrentIsa()).radAt[kind == kSpanRadRow];
    }
    if (interleaved && kind == ZV_CNV) {
        return scalarMask == 0 || scalarMask == kAllWeights
                   ? KernelsFor(CurrentIsa()).interleavedConvolution[scalarMask == kAllWeights]
                   : nullptr;
    }
    const int32_t arity = RuleOf(kind).arity;
    const KernelRow& row = KernelsFor(CurrentIsa()).kinds[SlotOf(kind)];
    if (arity > 3 && scalarMask == (1u << arity) - 1) return row[kAllScalars];
    return scalarMask < kAllScalars ? row[scalarMask] : nullptr;
}

}  // namespace zv

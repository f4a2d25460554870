/* SPDX-License-Identifier: MIT */
// Functions of a byte in 16-bit lanes. Where every value a table's steps
// compute has a range (c a byte, the values fixed for the run exactly) that
// 16 bits hold, signed or not, the steps run on 16-bit lanes: sums,
// differences and products are right modulo 2^16 and so exact, and the rest
// read their operands as the ranges say. Eight to sixteen lanes a vector, a
// few passes over a block in the first-level cache: cheaper than sixteen
// byte shuffles per vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/span/span.h"

namespace zv {

enum class NarrowOp : uint8_t {
    kAdd, kSub, kSubFrom, kMul, kNeg,              // modulo 2^16; kSubFrom: k - a
    kLtS, kLtU, kGtS, kGtU, kLeS, kLeU, kGeS, kGeU,  // S: as int16, U: as uint16
    kEq, kNe, kMinS, kMinU, kMaxS, kMaxU,
    kNot, kAnd, kOr, kCompl, kShrS, kShrU,
    kAbs,       // |a| of an int16, as uint16
    kCopySign,  // a with the sign of b's int16: a or -a
    kDivide,    // a / d for a uint16, as (a * k) >> (16 + shift)
    kSelect,    // a ? b : c
    kSplat,     // k
};

// More passes than this cost what sixteen byte shuffles do.
inline constexpr size_t kNarrowMaxSteps = 7;

struct NarrowStep {
    NarrowOp op;
    bool immediate;  // the second operand is k, not lane b
    uint8_t shift;
    uint16_t out, a, b, c;
    uint16_t k;
};

struct NarrowProgram {
    std::vector<NarrowStep> steps;  // empty with no root: not narrow
    int32_t root = -1;              // the lane of the result
    bool rootSigned = false;  // its lanes read as int16, else as uint16
    int32_t lanes = 0;  // lane 0 holds c, each step writes one of its own
};

// The interleaved program p, whose loops follow from c alone, with the
// values fixed for the run `scalars`, as 16-bit steps; false where a value
// may not fit, a kind has no 16-bit step, or the steps would be too many
// to gain over a lookup.
bool CompileNarrow(const SpanProgram& p, const int32_t* scalars, NarrowProgram& out);

// out[i] = the program's value for c = in[i], clamped to a byte, with the
// instruction set in use.
void RunNarrow(const NarrowProgram& p, const uint8_t* in, size_t count, uint8_t* out);

}  // namespace zv

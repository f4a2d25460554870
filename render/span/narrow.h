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
    kBroadcast, // k
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

// The commonest chains of steps as one pass that keeps every value in
// registers from the byte to the pack: v = c, or c * c; v = v * mul + add;
// v = v / d, of a uint16 or of an int16 (its magnitude's quotient with its
// sign); v = v * mul2 + add2; v = min(max(v, lo), hi) as int16s; then
// clamped to a byte as an int16, or as a uint16 with kUnsignedRoot. Each
// stage a bit; sums and products are modulo 2^16 as in the steps.
enum NarrowStage : uint16_t {
    kSquare = 1, kMul = 2, kAdd = 4, kDivideU = 8, kDivideS = 16,
    kMul2 = 32, kAdd2 = 64, kMax = 128, kMin = 256, kUnsignedRoot = 512,
};
// The stages that have loops. A chain takes the first shape with all its
// stages, the multiplications, additions and bounds it lacks left as they
// are (by 1, 0 and the ends of int16).
inline constexpr uint16_t kNarrowShapes[] = {
    kSquare | kDivideU,                                 // c * c / 255
    kMul | kDivideU,                                    // c * k / 255
    kMul | kAdd,                                        // affine
    kMul | kAdd | kUnsignedRoot,                        //
    kMul | kAdd | kMax | kMin,                          // clamped affine
    kMul | kAdd | kDivideU | kMul2 | kAdd2,             //
    kMul | kAdd | kDivideS | kMul2 | kAdd2,             // (c - 128) * 3 / 2 + 128
    kMul | kAdd | kDivideU | kMul2 | kAdd2 | kMax | kMin,
    kMul | kAdd | kDivideS | kMul2 | kAdd2 | kMax | kMin,
    kSquare | kMul | kAdd,
    kSquare | kMul | kAdd | kUnsignedRoot,
    kSquare | kMul | kAdd | kDivideU | kMul2 | kAdd2 | kMax | kMin,
};
// Bits a shape must match exactly: they have no value that leaves v alone.
inline constexpr uint16_t kNarrowExact = kSquare | kDivideU | kDivideS | kUnsignedRoot;

struct NarrowFused {
    int32_t shape = -1;  // in kNarrowShapes; -1: the steps one pass each
    uint16_t mul = 1, add = 0, k = 0, mul2 = 1, add2 = 0;
    int16_t lo = INT16_MIN, hi = INT16_MAX;
    uint8_t shift = 0;  // the divide's, as kDivide's
};

struct NarrowProgram {
    std::vector<NarrowStep> steps;  // empty with no root: not narrow
    int32_t root = -1;              // the lane of the result
    bool rootSigned = false;  // its lanes read as int16, else as uint16
    int32_t lanes = 0;  // lane 0 holds c, each step writes one of its own
    NarrowFused fused;  // the same as one pass, where the set has vectors
};

// The interleaved program p, whose loops follow from c alone, with the
// values fixed for the run `scalars`, as 16-bit steps; false where a value
// may not fit, a kind has no 16-bit step, or the steps would be too many
// to gain over a lookup.
bool CompileNarrow(const SpanProgram& p, const int32_t* scalars, NarrowProgram& out);

// Sets p.fused where its steps are one of the fused shapes' chains.
void Fuse(NarrowProgram& p);

// out[i] = the program's value for c = in[i], clamped to a byte, with the
// instruction set in use.
void RunNarrow(const NarrowProgram& p, const uint8_t* in, size_t count, uint8_t* out);

}  // namespace zv

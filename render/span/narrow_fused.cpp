// SPDX-License-Identifier: MIT
// From 16-bit steps to a fused shape: the chain's steps, each reading the
// last one's value, folded into the shape's stages.
#include <algorithm>
#include <iterator>

#include "render/span/narrow.h"

namespace zv {
namespace {

using Op = NarrowOp;

// v * mul + add modulo 2^16: a chain of sums, differences, negations and
// products by constants is one such map.
struct Affine {
    uint32_t mul = 1, add = 0;

    bool Then(const NarrowStep& s) {
        const uint32_t k = s.k;
        switch (s.op) {
            case Op::kAdd: add += k; break;
            case Op::kSub: add -= k; break;
            case Op::kSubFrom: mul = 0u - mul, add = k - add; break;
            case Op::kNeg: mul = 0u - mul, add = 0u - add; break;
            case Op::kMul: mul *= k, add *= k; break;
            default: return false;
        }
        return s.immediate || s.op == Op::kNeg;
    }
    uint16_t Mul() const { return static_cast<uint16_t>(mul); }
    uint16_t Add() const { return static_cast<uint16_t>(add); }
};

}  // namespace

void Fuse(NarrowProgram& p) {
    p.fused = {};
    enum { kBefore, kAfter, kBounds } stage = kBefore;  // the divide's
    Affine before, after;
    int32_t lo = INT16_MIN, hi = INT16_MAX;
    uint16_t need = p.rootSigned ? 0 : kUnsignedRoot;
    NarrowFused f;
    uint16_t v = 0;  // the chain's lane
    const std::vector<NarrowStep>& steps = p.steps;
    for (size_t i = 0; i < steps.size(); v = steps[i++].out) {
        const NarrowStep& s = steps[i];
        if (s.a != v) return;
        const bool bound = (s.op == Op::kMaxS || s.op == Op::kMinS) && s.immediate;
        if (i == 0 && s.op == Op::kMul && !s.immediate && s.b == 0) {
            need |= kSquare;
        } else if (bound) {
            // max and min in any order clamp between two bounds.
            stage = kBounds;
            const auto k = static_cast<int16_t>(s.k);
            lo = s.op == Op::kMaxS ? std::max<int32_t>(lo, k) : std::min<int32_t>(lo, k);
            hi = s.op == Op::kMaxS ? std::max<int32_t>(hi, k) : std::min<int32_t>(hi, k);
        } else if (stage == kBefore && s.op == Op::kDivide) {
            stage = kAfter, need |= kDivideU, f.k = s.k, f.shift = s.shift;
        } else if (stage == kBefore && s.op == Op::kAbs && i + 2 < steps.size()) {
            // |v| / d with v's sign.
            const NarrowStep &q = steps[i + 1], &sign = steps[i + 2];
            if (q.op != Op::kDivide || q.a != s.out || sign.op != Op::kCopySign ||
                sign.a != q.out || sign.b != v || sign.immediate)
                return;
            stage = kAfter, need |= kDivideS, f.k = q.k, f.shift = q.shift, i += 2;
        } else if (stage == kBounds || !(stage == kBefore ? before : after).Then(s)) {
            return;
        }
    }
    if (v != p.root) return;
    f.mul = before.Mul(), f.add = before.Add(), f.mul2 = after.Mul(), f.add2 = after.Add();
    f.lo = static_cast<int16_t>(lo), f.hi = static_cast<int16_t>(hi);
    need |= (f.mul != 1 ? kMul : 0) | (f.add ? kAdd : 0) | (f.mul2 != 1 ? kMul2 : 0) |
            (f.add2 ? kAdd2 : 0) | (lo > INT16_MIN ? kMax : 0) | (hi < INT16_MAX ? kMin : 0);
    const auto fits = [need](uint16_t shape) {
        return (shape & need) == need && (shape & kNarrowExact) == (need & kNarrowExact);
    };
    const auto* shape = std::find_if(std::begin(kNarrowShapes), std::end(kNarrowShapes), fits);
    if (shape == std::end(kNarrowShapes)) return;
    f.shape = static_cast<int32_t>(shape - std::begin(kNarrowShapes));
    p.fused = f;
}

}  // namespace zv

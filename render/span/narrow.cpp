// SPDX-License-Identifier: MIT
// From an interleaved program over c to 16-bit steps, by the ranges of its
// values.
#include <algorithm>

#include "eval/arith.h"
#include "render/span/narrow.h"
#include "render/span/ranges.h"

namespace zv {
namespace {

using Range = SpanRanges::Range;
using Op = NarrowOp;

bool Signed(Range r) {
    return r.lo >= -32768 && r.hi <= 32767;
}
bool Unsigned(Range r) {
    return r.lo >= 0 && r.hi <= 65535;
}

// A program value: in a lane, or the same on every element.
struct NarrowValue {
    bool lane;
    uint16_t index;  // the lane
    int32_t value;   // or the value
    Range range;
};

// Of each comparing kind: the signed and unsigned step, and the one with
// its operands swapped.
struct Comparing {
    int32_t kind;
    Op s, u;
    int32_t swapped;
};
constexpr Comparing kComparing[] = {
    {ZV_LT, Op::kLtS, Op::kLtU, ZV_GT}, {ZV_GT, Op::kGtS, Op::kGtU, ZV_LT},
    {ZV_LE, Op::kLeS, Op::kLeU, ZV_GE}, {ZV_GE, Op::kGeS, Op::kGeU, ZV_LE},
    {ZV_EQ, Op::kEq, Op::kEq, ZV_EQ},   {ZV_NE, Op::kNe, Op::kNe, ZV_NE},
    {ZV_MIN, Op::kMinS, Op::kMinU, ZV_MIN}, {ZV_MAX, Op::kMaxS, Op::kMaxU, ZV_MAX},
};
// Kinds whose 16-bit step reads no interpretation of its operands.
struct Plain {
    int32_t kind;
    Op op;
    bool commutes, truth;
};
constexpr Plain kPlain[] = {
    {'+', Op::kAdd, true, false},  {'-', Op::kSub, false, false}, {'*', Op::kMul, true, false},
    {ZV_AND, Op::kAnd, true, true}, {ZV_OR, Op::kOr, true, true},
};

class NarrowCompiler {
   public:
    NarrowCompiler(NarrowProgram& out) : out_(out) {}

    bool Step(const SpanStep& s, const std::vector<NarrowValue>& args, Range range, NarrowValue& result) {
        range_ = range;
        if (s.kind == 'c') return result = {true, 0, 0, range}, true;
        if (args.empty()) return false;
        const NarrowValue& a = args[0];
        const NarrowValue& b = args.size() > 1 ? args[1] : a;
        const bool lanes = std::any_of(args.begin(), args.end(), [](const NarrowValue& o) { return o.lane; });
        if (!lanes) return false;
        switch (s.kind) {
            case ZV_UPLUS: return result = a, true;
            case ZV_UMINUS: return Emit(Op::kNeg, a, a, result);
            case ZV_NOT: return Emit(Op::kNot, a, a, result);
            case ZV_COMPL: return Emit(Op::kCompl, a, a, result);
            case '/': return !b.lane && Divide(a, b.value, true, result);
            case '%': return !b.lane && Remainder(a, b.value, result);
            case ZV_SHR: return !b.lane && ShiftRight(a, b.value & 31, result);
            case '?': return Select(args, result);
            default: break;
        }
        for (const Plain& p : kPlain) {
            if (p.kind != s.kind) continue;
            if (a.lane && b.lane) return Emit(p.op, a, b, result);
            // && and || read a constant's truth, which its low 16 bits may not hold.
            const NarrowValue& fixed = a.lane ? b : a;
            const NarrowValue k = p.truth ? Fixed(fixed.value != 0) : fixed;
            if (a.lane) return Emit(p.op, a, k, result);
            return Emit(p.commutes ? p.op : Op::kSubFrom, b, k, result);  // kSubFrom: k - b
        }
        for (const Comparing& c : kComparing) {
            if (c.kind != s.kind) continue;
            const bool bothSigned = Signed(a.range) && Signed(b.range);
            if (!bothSigned && !(Unsigned(a.range) && Unsigned(b.range))) return false;
            if (!a.lane) {  // k < b is b > k
                for (const Comparing& w : kComparing) {
                    if (w.kind == c.swapped) return Emit(bothSigned ? w.s : w.u, b, a, result);
                }
            }
            return Emit(bothSigned ? c.s : c.u, a, b, result);
        }
        return false;
    }

    // The root into a lane of its own when it is the same everywhere, as the
    // byte it clamps to, which 16 bits hold.
    bool Finish(NarrowValue root) {
        if (!root.lane) root = Fixed(std::clamp(root.value, 0, 255));
        range_ = root.range;
        if (!root.lane && !Emit(Op::kBroadcast, root, root, root)) return false;
        out_.root = root.index;
        out_.rootSigned = Signed(root.range);
        return true;
    }

   private:
    // One step into a new lane, the second operand a lane or k.
    bool Emit(Op op, const NarrowValue& a, const NarrowValue& b, NarrowValue& result, uint8_t shift = 0,
              uint16_t c = 0) {
        if (out_.steps.size() >= kNarrowMaxSteps) return false;
        const uint16_t lane = static_cast<uint16_t>(out_.lanes++);
        const uint16_t k = static_cast<uint16_t>(op == Op::kBroadcast ? a.value : b.value);
        out_.steps.push_back({op, !b.lane, shift, lane, a.index, b.index, c, k});
        result = {true, lane, 0, range_};
        return true;
    }
    static NarrowValue Fixed(int32_t value) {
        return {false, 0, value, {value, value}};
    }

    // a / d truncated, or its sign lost with `signs` false (the remainder's
    // quotient is then a magnitude's), through a multiply-high by the
    // largest Reciprocal that 16 bits hold.
    bool Divide(const NarrowValue& a, int32_t d, bool signs, NarrowValue& result) {
        if (d == 0) return result = Fixed(0), true;
        // In 32 unsigned bits, a's range fitting 16: GCC 12 at -O2 for 32-bit
        // x86 got this function's 64-bit compares wrong (c * c / 255 became 0).
        const uint32_t divisor = UnsignedAbs(d);
        const auto most = static_cast<uint32_t>(std::max(-a.range.lo, a.range.hi));
        if (divisor > most) return result = Fixed(0), true;
        NarrowValue q = a;
        if (divisor > 1) {
            if (a.range.lo < 0 && !Emit(Op::kAbs, a, a, q)) return false;
            int32_t j = 31;
            while (Reciprocal(uint64_t(divisor), j) > 65535) --j;
            const uint64_t k = Reciprocal(uint64_t(divisor), j);
            if (!ReciprocalDivides(uint64_t(divisor), j, uint64_t(most))) return false;
            if (!Emit(Op::kDivide, q, Fixed(static_cast<int32_t>(k)), q,
                      static_cast<uint8_t>(j - 16)))
                return false;
            if (a.range.lo < 0 && !Emit(Op::kCopySign, q, a, q)) return false;
        }
        if (signs && d < 0 && !Emit(Op::kNeg, q, q, q)) return false;
        return result = q, true;
    }
    // a - (a / |d|) * |d|, which has a's sign.
    bool Remainder(const NarrowValue& a, int32_t d, NarrowValue& result) {
        if (d == 0) return result = Fixed(0), true;
        NarrowValue q;
        if (!Divide(a, d, false, q)) return false;
        if (!q.lane) return result = a, true;  // |a| < |d|, which is then at most 65535
        const auto divisor = static_cast<int32_t>(UnsignedAbs(d));
        return Emit(Op::kMul, q, Fixed(divisor), q) && Emit(Op::kSub, a, q, result);
    }
    bool ShiftRight(const NarrowValue& a, int32_t by, NarrowValue& result) {
        if (a.range.lo < 0) return Emit(Op::kShrS, a, a, result, static_cast<uint8_t>(std::min(by, 15)));
        if (by >= 16) return result = Fixed(0), true;
        return Emit(Op::kShrU, a, a, result, static_cast<uint8_t>(by));
    }
    bool Select(const std::vector<NarrowValue>& args, NarrowValue& result) {
        if (!args[0].lane) return result = args[0].value ? args[1] : args[2], true;
        NarrowValue branch[2] = {args[1], args[2]};
        for (NarrowValue& o : branch) {
            if (!o.lane && !Emit(Op::kBroadcast, o, o, o)) return false;
        }
        return Emit(Op::kSelect, args[0], branch[0], result, 0, branch[1].index);
    }

    NarrowProgram& out_;
    Range range_{};
};

}  // namespace

bool CompileNarrow(const SpanProgram& p, const int32_t* scalars, NarrowProgram& out) {
    out = {};
    out.lanes = 1;
    SpanRanges ranges(p);
    ranges.TakenOn(scalars, 0, 1, 1);
    const std::vector<Range>& r = ranges.Ranges();
    std::vector<NarrowValue> values(p.values.size());
    for (size_t v = 0; v < values.size(); ++v) values[v] = {false, 0, scalars[v], r[v]};
    NarrowCompiler compiler(out);
    std::vector<NarrowValue> args;
    for (const SpanStep& s : p.loops[0]) {
        if (!Signed(r[s.out]) && !Unsigned(r[s.out])) return out = {}, false;
        args.clear();
        for (int32_t j = 0; j < s.arity; ++j) args.push_back(values[s.args[j]]);
        if (!compiler.Step(s, args, r[s.out], values[s.out])) return out = {}, false;
    }
    if (!compiler.Finish(values[p.root])) return out = {}, false;
    Fuse(out);
    return true;
}

}  // namespace zv

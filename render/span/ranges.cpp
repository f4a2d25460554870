// SPDX-License-Identifier: MIT
// The interval back end: each step's range from its arguments' ranges, one
// transfer function per kind that narrows, beside Apply's meaning of the
// kind; any other kind may be anything, or 0 and 1 where the table of kinds
// says it yields a truth value. Ranges in 64 bits: a bound outside int32
// means the value may wrap, and then it may be anything.
#include "render/span/ranges.h"

#include <algorithm>
#include <limits>

#include "eval/arith.h"
#include "eval/depends.h"

namespace zv {
namespace {

using Range = SpanRanges::Range;
constexpr Range kAny{std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};

Range Fit(int64_t lo, int64_t hi) {
    return lo < kAny.lo || hi > kAny.hi ? kAny : Range{lo, hi};
}
// A truth value that may be true, false, or either.
Range TruthRange(bool canBeTrue, bool canBeFalse) {
    return {canBeFalse ? 0 : 1, canBeTrue ? 1 : 0};
}
bool Exactly(Range a, int64_t v) {
    return a.lo == v && a.hi == v;
}
bool Holds(Range a, int64_t v) {
    return a.lo <= v && v <= a.hi;
}

Range ProductRange(Range a, Range b) {
    const int64_t p[] = {a.lo * b.lo, a.lo * b.hi, a.hi * b.lo, a.hi * b.hi};
    return Fit(*std::min_element(p, p + 4), *std::max_element(p, p + 4));
}

// Truncating division and its remainder by an exact divisor, 0 by 0: the
// quotient is monotonic in the dividend, the remainder has its sign and is
// smaller than the divisor.
Range QuotientRange(Range a, Range b) {
    if (!Exactly(b, b.lo)) return kAny;
    if (b.lo == 0) return {0, 0};
    const int64_t q0 = a.lo / b.lo, q1 = a.hi / b.lo;
    return Fit(std::min(q0, q1), std::max(q0, q1));
}
Range RemainderRange(Range a, Range b) {
    if (!Exactly(b, b.lo)) return kAny;
    const int64_t d = UnsignedAbs(static_cast<int32_t>(b.lo));  // ranges hold int32s
    if (d == 0) return {0, 0};
    return {std::max(std::min<int64_t>(a.lo, 0), 1 - d),
            std::min<int64_t>(std::max<int64_t>(a.hi, 0), d - 1)};
}

// The range of a step's value from its arguments' ranges; taken is set
// where a conditional's branch is known.
Range RangeOf(int32_t kind, const Range* a, int8_t& taken) {
    const bool overlap = a[0].lo <= a[1].hi && a[1].lo <= a[0].hi;
    const bool same = a[0].lo == a[0].hi && Exactly(a[1], a[0].lo);
    switch (kind) {
        case '+': return Fit(a[0].lo + a[1].lo, a[0].hi + a[1].hi);
        case '-': return Fit(a[0].lo - a[1].hi, a[0].hi - a[1].lo);
        case '*': return ProductRange(a[0], a[1]);
        case '/': return QuotientRange(a[0], a[1]);
        case '%': return RemainderRange(a[0], a[1]);
        case ZV_SHR:
            if (!Exactly(a[1], a[1].lo)) return kAny;
            return {a[0].lo >> (a[1].lo & 31), a[0].hi >> (a[1].lo & 31)};
        case ZV_COMPL: return {0, 65535};
        case ZV_UMINUS: return Fit(-a[0].hi, -a[0].lo);
        case ZV_UPLUS: return a[0];
        case ZV_MIN: return {std::min(a[0].lo, a[1].lo), std::min(a[0].hi, a[1].hi)};
        case ZV_MAX: return {std::max(a[0].lo, a[1].lo), std::max(a[0].hi, a[1].hi)};
        case ZV_LT: return TruthRange(a[0].lo < a[1].hi, a[0].hi >= a[1].lo);
        case ZV_GT: return TruthRange(a[0].hi > a[1].lo, a[0].lo <= a[1].hi);
        case ZV_LE: return TruthRange(a[0].lo <= a[1].hi, a[0].hi > a[1].lo);
        case ZV_GE: return TruthRange(a[0].hi >= a[1].lo, a[0].lo < a[1].hi);
        case ZV_EQ: return TruthRange(overlap, !same);
        case ZV_NE: return TruthRange(!same, overlap);
        case ZV_NOT: return TruthRange(Holds(a[0], 0), !Exactly(a[0], 0));
        case '?':
            if (!Holds(a[0], 0)) return taken = 1, a[1];
            if (Exactly(a[0], 0)) return taken = 2, a[2];
            return {std::min(a[1].lo, a[2].lo), std::max(a[1].hi, a[2].hi)};
        default: return AlgebraOf(kind).truth ? Range{0, 1} : kAny;
    }
}

}  // namespace

const std::vector<int8_t>& SpanRanges::TakenOn(const int32_t* scalars, int32_t x0, int32_t count,
                                               int32_t channels) {
    std::vector<Range>& ranges = ranges_;
    ranges.resize(program_.values.size());
    for (size_t v = 0; v < ranges.size(); ++v) ranges[v] = {scalars[v], scalars[v]};
    taken_.clear();
    for (const SpanStep& s : program_.loops[0]) {
        Range args[3] = {kAny, kAny, kAny};
        for (int32_t j = 0; j < std::min(s.arity, 3); ++j) args[j] = ranges[s.args[j]];
        int8_t branch = 0;
        Range& r = ranges[s.out];
        switch (s.kind) {
            case 'x': r = Fit(x0, int64_t{x0} + count - 1); break;
            case 'z': r = {0, channels - 1}; break;
            case 'c': r = {0, 255}; break;
            default: r = s.arity <= 3 ? RangeOf(s.kind, args, branch) : kAny;
        }
        if (s.kind == '?') taken_.push_back(branch);
    }
    return taken_;
}

}  // namespace zv

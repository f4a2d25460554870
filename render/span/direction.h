/* SPDX-License-Identifier: MIT */
// Direction (eval/arith.h) along a run without a call per pixel: the same
// quotient, an arctangent summed from its series in double precision, and
// the truncation taken only where it is certain.
//
// The bound: with n = min(|dx|, |dy|) and d = max(|dx|, |dy|), exact in
// doubles, u = n / d, or (n - d) / (n + d) above tan(pi/8), so |u| <=
// tan(pi/8), from one division of exact integers (one rounding); twelve terms
// of the alternating series u - u^3/3 + u^5/5 ... miss atan(u) by less than
// the first term left out, |u|^25 / 25 < 1.2e-11; the sum rounds by a few
// units in the last place (1e-15). Times 512 / 3.141 that is under 2e-9 off
// the direction's exact real value, and libm's arctangent and the two
// roundings of Direction put its double within 2e-13 of it as well. So where
// the guess is more than kSlack (1e-6) away from an integer, Direction's
// double truncates to the same integer; elsewhere (about 2 pixels in a
// million, and where the arctangent is exactly 0) the caller computes
// Direction itself.
#pragma once

#include <cmath>
#include <cstdint>

namespace zv {

inline constexpr double kSlack = 1e-6;

// Direction(dx, dy) for dy != 0, when `sure` comes back 1.
[[gnu::always_inline]] inline int32_t GuessDirection(int32_t dx, int32_t dy, uint8_t& sure) {
    constexpr double kTanEighth = 0.41421356237309503, kQuarter = 0.78539816339744831,
                     kHalf = 1.5707963267948966;
    const double ax = std::fabs(double(dx)), ay = std::fabs(double(dy));
    const bool big = ax > ay;  // the angle is pi/2 less that of ay / ax
    const double n = big ? ay : ax, d = big ? ax : ay;
    const bool mid = n > kTanEighth * d;  // then atan(t) = pi/4 + atan((t - 1) / (t + 1))
    const double u = (mid ? n - d : n) / (mid ? n + d : d), u2 = u * u;  // one division
    double sum = -1.0 / 23;  // the term of u^23
    for (int k = 10; k >= 0; --k) sum = sum * u2 + (k % 2 ? -1.0 : 1.0) / (2 * k + 1);
    const double reduced = u * sum + (mid ? kQuarter : 0.0);
    const double angle = big ? kHalf - reduced : reduced;
    const double w = 256.0 - 163.0054122890799 * (dx < 0 ? -angle : angle);
    const auto low = static_cast<int32_t>(w - kSlack), high = static_cast<int32_t>(w + kSlack);
    sure = low == high;
    return dy < 0 ? -high : high;
}

}  // namespace zv

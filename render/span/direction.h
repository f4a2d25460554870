/* SPDX-License-Identifier: MIT */
// Direction (eval/arith.h) along a run without a call per pixel: the same
// quotient, an arctangent summed from its series in double precision, and
// the truncation taken only where it is certain.
//
// The bound: after reducing |q| to u with |u| <= tan(pi/8) (1/|q| above 1,
// (t - 1) / (t + 1) above tan(pi/8)), twelve terms of the alternating series
// u - u^3/3 + u^5/5 ... miss atan(u) by less than the first term left out,
// |u|^25 / 25 < 1.2e-11; the reductions and the sum round by a few units in
// the last place (1e-15). Times 512 / 3.141 that is under 2e-9 off the
// direction's exact real value, and libm's arctangent and the two roundings
// of Direction put its double within 2e-13 of it as well. So where the
// guess is more than kSlack (1e-6) away from an integer, Direction's double
// truncates to the same integer; elsewhere (about 2 pixels in a million, and
// where the arctangent is exactly 0) the caller computes Direction itself.
#pragma once

#include <cmath>
#include <cstdint>

namespace zv {

inline constexpr double kSlack = 1e-6;

// Direction(dx, dy) for dy != 0, when `sure` comes back 1.
[[gnu::always_inline]] inline int32_t GuessDirection(int32_t dx, int32_t dy, uint8_t& sure) {
    constexpr double kTanEighth = 0.41421356237309503, kQuarter = 0.78539816339744831,
                     kHalf = 1.5707963267948966;
    const double q = double(dx) / std::fabs(double(dy));
    const double a = std::fabs(q);
    const bool big = a > 1.0, mid = (big ? 1.0 / a : a) > kTanEighth;
    const double t = big ? 1.0 / a : a;
    const double u = mid ? (t - 1.0) / (t + 1.0) : t, u2 = u * u;
    double sum = -1.0 / 23;  // the term of u^23
    for (int k = 10; k >= 0; --k) sum = sum * u2 + (k % 2 ? -1.0 : 1.0) / (2 * k + 1);
    double angle = u * sum + (mid ? kQuarter : 0.0);
    angle = big ? kHalf - angle : angle;
    const double w = 256.0 - 163.0054122890799 * (q < 0 ? -angle : angle);
    const auto low = static_cast<int32_t>(w - kSlack), high = static_cast<int32_t>(w + kSlack);
    sure = low == high;
    return dy < 0 ? -high : high;
}

}  // namespace zv

/* SPDX-License-Identifier: MIT */
// Integer arithmetic of the language. Every value is an int32 and every
// overflow wraps, so sums and products go through uint32_t; no operation here
// can trap or invoke undefined behaviour.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace zv {

inline int32_t Add(int32_t a, int32_t b) {
    return static_cast<int32_t>(uint32_t(a) + uint32_t(b));
}
inline int32_t Sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(uint32_t(a) - uint32_t(b));
}
inline int32_t Mul(int32_t a, int32_t b) {
    return static_cast<int32_t>(uint32_t(a) * uint32_t(b));
}
inline int32_t Neg(int32_t a) {
    return static_cast<int32_t>(0u - uint32_t(a));
}
inline int32_t Abs(int32_t a) {
    return a < 0 ? Neg(a) : a;
}
// |a| for every int32, the most negative too. Computed in 32 bits: GCC 12
// at -O3 for 32-bit x86 may compile a 64-bit d < 0 ? -d : d into -d.
inline uint32_t UnsignedAbs(int32_t a) {
    return a < 0 ? 0u - uint32_t(a) : uint32_t(a);
}

// By zero yields 0; the most negative value by -1 wraps to itself (a plain
// division would trap), and its remainder is 0. A power of two, the commonest
// divisor in formulas (X/2, /16, /256), takes a shift instead of a slow
// division; adding b - 1 to a negative dividend first rounds toward zero.
constexpr bool IsPowerOfTwo(int32_t b) {
    return b > 0 && (b & (b - 1)) == 0;
}
// Divisors for which Div and Rem need no division instruction, so a
// compiler keeps their plain step for them.
constexpr bool DividesWithoutDivision(int32_t b) {
    return b == 0 || b == -1 || IsPowerOfTwo(b);
}
inline int32_t Div(int32_t a, int32_t b) {
    if (IsPowerOfTwo(b)) return (a + ((a >> 31) & (b - 1))) >> std::countr_zero(uint32_t(b));
    if (b == 0) return 0;
    return b == -1 ? Neg(a) : a / b;
}
inline int32_t Rem(int32_t a, int32_t b) {
    return b == 0 || b == -1 ? 0 : a % b;
}

// Division of n >= 0 by a fixed d > 1 through a multiply-high: with
// k = ceil(2^j / d), (n * k) >> j is n / d for every n with
// n * (k * d - 2^j) < 2^j, which holds for every uint32 n when j is 64.
constexpr uint64_t Reciprocal(uint64_t d, int32_t j) {
    return j == 64 ? ~uint64_t{0} / d + 1 : ((uint64_t{1} << j) + d - 1) / d;
}
// Whether Reciprocal(d, j), j < 64, divides every n up to most (below
// 2^32) exactly.
constexpr bool ReciprocalDivides(uint64_t d, int32_t j, uint64_t most) {
    return most * (Reciprocal(d, j) * d - (uint64_t{1} << j)) < (uint64_t{1} << j);
}

inline int32_t BitAnd(int32_t a, int32_t b) {
    return a & b;
}
inline int32_t BitOr(int32_t a, int32_t b) {
    return a | b;
}
inline int32_t BitXor(int32_t a, int32_t b) {
    return a ^ b;
}
inline int32_t Shl(int32_t a, int32_t b) {
    return static_cast<int32_t>(uint32_t(a) << (b & 31));
}
inline int32_t Shr(int32_t a, int32_t b) {
    return a >> (b & 31);
}  // arithmetic
inline int32_t Compl(int32_t a) {
    return ~a & 0xFFFF;
}  // 16 bits, not 32

// Truth values are exactly 1 and 0.
inline int32_t Eq(int32_t a, int32_t b) {
    return a == b;
}
inline int32_t Ne(int32_t a, int32_t b) {
    return a != b;
}
inline int32_t Lt(int32_t a, int32_t b) {
    return a < b;
}
inline int32_t Gt(int32_t a, int32_t b) {
    return a > b;
}
inline int32_t Le(int32_t a, int32_t b) {
    return a <= b;
}
inline int32_t Ge(int32_t a, int32_t b) {
    return a >= b;
}
inline int32_t Not(int32_t a) {
    return a == 0;
}
inline int32_t Plus(int32_t a) {
    return a;
}

// Largest n with n * n <= s, or 0 for negative s; the double root truncated
// is exact for every int32.
inline int32_t Isqrt(int32_t s) {
    return s < 0 ? 0 : static_cast<int32_t>(std::sqrt(double(s)));
}

// Length of (dx, dy); a sum of squares that wraps negative gives 0.
inline int32_t Magnitude(int32_t dx, int32_t dy) {
    return Isqrt(Add(Mul(dx, dx), Mul(dy, dy)));
}

// Direction of (dx, dy) in 1024 steps a turn, 0 along +dx and 256 along +dy.
// The factor is 512 / 3.141, a little more than 512 / pi: truncation toward
// zero folds the small overshoot at either end back onto 0 and 512.
inline int32_t Direction(int32_t dx, int32_t dy) {
    if (dy == 0) return dx < 0 ? 512 : 0;
    double w = 256.0 - 163.0054122890799 * std::atan(double(dx) / std::fabs(double(dy)));
    auto v = static_cast<int32_t>(w);
    return dy < 0 ? -v : v;
}

}  // namespace zv

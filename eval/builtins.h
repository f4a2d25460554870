/* SPDX-License-Identifier: MIT */
// The built-in functions, on already evaluated arguments. Every bad argument
// has a fixed result; nothing here reports an error.
#pragma once

#include <array>
#include <cstdint>

#include "api/zorvan.h"
#include "eval/arith.h"
#include "eval/pixels.h"
#include "eval/tables.h"

namespace zv {

inline int32_t Min(int32_t a, int32_t b) {
    return a < b ? a : b;
}
inline int32_t Max(int32_t a, int32_t b) {
    return a > b ? a : b;
}
inline int32_t Dif(int32_t a, int32_t b) {
    return Abs(Sub(a, b));
}
inline int32_t AddAtMost(int32_t a, int32_t b, int32_t most) {
    return Min(Add(a, b), most);
}
inline int32_t DifAtLeast(int32_t a, int32_t b, int32_t least) {
    return Max(Abs(Sub(a, b)), least);
}

// a and b in the ratio n : (d - n); the two quotients truncate separately.
inline int32_t Mix(int32_t a, int32_t b, int32_t n, int32_t d) {
    if (d == 0) return 0;
    return Add(Div(Mul(Sub(d, n), b), d), Div(Mul(n, a), d));
}

// a mapped from il..ih onto ol..oh, unclamped.
inline int32_t Scale(int32_t a, int32_t il, int32_t ih, int32_t ol, int32_t oh) {
    if (ih == il) return 0;
    return Add(ol, Div(Mul(Sub(a, il), Sub(oh, ol)), Sub(ih, il)));
}

inline int32_t Control(const PixelContext& c, int32_t i) {
    return uint32_t(i) < 8 ? c.controls[i] : 0;
}

// Control i (0..255) mapped onto a..b.
inline int32_t ControlValue(const PixelContext& c, int32_t i, int32_t a, int32_t b) {
    if (uint32_t(i) >= 8) return 0;
    return Add(a, Div(Mul(c.controls[i], Sub(b, a)), 255));
}

// n mapped through control pair i: q goes to 0, p to 255, unclamped; an
// equal pair is a step at q, and a pair of zeros means "not set": 255.
inline int32_t MapControl(const PixelContext& c, int32_t i, int32_t n) {
    if (uint32_t(i) >= 4) return 0;
    int32_t p = c.controls[2 * i], q = c.controls[2 * i + 1];
    if (p == q) return p == 0 ? 255 : n <= q ? 0 : 255;
    return Div(Mul(Sub(n, q), 255), Sub(p, q));
}

inline int32_t GetCell(const PixelContext& c, int32_t i) {
    return uint32_t(i) < 256 ? c.cells[i] : 0;
}
inline int32_t PutCell(PixelContext& c, int32_t v, int32_t i) {
    if (uint32_t(i) >= 256) return 0;
    c.cells[i] = v;
    return v;
}

inline int32_t Sine(int32_t d) {
    return AngleLookup(SinTable, d);
}
inline int32_t Cosine(int32_t d) {
    return AngleLookup(CosTable, d);
}
inline int32_t Tangent(int32_t d) {
    return AngleLookup(TanTable, d);
}
inline int32_t Reset(int32_t) {
    return 0;
}  // rst only evaluates its argument

// Polar components; the products wrap and / 512 truncates toward zero.
inline int32_t PolarX(int32_t d, int32_t m) {
    return Mul(Cosine(d), m) / 512;
}
inline int32_t PolarY(int32_t d, int32_t m) {
    return Mul(Sine(d), m) / 512;
}

// Channel z at direction d and distance m from the centre.
inline int32_t PolarPixel(const PixelContext& c, int32_t d, int32_t m, int32_t z) {
    return ReadPixel(c, Add(c.centerX, PolarX(d, m)), Add(c.centerY, PolarY(d, m)), z);
}

// 3 x 3 weights k[0..8] row by row around a pixel, divided by k[9];
// sample(i) is the pixel under weight i, from the row above, left to right.
template <class Sample>
[[gnu::always_inline]] inline int32_t ConvolveWith(const std::array<int32_t, 10>& k,
                                                   const Sample& sample) {
    int32_t divisor = k[9];
    if (divisor == 0) return 255;
    uint32_t sum = 0;  // wraps
    for (int32_t i = 0; i < 9; ++i) sum += uint32_t(k[i]) * uint32_t(sample(i));
    return Div(static_cast<int32_t>(sum), divisor);
}

// The same around the pixel (x, y), in the context's channel.
int32_t Convolve(const PixelContext& c, int32_t x, int32_t y, const std::array<int32_t, 10>& k);

// A value from lo to hi from this thread's generator, which draws unless
// lo and hi leave one value or none to choose from.
inline bool Draws(int32_t lo, int32_t hi) {
    const int32_t span = Add(Sub(hi, lo), 1);
    return span != 1 && span != 0;  // span 0 (hi == lo - 1) would divide by zero
}
int32_t Random(int32_t lo, int32_t hi);

// The generator's step is affine, state * multiplier + increment (mod 2^32),
// so any number of steps is one such map too.
struct RandomLeap {
    uint32_t multiplier = 1, increment = 0;
    uint32_t From(uint32_t state) const { return state * multiplier + increment; }
};
inline constexpr RandomLeap kRandomStep{214013u, 2531011u};
// The map of n draws, in O(log n).
RandomLeap LeapOf(uint64_t draws);

// This thread's generator state, which a host may set and restore; every
// thread starts at kFreshRandomState.
inline constexpr uint32_t kFreshRandomState = 1;
uint32_t& RandomState();

}  // namespace zv

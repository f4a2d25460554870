// SPDX-License-Identifier: MIT
#include "eval/builtins.h"

namespace zv {

int32_t Convolve(const PixelContext& c, int32_t x, int32_t y, const std::array<int32_t, 10>& k) {
    return ConvolveWith(k, [&](int32_t i) {
        return ReadPixel(c, Add(x, i % 3 - 1), Add(y, i / 3 - 1), c.channel);
    });
}

namespace {
// One generator per thread: calls on different threads never race, and a
// thread's sequence runs on across calls and trees.
thread_local uint32_t randomState = kFreshRandomState;
}  // namespace

uint32_t& RandomState() {
    return randomState;
}

int32_t Random(int32_t lo, int32_t hi) {
    if (!Draws(lo, hi)) return lo;
    randomState = kRandomStep.From(randomState);
    auto r = static_cast<int32_t>((randomState >> 16) & 0x7FFF);
    return Add(lo, Rem(r, Add(Sub(hi, lo), 1)));
}

RandomLeap LeapOf(uint64_t draws) {
    RandomLeap leap, power = kRandomStep;  // power: 2^i draws
    for (; draws != 0; draws >>= 1) {
        if (draws & 1) leap = {leap.multiplier * power.multiplier, power.From(leap.increment)};
        power = {power.multiplier * power.multiplier, power.From(power.increment)};
    }
    return leap;
}

}  // namespace zv

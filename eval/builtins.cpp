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
    int32_t span = Add(Sub(hi, lo), 1);
    // lo == hi needs no draw; span 0 (hi == lo - 1) would divide by zero.
    if (span == 1 || span == 0) return lo;
    randomState = randomState * 214013u + 2531011u;
    auto r = static_cast<int32_t>((randomState >> 16) & 0x7FFF);
    return Add(lo, Rem(r, span));
}

}  // namespace zv

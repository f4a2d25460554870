// SPDX-License-Identifier: MIT
// Preloaded under valgrind on processors without RDTSCP. valgrind's CPUID
// reports the instruction whatever the processor has, then refuses to run
// it; libhwy (loaded with FFmpeg's libraries through libjxl) measures its
// timer with it while it loads, so every program linking video died with
// SIGILL before main. Nothing of ours reads this timer.
#include <cstdint>

namespace hwy::platform {
uint64_t TimerResolution() { return 1; }
}

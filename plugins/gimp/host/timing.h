/* SPDX-License-Identifier: MIT */
// Where the time of a run and of a preview goes inside GIMP, printed on
// standard error when ZORVAN_GIMP_TIMES is set (bench/README.md), since
// GIMP's own tile traffic, merge and drawing are out of a benchmark's
// reach.
#pragma once

#include <chrono>
#include <cstdlib>

namespace zvgimp {

using Clock = std::chrono::steady_clock;

inline bool Timing() {
    static const bool on = std::getenv("ZORVAN_GIMP_TIMES") != nullptr;
    return on;
}

inline double MillisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace zvgimp

/* SPDX-License-Identifier: MIT */
// What the whole-image benchmarks work on: the tool's test picture at
// 4000 x 3000 (12 MP), made once, and the filters they time.
#pragma once

#include <cstdint>

#include "tools/zorvan/test_image.h"

namespace zv::cli {

inline constexpr int32_t kBenchWidth = 4000;
inline constexpr int32_t kBenchHeight = 3000;

// The four filters both benchmarks time: invert, a conditional, a twirl and
// a 3 x 3 blur.
inline const char* const kFormulas[] = {
    "255 - c",
    "x < X / 2 ? c : 255 - c",
    "rad(d + 160 * (M - m) / M * (M - m) / M, m, z)",
    "cnv(1, 2, 1, 2, 4, 2, 1, 2, 1, 16)",
    "c * c / 255",  // a function of c that saturating bytes cannot compute
};

inline const Image& Picture() {
    static const Image picture = TestImage(kBenchWidth, kBenchHeight);
    return picture;
}

}  // namespace zv::cli

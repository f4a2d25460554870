// The picture the whole-image benchmarks work on: the tool's test picture at
// 4000 x 3000 (12 MP), made once.
#pragma once

#include <cstdint>

#include "tools/zorvan/image.h"
#include "tools/zorvan/test_image.h"

namespace zv::cli {

inline constexpr int32_t kBenchWidth = 4000;
inline constexpr int32_t kBenchHeight = 3000;

inline const Image& Picture() {
    static const Image picture = TestImage(kBenchWidth, kBenchHeight);
    return picture;
}

}  // namespace zv::cli

// SPDX-License-Identifier: MIT
// The vector guess of d and c2d's direction against Direction itself: where
// the guess says it is sure it must be Direction's integer, and it must be
// sure nearly everywhere, or the exact fallback would do all the work.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "eval/arith.h"
#include "render/span/direction.h"

namespace zv {
namespace {

TEST(SpanDirection, SureGuessesAreDirections) {
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (int32_t dy = -1601; dy <= 1601; dy += 5) {  // every column of image-sized rows
        for (int32_t dx = -2101; dx <= 2101; dx += 3) pairs.push_back({dx, dy});
    }
    const int32_t edges[] = {-2147483647 - 1, -2147483647, -46341, -1000, -2, -1, 1, 2, 3, 1000,
                             46341,           2147483647};
    for (const int32_t dx : edges) {
        for (const int32_t dy : edges) pairs.push_back({dx, dy});
        pairs.push_back({0, dx});
    }
    std::mt19937 random(14);
    std::uniform_int_distribution<int32_t> any(-2147483647 - 1, 2147483647);
    for (int i = 0; i < 200000; ++i) pairs.push_back({any(random), any(random) | 1});
    size_t unsure = 0;
    for (const auto& [dx, dy] : pairs) {
        uint8_t sure = 0;
        const int32_t guess = GuessDirection(dx, dy, sure);
        if (!sure) {
            ++unsure;
            continue;
        }
        ASSERT_EQ(guess, Direction(dx, dy)) << dx << ", " << dy;
    }
    EXPECT_LT(unsure, pairs.size() / 1000) << "of " << pairs.size();
}

}  // namespace
}  // namespace zv

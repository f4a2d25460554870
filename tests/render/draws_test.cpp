// SPDX-License-Identifier: MIT
// Filters with rnd whose every evaluation draws as often as the next run
// on threads, each row leaping to its generator state: the bytes, and the
// state carried to the next render, of the visiting order on one thread.
// Formulas that just miss keep the visiting order.
#include <gtest/gtest.h>

#include "eval/builtins.h"
#include "tests/render/fixture.h"

namespace zv {
namespace {

TEST(Draws, LeapsAreThatManySteps) {
    for (const uint64_t n : {0u, 1u, 2u, 3u, 1000u, 65537u}) {
        uint32_t state = 12345;
        for (uint64_t i = 0; i < n; ++i) state = kRandomStep.From(state);
        EXPECT_EQ(LeapOf(n).From(12345), state) << n;
    }
}

TEST(Draws, CountedDrawsGiveTheBytesOfTheVisitingOrder) {
    const std::pair<const char*, bool> cases[] = {
        {"c + rnd(-20, 20)", true},
        {"rnd(0, 255), rnd(z, 9) + rnd(5, 5) + rnd(3, 2)", true},  // per channel; no draw at all
        {"put(rnd(-val(0, 0, 64), val(0, 0, 64)), 0), c + get(0) * (x % 2 ? 1 : -1)", true},
        {"rnd(ctl(1), 40) + (x < 5 ? 1 : 2) + rnd(X, Y)", true},  // no draw while ctl(1) is 40
        {"(rnd(0, 1) ? r : g) + rnd(0, 3)", true},                 // a condition is always evaluated
        {"x < 5 ? rnd(0, 255) : c", false},                       // a way that may be skipped
        {"x && rnd(0, 1)", false},
        {"rnd(0, x)", false},                                      // draws or not by the pixel
        {"rnd(0, rnd(1, 4))", false},
        {"put(rnd(0, 9), 0), get(0) + rnd(0, get(0))", false},
        {"put(get(0) + rnd(0, 2), 0)", false},                     // cells shared between pixels
    };
    const test::Picture source = test::Pattern(23, 9, 3);
    const Rect regions[] = {{0, 0, 0, 0}, {5, 2, 13, 6}, {22, 8, 1, 1}};
    for (const auto& [text, counted] : cases) {
        const Filter filter(text, kAllChannels);
        ASSERT_TRUE(filter.VisitingOrder()) << text;
        EXPECT_EQ(filter.Path(0, 3, 2).find("counted") != std::string::npos, counted) << text;
        for (const Rect& region : regions) {
            for (const int32_t step : {1, 3}) {
                uint32_t ordered = 777, chosen = 777;
                RenderSettings settings;
                settings.threads = 2, settings.region = region, settings.step = step;
                settings.controls[1] = 40;
                settings.random = &ordered;
                const test::Picture want = test::RenderOrderedNew(filter, source, settings);
                settings.random = &chosen;
                EXPECT_EQ(test::RenderNew(filter, source, settings).bytes, want.bytes)
                    << text << " in " << region.x << "," << region.y << " step " << step;
                EXPECT_EQ(chosen, ordered) << text;
            }
        }
    }
}

}  // namespace
}  // namespace zv

// SPDX-License-Identifier: MIT
// Whole-image renders through the public API: how the context is filled,
// which channels are kept or added, the visiting order of filters with
// effects, and the same bytes for any threads, region, step and stride.
#include "zorvan/render.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/render/fixture.h"

namespace zv {
namespace {

using test::Picture;

Filter Compile(const std::vector<std::pair<ChannelSet, std::string>>& formulas) {
    std::vector<FormulaOffer> offers;
    for (const auto& [channels, text] : formulas)
        offers.push_back({channels, {text, text, {}, {}}, 1});
    return Filter(offers);
}

// A 7 x 5 picture whose pixel (x, y) is (10x + y, 100 + y, 200 - x), with
// alpha 50 + x when it has four channels.
Picture Numbered(int32_t channels) {
    Picture image(7, 5, channels);
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            image.At(x, y, 0) = static_cast<uint8_t>(10 * x + y);
            image.At(x, y, 1) = static_cast<uint8_t>(100 + y);
            image.At(x, y, 2) = static_cast<uint8_t>(200 - x);
            if (channels == 4) image.At(x, y, 3) = static_cast<uint8_t>(50 + x);
        }
    }
    return image;
}

RenderSettings Threads(unsigned threads, RenderSettings settings = {}) {
    settings.threads = threads;
    return settings;
}

struct ContextCase {
    const char* formula;
    std::function<int(int x, int y)> expected;
};

// What the formula sees, pixel by pixel, on the red channel of Numbered(3)
// at t = 3 of 10 frames with control 2 set to 77.
TEST(Render, FillsTheContextAsDocumented) {
    const ContextCase cases[] = {
        {"x", [](int x, int) { return x; }},
        {"y", [](int, int y) { return y; }},
        {"X * 10 + Y", [](int, int) { return 75; }},
        {"Z", [](int, int) { return 3; }},
        {"D / 8", [](int, int) { return 128; }},
        {"M", [](int, int) { return 3; }},  // centre (3, 2): sqrt(9 + 4)
        {"m", [](int x, int y) { return x == 3 && y == 2 ? 0 : -1; }},
        {"t * 10 + tmax", [](int, int) { return 39; }},
        {"ctl(2) + ctl(3)", [](int, int) { return 77; }},
        {"r", [](int x, int y) { return 10 * x + y; }},
        {"c + z", [](int x, int y) { return 10 * x + y; }},
        {"g - 100", [](int, int y) { return y; }},
        {"200 - b", [](int x, int) { return x; }},
        {"a", [](int, int) { return 255; }},
        {"src(x + 1, y, 2)", [](int x, int) { return 200 - std::min(x + 1, 6); }},
        {"src(x, y - 9, 0)", [](int x, int) { return 10 * x; }},
        {"x * 100 - 50", [](int x, int) { return std::clamp(x * 100 - 50, 0, 255); }},
    };
    const Picture source = Numbered(3);
    RenderSettings settings = Threads(2);
    settings.t = 3;
    settings.total = 9;
    settings.controls[2] = 77;
    for (const ContextCase& c : cases) {
        const Picture out = test::RenderNew(Compile({{kRed, c.formula}}), source, settings);
        for (int y = 0; y < source.height; ++y) {
            for (int x = 0; x < source.width; ++x) {
                const int want = c.expected(x, y);
                if (want < 0) continue;
                EXPECT_EQ(out.At(x, y, 0), want) << c.formula << " at " << x << "," << y;
            }
        }
        if (c.expected(6, 4) < 0) continue;
        const int32_t raw =
            Evaluate(Compile({{kRed, c.formula}}), source.View(), 6, 4, 0, settings);
        EXPECT_EQ(std::clamp(raw, 0, 255), c.expected(6, 4)) << c.formula;
    }
}

TEST(Render, ChannelsWithoutFormulaKeepTheirValues) {
    for (const int32_t channels : {3, 4}) {
        const Picture source = Numbered(channels);
        const Picture out = test::RenderNew(Compile({{kGreen, "7"}}), source);
        ASSERT_EQ(out.channels, channels);
        for (int y = 0; y < source.height; ++y) {
            for (int x = 0; x < source.width; ++x) {
                for (int k = 0; k < channels; ++k) {
                    EXPECT_EQ(out.At(x, y, k), k == 1 ? 7 : source.At(x, y, k));
                }
            }
        }
    }
}

TEST(Render, AlphaIsComputedWhenThereIsAlphaOrAFormulaForAlphaAlone) {
    const Picture rgb = Numbered(3), rgba = Numbered(4);
    // Every channel of an RGB image is three channels: no alpha appears.
    EXPECT_EQ(Compile({{kAllChannels, "c"}}).TargetChannels(3), 3);
    // An alpha formula adds alpha; it sees c = a = 255, the opaque plane.
    const Picture added = test::RenderNew(Compile({{kAlpha, "c + a - 300 + x"}}), rgb);
    ASSERT_EQ(added.channels, 4);
    EXPECT_EQ(added.At(6, 0, 3), 216);
    EXPECT_EQ(added.At(6, 0, 0), rgb.At(6, 0, 0));
    // With alpha in the source, every channel includes it, and a reads it.
    const Picture inverted = test::RenderNew(Compile({{kAllChannels, "255 - c"}}), rgba);
    EXPECT_EQ(inverted.At(2, 1, 3), 255 - 52);
    EXPECT_EQ(test::RenderNew(Compile({{kRed, "a"}}), rgba).At(4, 3, 0), 54);
}

// Cells run on from pixel to pixel and channel to channel in visiting
// order, and start at 0 with every render.
TEST(Render, FiltersWithEffectsVisitRowsColumnsChannels) {
    const Filter counter = Compile({{kRed, "put(get(0) + 1, 0)"}});
    const Picture source = Numbered(3);
    for (int render = 0; render < 2; ++render) {
        const Picture out = test::RenderNew(counter, source, Threads(4));
        for (int y = 0; y < source.height; ++y) {
            for (int x = 0; x < source.width; ++x) EXPECT_EQ(out.At(x, y, 0), y * 7 + x + 1);
        }
    }
    const Picture chained = test::RenderNew(
        Compile({{kRed, "put(5, 1)"}, {kGreen, "get(1) + get(2)"}, {kBlue, "put(7, 2)"}}), source);
    EXPECT_EQ(chained.At(0, 0, 1), 5);   // blue has not run yet
    EXPECT_EQ(chained.At(1, 0, 1), 12);  // blue of the pixel before
}

// rnd starts afresh with every render unless the caller carries its state,
// as an animation does; the calling thread's own state is left alone.
TEST(Render, RandomStateIsPerRenderOrCarried) {
    const Filter noise = Compile({{kColourChannels, "rnd(0, 255)"}});
    const Picture source = test::Pattern(40, 30, 3);
    const Picture first = test::RenderNew(noise, source, Threads(2));
    EXPECT_EQ(test::RenderNew(noise, source, Threads(1)).bytes, first.bytes);
    RenderSettings carried;
    uint32_t random = ZV_RANDOM_START;
    carried.random = &random;
    EXPECT_EQ(test::RenderNew(noise, source, carried).bytes, first.bytes);
    const Picture second = test::RenderNew(noise, source, carried);
    EXPECT_NE(second.bytes, first.bytes);
    EXPECT_EQ(Evaluate(noise, source.View(), 0, 0, 0), first.At(0, 0, 0));
    EXPECT_EQ(noise.Path(0, 3, 2), "per-pixel, 2 threads, rnd's draws counted ahead of each row");
}

// Every example, through every way of cutting the work, gives the bytes of
// one whole render on one thread: other thread counts, padded strides,
// regions (tiles) and sampling steps.
TEST(Render, ThreadsRegionsStepsAndStridesGiveTheSameBytes) {
    const Picture source = test::Pattern(61, 37, 3, 5);
    const Rect regions[] = {{0, 0, 61, 37}, {13, 7, 20, 11}, {60, 36, 1, 1}, {0, 30, 61, 7}};
    for (const test::Example& e : test::Examples()) {
        const Filter filter(e.file);
        RenderSettings settings = e.Settings();
        settings.threads = 1;
        const Picture whole = test::RenderNew(filter, source, settings);
        for (const unsigned threads : {2u, 3u, 16u}) {
            settings.threads = threads;
            const Picture padded = test::RenderNew(filter, source, settings, 3);
            for (int32_t y = 0; y < whole.height; ++y) {
                for (int32_t x = 0; x < whole.width; ++x) {
                    for (int32_t k = 0; k < whole.channels; ++k) {
                        ASSERT_EQ(padded.At(x, y, k), whole.At(x, y, k))
                            << e.name << " with " << threads << " threads at " << x << "," << y;
                    }
                }
            }
            EXPECT_EQ(padded.At(whole.width - 1, 0, whole.channels - 1 + 3), 0xEE) << e.name;
        }
        for (const Rect& r : regions) {
            for (const int32_t step : {1, 2, 5, 64}) {
                settings.region = r;
                settings.step = step;
                Picture part((r.width - 1) / step + 1, (r.height - 1) / step + 1, whole.channels);
                ASSERT_EQ(Render(filter, source.View(), part.Writable(), settings), Status::kOk);
                for (int32_t j = 0; j < part.height; ++j) {
                    for (int32_t i = 0; i < part.width; ++i) {
                        for (int32_t k = 0; k < part.channels; ++k) {
                            ASSERT_EQ(part.At(i, j, k), whole.At(r.x + i * step, r.y + j * step, k))
                                << e.name << " region " << r.x << "," << r.y << " step " << step;
                        }
                    }
                }
            }
        }
        settings.region = {};
        settings.step = 1;
    }
}

// A progress callback that throws stops the render on every thread, and the
// exception comes back from Render once they are joined.
TEST(Render, WhatTheProgressCallbackThrowsComesBackFromRender) {
    for (const char* formula : {"255 - c", "put(c, 0)"}) {
        const test::Picture source = test::Pattern(64, 200, 3);
        test::Picture target(64, 200, 3);
        RenderSettings settings = Threads(2);
        settings.progress = [](int64_t done, int64_t) -> bool {
            if (done >= 8) throw std::runtime_error("stop here");
            return true;
        };
        EXPECT_THROW(
            Render(Filter(formula, kAllChannels), source.View(), target.Writable(), settings),
            std::runtime_error)
            << formula;
    }
}

}  // namespace
}  // namespace zv

// SPDX-License-Identifier: MIT
// The C interface as hosts use it: every bad argument gets a status and a
// message, never a crash; cancels from the progress callback and from
// another thread return promptly; one filter renders on several threads at
// once with the bytes of one render.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/render/fixture.h"
#include "zorvan/render.h"

namespace zv {
namespace {

struct FilterHandle {
    ZvFilter* filter = nullptr;
    explicit FilterHandle(const char* formula, uint32_t channels = 15) {
        EXPECT_EQ(ZvFilterFromFormula(formula, channels, &filter), ZV_OK) << ZvRenderMessage();
    }
    ~FilterHandle() { ZvFilterFree(filter); }
};

ZvImage ImageOf(test::Picture& p) {
    return {p.bytes.data(), p.width, p.height, p.channels, p.stride};
}

// The sliders a host shows: only what the computed channels' formulas read,
// every control where the number is computed.
TEST(CApi, InputsAreWhatTheChosenFormulasRead) {
    const struct {
        const char* formula;
        uint32_t channels, inputs;
    } cases[] = {
        {"255 - c", 15, 0},
        {"ctl(2) + val(5, 0, 9) + ctl(8) + val(-1, 0, 1) + ctl(1 + 2 * 3)", 15, 0b10100100},
        {"map(1, c) + map(3, c) + map(4, c)", 15, 0b11001100},
        {"ctl(x & 7)", 1, 0xFF},
        {"x < 9 ? t : total", 4, ZV_INPUT_T | ZV_INPUT_TOTAL},
        {"r ? 1 : map(t, 0)", 2, 0xFF | ZV_INPUT_T},
    };
    for (const auto& k : cases) {
        FilterHandle f(k.formula, k.channels);
        EXPECT_EQ(ZvFilterInputs(f.filter), k.inputs) << k.formula;
    }
    const std::string file = "ctl0: A = 1\nr: ctl(0)\nrgb: ctl(1) + t\n";
    ZvFilter* filter = nullptr;
    ASSERT_EQ(ZvFilterFromFile(file.data(), file.size(), "f.zvf", &filter), ZV_OK);
    EXPECT_EQ(ZvFilterInputs(filter), 0b11 | ZV_INPUT_T);  // r's own formula wins for red
    ZvFilterFree(filter);
    EXPECT_EQ(ZvFilterInputs(nullptr), 0u);
}

TEST(CApi, FormulasAndFilterFilesThatDoNotCompileSayWhy) {
    ZvFilter* filter = reinterpret_cast<ZvFilter*>(&filter);
    EXPECT_EQ(ZvFilterFromFormula("x + * 2", 15, &filter), ZV_BAD_FORMULA);
    EXPECT_EQ(filter, nullptr);
    EXPECT_STREQ(
        ZvRenderMessage(),
        "formula does not parse at column 3: \"+\" has no right operand\n  x + * 2\n    ^");
    EXPECT_EQ(ZvFilterFromFormula("r", 16, &filter), ZV_BAD_ARGUMENT);
    EXPECT_EQ(ZvFilterFromFormula(nullptr, 15, &filter), ZV_BAD_ARGUMENT);
    EXPECT_STREQ(ZvRenderMessage(), "formula: null");
    EXPECT_EQ(ZvFilterFromFormula("r", 15, nullptr), ZV_BAD_ARGUMENT);
    const std::string bad = "title: t\nrgb: (r\n";
    EXPECT_EQ(ZvFilterFromFile(bad.data(), bad.size(), "f.zvf", &filter), ZV_BAD_FORMULA);
    EXPECT_STREQ(ZvRenderMessage(),
                 "f.zvf:2:8: formula for rgb does not parse: unexpected end of formula: \"(\" at "
                 "column 6 is not closed\n  (r\n    ^");
    EXPECT_EQ(ZvFilterFromFile("colour: c", 9, "f.zvf", &filter), ZV_BAD_FILTER);
    EXPECT_EQ(ZvFilterFromFile(nullptr, 3, "f.zvf", &filter), ZV_BAD_ARGUMENT);

    const std::string good = "ctl2: Twist = 160\nctl3: 0 (-9..9)\nrgb: 255 - c\n";
    ASSERT_EQ(ZvFilterFromFile(good.data(), good.size(), nullptr, &filter), ZV_OK);
    EXPECT_EQ(ZvFilterControl(filter, 2), 160);
    EXPECT_STREQ(ZvFilterControlName(filter, 2), "Twist");
    EXPECT_STREQ(ZvFilterControlName(filter, 0), "");
    EXPECT_EQ(ZvFilterControlName(filter, 8), nullptr);
    int32_t low = 1, high = 1;
    EXPECT_EQ(ZvFilterControlRange(filter, 3, &low, &high), ZV_OK);
    EXPECT_EQ(low, -9);
    EXPECT_EQ(high, 9);
    EXPECT_EQ(ZvFilterControlRange(filter, 0, &low, &high), ZV_OK);
    EXPECT_EQ(high, 255);
    EXPECT_EQ(ZvFilterControlRange(filter, 8, &low, &high), ZV_BAD_ARGUMENT);
    EXPECT_STREQ(ZvRenderMessage(), "control 8 is not one of 0 to 7");
    EXPECT_EQ(ZvFilterControlRange(filter, 0, nullptr, &high), ZV_BAD_ARGUMENT);
    EXPECT_EQ(ZvFilterTargetChannels(filter, 3), 3);
    EXPECT_EQ(ZvFilterTargetChannels(filter, 2), 0);
    EXPECT_EQ(ZvFilterTargetChannels(nullptr, 3), 0);
    ZvFilterFree(filter);
    ZvFilterFree(nullptr);
    EXPECT_STREQ(ZvRenderVersion(), ZV_RENDER_VERSION);
}

struct BadRender {
    const char* what;
    void (*spoil)(ZvImage& source, ZvImage& target, ZvRenderOptions& options);
    const char* message;
};

TEST(CApi, WarningsComeWithTheirCaretLine) {
    ZvFilter* filter = nullptr;
    ASSERT_EQ(ZvFilterFromFormula("r + 4294967296", 15, &filter), ZV_OK);
    EXPECT_STREQ(ZvFilterWarning(filter, 0),
                 "formula has a number beyond 32 bits at column 5: 4294967296 wraps to 0\n"
                 "  r + 4294967296\n      ^");
    EXPECT_EQ(ZvFilterWarning(filter, 1), nullptr);
    EXPECT_EQ(ZvFilterWarning(filter, -1), nullptr);
    EXPECT_EQ(ZvFilterWarning(nullptr, 0), nullptr);
    ZvFilterFree(filter);
}

TEST(CApi, BadViewsRegionsAndStepsAreRefused) {
    const BadRender cases[] = {
        {"no source pixels", [](ZvImage& s, ZvImage&, ZvRenderOptions&) { s.pixels = nullptr; },
         "source: no pixels"},
        {"zero width", [](ZvImage& s, ZvImage&, ZvRenderOptions&) { s.width = 0; },
         "source: 0x6 has no pixels"},
        {"negative height", [](ZvImage&, ZvImage& t, ZvRenderOptions&) { t.height = -6; },
         "target: 8x-6 has no pixels"},
        {"two channels", [](ZvImage& s, ZvImage&, ZvRenderOptions&) { s.channels = 2; },
         "source: 2 channels; 3 or 4 are rendered"},
        {"short stride", [](ZvImage& s, ZvImage&, ZvRenderOptions&) { s.stride = 23; },
         "source: a stride of 23 bytes is less than a row of 24"},
        {"huge stride", [](ZvImage& s, ZvImage&, ZvRenderOptions&) { s.stride = SIZE_MAX / 2; },
         "source: the view does not fit in memory"},
        {"target the wrong size", [](ZvImage&, ZvImage& t, ZvRenderOptions&) { t.width = 7; },
         "target: 7x6 with 3 channels; this render makes 8x6 with 3"},
        {"target with alpha",
         [](ZvImage&, ZvImage& t, ZvRenderOptions&) {
             t.channels = 4, t.height = 4, t.stride = 32;
         },
         "target: 8x4 with 4 channels; this render makes 8x6 with 3"},
        {"target is the source", [](ZvImage& s, ZvImage& t, ZvRenderOptions&) { t = s; },
         "target: shares memory with the source"},
        {"target overlaps the source's last row",
         [](ZvImage& s, ZvImage& t, ZvRenderOptions&) { t.pixels = s.pixels + 5 * 24 + 23; },
         "target: shares memory with the source"},
        {"region outside",
         [](ZvImage&, ZvImage&, ZvRenderOptions& o) {
             o.regionX = 4, o.regionY = 0, o.regionWidth = 5, o.regionHeight = 6;
         },
         "region 4,0 5x6 does not lie within the 8x6 image"},
        {"negative region",
         [](ZvImage&, ZvImage&, ZvRenderOptions& o) {
             o.regionX = -1, o.regionWidth = 2, o.regionHeight = 2;
         },
         "region -1,0 2x2 does not lie within the 8x6 image"},
        {"empty region", [](ZvImage&, ZvImage&, ZvRenderOptions& o) { o.regionX = 1; },
         "region 1,0 0x0 does not lie within the 8x6 image"},
        {"negative step", [](ZvImage&, ZvImage&, ZvRenderOptions& o) { o.step = -2; },
         "step -2: must be 1 or more"},
    };
    const FilterHandle invert("255 - c");
    for (const BadRender& c : cases) {
        std::vector<uint8_t> bytes(2 * 8 * 6 * 3, 7);
        ZvImage source{bytes.data(), 8, 6, 3, 24};
        ZvImage target{bytes.data() + 8 * 6 * 3, 8, 6, 3, 24};
        ZvRenderOptions options{};
        c.spoil(source, target, options);
        EXPECT_EQ(ZvRender(invert.filter, &source, &target, &options), ZV_BAD_ARGUMENT) << c.what;
        EXPECT_STREQ(ZvRenderMessage(), c.message) << c.what;
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 7), 2 * 8 * 6 * 3) << c.what;
    }
    std::vector<uint8_t> bytes(8 * 6 * 3);
    ZvImage image{bytes.data(), 8, 6, 3, 24};
    EXPECT_EQ(ZvRender(nullptr, &image, &image, nullptr), ZV_BAD_ARGUMENT);
    EXPECT_EQ(ZvRender(invert.filter, nullptr, &image, nullptr), ZV_BAD_ARGUMENT);
    EXPECT_EQ(ZvRender(invert.filter, &image, nullptr, nullptr), ZV_BAD_ARGUMENT);
    int32_t value = 0;
    EXPECT_EQ(ZvEvaluate(invert.filter, &image, 8, 0, 0, nullptr, &value), ZV_BAD_ARGUMENT);
    EXPECT_STREQ(ZvRenderMessage(), "8,0 lies outside the 8x6 image");
    EXPECT_EQ(ZvEvaluate(invert.filter, &image, 0, 0, 4, nullptr, &value), ZV_BAD_ARGUMENT);
    EXPECT_EQ(ZvEvaluate(invert.filter, &image, 0, 0, 0, nullptr, nullptr), ZV_BAD_ARGUMENT);
    ASSERT_EQ(ZvEvaluate(invert.filter, &image, 7, 5, 2, nullptr, &value), ZV_OK);
    EXPECT_EQ(value, 255);
}

// A slow formula on a picture big enough that a render takes a while.
constexpr const char* kSlow = "rad(d + sin(x * y) + cos(m * 3), m, z) + cnv(1,2,1,2,4,2,1,2,1,16)";

TEST(CApi, ProgressCanCancel) {
    for (const char* formula : {kSlow, "put(get(0) + 1, 0) + c"}) {
        const FilterHandle slow(formula);
        test::Picture source = test::Pattern(600, 400, 3), target(600, 400, 3);
        ZvImage in = ImageOf(source), out = ImageOf(target);
        ZvRenderOptions options{};
        options.threads = 2;
        std::vector<std::pair<int64_t, int64_t>> calls;
        options.user = &calls;
        options.progress = [](void* user, int64_t done, int64_t total) {
            auto& seen = *static_cast<std::vector<std::pair<int64_t, int64_t>>*>(user);
            seen.emplace_back(done, total);
            return done >= 8 ? 1 : 0;
        };
        EXPECT_EQ(ZvRender(slow.filter, &in, &out, &options), ZV_CANCELLED) << formula;
        EXPECT_STREQ(ZvRenderMessage(), "the render was cancelled");
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().second, 400) << formula;
        EXPECT_LT(calls.back().first, 400) << formula;
    }
}

TEST(CApi, CancelFromAnotherThreadStopsTheRender) {
    const Filter slow(kSlow, kAllChannels);
    const test::Picture source = test::Pattern(2000, 1500, 3);
    test::Picture target(2000, 1500, 3);
    std::atomic<bool> cancel{false};
    std::atomic<int64_t> rows{0};
    RenderSettings settings;
    settings.cancel = &cancel;
    settings.progress = [&rows](int64_t done, int64_t) {
        rows = done;
        return true;
    };
    std::jthread canceller([&] {
        while (rows.load() == 0) std::this_thread::yield();
        cancel = true;
    });
    EXPECT_EQ(Render(slow, source.View(), target.Writable(), settings), Status::kCancelled);
    EXPECT_LT(rows.load(), 1500);
}

// One filter, four threads each rendering the whole picture, a tile and a
// preview at once: each gets the bytes of a lone render.
TEST(CApi, OneFilterRendersOnSeveralThreadsAtOnce) {
    for (const char* formula : {"rad(d + 160 * (M - m) / M, m, z)", "c + rnd(-9, 9)"}) {
        const FilterHandle filter(formula);
        test::Picture source = test::Pattern(97, 61, 4);
        ZvImage in = ImageOf(source);
        ZvRenderOptions preview{};
        preview.step = 3;
        preview.threads = 2;
        const auto render = [&](test::Picture& target, const ZvRenderOptions& options) {
            ZvImage out = ImageOf(target);
            EXPECT_EQ(ZvRender(filter.filter, &in, &out, &options), ZV_OK) << ZvRenderMessage();
        };
        test::Picture alone(33, 21, 4);
        render(alone, preview);
        std::vector<test::Picture> results(4, test::Picture(33, 21, 4));
        {
            std::vector<std::jthread> threads;
            for (test::Picture& r : results) threads.emplace_back([&] { render(r, preview); });
        }
        for (const test::Picture& r : results) EXPECT_EQ(r.bytes, alone.bytes) << formula;
    }
}

}  // namespace
}  // namespace zv

#include "tools/zorvan/engine.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/cli/helpers.h"
#include "tools/zorvan/examples.h"
#include "tools/zorvan/frame.h"
#include "tools/zorvan/test_image.h"

namespace zv::cli {
namespace {

Program Compile(const std::vector<std::pair<ChannelSet, std::string>>& formulas) {
    std::vector<FormulaOffer> offers;
    for (const auto& [channels, text] : formulas)
        offers.push_back({channels, {text, text, {}, {}}, 1});
    return CompileProgram(offers);
}

// A 7 x 5 picture whose pixel (x, y) is (10x + y, 100 + y, 200 - x), with
// alpha 50 + x when it has four channels.
Image Numbered(int32_t channels) {
    Image image(7, 5, channels);
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            uint8_t* p = image.Row(y) + static_cast<size_t>(x) * channels;
            p[0] = static_cast<uint8_t>(10 * x + y);
            p[1] = static_cast<uint8_t>(100 + y);
            p[2] = static_cast<uint8_t>(200 - x);
            if (channels == 4) p[3] = static_cast<uint8_t>(50 + x);
        }
    }
    return image;
}

uint8_t At(const Image& image, int32_t x, int32_t y, int32_t k) {
    return image.Row(y)[static_cast<size_t>(x) * image.channels + k];
}

Image Render(const Program& program, const Image& source, unsigned threads = 2,
             const FrameSettings& settings = {}) {
    return MakeEngine(program, threads)->Render(source, settings, Progress::Silent());
}

struct RecordCase {
    const char* formula;
    std::function<int(int x, int y)> expected;
};

// What the formula sees, pixel by pixel, on the red channel of Numbered(3)
// at t = 3 of 10 frames with control 2 set to 77.
TEST(Engine, FillsTheRecordAsDocumented) {
    const RecordCase cases[] = {
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
    const Image source = Numbered(3);
    FrameSettings settings;
    settings.t = 3;
    settings.total = 9;
    settings.controls[2] = 77;
    for (const RecordCase& c : cases) {
        const Image out = Render(Compile({{0b0001, c.formula}}), source, 2, settings);
        for (int y = 0; y < source.height; ++y) {
            for (int x = 0; x < source.width; ++x) {
                const int want = c.expected(x, y);
                if (want < 0) continue;
                EXPECT_EQ(At(out, x, y, 0), want) << c.formula << " at " << x << "," << y;
            }
        }
    }
}

TEST(Engine, ChannelsWithoutFormulaKeepTheirValues) {
    for (const int32_t channels : {3, 4}) {
        const Image source = Numbered(channels);
        const Image out = Render(Compile({{0b0010, "7"}}), source);
        ASSERT_EQ(out.channels, channels);
        for (int y = 0; y < source.height; ++y) {
            for (int x = 0; x < source.width; ++x) {
                for (int k = 0; k < channels; ++k) {
                    EXPECT_EQ(At(out, x, y, k), k == 1 ? 7 : At(source, x, y, k));
                }
            }
        }
    }
}

TEST(Engine, AlphaIsComputedWhenThereIsAlphaOrAFormulaForAlphaAlone) {
    const Image rgb = Numbered(3), rgba = Numbered(4);
    // Every channel of an RGB image is three channels: no alpha appears.
    EXPECT_EQ(Render(Compile({{kAllChannels, "c"}}), rgb).channels, 3);
    // An alpha formula adds alpha; it sees c = a = 255, the opaque plane.
    const Image added = Render(Compile({{0b1000, "c + a - 300 + x"}}), rgb);
    ASSERT_EQ(added.channels, 4);
    EXPECT_EQ(At(added, 6, 0, 3), 216);
    EXPECT_EQ(At(added, 6, 0, 0), At(rgb, 6, 0, 0));
    // With alpha in the source, every channel includes it, and a reads it.
    const Image inverted = Render(Compile({{kAllChannels, "255 - c"}}), rgba);
    EXPECT_EQ(At(inverted, 2, 1, 3), 255 - 52);
    EXPECT_EQ(At(Render(Compile({{0b0001, "a"}}), rgba), 4, 3, 0), 54);
}

// Cells run on from pixel to pixel and channel to channel in visiting
// order, and start at 0 with every frame.
TEST(Engine, OrderedProgramsVisitRowsColumnsChannels) {
    const Program counter = Compile({{0b0001, "put(get(0) + 1, 0)"}});
    const Image source = Numbered(3);
    const std::unique_ptr<Engine> engine = MakeEngine(counter, 4);
    for (int frame = 0; frame < 2; ++frame) {
        const Image out = engine->Render(source, {}, Progress::Silent());
        for (int y = 0; y < source.height; ++y) {
            for (int x = 0; x < source.width; ++x) EXPECT_EQ(At(out, x, y, 0), y * 7 + x + 1);
        }
    }
    const Image chained =
        Render(Compile({{0b0001, "put(5, 1)"}, {0b0010, "get(1) + get(2)"}, {0b0100, "put(7, 2)"}}),
               source);
    EXPECT_EQ(At(chained, 0, 0, 1), 5);   // blue has not run yet
    EXPECT_EQ(At(chained, 1, 0, 1), 12);  // blue of the pixel before
}

// rnd's sequence starts afresh with each engine and runs on across frames.
TEST(Engine, RandomSequenceIsPerEngine) {
    const Program noise = Compile({{kColourChannels, "rnd(0, 255)"}});
    const Image source = TestImage(40, 30);
    const std::unique_ptr<Engine> engine = MakeEngine(noise, 2);
    const Image first = engine->Render(source, {}, Progress::Silent());
    const Image second = engine->Render(source, {}, Progress::Silent());
    EXPECT_NE(first.pixels, second.pixels);
    EXPECT_EQ(Render(noise, source, 1).pixels, first.pixels);
    EXPECT_EQ(engine->Path(0, 3), "per-pixel, 1 thread in visiting order (put/rnd)");
}

TEST(Engine, AnyNumberOfThreadsGivesTheSameBytes) {
    const Image source = TestImage(61, 37);
    for (const Example& e : Examples()) {
        const Program program = CompileProgram(FilterOffers(e.filter));
        FrameSettings settings;
        settings.controls = FilterControls(e.filter);
        const Image one = Render(program, source, 1, settings);
        for (const unsigned threads : {2u, 3u, 16u}) {
            EXPECT_EQ(Render(program, source, threads, settings).pixels, one.pixels)
                << e.name << " with " << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace zv::cli

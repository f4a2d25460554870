// SPDX-License-Identifier: MIT
// The plug-in's toolkit-free core: what counts as a filter file, the grey
// rule, regions, the dialog's model and the preview's cancelling.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "plugins/gimp/core/dialog_model.h"
#include "plugins/gimp/core/preview.h"

namespace zvgimp {
namespace {

TEST(FilterText, FileOrBareFormula) {
    const struct {
        const char* text;
        bool file;
    } cases[] = {
        {"rgb: 255 - c", true},         {"\n  # note\nr: c", true},
        {"title: T\nr: c", true},       {"tilte: T\nr: c", true},  // a file, so its error says why
        {"x<X/2 ? r : 255-r", false},   {"a?1:2", false},
        {"255 - c", false},             {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsFilterFile(c.text), c.file) << c.text;
}

TEST(FilterText, ErrorsCarryThePosition) {
    try {
        CompileFilter("title: T\nrgb: c +\n");
        FAIL();
    } catch (const zv::Error& e) {
        EXPECT_EQ(e.line(), 2);
        EXPECT_GT(e.column(), 0);
    }
    EXPECT_THROW(CompileFilter("tilte: T\nr: c"), zv::Error);
}

// A grey pixel is r = g = b; red's result comes back, alpha keeps its place.
TEST(Pixels, GreyRuleAndRegion) {
    Pixels grey{3, 2, 2, {10, 1, 20, 2, 30, 3, 40, 4, 50, 5, 60, 6}};
    const RenderSource source(grey);
    const CompiledFilter f = CompileFilter("r: r + x + 100 * y\ng: 0\na: a + 1");
    std::vector<uint8_t> out;
    ASSERT_EQ(RenderRect(*f.filter, source, 2, {1, 1, 2, 1}, {}, out), zv::Status::kOk);
    EXPECT_EQ(out, (std::vector<uint8_t>{151, 6, 162, 7}));
    Pixels rgb{2, 1, 3, {1, 2, 3, 4, 5, 6}};
    ASSERT_EQ(RenderRect(*CompileFilter("c + X").filter, RenderSource(rgb), 3, {0, 0, 2, 1}, {},
                         out),
              zv::Status::kOk);
    EXPECT_EQ(out, (std::vector<uint8_t>{3, 4, 5, 6, 7, 8}));
}

// A run writes only when its render ends: cancelled from the progress bar,
// at its first report or its last, nothing is written.
TEST(Pixels, CancelledRunWritesNothing) {
    const RenderSource source(Pixels{64, 64, 3, std::vector<uint8_t>(64 * 64 * 3, 5)});
    const CompiledFilter f = CompileFilter("255 - c");
    for (const bool lastOnly : {false, true}) {
        zv::RenderSettings s;
        s.threads = 1;
        s.progress = [lastOnly](int64_t done, int64_t total) { return lastOnly && done < total; };
        int writes = 0;
        EXPECT_EQ(RenderThenWrite(*f.filter, source, 3, {0, 0, 64, 64}, s,
                                  [&](const std::vector<uint8_t>&) { ++writes; }),
                  zv::Status::kCancelled);
        EXPECT_EQ(writes, 0) << lastOnly;
    }
    std::vector<uint8_t> written;
    EXPECT_EQ(RenderThenWrite(*f.filter, source, 3, {0, 0, 64, 64}, {},
                              [&](const std::vector<uint8_t>& out) { written = out; }),
              zv::Status::kOk);
    EXPECT_EQ(written, std::vector<uint8_t>(64 * 64 * 3, 250));
}

TEST(Settings, StoredAndRestored) {
    Settings s{"rgb: ctl(0)", {1, -2, 3, 4, 5, 6, 7, 8}, 9, 10};
    const std::vector<uint8_t> bytes = Store(s);
    const std::optional<Settings> back = Restore(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->filter, s.filter);
    EXPECT_EQ(SliderValues(*back), SliderValues(s));
    EXPECT_FALSE(Restore(bytes.data(), 10));
    std::vector<uint8_t> other = bytes;
    other[0] = 7;  // another version's bytes
    EXPECT_FALSE(Restore(other.data(), other.size()));
}

TEST(DialogModel, SlidersFollowTheFilter) {
    DialogModel model(Settings{"ctl0: Twist = 160\nctl3: 0 (-5..5)\nrgb: ctl(0) + ctl(3) + t",
                               {7, 0, 0, 2}, 0, 0});
    std::array<Slider, kSliders> s = model.Sliders();
    EXPECT_EQ(s[0].label, "Twist");
    EXPECT_TRUE(s[0].shown && s[3].shown && s[kSliderT].shown);
    EXPECT_FALSE(s[1].shown || s[kSliderTotal].shown);
    EXPECT_EQ(s[3].low, -5);
    EXPECT_EQ(model.Current().controls[0], 7);  // the values it was given stay

    EXPECT_FALSE(model.SetText("rgb: ctl(0) +"));
    EXPECT_NE(model.Error().find("does not parse"), std::string::npos);
    EXPECT_EQ(model.Sliders()[0].label, "Twist");  // the last good filter's

    ASSERT_TRUE(model.SetText(ExampleText("invert")));
    EXPECT_EQ(model.Current().controls[0], 0);  // other controls: the file's defaults
    for (const Slider& slider : model.Sliders()) EXPECT_FALSE(slider.shown);
}

TEST(Preview, NewerRequestWins) {
    Pixels pixels{1000, 500, 3, std::vector<uint8_t>(1500000, 9)};
    std::mutex m;
    std::condition_variable done;
    int frames = 0;
    PreviewScheduler preview(std::make_shared<RenderSource>(pixels), 100, [&] {
        const std::lock_guard lock(m);
        ++frames;
        done.notify_one();
    });
    const CompiledFilter slow = CompileFilter("src(x, y, z) + ctl(0)");
    for (int32_t k = 0; k < 20; ++k) {
        zv::RenderSettings s;
        s.controls[0] = k;
        preview.Request(slow.filter, s);
    }
    // A request may finish before the next one comes; the last one shows at the end.
    std::optional<Frame> frame;
    while (!frame || frame->rgb[0] != 9 + 19) {
        std::unique_lock lock(m);
        done.wait(lock, [&] { return frames > 0; });
        --frames;
        lock.unlock();
        if (std::optional<Frame> next = preview.Take()) frame = std::move(next);
    }
    EXPECT_EQ(frame->width, 100);
    EXPECT_EQ(frame->height, 50);
}

}  // namespace
}  // namespace zvgimp

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

// What a .zvf file may hold to become the dialog's text.
TEST(FilterText, LoadableFiles) {
    const struct {
        std::string bytes;
        const char* why;  // "" when it loads
    } cases[] = {
        {"rgb: 255 - c\n", ""},
        {"# caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xa8\nr: c", ""},
        {std::string("r: c\0", 5), "a NUL byte at byte 4"},
        {"r: c \xe9t\xe9", "not UTF-8 text at byte 5"},  // Latin-1
        {"\xc0\xaf", "not UTF-8 text at byte 0"},         // overlong
        {"\xed\xa0\x80", "not UTF-8 text at byte 0"},     // a surrogate
        {"\xf4\x90\x80\x80", "not UTF-8 text at byte 0"}, // past U+10FFFF
        {"ok \xe2\x82", "not UTF-8 text at byte 3"},       // cut short
        {std::string((1 << 20) + 1, ' '), "a filter file may hold at most 1 MiB"},
    };
    for (const auto& c : cases) EXPECT_EQ(Unloadable(c.bytes), c.why) << c.bytes.substr(0, 20);
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
TEST(Pixels, GreyRuleRegionAndStep) {
    Pixels grey{3, 2, 2, {10, 1, 20, 2, 30, 3, 40, 4, 50, 5, 60, 6}};
    const RenderSource source(grey);
    const CompiledFilter f = CompileFilter("r: r + x + 100 * y\ng: 0\na: a + 1");
    Bytes out;
    ASSERT_EQ(RenderRect(*f.filter, source, {1, 1, 2, 1}, 1, {}, out), zv::Status::kOk);
    EXPECT_EQ(out, (Bytes{151, 6, 162, 7}));
    ASSERT_EQ(RenderRect(*f.filter, source, {0, 0, 3, 2}, 2, {}, out), zv::Status::kOk);
    EXPECT_EQ(out, (Bytes{10, 2, 32, 4}));
    Pixels rgb{2, 1, 3, {1, 2, 3, 4, 5, 6}};
    ASSERT_EQ(RenderRect(*CompileFilter("c + X").filter, RenderSource(rgb), {0, 0, 2, 1}, 1, {},
                         out),
              zv::Status::kOk);
    EXPECT_EQ(out, (Bytes{3, 4, 5, 6, 7, 8}));
}

// Every screen pixel of a view is the full render's pixel nearest to it,
// zoomed out, at 1:1 and zoomed in, with the step the zoom allows.
TEST(Preview, ViewShowsTheFullRenderAtItsZoom) {
    Pixels pixels{40, 30, 3, Bytes(40 * 30 * 3)};
    for (size_t i = 0; i < pixels.bytes.size(); ++i) pixels.bytes[i] = static_cast<uint8_t>(i * 7);
    const RenderSource source(pixels);
    const CompiledFilter f = CompileFilter("src(x + y, y, z) ^ x");
    Bytes full;
    ASSERT_EQ(RenderRect(*f.filter, source, {0, 0, 40, 30}, 1, {}, full), zv::Status::kOk);
    const struct {
        PreviewView view;
        int32_t step;
    } cases[] = {
        {{{0, 0, 40, 30}, 8, 6}, 5},     {{{0, 0, 40, 30}, 13, 9}, 3},
        {{{5, 7, 20, 10}, 20, 10}, 1},   {{{5, 7, 4, 3}, 16, 12}, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PreviewStep(c.view), c.step);
        const std::optional<Frame> frame = RenderView(*f.filter, source, c.view, {});
        ASSERT_TRUE(frame);
        const zv::Rect& r = c.view.region;
        const int32_t wide = (r.width + c.step - 1) / c.step, high = (r.height + c.step - 1) / c.step;
        for (int32_t y = 0; y < c.view.height; ++y) {
            for (int32_t x = 0; x < c.view.width; ++x) {
                const int32_t fx = r.x + x * wide / c.view.width * c.step;
                const int32_t fy = r.y + y * high / c.view.height * c.step;
                for (int k = 0; k < 3; ++k) {
                    ASSERT_EQ(frame->bytes[static_cast<size_t>((y * c.view.width + x) * 3 + k)],
                              full[static_cast<size_t>((fy * 40 + fx) * 3 + k)])
                        << x << "," << y;
                }
            }
        }
    }
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

// A newer request cancels the render under way: the older one stops
// before its last row (it is held at its first progress report until the
// newer one is made, and renders on one thread), and only the newer frame
// arrives.
TEST(Preview, NewerRequestCancelsTheOlder) {
    Pixels pixels{64, 256, 3, Bytes(64 * 256 * 3, 9)};
    std::mutex m;
    std::condition_variable changed;
    int frames = 0;
    bool held = false, released = false;
    int64_t olderRows = 0, olderTotal = 0;
    PreviewScheduler preview(std::make_shared<RenderSource>(pixels), [&] {
        const std::lock_guard lock(m);
        ++frames;
        changed.notify_all();
    });
    const CompiledFilter f = CompileFilter("c + ctl(0)");
    const PreviewView view{{0, 0, 64, 256}, 64, 256};
    zv::RenderSettings older;
    older.threads = 1;
    older.controls[0] = 1;
    older.progress = [&](int64_t done, int64_t total) {
        std::unique_lock lock(m);
        olderRows = done;
        olderTotal = total;
        held = true;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
        return true;
    };
    preview.Request(f.filter, older, view);
    std::unique_lock lock(m);
    changed.wait(lock, [&] { return held; });
    zv::RenderSettings newer;
    newer.controls[0] = 2;
    preview.Request(f.filter, newer, view);
    released = true;
    changed.notify_all();
    changed.wait(lock, [&] { return frames > 0; });
    EXPECT_LT(olderRows, olderTotal);
    EXPECT_EQ(frames, 1);
    lock.unlock();
    const std::optional<Frame> frame = preview.Take();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->bytes[0], 9 + 2);
}

}  // namespace
}  // namespace zvgimp

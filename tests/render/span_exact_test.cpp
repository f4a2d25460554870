// SPDX-License-Identifier: MIT
// The span path against ZvExec per pixel: raw values before clamping for
// generated formulas over every operator and built-in, on runs of pixels and
// on interleaved runs, and the bytes of every example filter, on small images
// of odd sizes and across run boundaries; each with the loops of every
// instruction set this processor runs.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "render/context.h"
#include "render/formula.h"
#include "render/span/cells.h"
#include "render/span/isa.h"
#include "render/span/rows.h"
#include "render/span/span.h"
#include "tests/render/fixture.h"
#include "tests/render/formulas.h"

namespace zv {
namespace {

using test::Pattern;
using test::Picture;

// body() with the loops of each instruction set in turn.
template <class Body>
void ForEachIsa(const Body& body) {
    for (const Isa isa : RunnableIsas()) {
        UseIsa(isa);
        SCOPED_TRACE(NameOf(isa));
        body();
    }
}

int32_t ZvExecAt(const ExprNode* tree, const Picture& source, PixelContext& context, int32_t x,
                 int32_t y, int32_t k) {
    const uint8_t* pixel = source.Pixel(x, y);
    MoveTo(context, pixel, x, y);
    return EvaluateChannel(tree, nullptr, context, pixel, source.channels, k);
}

// Whole rows through the interleaved program, into bytes, twice over, so that
// rows split as the row before did come back: against ZvExec's values,
// clamped.
void ExpectSameRows(const ExprNode* tree, const SpanProgram& program, const std::string& text,
                    const Picture& source, const RenderContext& render) {
    PixelContext spans = render.Fresh(), pixels = render.Fresh();
    InterleavedRows rows(tree, program);
    const int32_t channels = source.channels;
    std::vector<uint8_t> got(static_cast<size_t>(source.width) * channels);
    for (int32_t pass = 0; pass < 2; ++pass) {
        for (int32_t y = 0; y < source.height; ++y) {
            spans.y = y;
            rows.Row(spans, 0, source.width, channels, got.data());
            for (size_t e = 0; e < got.size(); ++e) {
                const int32_t x = static_cast<int32_t>(e) / channels;
                const int32_t k = static_cast<int32_t>(e) % channels;
                ASSERT_EQ(got[e], ClampToByte(ZvExecAt(tree, source, pixels, x, y, k)))
                    << text << " row at " << x << "," << y << " channel " << k;
            }
        }
    }
}

// The interleaved program of the formula, when it has one, on runs of whole
// pixels of the given lengths, and on whole rows.
void ExpectSameInterleaved(const ExprNode* tree, const std::string& text, const Picture& source,
                           const RenderContext& render, const std::vector<int32_t>& runs) {
    const SpanCompiled compiled = CompileSpans(tree, true);
    if (!compiled.program) return;
    PixelContext spans = render.Fresh(), pixels = render.Fresh();
    SpanWorkspace run(*compiled.program);
    const int32_t channels = source.channels;
    for (int32_t y = 0; y < source.height; ++y) {
        spans.y = y;
        size_t next = 0;
        for (int32_t x0 = 0; x0 < source.width;) {
            const int32_t n =
                std::min({runs[next++ % runs.size()], kSpanMax / channels, source.width - x0}) *
                channels;
            const int32_t* values = run.Interleaved(spans, x0, n, channels);
            for (int32_t e = 0; e < n; ++e) {
                const int32_t x = x0 + e / channels, k = e % channels;
                ASSERT_EQ(values[e], ZvExecAt(tree, source, pixels, x, y, k))
                    << text << " interleaved at " << x << "," << y << " channel " << k;
            }
            x0 += n / channels;
        }
    }
    ExpectSameRows(tree, *compiled.program, text, source, render);
}

// Every value of the formula on source through runs of the given lengths,
// one after the other along each row, against ZvExec at each pixel; then
// runs of every second or third pixel, as a sampled render takes them.
void ExpectSameValues(const std::string& text, const Picture& source,
                      const RenderSettings& settings, const std::vector<int32_t>& runs) {
    const Tree tree = CompileFormula({text, text, {}, {}});
    const SpanCompiled compiled = CompileSpans(tree.get());
    ASSERT_TRUE(compiled.program) << text << ": " << compiled.reason;
    const RenderContext render(source.View(), 4, settings, true);
    PixelContext spans = render.Fresh(), pixels = render.Fresh();
    SpanWorkspace run(*compiled.program);
    for (int32_t y = 0; y < source.height; ++y) {
        spans.y = y;
        for (const int32_t dx : {1, 2 + y % 2}) {
            size_t next = 0;
            for (int32_t x0 = 0; x0 < source.width;) {
                const int32_t n =
                    std::min(runs[next++ % runs.size()], (source.width - x0 + dx - 1) / dx);
                run.Start(spans, x0, n, dx);
                for (int32_t k = 0; k < 4; ++k) {
                    const int32_t* values = run.Values(k);
                    for (int32_t i = 0; i < n; ++i) {
                        const int32_t x = x0 + i * dx;
                        ASSERT_EQ(values[i], ZvExecAt(tree.get(), source, pixels, x, y, k))
                            << text << " at " << x << "," << y << " channel " << k << " of "
                            << source.width << "x" << source.height << ", every " << dx;
                    }
                }
                x0 += n * dx;
            }
        }
    }
    ExpectSameInterleaved(tree.get(), text, source, render, runs);
}

TEST(SpanExact, GeneratedFormulasGiveZvExecsValues) {
    RenderSettings edges;
    edges.controls = {-2147483647 - 1, -1, 0, 255, 7, 40, 40, 2147483647};
    edges.t = 3;
    edges.total = 9;
    RenderSettings plain;
    plain.controls = {128, 64, 1, 0, 0, 0, 255, 255};
    const Picture rgb = Pattern(13, 7, 3, 2);
    const Picture rgba = Pattern(6, 5, 4);
    ForEachIsa([&] {
        test::Generator generate(2026);
        for (int f = 0; f < 3000; ++f) {
            const std::string text = generate.Formula();
            if (f % 2) {
                ExpectSameValues(text, rgb, edges, {5, 1, 7});
            } else {
                ExpectSameValues(text, rgba, plain, {6});
            }
            if (HasFatalFailure()) return;
        }
    });
}

// Runs of every length up to the longest, at the edges and inside, where
// cnv and the channel loads read rows without clamping.
TEST(SpanExact, RunsOfEveryLength) {
    const Picture wide = Pattern(kSpanMax + 3, 4, 3);
    ForEachIsa([&] {
        for (const char* text :
             {"cnv(1, 2, 1, 2, 4, 2, 1, 2, 1, 16)", "cnv(r, 0, -1, x, 3, y, 0, 5, b, z)",
              "255 - c + a", "x < X / 2 ? c : 255 - c", "i + u * v", "(c * 3 - z * 40) / 2"}) {
            ExpectSameValues(text, wide, {}, {1, 2, 3, kSpanMax, 7, 64, 255});
        }
    });
}

// Conditionals that take one branch along stretches of a row, by x, y, z
// and values fixed for the row, on pictures wide enough for stretches of
// many runs and narrow ones around each change.
TEST(SpanExact, BranchesKnownAlongARow) {
    const Picture sources[] = {Pattern(kSpanMax + 77, 5, 3), Pattern(301, 4, 4, 3)};
    const char* const texts[] = {
        "x < X / 2 ? c : 255 - c",
        "y < 2 ? c : 255 - c",
        "x > 40 ? c * 2 : x < 20 ? 255 - c : c / 3",
        "(x - 100) * (x - 100) < 900 ? c : 0",
        "-x >= -30 ? c + y : 3 * c - x",
        "x == 57 || x != 58 ? (z ? c : 9) : 255 - c",
        "min(x, 50) <= 49 ? c : max(c, 99)",
        "!(x - 7) ? 1 : x + 1 > 200 ? c % 5 * 60 : y * 40 + c",
        "x * 1000000 > 0 ? c : 0",
        "(x < X / 3 ? c : 200) + (x > 2 * X / 3 ? 50 - c : 1)",
        "x < ctl(0) ? sqr(c * 255) : c >> 1",
    };
    RenderSettings settings;
    settings.controls = {150};
    ForEachIsa([&] {
        for (const char* text : texts) {
            for (const Picture& source : sources) {
                ExpectSameValues(text, source, settings, {kSpanMax});
                const Filter filter(text, kColourChannels);
                EXPECT_EQ(test::RenderNew(filter, source, settings).bytes,
                          test::RenderPerPixelNew(filter, source, settings).bytes)
                    << text;
            }
            if (HasFatalFailure()) return;
        }
    });
}

TEST(SpanExact, ExamplesGiveTheBytesOfThePerPixelEngine) {
    const Picture sources[] = {Pattern(1, 1, 3), Pattern(2, 3, 3), Pattern(13, 7, 4),
                               Pattern(kSpanMax + 45, 6, 3)};
    ForEachIsa([&] {
        for (const test::Example& e : test::Examples()) {
            const Filter filter(e.file);
            RenderSettings settings = e.Settings();
            for (const Picture& source : sources) {
                settings.threads = 1;
                const Picture want = test::RenderPerPixelNew(filter, source, settings);
                for (const unsigned threads : {1u, 3u}) {
                    settings.threads = threads;
                    EXPECT_EQ(test::RenderNew(filter, source, settings).bytes, want.bytes)
                        << e.name << " on " << source.width << "x" << source.height << " with "
                        << threads << " threads";
                }
            }
        }
    });
}

// The span engine makes the opaque alpha plane of an RGB image only when a
// formula can read it.
TEST(SpanExact, AlphaOfAnRgbImageReadsOpaque) {
    const Picture source = Pattern(9, 4, 3);
    for (const char* text : {"a", "src(x, y, z + 3) - 1", "rad(d, m, 3) - 2", "255 - c"}) {
        const Filter filter(text, kColourChannels);
        EXPECT_EQ(test::RenderNew(filter, source).bytes,
                  test::RenderPerPixelNew(filter, source).bytes)
            << text;
    }
}

// Cells as locals: a formula that reads only cells it wrote itself in the
// same evaluation runs by spans or on threads, with the bytes of the visiting
// order; one that just misses (a get before its put on some path) keeps the
// visiting order. Path: how the render takes red ("ordered", "span" or
// "per-pixel" on threads).
TEST(SpanExact, LocalCellsGiveTheBytesOfTheVisitingOrder) {
    const std::pair<const char*, const char*> cases[] = {
        {"put(256 - val(0, 0, 256) * max(0, m - M/3) / max(1, M - M/3), 0), c * get(0) / 256",
         "span"},
        {"put(c, 0)", "span"},
        {"put(r, 1), put(g, 2), get(1) - get(2) + c", "span"},
        {"get(0) + put(c, 0)", "span"},           // right operand first
        {"put(c, 0) + get(0)", "ordered"},        // the get comes first
        {"max(get(3), put(r, 3))", "span"},       // arguments last to first
        {"max(put(r, 3), get(3))", "ordered"},
        {"put(x, 0) && get(0)", "span"},
        {"x && put(r, 0), get(0)", "ordered"},    // && may skip the put
        {"x < 5 ? put(r, 0) : 0, get(0)", "ordered"},
        {"x < 5 ? put(r, 0) : put(r, 0), get(0)", "span"},
        {"x < 5 ? put(r, 0) : put(g, 0), get(0)", "per-pixel"},
        {"put(r, 0), 1, get(0) + c", "span"},
        {"put(get(0) + 1, 0)", "ordered"},        // a counter over the pixels
        {"put(1, 0), get(x)", "ordered"},
        {"put(1, 0), put(5, x), get(0)", "per-pixel"},
        {"put(7, 300), get(300) + c", "span"},
        {"put(c, 0), rnd(0, get(0))", "ordered"},
    };
    const Picture source = Pattern(37, 11, 3);
    RenderSettings settings;
    settings.controls[0] = 200;
    settings.threads = 2;
    for (const auto& [text, path] : cases) {
        const Filter filter(text, kAllChannels);
        EXPECT_EQ(filter.VisitingOrder(), std::string(path) == "ordered") << text;
        EXPECT_TRUE(filter.Path(0, 3, 2).starts_with(path) || filter.VisitingOrder())
            << text << ": " << filter.Path(0, 3, 2);
        EXPECT_EQ(test::RenderNew(filter, source, settings).bytes,
                  test::RenderOrderedNew(filter, source, settings).bytes)
            << text;
    }
}

TEST(SpanExact, GeneratedCellFormulasGiveTheBytesOfTheVisitingOrder) {
    const Picture source = Pattern(13, 7, 3, 2);
    const RenderContext render(source.View(), 4, {}, true);
    test::Generator generate(24, true);
    int32_t spans = 0;
    for (int f = 0; f < 1500; ++f) {
        const std::string text = generate.Formula();
        const Filter filter(text, kAllChannels);
        ASSERT_EQ(test::RenderNew(filter, source).bytes, test::RenderOrderedNew(filter, source).bytes)
            << text;
        const Tree tree = CompileFormula({text, text, {}, {}});
        if (!Puts(tree.get()) || !CompileSpans(tree.get()).program) continue;
        ++spans;
        ExpectSameValues(text, source, {}, {5, 1, 7});
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(spans, 100);  // the generator reaches the new path
}

// apply -v names each channel's path; a formula too deep to compile runs
// per pixel beside the compiled ones, with the same bytes.
TEST(SpanExact, PathsSayWhichWayAndWhy) {
    const std::string deep = std::string(600, '-') + "c";
    const Filter filter(std::vector<FormulaOffer>{{kColourChannels, {"255 - c", "", {}, {}}, 1},
                                                  {kGreen, {deep, "", {}, {}}, 1}});
    EXPECT_EQ(filter.Path(0, 3, 2), std::string("span, ") + NameOf(CurrentIsa()) + ", 2 threads");
    EXPECT_EQ(filter.Path(1, 3, 2), "per-pixel, 2 threads: nested too deeply");
    EXPECT_EQ(filter.Path(3, 3, 2), "none");
    const Picture source = Pattern(37, 11, 3);
    EXPECT_EQ(test::RenderNew(filter, source).bytes, test::RenderPerPixelNew(filter, source).bytes);
}

}  // namespace
}  // namespace zv

// The span path against ZvExec per pixel: raw values before clamping for
// generated formulas over every operator and built-in, and the bytes of
// every example filter, on small images of odd sizes and across run
// boundaries.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "eval/span.h"
#include "tools/zorvan/engine.h"
#include "tools/zorvan/examples.h"
#include "tools/zorvan/frame.h"
#include "tools/zorvan/test_image.h"

namespace zv::cli {
namespace {

// Texts of random pure formulas; leaves lean on edge values.
class Generator {
   public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    std::string Formula() {
        std::string f = Expression(5);
        return Pick(8) == 0 ? Expression(3) + ", " + f : f;  // a sequence
    }

   private:
    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
    template <size_t N>
    const char* From(const char* const (&list)[N]) {
        return list[Pick(N)];
    }

    std::string Leaf() {
        static const char* const kLeaves[] = {
            "0",         "1",         "-1",         "2",
            "3",         "7",         "16",         "255",
            "256",       "512",       "1023",       "1024",
            "40000",     "65536",     "2147483647", "(-2147483647 - 1)",
            "x",         "y",         "z",          "X",
            "Y",         "Z",         "t",          "D",
            "M",         "r",         "g",          "b",
            "c",         "a",         "i",          "u",
            "v",         "d",         "m",          "total",
            "x - X / 2", "y - Y / 2", "x - 300"};
        return From(kLeaves);
    }

    std::string Expression(int depth) {
        if (depth == 0 || Pick(5) == 0) return Leaf();
        const auto e = [&] { return Expression(depth - 1); };
        static const char* const kInfix[] = {"+",  "-",  "*",  "/", "%", "&",  "|",  "^",  "<<",
                                             ">>", "==", "!=", "<", ">", "<=", ">=", "&&", "||"};
        static const char* const kPrefix[] = {"-", "+", "!", "~"};
        static const char* const kOne[] = {"abs", "ctl", "get", "sqr", "sin", "cos", "tan", "rst"};
        static const char* const kTwo[] = {"dif", "min", "max", "c2d", "c2m", "r2x", "r2y", "map"};
        static const char* const kThree[] = {"add", "sub", "val", "src", "rad"};
        switch (Pick(9)) {
            case 0:
            case 1:
            case 2: return "(" + e() + " " + From(kInfix) + " " + e() + ")";
            case 3: return std::string(From(kPrefix)) + "(" + e() + ")";
            case 4: return "(" + e() + " ? " + e() + " : " + e() + ")";
            case 5: return std::string(From(kOne)) + "(" + e() + ")";
            case 6: return std::string(From(kTwo)) + "(" + e() + ", " + e() + ")";
            case 7: return std::string(From(kThree)) + "(" + e() + ", " + e() + ", " + e() + ")";
            default: {
                switch (Pick(3)) {
                    case 0: return "mix(" + e() + ", " + e() + ", " + e() + ", " + e() + ")";
                    case 1:
                        return "scl(" + e() + ", " + e() + ", " + e() + ", " + e() + ", " + e() +
                               ")";
                    default: {
                        std::string k = "cnv(";
                        for (int j = 0; j < 9; ++j) k += (Pick(3) ? Leaf() : e()) + ", ";
                        return k + (Pick(2) ? "16" : e()) + ")";
                    }
                }
            }
        }
    }

    std::mt19937 random_;
};

struct Parsed {
    ExprNode* root;
    ~Parsed() { ZvFree(root); }
};

// Every value of the formula on source through runs of the given lengths,
// one after the other along each row, against ZvExec at each pixel.
void ExpectSameValues(const std::string& text, const Image& source, const FrameSettings& settings,
                      const std::vector<int32_t>& runs) {
    int32_t status = -1;
    const Parsed tree{ZvParse(text.c_str(), &status, 1)};
    ASSERT_EQ(status, 0) << text;
    const SpanCompiled compiled = CompileSpans(tree.root);
    ASSERT_TRUE(compiled.program) << text << ": " << compiled.reason;
    const FrameRecord frame(source, 4, settings);
    PixelContext spans = frame.Fresh(), pixels = frame.Fresh();
    SpanRun run(*compiled.program);
    for (int32_t y = 0; y < source.height; ++y) {
        spans.y = y;
        size_t next = 0;
        for (int32_t x0 = 0; x0 < source.width;) {
            const int32_t n = std::min(runs[next++ % runs.size()], source.width - x0);
            run.Start(spans, x0, n);
            for (int32_t k = 0; k < 4; ++k) {
                const int32_t* values = run.Values(k);
                for (int32_t i = 0; i < n; ++i) {
                    const uint8_t* pixel = source.Row(y) + size_t(x0 + i) * source.channels;
                    MoveTo(pixels, pixel, x0 + i, y);
                    const int32_t want =
                        EvaluateChannel(tree.root, pixels, pixel, source.channels, k);
                    ASSERT_EQ(values[i], want)
                        << text << " at " << x0 + i << "," << y << " channel " << k << " of "
                        << source.width << "x" << source.height;
                }
            }
            x0 += n;
        }
    }
}

TEST(SpanExact, GeneratedFormulasGiveZvExecsValues) {
    FrameSettings edges;
    edges.controls = {-2147483647 - 1, -1, 0, 255, 7, 40, 40, 2147483647};
    edges.t = 3;
    edges.total = 9;
    FrameSettings plain;
    plain.controls = {128, 64, 1, 0, 0, 0, 255, 255};
    const Image rgb = TestImage(13, 7);
    Image rgba = WithChannels(TestImage(6, 5), 4);
    for (size_t i = 0; i < rgba.pixels.size(); i += 4) rgba.pixels[i + 3] = uint8_t(i * 7);
    Generator generate(2026);
    for (int f = 0; f < 3000; ++f) {
        const std::string text = generate.Formula();
        if (f % 2) {
            ExpectSameValues(text, rgb, edges, {5, 1, 7});
        } else {
            ExpectSameValues(text, rgba, plain, {6});
        }
        if (HasFatalFailure()) return;
    }
}

// Runs of every length up to the longest, at the edges and inside, where
// cnv and the channel loads read rows without clamping.
TEST(SpanExact, RunsOfEveryLength) {
    const Image wide = TestImage(kSpanMax + 3, 4);
    for (const char* text :
         {"cnv(1, 2, 1, 2, 4, 2, 1, 2, 1, 16)", "cnv(r, 0, -1, x, 3, y, 0, 5, b, z)", "255 - c + a",
          "x < X / 2 ? c : 255 - c", "i + u * v"}) {
        ExpectSameValues(text, wide, {}, {1, 2, 3, kSpanMax, 7, 64, 255});
    }
}

Image Render(std::unique_ptr<Engine> engine, const Image& source, const FrameSettings& settings) {
    return engine->Render(source, settings, Progress::Silent());
}

TEST(SpanExact, ExamplesGiveTheBytesOfThePerPixelEngine) {
    const Image sources[] = {TestImage(1, 1), TestImage(2, 3), WithChannels(TestImage(13, 7), 4),
                             TestImage(kSpanMax + 45, 6)};
    for (const Example& e : Examples()) {
        const Program program = CompileProgram(FilterOffers(e.filter));
        FrameSettings settings;
        settings.controls = FilterControls(e.filter);
        settings.t = 1;
        settings.total = 4;
        for (const Image& source : sources) {
            const Image want = Render(MakePixelEngine(program, 1), source, settings);
            for (const unsigned threads : {1u, 3u}) {
                EXPECT_EQ(Render(MakeEngine(program, threads), source, settings).pixels,
                          want.pixels)
                    << e.name << " on " << source.width << "x" << source.height << " with "
                    << threads << " threads";
            }
        }
    }
}

// The span engine makes the opaque alpha plane of an RGB image only when a
// formula can read it.
TEST(SpanExact, AlphaOfAnRgbImageReadsOpaque) {
    const Image source = TestImage(9, 4);
    for (const char* text : {"a", "src(x, y, z + 3) - 1", "rad(d, m, 3) - 2", "255 - c"}) {
        const Program program = CompileProgram({{kColourChannels, {text, "", {}, {}}, 1}});
        EXPECT_EQ(Render(MakeEngine(program, 1), source, {}).pixels,
                  Render(MakePixelEngine(program, 1), source, {}).pixels)
            << text;
    }
}

// apply -v names each channel's path; a formula too deep to compile runs
// per pixel beside the compiled ones, with the same bytes.
TEST(SpanExact, PathsSayWhichWayAndWhy) {
    const std::string deep = std::string(600, '-') + "c";
    const Program program = CompileProgram(
        {{kColourChannels, {"255 - c", "", {}, {}}, 1}, {0b0010, {deep, "", {}, {}}, 1}});
    const std::unique_ptr<Engine> engine = MakeEngine(program, 2);
    EXPECT_EQ(engine->Path(0, 3), "span, 2 threads");
    EXPECT_EQ(engine->Path(1, 3), "per-pixel, 2 threads: nested too deeply");
    EXPECT_EQ(engine->Path(3, 3), "none");
    const Image source = TestImage(37, 11);
    EXPECT_EQ(Render(MakeEngine(program, 2), source, {}).pixels,
              Render(MakePixelEngine(program, 1), source, {}).pixels);
}

}  // namespace
}  // namespace zv::cli

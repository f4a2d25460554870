// SPDX-License-Identifier: MIT
// The span evaluator on the scrambled test context: what compiles, what
// folds, and values equal to ZvExec's wherever the run lies, also partly or
// wholly outside the image.
#include "render/span/span.h"

#include <gtest/gtest.h>

#include <string>

#include "eval/pixels.h"
#include "tests/eval/fixture.h"

namespace zvtest {
namespace {

struct Parsed {
    int32_t status = -1;
    ExprNode* root;
    explicit Parsed(const char* text) : root(ZvParse(text, &status, 1)) {}
    ~Parsed() { ZvFree(root); }
};

size_t Steps(const zv::SpanProgram& p) {
    return p.once[0].size() + p.once[1].size() + p.loops[0].size() + p.loops[1].size();
}

// Every lane of a run from x0 against ZvExec on a context that holds the
// lane's position and, as the span contract says, the image's bytes there.
void ExpectLikeZvExec(const ExprNode* tree, const PixelContext& base, const std::string& what) {
    const zv::SpanCompiled compiled = zv::CompileSpans(tree);
    ASSERT_TRUE(compiled.program) << what << ": " << compiled.reason;
    zv::SpanWorkspace run(*compiled.program);
    for (int32_t y = -1; y <= 3; ++y) {
        for (const auto& [x0, n] : {std::pair{-2, 9}, std::pair{1, 2}, std::pair{4, 1}}) {
            PixelContext spans = base;
            spans.y = y;
            run.Start(spans, x0, n);
            for (int32_t k : {0, 1, 2, 3, 4}) {
                const int32_t* values = run.Values(k);
                for (int32_t i = 0; i < n; ++i) {
                    PixelContext c = base;
                    c.x = x0 + i, c.y = y, c.channel = k;
                    c.red = uint8_t(zv::ReadPixel(c, c.x, y, 0));
                    c.green = uint8_t(zv::ReadPixel(c, c.x, y, 1));
                    c.blue = uint8_t(zv::ReadPixel(c, c.x, y, 2));
                    c.current = uint8_t(zv::ReadPixel(c, c.x, y, k));
                    ASSERT_EQ(values[i], ZvExec(tree, &c))
                        << what << " at " << c.x << "," << y << " channel " << k;
                }
            }
        }
    }
}

TEST(Span, FormulasGiveZvExecsValuesInsideAndOutsideTheImage) {
    const char* const formulas[] = {
        "r * 65536 + g * 256 + b + c",
        "a + i * 1000 + u * 100 + v",
        "d * 10000 + m",
        "cnv(1, 2, 3, 4, 5, 6, 7, 8, 9, 1)",
        "cnv(x, y, z, 1, c, 1, -1, 0, 2, z - 2)",
        "src(x + 1, y - 1, z) + rad(d, m, 3) * 256",
        "x < X / 2 ? ctl(z) : get(z + 250) + val(z, -5, 300) + map(z, c)",
        "z == 2 && c > 50 || x / (y - 1) % 3",
        "(c2d(x - 2, y) + c2m(x, 46341)) / (1 << z)",
        "mix(c, 255 - c, x, X) + scl(c, 0, z, 7, -7) + add(c, z, 200) + sub(c, 9, 30)",
        "sqr(c * c * c) + r2x(d, m) - r2y(c, 300) + sin(x * 99) + cos(-x) + tan(y * 300)",
        "rst(x), (-2147483647 - 1) / (z - 3) + (-2147483647 - 1) % (x - 2) + ~c + !y - -c",
    };
    Image image;
    for (const bool alpha : {false, true}) {
        for (const char* text : formulas) {
            const Parsed p(text);
            ASSERT_EQ(p.status, 0) << text;
            ExpectLikeZvExec(p.root, image.Context(0, 0, alpha), text);
        }
    }
}

// Hand-built trees: a missing child and a null child count as null nodes.
TEST(Span, HandBuiltTreesWithMissingChildren) {
    Tree t;
    Image image;
    const ExprNode* missing = t.Make('-', 0, {t('x')});
    const ExprNode* null = t('+', t('c'), t.Make(ZV_SRC, 0, {t('x'), nullptr, t('z')}));
    ExpectLikeZvExec(missing, image.Context(), "x - <missing>");
    ExpectLikeZvExec(null, image.Context(), "c + src(x, <null>, z)");
}

TEST(Span, RefusesWhatMustRunInVisitingOrder) {
    Tree t;
    const Parsed put("put(1, 0) + get(0)"), rnd("rnd(0, c)"),
        deep(std::string(500, '-').append("x").c_str());
    ASSERT_EQ(deep.status, 0);
    const std::pair<const ExprNode*, const char*> cases[] = {
        {put.root, "reads a cell before writing it"},
        {rnd.root, "calls rnd"},
        {deep.root, "nested too deeply"},
        {t('+', t('x'), t(500)), "has a node kind without a rule"},
    };
    for (const auto& [tree, reason] : cases) {
        const zv::SpanCompiled compiled = zv::CompileSpans(tree);
        EXPECT_FALSE(compiled.program);
        EXPECT_STREQ(compiled.reason, reason);
    }
}

// Local cells are names for values, also on the left of a sequence, whose
// value goes but whose stores count; what the scrambled context's cells
// hold never shows. Cells that branches set apart, or numbered by a computed
// value, stay with ZvExec.
TEST(Span, LocalCellsAreValues) {
    const std::pair<const char*, const char*> cases[] = {
        {"put(3, 0), get(0)", nullptr},
        {"put(x, 2), put(y, 3), get(2) - get(3)", nullptr},
        {"put(c, 1), put(put(r, 2) + get(1), 1), get(1) * get(2) + put(7, 300)", nullptr},
        {"x < 3 ? put(r, 1) : put(g, 1), get(1) + c", "reads a cell its branches set apart"},
        {"put(1, 0), put(2, x), get(0)", "numbers a cell by a computed value"},
        {"x ? put(r, 1) : 0, get(1) + c", "reads a cell before writing it"},
    };
    Image image;
    for (const auto& [text, reason] : cases) {
        const Parsed p(text);
        ASSERT_EQ(p.status, 0) << text;
        if (!reason) {
            ExpectLikeZvExec(p.root, image.Context(), text);
            continue;
        }
        const zv::SpanCompiled compiled = zv::CompileSpans(p.root);
        EXPECT_FALSE(compiled.program) << text;
        EXPECT_STREQ(compiled.reason, reason) << text;
    }
}

// Folding uses the evaluator's rules: the overflowing division wraps, by
// zero is 0, shifts take the count modulo 32; a fixed condition drops the
// branch not taken, and the left side of a sequence goes. A repeated
// subexpression, or one that folds to a constant seen before, is computed
// once; +a is a, rst is 0, and a truth value needs no != 0.
TEST(Span, FoldsWithTheRuntimeRules) {
    const std::pair<const char*, size_t> cases[] = {
        {"(-2147483647 - 1) / -1 + 5 % 0 + 7 / 0 + (1 << 33)", 0},
        {"sin(-1) + ctl(1) * 0", 3},  // ctl reads the context: not folded
        {"0 ? x : 9", 0},
        {"x, 9", 0},
        {"1 ? x + 1 : y", 2},
        {"0 && x", 0},
        {"7 || x", 0},
        {"0 || 5", 0},
        {"1 && x + 1", 3},  // its truth: one step more
        {"1 && x < 3", 2},
        {"+x + rst(y * 3)", 4},  // y, y * 3, x, x + 0
        {"c - (X - 1) / 2", 5},
        {"(M - m) * (M - m) / M + m", 6},
        {"(x + 2) * (x + (3 - 1)) - (x + 2 * 1)", 4},
        {"x * 2 + z * 2 + (x * 2 + z * 2)", 6},
    };
    Image image;
    for (const auto& [text, steps] : cases) {
        const Parsed p(text);
        const zv::SpanCompiled compiled = zv::CompileSpans(p.root);
        ASSERT_TRUE(compiled.program) << text;
        EXPECT_EQ(Steps(*compiled.program), steps) << text;
        ExpectLikeZvExec(p.root, image.Context(), text);
    }
}

}  // namespace
}  // namespace zvtest

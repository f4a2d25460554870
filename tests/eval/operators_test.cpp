// SPDX-License-Identifier: MIT
// Operators, variables, control forms and evaluation order on hand-built
// trees. Every table runs twice: on the native fast path and below enough
// nesting to go through the explicit-stack evaluator.
#include <gtest/gtest.h>

#include "eval/depends.h"
#include "eval/rules.h"
#include "tests/eval/fixture.h"

namespace zvtest {
namespace {

using Operators = EvalTest;

TEST_F(Operators, Arithmetic) {
    Check({
        {"7+2", t('+', 7, 2), 9},
        {"max+1 wraps", t('+', kMax, 1), kMin},
        {"min-1 wraps", t('-', kMin, 1), kMax},
        {"7-9", t('-', 7, 9), -2},
        {"65536*65536", t('*', 65536, 65536), 0},
        {"-3*4", t('*', -3, 4), -12},
        {"7/2", t('/', 7, 2), 3},
        {"-7/2", t('/', -7, 2), -3},
        {"5/0", t('/', 5, 0), 0},
        {"min/-1", t('/', kMin, -1), kMin},
        {"-9/8 rounds toward zero", t('/', -9, 8), -1},
        {"-1/16", t('/', -1, 16), 0},
        {"min/2", t('/', kMin, 2), kMin / 2},
        {"min/2^30", t('/', kMin, 1 << 30), -2},
        {"max/2^30", t('/', kMax, 1 << 30), 1},
        {"-7/1", t('/', -7, 1), -7},
        {"-9/-8", t('/', -9, -8), 1},
        {"7%-2", t('%', 7, -2), 1},
        {"-7%2", t('%', -7, 2), -1},
        {"5%0", t('%', 5, 0), 0},
        {"min%-1", t('%', kMin, -1), 0},
        {"12&10", t(ZV_BITAND, 12, 10), 8},
        {"12|10", t(ZV_BITOR, 12, 10), 14},
        {"12^10", t(ZV_BITXOR, 12, 10), 6},
        {"1<<32", t(ZV_SHL, 1, 32), 1},
        {"1<<33", t(ZV_SHL, 1, 33), 2},
        {"1<<-1", t(ZV_SHL, 1, -1), kMin},
        {"3<<31", t(ZV_SHL, 3, 31), kMin},
        {"-1>>1", t(ZV_SHR, -1, 1), -1},
        {"-8>>1", t(ZV_SHR, -8, 1), -4},
        {"16>>36", t(ZV_SHR, 16, 36), 1},
        {"-5", t(ZV_UMINUS, 5), -5},
        {"-min", t(ZV_UMINUS, kMin), kMin},
        {"+5", t(ZV_UPLUS, 5), 5},
        {"!0", t(ZV_NOT, 0), 1},
        {"!7", t(ZV_NOT, 7), 0},
        {"~0", t(ZV_COMPL, 0), 65535},
        {"~-1", t(ZV_COMPL, -1), 0},
        {"~65535", t(ZV_COMPL, 65535), 0},
        {"~65536", t(ZV_COMPL, 65536), 65535},
    });
}

TEST_F(Operators, Comparisons) {
    struct Row {
        int32_t a, b, eq, ne, lt, gt, le, ge;
    };
    for (Row r : {Row{-1, 1, 0, 1, 1, 0, 1, 0}, Row{4, 4, 1, 0, 0, 0, 1, 1},
                  Row{kMax, kMin, 0, 1, 0, 1, 0, 1}}) {
        Check({{"==", t(ZV_EQ, r.a, r.b), r.eq},
               {"!=", t(ZV_NE, r.a, r.b), r.ne},
               {"<", t(ZV_LT, r.a, r.b), r.lt},
               {">", t(ZV_GT, r.a, r.b), r.gt},
               {"<=", t(ZV_LE, r.a, r.b), r.le},
               {">=", t(ZV_GE, r.a, r.b), r.ge}});
    }
}

TEST_F(Operators, ControlForms) {
    Check({
        {"2&&3", t(ZV_AND, 2, 3), 1},
        {"5&&0", t(ZV_AND, 5, 0), 0},
        {"0&&9", t(ZV_AND, 0, 9), 0},
        {"0||-5", t(ZV_OR, 0, -5), 1},
        {"3||0", t(ZV_OR, 3, 0), 1},
        {"0||0", t(ZV_OR, 0, 0), 0},
        {"1?2:3", t('?', 1, 2, 3), 2},
        {"-1?2:3", t('?', -1, 2, 3), 2},
        {"0?2:3", t('?', 0, 2, 3), 3},
        {"4,9", t(ZV_SEQ, 4, 9), 9},
    });
}

TEST_F(Operators, Variables) {
    Check({
        {"literal", t.Num(-42), -42},
        {"x", t('x'), 1},
        {"y", t('y'), 1},
        {"z", t('z'), 2},
        {"X", t('X'), 5},
        {"Y", t('Y'), 3},
        {"Z", t('Z'), 4},
        {"t", t('t'), 7},
        {"D", t('D'), 1024},
        {"M", t('M'), 300},
        {"r", t('r'), 11},
        {"g", t('g'), 22},
        {"b", t('b'), 33},
        {"c", t('c'), 44},
        {"total", t(ZV_TOTAL), 9},
        {"a from rows", t('a'), Image::Byte(1, 1, 3)},
    });
}

TEST_F(Operators, DirectionAndDistance) {
    struct Row {
        int32_t dx, dy, d, m;
    };
    for (Row r : {Row{1, 0, 0, 1}, Row{-1, 0, 512, 1}, Row{0, 1, 256, 1}, Row{0, -1, -256, 1},
                  Row{1, 1, 127, 1}, Row{1, -1, -127, 1}, Row{-1, 1, 384, 1}, Row{0, 0, 0, 0},
                  Row{1000, 1, 0, 1000}, Row{-1000, 1, 511, 1000}, Row{3, 4, 151, 5},
                  Row{40000, 40000, 127, 0}}) {
        context.x = context.centerX + r.dx;
        context.y = context.centerY + r.dy;
        Check({{"d", t('d'), r.d}, {"m", t('m'), r.m}});
    }
}

// i, u, v from channels 0..2 of the image, whatever r, g, b of the context
// and the alpha plane hold.
TEST_F(Operators, LumaAndChroma) {
    struct Row {
        uint8_t r, g, b;
        int32_t i, u, v;
    };
    context.alphaPlane = image.alpha.data();
    for (Row p : {Row{255, 255, 255, 254, 0, 0}, Row{0, 0, 255, 28, 55, -12},
                  Row{255, 0, 0, 75, -18, 77}, Row{10, 20, 30, 18, 2, -3}}) {
        image.SetPixel(1, 1, p.r, p.g, p.b);
        Check({{"i", t('i'), p.i}, {"u", t('u'), p.u}, {"v", t('v'), p.v}});
    }
}

// The current position reads its nearest edge pixel for a, i, u, v, while
// x and y stay unclamped.
TEST_F(Operators, CurrentPositionClamps) {
    image.SetPixel(0, 2, 10, 20, 30);
    context.x = -5, context.y = 9;
    Check({{"a", t('a'), Image::Byte(0, 2, 3)}, {"i", t('i'), 18}, {"x", t('x'), -5}});
    context.alphaPlane = image.alpha.data();
    context.x = 3 + 7, context.y = -1;
    Check({{"a from plane", t('a'), Image::Alpha(3, 0)}});
}

// With cell 0 holding 5, the right operand reads it before the left writes.
TEST_F(Operators, OrderThroughCells) {
    context.cells[0] = 5;
    Check({
        {"put(1,0)+get(0)", t('+', t(ZV_PUT, 1, 0), t(ZV_GET, 0)), 6},
        {"get(0)+put(1,0)", t('+', t(ZV_GET, 0), t(ZV_PUT, 1, 0)), 2},
        {"put(3,0),get(0)", t(ZV_SEQ, t(ZV_PUT, 3, 0), t(ZV_GET, 0)), 3},
        {"put(1,0)+put(2,0) stores last the left",
         t(ZV_SEQ, t('+', t(ZV_PUT, 1, 0), t(ZV_PUT, 2, 0)), t(ZV_GET, 0)), 1},
        {"0&&put", t(ZV_SEQ, t(ZV_AND, 0, t(ZV_PUT, 7, 0)), t(ZV_GET, 0)), 5},
        {"1&&put", t(ZV_SEQ, t(ZV_AND, 1, t(ZV_PUT, 7, 0)), t(ZV_GET, 0)), 7},
        {"1||put", t(ZV_SEQ, t(ZV_OR, 1, t(ZV_PUT, 7, 0)), t(ZV_GET, 0)), 5},
        {"0||put", t(ZV_SEQ, t(ZV_OR, 0, t(ZV_PUT, 7, 0)), t(ZV_GET, 0)), 7},
        {"0?put:1", t('+', t('?', 0, t(ZV_PUT, 7, 0), 1), t(ZV_GET, 0)), 6},
        {"1?1:put", t('+', t('?', 1, 1, t(ZV_PUT, 7, 0)), t(ZV_GET, 0)), 6},
    });
}

// Every kind with children evaluates all of them, last first. Child i bumps
// a counter in cell 0 and notes its turn in cell 10 + i.
TEST_F(Operators, EveryStrictKindRunsArgumentsLastFirst) {
    for (int32_t kind = zv::kFirstKind; kind <= zv::kLastKind; ++kind) {
        zv::Rule rule = zv::RuleOf(kind);
        if (rule.arity == 0 || rule.lazy) continue;
        for (bool deep : {false, true}) {
            std::vector<ExprNode*> kids;
            for (int32_t i = 0; i < rule.arity; ++i) {
                kids.push_back(t(ZV_SEQ, t(ZV_PUT, t('+', t(ZV_GET, 0), 1), 0),
                                 t(ZV_PUT, t(ZV_GET, 0), 10 + i)));
            }
            ExprNode* n = t.Make(kind, 0, kids);
            PixelContext c = context;
            c.cells[0] = 0;
            ZvExec(deep ? t.Deep(n) : n, &c);
            for (int32_t i = 0; i < rule.arity; ++i) {
                EXPECT_EQ(c.cells[10 + i], rule.arity - i) << "kind " << kind << " child " << i;
            }
        }
    }
}

// The compilers fold, mark truth values and regroup chains by the kinds
// table's columns: what each claims holds for the tree walk, over values
// that wrap, on two different contexts.
TEST_F(Operators, AlgebraColumnsHold) {
    const int32_t samples[] = {kMin, -300, -1, 0, 1, 2, 255, 65537, 0x7fffffff};
    PixelContext other = image.Context(3, 2, true);
    other.t = -5, other.cells[0] = 77, other.controls[0] = 3;
    for (const zv::KindInfo& k : zv::kKinds) {
        const zv::Algebra algebra = zv::AlgebraOf(k.code);
        const auto value = [&](std::vector<ExprNode*> kids, PixelContext c) {
            return ZvExec(t.Make(k.code, 0, kids), &c);
        };
        for (int32_t p : samples) {
            for (int32_t q : samples) {
                std::vector<ExprNode*> args;
                for (int32_t i = 0; i < zv::ArityOf(k); ++i) args.push_back(t.Num(i ? q : p));
                const int32_t v = value(args, context);
                EXPECT_TRUE(!algebra.truth || v == 0 || v == 1) << zv::NameOf(k) << " " << v;
                EXPECT_TRUE(!algebra.folds || value(args, other) == v) << zv::NameOf(k);
                if (!algebra.associative) continue;
                EXPECT_EQ(value({t.Num(q), t.Num(p)}, context), v) << zv::NameOf(k);
                for (int32_t r : samples) {
                    EXPECT_EQ(value({t.Make(k.code, 0, {t.Num(p), t.Num(q)}), t.Num(r)}, context),
                              value({t.Num(p), t.Make(k.code, 0, {t.Num(q), t.Num(r)})}, context))
                        << zv::NameOf(k) << " " << p << " " << q << " " << r;
                }
            }
        }
    }
}

// Kinds without a rule yield 0, leave their code behind and evaluate no
// child; the rest of the tree goes on.
TEST_F(Operators, UnhandledKinds) {
    for (int32_t kind : {500, 36, int32_t{'A'}, int32_t{'q'}, 257, 304, 319, 320, -1, kMin}) {
        ExprNode* bad = t.Make(kind, 3, {t(ZV_PUT, 9, 0)});
        for (ExprNode* n : {bad, t.Deep(bad)}) {
            PixelContext c = context;
            EXPECT_EQ(ZvExec(t('+', n, 4), &c), 4) << kind;
            EXPECT_EQ(c.unhandledKind, kind);
            EXPECT_EQ(c.cells[0], 1000) << "a child of kind " << kind << " ran";
        }
    }
}

// Hand-built trees with too few children read them as null; surplus
// children beyond the kind's arity are never touched.
TEST_F(Operators, MalformedTrees) {
    ExprNode* lone = t.Make('+', 0, {t.Num(5)});
    ExprNode* surplus = t.Make(ZV_UMINUS, 0, {t.Num(5), t(ZV_PUT, 1, 0)});
    ExprNode* bare = t.Make('-', 0, {});
    bare->childCount = 2;  // claims children but has no array
    ExprNode* holes = t.Make('?', 0, {nullptr, t.Num(1), nullptr});
    context.cells[0] = 0;
    Check({{"null", nullptr, 0},
           {"one child", lone, 5},
           {"surplus", t('+', surplus, t(ZV_GET, 0)), -5},
           {"no array", bare, 0},
           {"null children", holes, 0}});
}

}  // namespace
}  // namespace zvtest

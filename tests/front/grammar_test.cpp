// SPDX-License-Identifier: MIT
// Statuses and tree shapes of the grammar, with building on and off.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/zorvan.h"
#include "front/parse.h"
#include "tree_text.h"

namespace {

struct Case {
    std::string text;
    int32_t status;
    std::string tree;  // the tree built on status 0
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << "«" << c.text << "»"; }

class GrammarCase : public testing::TestWithParam<Case> {};

TEST_P(GrammarCase, TreeAndStatus) {
    const Case& c = GetParam();
    int32_t status = -1;
    ExprNode* root = ZvParse(c.text.c_str(), &status, 1);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(zvtest::TreeText(root), c.status == 0 ? c.tree : "null");
    ZvFree(root);
}

TEST_P(GrammarCase, CheckOnlyGivesSameStatus) {
    int32_t status = -1;
    EXPECT_EQ(ZvParse(GetParam().text.c_str(), &status, 0), nullptr);
    EXPECT_EQ(status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Leaves, GrammarCase, testing::Values(
    Case{"5", 0, "5"}, Case{"r", 0, "r"}, Case{"(r)", 0, "r"}, Case{"((r))", 0, "r"},
    Case{"R", 0, "255"}, Case{"total", 0, "total"}, Case{"p", 0, "z"},
    Case{"rmax-r", 0, "-(255, r)"}, Case{"-3", 0, "-(3)"}, Case{"+x", 0, "+(x)"},
    Case{"r+1\xe9+g", 0, "+(r, 1)"}, Case{"r\xff", 0, "r"}));

INSTANTIATE_TEST_SUITE_P(Precedence, GrammarCase, testing::Values(
    Case{"r+g*b", 0, "+(r, *(g, b))"},
    Case{"x<X/2 ? r : 255-r", 0, "?(<(x, /(X, 2)), r, -(255, r))"},
    Case{"x*y%X", 0, "%(*(x, y), X)"},
    Case{"r && g & b", 0, "&(&&(r, g), b)"},
    Case{"r & g | b ^ c", 0, "^(|(&(r, g), b), c)"},
    Case{"a && b || c", 0, "&&(a, ||(b, c))"},
    Case{"a || b && c", 0, "||(a, &&(b, c))"},
    Case{"r < g < b", 0, "<(<(r, g), b)"},
    Case{"r == g == b", 0, "==(==(r, g), b)"},
    Case{"r << g * b", 0, "*(<<(r, g), b)"},
    Case{"1 << 2 >> 3", 0, "<<(1, >>(2, 3))"},
    Case{"r << g << b", 0, "<<(r, <<(g, b))"},
    Case{"-r << 2", 0, "<<(-(r), 2)"},
    Case{"-x * y", 0, "*(-(x), y)"},
    Case{"!x == y", 0, "==(!(x), y)"},
    Case{"--r", 0, "-(-(r))"},
    Case{"~-r", 0, "~(-(r))"},
    Case{"r - -g", 0, "-(r, -(g))"},
    Case{"r--g", 0, "-(r, -(g))"},
    Case{"r+++g", 0, "+(r, +(+(g)))"},
    Case{"r - g + b", 0, "+(-(r, g), b)"}));

INSTANTIATE_TEST_SUITE_P(ConditionalAndSequence, GrammarCase, testing::Values(
    Case{"a, b, c", 0, ",(,(a, b), c)"},
    Case{"a ? b : d ? m : t", 0, "?(a, b, ?(d, m, t))"},
    Case{"(r ? g : b) ? t : x", 0, "?(?(r, g, b), t, x)"},
    Case{"r ? g, b : c", 0, "?(r, ,(g, b), c)"},
    Case{"r ? g : b, c", 0, ",(?(r, g, b), c)"},
    Case{"1?2:3,4", 0, ",(?(1, 2, 3), 4)"},
    Case{"src(x,y,z), 0", 0, ",(src(x, y, z), 0)"},
    Case{"a || b ? c : d", 0, "?(||(a, b), c, d)"},
    Case{"(r, g)", 1, ""}, Case{"min((r, g), b)", 1, ""}, Case{"r ? g : (b, c)", 1, ""},
    Case{"r,", 1, ""}, Case{",r", 1, ""}, Case{"r,,g", 1, ""}, Case{"r ? g", 1, ""}));

INSTANTIATE_TEST_SUITE_P(Functions, GrammarCase, testing::Values(
    Case{"abs(-3)", 0, "abs(-(3))"},
    Case{"cnv(1,2,3,4,5,6,7,8,9,10)", 0, "cnv(1, 2, 3, 4, 5, 6, 7, 8, 9, 10)"},
    Case{"cnv(1,2,3,4,5,6,7,8,9)", 1, ""},
    Case{"cnv(1,2,3,4,5,6,7,8,9,10,11)", 1, ""},
    Case{"min(r,g,b)", 1, ""}, Case{"min(r)", 1, ""}, Case{"sin x", 1, ""}, Case{"src", 1, ""},
    Case{"mix(1,2,3,4)", 0, "mix(1, 2, 3, 4)"},
    Case{"scl(1,2,3,4,5)", 0, "scl(1, 2, 3, 4, 5)"},
    Case{"add(r,g,b)+sub(r,g,b)+val(0,1,2)", 0, "+(+(add(r, g, b), sub(r, g, b)), val(0, 1, 2))"},
    Case{"rad1(d,m,z)-src0(x,y,z)", 0, "-(rad(d, m, z), src(x, y, z))"},
    Case{"put(get(1),rst(2))", 0, "put(get(1), rst(2))"},
    Case{"dif(1,2)*rnd(1,2)/c2d(1,2)%c2m(1,2)", 0,
         "%(/(*(dif(1, 2), rnd(1, 2)), c2d(1, 2)), c2m(1, 2))"},
    Case{"r2x(1,2)^r2y(1,2)|map(1,2)", 0, "|(^(r2x(1, 2), r2y(1, 2)), map(1, 2))"},
    Case{"sqr(1)+sin(2)+cos(3)+tan(4)+ctl(5)+max(6,7)", 0,
         "+(+(+(+(+(sqr(1), sin(2)), cos(3)), tan(4)), ctl(5)), max(6, 7))"}));

INSTANTIATE_TEST_SUITE_P(SyntaxErrors, GrammarCase, testing::Values(
    Case{"", 1, ""}, Case{"  // nothing", 1, ""}, Case{"a=1", 1, ""},
    Case{"r)", 1, ""}, Case{"(r))", 1, ""}, Case{"(r", 1, ""},
    Case{"r g", 1, ""}, Case{"1 2", 1, ""}, Case{"r(g)", 1, ""}, Case{"r : g", 1, ""},
    Case{"r;", 1, ""}, Case{"\xe9r", 1, ""}, Case{"s", 1, ""}, Case{"r+", 1, ""}));

// The parser's stack holds at most 9999 entries: n parentheses need n + 3,
// n prefix operators n + 2, n right-associative shifts 2n + 2.
std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

INSTANTIATE_TEST_SUITE_P(DepthLimits, GrammarCase, testing::Values(
    Case{Repeat("(", 9996) + "r" + Repeat(")", 9996), 0, "r"},
    Case{Repeat("(", 9997) + "r" + Repeat(")", 9997), 2, ""},
    Case{Repeat("(", 20000) + "r", 2, ""},
    Case{Repeat("-", 9997) + "7", 0, Repeat("-(", 9997) + "7" + Repeat(")", 9997)},
    Case{Repeat("-", 9998) + "r", 2, ""}));

TEST(Grammar, ShiftChainDepthLimit) {
    for (auto [n, want] : {std::pair{4998, 0}, {4999, 2}}) {
        std::string text = "r" + Repeat("<<r", n);
        for (int32_t build : {1, 0}) {
            int32_t status = -1;
            ExprNode* root = ZvParse(text.c_str(), &status, build);
            EXPECT_EQ(status, want) << n;
            EXPECT_EQ(root != nullptr, want == 0 && build) << n;
            ZvFree(root);
        }
    }
}

TEST(Grammar, LeftChainsNeedNoStack) {
    int32_t status = -1;
    ExprNode* root = ZvParse(("r" + Repeat("+r", 20000)).c_str(), &status, 1);
    EXPECT_EQ(status, 0);
    int depth = 0;
    for (const ExprNode* n = root; n->childCount == 2; n = n->children[0]) ++depth;
    EXPECT_EQ(depth, 20000);
    ZvFree(root);
}

// Where a failed parse stopped, for tools that point at it.
TEST(Grammar, ErrorOffsetIsTheOffendingToken) {
    struct {
        const char* text;
        int32_t offset;
    } cases[] = {{"r g", 2}, {"r + ", 4}, {"min(r, g, b)", 8}, {"(r))", 3}, {"", 0}, {"a=1", 1}};
    for (auto c : cases) {
        zv::ParseOutcome out = zv::ParseText(c.text, std::strlen(c.text), true);
        EXPECT_EQ(out.status, 1) << c.text;
        EXPECT_EQ(out.errorOffset, c.offset) << c.text;
    }
    zv::ParseOutcome ok = zv::ParseText("r+g", 3, true);
    EXPECT_EQ(ok.errorOffset, -1);
    ZvFree(ok.root);
}

}  // namespace

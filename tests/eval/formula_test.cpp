// SPDX-License-Identifier: MIT
// Formulas from text to value: ZvParse, then ZvExec on the test context.
#include <gtest/gtest.h>

#include <string>

#include "tests/eval/fixture.h"

namespace zvtest {
namespace {

struct Formula {
    const char* text;
    int32_t want;
};

class Formulas : public ::testing::Test {
   protected:
    Image image;
    PixelContext context = image.Context();  // at (1, 1), centre (2, 1), channel 2

    void Check(const std::vector<Formula>& formulas) {
        for (const Formula& f : formulas) {
            int32_t status = -1;
            ExprNode* root = ZvParse(f.text, &status, 1);
            ASSERT_EQ(status, 0) << f.text;
            PixelContext c = context;
            EXPECT_EQ(ZvExec(root, &c), f.want) << f.text;
            ZvFree(root);
        }
    }
};

TEST_F(Formulas, Operators) {
    Check({
        {"7/2", 3},
        {"-7/2", -3},
        {"7%-2", 1},
        {"-7%2", -1},
        {"5/0", 0},
        {"5%0", 0},
        {"65536*65536", 0},
        {"65536*32768", kMin},
        {"-(65536*32768)", kMin},
        {"(0-65536*32768)/-1", kMin},
        {"(65536*32768)%-1", 0},
        {"1<<32", 1},
        {"1<<33", 2},
        {"1<<-1", kMin},
        {"-1>>1", -1},
        {"-8>>1", -4},
        {"~0", 65535},
        {"~-1", 0},
        {"~65535", 0},
        {"~65536", 65535},
        {"!0", 1},
        {"!7", 0},
        {"2&&3", 1},
        {"0||-5", 1},
        {"-1<1", 1},
        {"+5", 5},
        {"1?2:3", 2},
        {"0?2:3", 3},
        {"4-3-2", -1},
        {"(12&10)+(12|10)*100+(12^10)*10000", 61408},
        {"(3==3)+(3!=3)*2+(2<3)*4+(2>3)*8+(3<=3)*16+(4>=5)*32", 21},
        {"put(3,0), get(0)", 3},
        {"put(1,0)+get(0)", 1001},
        {"get(0)+put(1,0)", 2},
        {"(put(1,0)+put(2,0)), get(0)", 1},
        {"add(put(1,0),put(2,0),99), get(0)", 1},
        {"0&&put(7,0), 1||put(7,0), 0?put(7,0):1, get(0)", 1000},
    });
}

TEST_F(Formulas, Variables) {
    int32_t r = Image::Byte(1, 1, 0), g = Image::Byte(1, 1, 1), b = Image::Byte(1, 1, 2);
    Check({
        {"x", 1},
        {"y", 1},
        {"z", 2},
        {"X", 5},
        {"Y", 3},
        {"Z", 4},
        {"t", 7},
        {"D", 1024},
        {"M", 300},
        {"total", 9},
        {"r", 11},
        {"g", 22},
        {"b", 33},
        {"c", 44},
        {"d", 512},
        {"m", 1},
        {"a", Image::Byte(1, 1, 3)},
        {"i", (76 * r + 150 * g + 29 * b) / 256},
        {"u", (56 * b - 37 * g - 19 * r) / 256},
        {"v", (78 * r - 65 * g - 13 * b) / 256},
    });
}

// Every built-in once (their failure tables run on hand-built trees); the
// trigonometric rows are the tables' telling ones.
TEST_F(Formulas, Builtins) {
    Check({
        {"abs(-5)", 5},
        {"add(3,4,5)", 5},
        {"cnv(0,0,0,0,1,0,0,0,0,1)", Image::Byte(1, 1, 2)},
        {"ctl(7)", 80},
        {"dif(3,10)", 7},
        {"get(256)", 0},
        {"put(5,300)", 0},
        {"min(3,-4)", -4},
        {"max(3,-4)", 3},
        {"mix(255,0,1,3)", 85},
        {"rnd(3,3)", 3},
        {"scl(15,0,10,0,100)", 150},
        {"sqr(25)", 5},
        {"src(9,-3,1)", Image::Byte(3, 0, 1)},
        {"sub(3,4,5)", 5},
        {"val(0,0,255)", 10},
        {"c2d(-1,1)", 384},
        {"c2m(40000,40000)", 0},
        {"rad(0,0,1)", Image::Byte(2, 1, 1)},
        {"map(0,15)", 127},
        {"rst(5)", 0},
        {"r2x(0,100)", 100},
        {"r2y(0,100)", 0},
        {"sin(0)", -4},
        {"sin(256)", 512},
        {"sin(-1)", -7},
        {"cos(0)", 512},
        {"cos(256)", -4},
        {"tan(0)", -6},
        {"tan(255)", 167761},
        {"tan(767)", 167772},
        {"tan(768)", -167772},
    });
}

// «r» followed by a million «+r», evaluated on a thread with 256 KiB of stack.
TEST_F(Formulas, MillionAdditionsOnSmallStack) {
    std::string text = "r";
    for (int i = 0; i < 1'000'000; ++i) text += "+r";
    int32_t status = -1;
    ExprNode* root = ZvParse(text.c_str(), &status, 1);
    ASSERT_EQ(status, 0);
    int32_t got = 0;
    OnThread(256 * 1024, [&] { got = ZvExec(root, &context); });
    EXPECT_EQ(got, 11 * 1'000'001);
    ZvFree(root);
}

}  // namespace
}  // namespace zvtest

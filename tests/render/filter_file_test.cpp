// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "tests/render/fixture.h"

namespace zv {
namespace {

TEST(FilterFile, ReadsEveryKind) {
    const FilterFile f = ParseFilterFile(
        "# comment\n"
        "title:  Twirl  \r\n"
        "about: Turns it.\n"
        "\n"
        "ctl0: Twist = 160\n"
        "ctl7: -3\n"
        "ctl5: Gain = -4 ( -8 .. 8 )\n"
        "ctl6: 1000 (0..4096)\n"
        "rgb: rad(d,\n"
        "# a comment inside\n"
        "\t m, z)\n"
        "a: 255\n",
        "t.zvf");
    EXPECT_EQ(f.title, "Twirl");
    EXPECT_EQ(f.about, "Turns it.");
    EXPECT_EQ(f.controls[0].name, "Twist");
    EXPECT_EQ(f.controls[0].value, 160);
    EXPECT_TRUE(f.controls[0].given);
    EXPECT_EQ(f.controls[7].name, "");
    EXPECT_EQ(f.controls[7].value, -3);
    EXPECT_FALSE(f.controls[1].given);
    // low, high of each control: default, widened to take in -3, given twice.
    const std::array<int32_t, 8> lows{0, 0, 0, 0, 0, -8, 0, -3},
        highs{255, 255, 255, 255, 255, 8, 4096, 255};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(f.controls[k].low, lows[k]) << k;
        EXPECT_EQ(f.controls[k].high, highs[k]) << k;
    }
    EXPECT_EQ(f.controls[5].name, "Gain");
    EXPECT_EQ(f.controls[6].value, 1000);
    ASSERT_EQ(f.formulas.size(), 2u);
    EXPECT_EQ(f.formulas[0].channels, kColourChannels);
    EXPECT_EQ(f.formulas[0].formula.text, "rad(d,\n\t m, z)");
    ASSERT_EQ(f.formulas[0].formula.lines.size(), 2u);
    EXPECT_EQ(f.formulas[0].formula.lines[0].line, 9);
    EXPECT_EQ(f.formulas[0].formula.lines[0].column, 6);
    EXPECT_EQ(f.formulas[0].formula.lines[1].line, 11);
    EXPECT_EQ(f.formulas[1].channels, 0b1000u);
}

using test::Refusal;

class FilterFileErrors : public testing::TestWithParam<Refusal> {};

TEST_P(FilterFileErrors, NameTheLine) {
    test::ExpectRefusal(GetParam(), Status::kBadFilter,
                        [](const char* text) { ParseFilterFile(text, "f.zvf"); });
}

INSTANTIATE_TEST_SUITE_P(
    Table, FilterFileErrors,
    testing::Values(
        Refusal{"", "f.zvf: the file has no formula (keys r, g, b, a, rgb, all)"},
        Refusal{"title: x\n", "f.zvf: the file has no formula (keys r, g, b, a, rgb, all)"},
        Refusal{"r: c\nno colon here\n", "f.zvf:2: expected \"key: value\""},
        Refusal{"r g: c\n", "f.zvf:1: expected \"key: value\""},
        Refusal{": c\n", "f.zvf:1: expected \"key: value\""},
        Refusal{"r: c\n\nr: 1\n", "f.zvf:3: \"r\" is given twice"},
        Refusal{
            "colour: c\n",
            "f.zvf:1: unknown key \"colour\" (title, about, ctl0 to ctl7, r, g, b, a, rgb, all)"},
        Refusal{"ctl8: 1\nr: c\n",
                "f.zvf:1: unknown key \"ctl8\" (title, about, ctl0 to ctl7, r, g, b, a, rgb, all)"},
        Refusal{"r: c\nctl0: Twist = lots\n",
                "f.zvf:2: a control needs an integer value: \"name = 128\" or \"128\""},
        Refusal{"ctl1: 99999999999\n",
                "f.zvf:1: a control needs an integer value: \"name = 128\" or \"128\""},
        Refusal{"ctl1: Name =\n",
                "f.zvf:1: a control needs an integer value: \"name = 128\" or \"128\""},
        Refusal{"r: c\nctl0: T = 300 (0..255)\n",
                "f.zvf:2: the control's value 300 is outside its range 0..255"},
        Refusal{"ctl0: T = 3 (9..1)\n", "f.zvf:1: the control's range 9..1 is empty"},
        Refusal{"ctl0: T = 3 (0-9)\n", "f.zvf:1: a control's range is two integers: \"(0..255)\""},
        Refusal{"ctl0: 3 ..9)\n", "f.zvf:1: a control's range is two integers: \"(0..255)\""},
        Refusal{"ctl0: 3 (..9)\n", "f.zvf:1: a control's range is two integers: \"(0..255)\""},
        Refusal{"ctl0: (0..9)\n",
                "f.zvf:1: a control needs an integer value: \"name = 128\" or \"128\""},
        Refusal{"  r: c\n", "f.zvf:1: an indented line must continue a formula"},
        Refusal{"title: t\n  more\nr: c\n", "f.zvf:2: an indented line must continue a formula"}));

TEST(FilterFile, AKeyWithControlBytesIsQuotedOnOneLine) {
    try {
        ParseFilterFile(std::string("r\0\x01: c\n", 7), "f.zvf");
        FAIL() << "parsed";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(),
                     "f.zvf:1: unknown key \"r\\x00\\x01\" (title, about, ctl0 to ctl7, r, g, "
                     "b, a, rgb, all)");
        EXPECT_EQ(error.line(), 1);  // for hosts that mark the line
        EXPECT_EQ(error.column(), 0);
    }
}

class FilterFormulaErrors : public testing::TestWithParam<Refusal> {};

// A formula that does not parse is reported at its line and column in the file.
TEST_P(FilterFormulaErrors, PointIntoTheFile) {
    test::ExpectRefusal(GetParam(), Status::kBadFormula,
                        [](const char* text) { Filter(ParseFilterFile(text, "f.zvf")); });
}

INSTANTIATE_TEST_SUITE_P(
    Table, FilterFormulaErrors,
    testing::Values(
        Refusal{"title: t\nrgb:  x * / 2\n",
                "f.zvf:2:9: formula for rgb does not parse: \"*\" has no right operand",
                "  x * / 2\n    ^\n"},
        Refusal{"r: c\n# note\ng: min(r,\n\t  g,\n     b)\n",
                "f.zvf:3:4: formula for g does not parse: \"min\" takes 2 arguments (a, b), not 3",
                "  min(r,\n  ^\n"},
        Refusal{"all: (r\n",
                "f.zvf:1:8: formula for all does not parse: unexpected end of formula: "
                "\"(\" at column 6 is not closed",
                "  (r\n    ^\n"},
        Refusal{"\xef\xbb\xbfr: c // \xc3\xa9\n  + \xc3\xa9\n",
                "f.zvf:2:5: formula for r has a byte that is not ASCII",
                "    + \xc3\xa9\n      ^\n"}));

}  // namespace
}  // namespace zv

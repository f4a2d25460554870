#include "render/formula.h"

#include <gtest/gtest.h>

#include <functional>

#include "render/filter.h"
#include "tests/render/fixture.h"

namespace zv {
namespace {

FormulaText Text(const std::string& text, const std::string& label = "formula for red (-r)") {
    return {text, label, {}, {}};
}

class FormulaErrors : public testing::TestWithParam<test::Refusal> {};

TEST_P(FormulaErrors, PointAtTheToken) {
    test::ExpectRefusal(GetParam(), Status::kBadFormula,
                        [](const char* text) { CompileFormula(Text(text)); });
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormulaErrors,
    testing::Values(
        test::Refusal{"x + * 2", "formula for red (-r) does not parse at column 5",
                      "  x + * 2\n      ^\n"},
        test::Refusal{"", "formula for red (-r) does not parse at column 1", "  \n  ^\n"},
        test::Refusal{"min(r)", "formula for red (-r) does not parse at column 6",
                      "  min(r)\n       ^\n"},
        test::Refusal{"r)", "formula for red (-r) does not parse at column 2", "  r)\n   ^\n"},
        test::Refusal{"\tr = 1", "formula for red (-r) does not parse at column 4",
                      "  \tr = 1\n  \t  ^\n"},
        test::Refusal{"r +\ng g", "formula for red (-r) does not parse at line 2, column 3",
                      "  g g\n    ^\n"}));

// The position in messages is also the error's line and column, for hosts
// that mark it themselves.
TEST(Formula, ErrorsCarryTheirLineAndColumn) {
    const struct {
        std::function<void()> compile;
        int line, column;
    } cases[] = {
        {[] { CompileFormula(Text("x + * 2")); }, 1, 5},
        {[] { CompileFormula(Text("r +\ng g")); }, 2, 3},
        {[] { Filter(ParseFilterFile("title: t\n\nrgb:  x + * 2\n", "f.zvf")); }, 3, 11},
    };
    for (const auto& c : cases) {
        try {
            c.compile();
            ADD_FAILURE() << "compiled";
        } catch (const Error& error) {
            EXPECT_EQ(error.line(), c.line) << error.what();
            EXPECT_EQ(error.column(), c.column) << error.what();
        }
    }
}

// Where the library's scan would end quietly, the compile refuses the
// formula; comments may hold any byte.
TEST(Formula, ABytePastAsciiOutsideACommentIsRefused) {
    const std::string longLine = std::string(1 << 20, '1') + "\xff";
    const struct {
        std::string text, message, detail;
    } cases[] = {
        {"255 \xe2\x88\x92 c", "has a byte that is not ASCII at column 5",
         "  255 \xe2\x88\x92 c\n      ^\n"},
        {std::string("x +\0 1", 6), "has a zero byte at column 4", "  x +? 1\n     ^\n"},
        {"r // caf\xc3\xa9\n+ \xc3\xa9 // \xc3\xa9\n",
         "has a byte that is not ASCII at line 2, column 3", "  + \xc3\xa9 // \xc3\xa9\n    ^\n"},
        {longLine, "has a byte that is not ASCII at column 1048577",
         "  ..." + std::string(60, '1') + "\xff\n     " + std::string(60, ' ') + "^\n"},
        {std::string(100, '1') + " + * " + std::string(100, '2'), "does not parse at column 104",
         "  ..." + std::string(57, '1') + " + * " + std::string(58, '2') + "...\n     " +
             std::string(60, ' ') + "^\n"},
    };
    for (const auto& c : cases) {
        try {
            CompileFormula(Text(c.text));
            ADD_FAILURE() << "compiled " << c.message;
        } catch (const Error& error) {
            EXPECT_EQ(error.status(), Status::kBadFormula);
            EXPECT_EQ(error.what(), "formula for red (-r) " + c.message);
            EXPECT_EQ(error.detail(), c.detail);
        }
    }
    EXPECT_NO_THROW(CompileFormula(Text("r // \xff\xc3\xa9 \0 still a comment")));
}

TEST(Formula, DeepNestingIsAParseFailure) {
    const std::string deep = std::string(20000, '(') + "1" + std::string(20000, ')');
    try {
        CompileFormula(Text(deep));
        FAIL() << "compiled";
    } catch (const Error& error) {
        EXPECT_EQ(error.status(), Status::kBadFormula);
        EXPECT_NE(std::string(error.what()).find("formula for red (-r) nests too deeply"),
                  std::string::npos);
    }
}

TEST(Formula, VisitingOrderMattersOnlyForPutAndRnd) {
    const std::pair<const char*, bool> cases[] = {
        {"255 - c", false},        {"get(3) + cnv(1,1,1,1,1,1,1,1,1,9)", false},
        {"put(c, 0)", true},       {"x ? 1 : max(2, rnd(0, 9))", true},
        {"r, put(1, 2), g", true}, {"src(x, y, z) * sin(d)", false},
    };
    for (const auto& [text, ordered] : cases) {
        const Tree tree = CompileFormula(Text(text));
        EXPECT_EQ(DependsOnVisitingOrder(tree.get()), ordered) << text;
    }
}

TEST(Filter, ChoosesTheFormulaOfEachChannel) {
    const auto offer = [](ChannelSet channels, const char* text, int priority) {
        return FormulaOffer{channels, Text(text, text), priority};
    };
    // A file's all and g, the command line's rgb: the command line wins for
    // red and blue and green alike; alpha keeps the file's all.
    const Filter mixed(std::vector<FormulaOffer>{offer(kAllChannels, "1", 0), offer(0b0010, "2", 0),
                                                 offer(kColourChannels, "3", 1)});
    const FilterData& p = mixed.data();
    EXPECT_EQ(p.origins[0], "3");
    EXPECT_EQ(p.origins[1], "3");
    EXPECT_EQ(p.origins[2], "3");
    EXPECT_EQ(p.origins[3], "1");
    EXPECT_FALSE(p.addsAlpha);
    EXPECT_FALSE(p.visitingOrder);

    // Within one source the formula for fewer channels wins; a formula for
    // alpha alone adds alpha; a put anywhere orders the whole filter.
    const Filter chosen(
        std::vector<FormulaOffer>{offer(0b1000, "put(1, 0)", 0), offer(kAllChannels, "4", 0)});
    const FilterData& q = chosen.data();
    EXPECT_EQ(q.origins[0], "4");
    EXPECT_EQ(q.origins[3], "put(1, 0)");
    EXPECT_TRUE(q.addsAlpha);
    EXPECT_TRUE(q.visitingOrder);

    const Filter red(std::vector<FormulaOffer>{offer(kRed, "r", 1)});
    const FilterData& none = red.data();
    EXPECT_TRUE(none.Computes(0));
    EXPECT_FALSE(none.Computes(1));
}

}  // namespace
}  // namespace zv

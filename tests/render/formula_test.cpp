// SPDX-License-Identifier: MIT
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

// Every kind of mistake, with the message a user sees.
TEST_P(FormulaErrors, SayWhatIsWrongAndWhere) {
    test::ExpectRefusal(GetParam(), Status::kBadFormula,
                        [](const char* text) { CompileFormula(Text(text)); });
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormulaErrors,
    testing::Values(
        test::Refusal{"x + * 2",
                      "formula for red (-r) does not parse at column 3: \"+\" has no right operand",
                      "  x + * 2\n    ^\n"},
        test::Refusal{"", "formula for red (-r) does not parse at column 1: the formula is empty",
                      "  \n  ^\n"},
        test::Refusal{"foo(2)",
                      "formula for red (-r) does not parse at column 1: unknown name \"foo\""},
        test::Refusal{"x + sin2(y)",
                      "formula for red (-r) does not parse at column 5: unknown name \"sin2\""},
        test::Refusal{"rx", "formula for red (-r) does not parse at column 1: unknown name \"rx\""},
        test::Refusal{
            "sin(1,2)",
            "formula for red (-r) does not parse at column 1: \"sin\" takes 1 argument (d), not 2"},
        test::Refusal{"min(r)",
                      "formula for red (-r) does not parse at column 1: \"min\" takes 2 arguments "
                      "(a, b), not 1",
                      "  min(r)\n  ^\n"},
        test::Refusal{"src(x, y)",
                      "formula for red (-r) does not parse at column 1: \"src\" takes 3 arguments "
                      "(x, y, z), not 2"},
        test::Refusal{
            "1 + abs()",
            "formula for red (-r) does not parse at column 5: \"abs\" takes 1 argument (a), not 0"},
        test::Refusal{"min(1, (2, 3))",
                      "formula for red (-r) does not parse at column 10: a \",\" inside "
                      "parentheses must separate a function's arguments"},
        test::Refusal{"max(, 2)",
                      "formula for red (-r) does not parse at column 5: argument 1 (a) of \"max\" "
                      "is missing"},
        test::Refusal{"mix(1, 2, , 4)",
                      "formula for red (-r) does not parse at column 11: argument 3 (n) of \"mix\" "
                      "is missing"},
        test::Refusal{"sin x",
                      "formula for red (-r) does not parse at column 1: \"sin\" needs its "
                      "arguments in parentheses: sin(d)"},
        test::Refusal{"(x + 1",
                      "formula for red (-r) does not parse at column 7: unexpected end of formula: "
                      "\"(\" at column 1 is not closed"},
        test::Refusal{"(r +\ng",
                      "formula for red (-r) does not parse at line 2, column 2: unexpected end of "
                      "formula: \"(\" at line 1, column 1 is not closed"},
        test::Refusal{
            "(1 + 2) * 3)",
            "formula for red (-r) does not parse at column 12: \")\" has no \"(\" to close"},
        test::Refusal{
            "r)", "formula for red (-r) does not parse at column 2: \")\" has no \"(\" to close",
            "  r)\n   ^\n"},
        test::Refusal{"*2",
                      "formula for red (-r) does not parse at column 1: \"*\" has no left operand"},
        test::Refusal{
            "(&& r)",
            "formula for red (-r) does not parse at column 2: \"&&\" has no left operand"},
        test::Refusal{
            "r -", "formula for red (-r) does not parse at column 3: \"-\" has no right operand"},
        test::Refusal{"x ? 1",
                      "formula for red (-r) does not parse at column 6: unexpected end of formula: "
                      "\"?\" at column 3 has no \":\""},
        test::Refusal{"x : 1",
                      "formula for red (-r) does not parse at column 3: \":\" without \"?\""},
        test::Refusal{"x()",
                      "formula for red (-r) does not parse at column 2: missing operator between "
                      "\"x\" and \"(\""},
        test::Refusal{"r +\ng g",
                      "formula for red (-r) does not parse at line 2, column 3: missing operator "
                      "between \"g\" and \"g\"",
                      "  g g\n    ^\n"},
        test::Refusal{"\tr = 1",
                      "formula for red (-r) does not parse at column 4: \"=\" is not an operator: "
                      "\"==\" compares",
                      "  \tr = 1\n  \t  ^\n"},
        test::Refusal{
            "r; g", "formula for red (-r) does not parse at column 2: unexpected character \";\""},
        test::Refusal{"c*1.2",
                      "formula for red (-r) does not parse at column 3: numbers are integers: for "
                      "c*1.2 write c*12/10"},
        test::Refusal{"r - 0.05",
                      "formula for red (-r) does not parse at column 5: numbers are "
                      "integers: for c*0.05 write c*5/100"},
        test::Refusal{"r * 2.",
                      "formula for red (-r) does not parse at column 5: numbers are "
                      "integers: scale instead, as in c*12/10 for c*1.2"},
        test::Refusal{
            "()",
            "formula for red (-r) does not parse at column 1: nothing between \"(\" and \")\""}));

// The position in messages is also the error's line and column, for hosts
// that mark it themselves.
TEST(Formula, ErrorsCarryTheirLineAndColumn) {
    const struct {
        std::function<void()> compile;
        int line, column;
    } cases[] = {
        {[] { CompileFormula(Text("x + * 2")); }, 1, 3},
        {[] { CompileFormula(Text("r +\ng g")); }, 2, 3},
        {[] { Filter(ParseFilterFile("title: t\n\nrgb:  x + * 2\n", "f.zvf")); }, 3, 9},
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
        {std::string(100, '1') + " + * " + std::string(100, '2'),
         "does not parse at column 102: \"+\" has no right operand",
         "  ..." + std::string(59, '1') + " + * " + std::string(56, '2') + "...\n     " +
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

// A number past 32 bits wraps, as the language says; the compile warns of it
// but for -2147483648, which needs the wrap.
TEST(Formula, NumbersBeyond32BitsCompileWithAWarning) {
    const std::string prefix = "formula for red (-r) has a number beyond 32 bits at ";
    const struct {
        const char* text;
        std::vector<std::string> warnings;
    } cases[] = {
        {"4294967296 + r", {prefix + "column 1: 4294967296 wraps to 0"}},
        {"r +\n 99999999999, 4294967295",
         {prefix + "line 2, column 2: 99999999999 wraps to 1215752191",
          prefix + "line 2, column 15: 4294967295 wraps to -1"}},
        {"-2147483648 + 2147483647 + 000000000001 + x - 2147483648", {}},
    };
    for (const auto& c : cases) {
        std::vector<Warning> warnings;
        CompileFormula(Text(c.text), &warnings);
        std::vector<std::string> messages;
        for (const Warning& w : warnings) messages.push_back(w.message);
        EXPECT_EQ(messages, c.warnings) << c.text;
    }
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

// Formulas of one filter; cells shared between them order it, cells each
// keeps to itself do not (the cases of render/span/cells.h are in span_exact_test).
TEST(Formula, VisitingOrderMattersForRndAndSharedCells) {
    const std::pair<std::vector<const char*>, bool> cases[] = {
        {{"255 - c"}, false},
        {{"get(3) + cnv(1,1,1,1,1,1,1,1,1,9)"}, false},  // every cell stays 0
        {{"put(c, 0)"}, false},
        {{"x ? 1 : max(2, rnd(0, 9))"}, true},
        {{"r, put(1, 2), g"}, false},
        {{"put(c, 0) + get(0)"}, true},
        {{"put(5, 1)", "get(1)"}, true},  // green reads what red wrote
        {{"put(5, 1), get(1)", "put(6, 1), get(1) + g"}, false},
        {{"src(x, y, z) * sin(d)"}, false},
    };
    for (const auto& [texts, ordered] : cases) {
        std::vector<Tree> trees;
        std::vector<const ExprNode*> roots;
        for (const char* text : texts) {
            trees.push_back(CompileFormula(Text(text)));
            roots.push_back(trees.back().get());
        }
        EXPECT_EQ(DependsOnVisitingOrder(roots), ordered) << texts[0];
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
    const detail::FilterData& p = DataOf(mixed);
    EXPECT_EQ(p.origins[0], "3");
    EXPECT_EQ(p.origins[1], "3");
    EXPECT_EQ(p.origins[2], "3");
    EXPECT_EQ(p.origins[3], "1");
    EXPECT_FALSE(p.addsAlpha);
    EXPECT_FALSE(p.visitingOrder);

    // Within one source the formula for fewer channels wins; a formula for
    // alpha alone adds alpha; cells read before written anywhere order the
    // whole filter.
    const Filter chosen(std::vector<FormulaOffer>{offer(0b1000, "put(1, 0) + get(0)", 0),
                                                  offer(kAllChannels, "4", 0)});
    const detail::FilterData& q = DataOf(chosen);
    EXPECT_EQ(q.origins[0], "4");
    EXPECT_EQ(q.origins[3], "put(1, 0) + get(0)");
    EXPECT_TRUE(q.addsAlpha);
    EXPECT_TRUE(q.visitingOrder);

    const Filter red(std::vector<FormulaOffer>{offer(kRed, "r", 1)});
    const detail::FilterData& none = DataOf(red);
    EXPECT_TRUE(none.Computes(0));
    EXPECT_FALSE(none.Computes(1));
}

}  // namespace
}  // namespace zv

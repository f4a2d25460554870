// SPDX-License-Identifier: MIT
// Token sequences for the scanner's matching rules, aliases and counters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/zorvan.h"
#include "front/scan.h"

namespace {

// A token as the tests write it: its code, plus the value for NUMBER.
struct Tok {
    int32_t code;
    int32_t value = 0;
    bool operator==(const Tok&) const = default;
};

constexpr Tok N(int32_t value) { return {ZV_NUMBER, value}; }

std::ostream& operator<<(std::ostream& os, const Tok& t) {
    return t.code == ZV_NUMBER ? os << "NUMBER " << t.value : os << t.code;
}

// Every token up to the first 0, which is left out.
std::vector<Tok> Scan(const std::string& text) {
    zv::Scanner scanner;
    EXPECT_TRUE(zv::ScanBegin(scanner, text.data(), text.size()));
    std::vector<Tok> out;
    for (int32_t code; (code = zv::NextToken(scanner)) != 0;) {
        out.push_back({code, code == ZV_NUMBER ? scanner.state.tokenValue : 0});
    }
    zv::ScanEnd(scanner);
    return out;
}

struct Case {
    std::string text;
    std::vector<Tok> tokens;
};

void PrintTo(const Case& c, std::ostream* os) { *os << "«" << c.text << "»"; }

class ScanCase : public testing::TestWithParam<Case> {};

TEST_P(ScanCase, Tokens) { EXPECT_EQ(Scan(GetParam().text), GetParam().tokens) << GetParam().text; }

INSTANTIATE_TEST_SUITE_P(Blanks, ScanCase, testing::Values(
    Case{"", {}}, Case{" \t\r\n", {}}, Case{"// only a comment", {}},
    Case{"r//x\r\ng", {{'r'}, {'g'}}},
    Case{"a//b", {{'a'}}},
    Case{"a/ /b", {{'a'}, {'/'}, {'/'}, {'b'}}},
    Case{"\v\f", {{11}, {12}}},
    Case{"\xe9", {{-23}}},
    Case{"r//\xe9\ng", {{'r'}, {'g'}}}));

INSTANTIATE_TEST_SUITE_P(Operators, ScanCase, testing::Values(
    Case{"===", {{ZV_EQ}, {'='}}},
    Case{"!==", {{ZV_NE}, {'='}}},
    Case{"<<=", {{ZV_SHL}, {'='}}},
    Case{"<=>", {{ZV_LE}, {ZV_GT}}},
    Case{"&&&", {{ZV_AND}, {ZV_BITAND}}},
    Case{"|||", {{ZV_OR}, {ZV_BITOR}}},
    Case{">>>=", {{ZV_SHR}, {ZV_GE}}},
    Case{"^!~", {{ZV_BITXOR}, {ZV_NOT}, {ZV_COMPL}}},
    Case{"+-*/%?:", {{'+'}, {'-'}, {'*'}, {'/'}, {'%'}, {'?'}, {':'}}}));

INSTANTIATE_TEST_SUITE_P(Words, ScanCase, testing::Values(
    Case{"r0g1", {{'r'}, {'g'}}},
    Case{"r00", {{'r'}, N(0)}},
    Case{"r2x", {{ZV_R2X}}},
    Case{"r2", {{'r'}, N(2)}},
    Case{"src2", {{ZV_SRC}, N(2)}},
    Case{"src01", {{ZV_SRC}, N(1)}},
    Case{"cnv2", {{ZV_CNV}, N(2)}},
    Case{"rad1", {{ZV_RAD}}},
    Case{"absx", {{ZV_ABS}, {'x'}}},
    Case{"maxim", {{ZV_MAX}, {'i'}, {'m'}}},
    Case{"12abs", {N(12), {ZV_ABS}}},
    Case{"xmin", {{'x'}, {ZV_MIN}}},
    Case{"cmax", {{'c'}, {ZV_MAX}}},
    Case{"x0", {{'x'}, N(0)}},
    Case{"tmax total", {{ZV_TOTAL}, {ZV_TOTAL}}},
    Case{"totals", {{ZV_TOTAL}, {'s'}}},
    Case{"tota", {{'t'}, {'o'}, {'t'}, {'a'}}},
    Case{"tmin pmin dmin", {N(0), N(0), N(0)}},
    Case{"p pmax zmax", {{'z'}, {'Z'}, {'Z'}}},
    Case{"xmax ymax dmax mmax", {{'X'}, {'Y'}, {'D'}, {'M'}}},
    Case{"rmax imax vmax", {N(255), N(255), N(255)}},
    Case{"R G B A C I U V", {N(255), N(255), N(255), N(255), N(255), N(255), N(255), N(255)}},
    Case{"P E s D", {{80}, {69}, {115}, {'D'}}},
    Case{"d1m0", {{'d'}, {'m'}}}));

INSTANTIATE_TEST_SUITE_P(Numbers, ScanCase, testing::Values(
    Case{"007", {N(7)}},
    Case{"2147483647", {N(2147483647)}},
    Case{"2147483648", {N(INT32_MIN)}},
    Case{"4294967295", {N(-1)}},
    Case{"4294967296", {N(0)}},
    Case{"-5", {{'-'}, N(5)}},
    Case{"1.5", {N(1), {'.'}, N(5)}},
    Case{"0x10", {N(0), {'x'}, N(10)}}));

INSTANTIATE_TEST_SUITE_P(Commas, ScanCase, testing::Values(
    Case{"r,g", {{'r'}, {ZV_SEQ}, {'g'}}},
    Case{"(r,g)", {{'('}, {'r'}, {','}, {'g'}, {')'}}},
    Case{"min(r,g),b", {{ZV_MIN}, {'('}, {'r'}, {','}, {'g'}, {')'}, {ZV_SEQ}, {'b'}}},
    Case{"r)", {{'r'}, {'#'}}},
    Case{"((r)))", {{'('}, {'('}, {'r'}, {')'}, {')'}, {'#'}}},
    Case{"),(,", {{'#'}, {ZV_SEQ}, {'('}, {ZV_SEQ}}}));

TEST(Scanner, EndRepeatsZero) {
    zv::Scanner scanner;
    ASSERT_TRUE(zv::ScanBegin(scanner, "r1", 2));
    EXPECT_EQ(zv::NextToken(scanner), 'r');
    for (int i = 0; i < 3; ++i) EXPECT_EQ(zv::NextToken(scanner), 0);
    zv::ScanEnd(scanner);
}

TEST(Scanner, KeywordKeepsTokenValue) {
    zv::Scanner scanner;
    std::string text = "rmax+abs(r)";
    ASSERT_TRUE(zv::ScanBegin(scanner, text.data(), text.size()));
    EXPECT_EQ(zv::NextToken(scanner), ZV_NUMBER);
    for (int32_t code; (code = zv::NextToken(scanner)) != 0;) EXPECT_EQ(scanner.state.tokenValue, 255);
    zv::ScanEnd(scanner);
}

TEST(Scanner, EveryScanStartsAtDepthZero) {
    EXPECT_EQ(Scan("((("), (std::vector<Tok>{{'('}, {'('}, {'('}}));
    EXPECT_EQ(Scan("r,g"), (std::vector<Tok>{{'r'}, {ZV_SEQ}, {'g'}}));
}

TEST(Scanner, TokenOffsets) {
    zv::Scanner scanner;
    std::string text = " ab // c\n  sin(";
    ASSERT_TRUE(zv::ScanBegin(scanner, text.data(), text.size()));
    std::vector<int32_t> starts;
    while (zv::NextToken(scanner) != 0) starts.push_back(scanner.state.tokenStart);
    EXPECT_EQ(starts, (std::vector<int32_t>{1, 2, 11, 14}));
    EXPECT_EQ(scanner.state.tokenStart, 15);  // the end of input sits after the text
    zv::ScanEnd(scanner);
}

TEST(Scanner, ReadsOnlyTheGivenLength) {
    zv::Scanner scanner;
    ASSERT_TRUE(zv::ScanBegin(scanner, "r+g", 1));
    EXPECT_EQ(zv::NextToken(scanner), 'r');
    EXPECT_EQ(zv::NextToken(scanner), 0);
    zv::ScanEnd(scanner);
}

}  // namespace

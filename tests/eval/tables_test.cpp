// SPDX-License-Identifier: MIT
#include "eval/tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <numbers>
#include <numeric>
#include <utility>

namespace zv {
namespace {

// The tables are recomputed here from their defining rules, independently of
// the written-out data: per entry a sine angle and a cosine angle, floored
// sine and cosine with a few entries raised by one, truncated tangent with a
// list of corrected entries, and the tangent's second and fourth quarters as
// the negated mirror of its third.

constexpr int kSinRaised[] = {104, 108, 404, 408, 534, 574, 588, 617, 684, 688,
                              703, 710, 825, 832, 847, 851, 918, 947, 961, 1001};
constexpr int kCosRaised[] = {148, 152, 278, 318, 332, 361, 428, 432, 447, 454,
                              569, 576, 591, 595, 662, 691, 705, 745, 871, 875};

constexpr std::pair<int, int32_t> kTanCorrected[] = {
    {7, 43},      {60, 394},     {70, 468},    {90, 631},     {123, 962},   {125, 987},
    {128, 1024},  {138, 1157},   {171, 1781},  {183, 2130},   {191, 2430},  {192, 2471},
    {193, 2516},  {197, 2704},   {198, 2755},  {200, 2862},   {203, 3037},  {205, 3165},
    {209, 3452},  {211, 3614},   {218, 4312},  {219, 4433},   {221, 4695},  {222, 4837},
    {224, 5148},  {225, 5319},   {226, 5501},  {229, 6123},   {230, 6365},  {231, 6623},
    {233, 7209},  {235, 7904},   {236, 8304},  {237, 8746},   {239, 9780},  {241, 11100},
    {242, 11896}, {243, 12814},  {244, 13884}, {245, 15147},  {246, 16678}, {247, 18530},
    {248, 20841}, {249, 23841},  {250, 27802}, {251, 33404},  {252, 41721}, {253, 55728},
    {254, 83458}, {255, 167761}, {631, 923},   {656, 1253},   {666, 1423},  {685, 1839},
    {687, 1893},  {690, 1980},   {698, 2242},  {705, 2522},   {708, 2661},  {714, 2983},
    {716, 3106},  {717, 3171},   {721, 3458},  {724, 3707},   {731, 4439},  {732, 4567},
    {733, 4701},  {735, 4993},   {737, 5325},  {738, 5507},   {739, 5699},  {741, 6129},
    {742, 6371},  {743, 6630},   {745, 7215},  {748, 8310},   {749, 8753},  {750, 9238},
    {751, 9786},  {752, 10401},  {753, 11106}, {754, 11902},  {755, 12820}, {756, 13890},
    {758, 16684}, {759, 18536},  {760, 20846}, {761, 23847},  {762, 27809}, {763, 33410},
    {764, 41726}, {765, 55731},  {766, 83463}, {767, 167772},
};

struct Angles {
    int sine;
    int cosine;
};

// Entry 0 reads the sine one step before the axis; elsewhere one of the two
// angles runs one step ahead of the entry, depending on the quarter.
Angles AnglesOf(int k) {
    if (k == 0) return {-1, 0};
    if (k < 256) return {k, k};
    if (k < 512) return {k, k + 1};
    if (k < 768) return {k + 1, k};
    return {k, k + 1};
}

double Theta(int steps) {
    return 2.0 * std::numbers::pi * steps / 1024.0;
}

template <std::size_t N>
bool Listed(const int (&list)[N], int k) {
    return std::find(std::begin(list), std::end(list), k) != std::end(list);
}

int32_t ExpectedSin(int k) {
    int32_t v = static_cast<int32_t>(std::floor(512.0 * std::sin(Theta(AnglesOf(k).sine))));
    return Listed(kSinRaised, k) ? v + 1 : v;
}

int32_t ExpectedCos(int k) {
    int32_t v = static_cast<int32_t>(std::floor(512.0 * std::cos(Theta(AnglesOf(k).cosine))));
    return Listed(kCosRaised, k) ? v + 1 : v;
}

// Defined directly for entries 0..255 and 512..767.
int32_t ExpectedTanDirect(int k) {
    for (const auto& [entry, value] : kTanCorrected) {
        if (entry == k) return value;
    }
    Angles a = AnglesOf(k);
    return static_cast<int32_t>(
        std::trunc(1024.0 * std::sin(Theta(a.sine)) / std::cos(Theta(a.cosine))));
}

int32_t ExpectedTan(int k) {
    if (k < 256 || (k >= 512 && k < 768)) return ExpectedTanDirect(k);
    int m = k % 256;
    return -ExpectedTanDirect(767 - m);
}

TEST(TablesTest, EveryEntryFollowsItsRule) {
    for (int k = 0; k < 1024; ++k) {
        EXPECT_EQ(SinTable[k], ExpectedSin(k)) << "SinTable[" << k << "]";
        EXPECT_EQ(CosTable[k], ExpectedCos(k)) << "CosTable[" << k << "]";
        EXPECT_EQ(TanTable[k], ExpectedTan(k)) << "TanTable[" << k << "]";
    }
}

TEST(TablesTest, TellingRows) {
    struct Row {
        int entry;
        int32_t sine, cosine, tangent;
    };
    constexpr Row kRows[] = {
        {0, -4, 512, -6},        {1, 3, 511, 6},          {128, 362, 362, 1024},
        {255, 511, 3, 167761},   {256, 512, -4, -167772}, {511, 3, -512, -6},
        {512, -4, -512, 6},      {513, -7, -512, 12},     {767, -512, -4, 167772},
        {768, -512, 3, -167772}, {1023, -4, 512, -6},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.entry);
        EXPECT_EQ(SinTable[row.entry], row.sine);
        EXPECT_EQ(CosTable[row.entry], row.cosine);
        EXPECT_EQ(TanTable[row.entry], row.tangent);
    }
}

TEST(TablesTest, NoEntryIsZero) {
    for (int k = 0; k < 1024; ++k) {
        EXPECT_NE(SinTable[k], 0) << "SinTable[" << k << "]";
        EXPECT_NE(CosTable[k], 0) << "CosTable[" << k << "]";
        EXPECT_NE(TanTable[k], 0) << "TanTable[" << k << "]";
    }
}

TEST(TablesTest, OnlyTheQuarterTurnHoldsFullSine) {
    EXPECT_EQ(std::count(std::begin(SinTable), std::end(SinTable), 512), 1);
    EXPECT_EQ(SinTable[256], 512);
}

TEST(AngleLookupTest, SelectsEntry) {
    // A table whose entries are their own indices shows which entry was read.
    int32_t index[1024];
    std::iota(std::begin(index), std::end(index), 0);

    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr std::pair<int32_t, int32_t> kCases[] = {
        {0, 0},     {1, 1},        {1023, 1023}, {1024, 0},     {2049, 1},
        {-1, 1022}, {-2, 1021},    {-1023, 0},   {-1024, 1023}, {-1025, 1022},
        {-2047, 0}, {-2048, 1023}, {kMax, 1023}, {kMin, 1023},
    };
    for (const auto& [angle, entry] : kCases) {
        EXPECT_EQ(AngleLookup(index, angle), entry) << "angle " << angle;
    }
}

TEST(AngleLookupTest, MinusOneReadsBelowTheLastEntry) {
    EXPECT_EQ(AngleLookup(SinTable, -1), -7);
    EXPECT_EQ(AngleLookup(SinTable, 1023), -4);
    EXPECT_EQ(AngleLookup(CosTable, -1024), 512);
}

}  // namespace
}  // namespace zv

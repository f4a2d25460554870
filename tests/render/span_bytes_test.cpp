// SPDX-License-Identifier: MIT
// Byte tables: which way each instruction set computes a table, and that
// every way gives the table's bytes, at every length around the vectors'.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "render/span/bytes.h"
#include "render/span/isa.h"

namespace zv {
namespace {

using Way = ByteTable::Way;

// What the baseline has: SSE2's saturating bytes on x86-64, NEON's table
// lookups too on AArch64, neither on 32-bit x86.
#if defined(__ARM_NEON)
constexpr bool kBaselineSaturates = true, kBaselineShuffles = true;
#elif defined(__SSE2__)
constexpr bool kBaselineSaturates = true, kBaselineShuffles = false;
#else
constexpr bool kBaselineSaturates = false, kBaselineShuffles = false;
#endif

ByteTable Of(const std::function<int32_t(int32_t)>& f) {
    ByteTable t;
    for (int32_t c = 0; c < 256; ++c) t.bytes[c] = ClampToByte(f(c));
    return t;
}

TEST(SpanBytes, EveryWayGivesTheTable) {
    std::mt19937 random(7);
    std::vector<uint8_t> in(300), out(300);
    for (uint8_t& b : in) b = static_cast<uint8_t>(random());
    struct Case {
        const char* what;
        ByteTable table;
        bool saturates;
    };
    const Case cases[] = {
        {"255 - c", Of([](int32_t c) { return 255 - c; }), true},
        {"c", Of([](int32_t c) { return c; }), true},
        {"c + 40", Of([](int32_t c) { return c + 40; }), true},
        {"c - 300", Of([](int32_t c) { return c - 300; }), true},
        {"200 - c", Of([](int32_t c) { return 200 - c; }), true},
        {"400 - c", Of([](int32_t c) { return 400 - c; }), true},
        {"255", Of([](int32_t) { return 255; }), true},
        {"0", Of([](int32_t) { return 0; }), true},
        {"c * c / 255", Of([](int32_t c) { return c * c / 255; }), false},
        {"c < 128 ? 0 : 255", Of([](int32_t c) { return c < 128 ? 0 : 255; }), false},
        {"2 * c", Of([](int32_t c) { return 2 * c; }), false},
        {"c ^ 85", Of([](int32_t c) { return c ^ 85; }), false},
    };
    for (const Isa isa : RunnableIsas()) {
        UseIsa(isa);
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(NameOf(isa)) + ": " + k.what);
            ByteTable t = k.table;
            Prepare(t);
            if (t.way == Way::kNone) {
                EXPECT_EQ(isa, Isa::kBaseline);
                EXPECT_FALSE(kBaselineShuffles || (k.saturates && kBaselineSaturates));
                continue;
            }
            EXPECT_EQ(t.way == Way::kSaturate, k.saturates);
            for (size_t n = 0; n <= 130; n += n < 70 ? 1 : 13) {
                std::fill(out.begin(), out.end(), 0x5A);
                LookUp(t, in.data() + 3, n, out.data() + 1);
                for (size_t i = 0; i < n; ++i) ASSERT_EQ(out[1 + i], t.bytes[in[3 + i]]) << n;
                EXPECT_EQ(out[1 + n], 0x5A);  // nothing past the count
            }
        }
    }
    UseIsa(RunnableIsas().back());
}

}  // namespace
}  // namespace zv

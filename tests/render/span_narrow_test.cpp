// SPDX-License-Identifier: MIT
// Functions of c in 16-bit lanes: which formulas the ranges admit, and that
// every instruction set's loops give the table's bytes across blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "render/context.h"
#include "render/formula.h"
#include "render/span/bytes.h"
#include "render/span/isa.h"
#include "render/span/narrow.h"
#include "tests/render/fixture.h"

namespace zv {
namespace {

TEST(SpanNarrow, FunctionsOfCByTheirRanges) {
    struct Case {
        const char* text;
        bool narrow, fused;  // fused: one pass in registers
    };
    const Case cases[] = {
        {"c", true, true},  // no step at all
        {"c * c / 255", true, true},
        {"(c - 128) * 3 / 2 + 128", true, true},  // a signed quotient
        {"(c * 200 - 30000) / 7", true, true},
        {"-c / -3 + 90", true, true},
        {"c * val(0, 0, 255) / 255", true, true},  // a divisor fixed for the run
        {"c * 200", true, true},                   // past int16: clamped as a uint16
        {"min(max(c * 3 - 100, 20), 240)", true, true},
        {"max(255 - c * c / 255 * 2, 30)", true, true},
        {"min((c - 128) * 5 / 3 + 128, 200)", true, true},
        {"c % 37 * 7", true, false},
        {"(c - 100) % -37 * 5", true, false},
        {"c < 100 ? c * 2 : 255 - c / 3", true, false},
        {"c > ctl(0) ? 255 : 0", true, false},
        {"min(c, 200) - max(c >> 2, 40) + 90", true, false},
        {"((c - 128) >> 3) + (c >> 20) + 100", true, false},
        {"!(c == 7) * 99 + (c != 8 && c) * 50", true, false},
        {"(c > 9 && 65536) * 90 + (c < 0 || 131072) * 7", true,
         false},                    // truths of constants past 16 bits
        {"c, 65636", true, false},  // a root the same everywhere, past 16 bits
        {"~c % 256 * 2 / 3", true, false},
        {"~c % 7", false, false},  // no 16-bit multiplier divides all of 0..65535 by 7
        {"c * 257 / 256 / 257", true, false},
        {"c * c - 40000", false, false},      // below int16 and above it
        {"c * c * c / 65025", false, false},  // past 16 bits
        {"c * 300 / (c + 1)", false, false},  // a divisor that varies
        {"c * c % 7 + c * 2 % 5 + c * 3 % 11 + c * 5 % 13", false, false},  // too many steps
    };
    std::mt19937 random(11);
    std::vector<uint8_t> in(1300), out(1300);
    for (uint8_t& b : in) b = static_cast<uint8_t>(random());
    const test::Picture source = test::Pattern(3, 2, 3);
    RenderSettings settings;
    settings.controls[0] = 200;
    const RenderContext render(source.View(), 3, settings, false);
    ReportWrongSteps([] { ADD_FAILURE() << "16-bit steps miss the table's bytes"; });
    for (const Isa isa : RunnableIsas()) {
        UseIsa(isa);
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(NameOf(isa)) + ": " + k.text);
            const Tree tree = CompileFormula({k.text, k.text, {}, {}});
            const SpanCompiled compiled = CompileSpans(tree.get(), true);
            ASSERT_TRUE(compiled.program);
            PixelContext context = render.Fresh();
            SpanWorkspace run(*compiled.program);
            const int32_t* scalars = run.Scalars(context);
            ByteTable table;
            ClampToBytes(run.OverBytes(), 256, table.bytes.data());
            NarrowProgram narrow;
            ASSERT_EQ(CompileNarrow(*compiled.program, scalars, narrow), k.narrow);
            if (!k.narrow) continue;
            EXPECT_EQ(narrow.fused.shape >= 0, k.fused);
            for (size_t n : {size_t{0}, size_t{1}, size_t{511}, size_t{513}, in.size() - 3}) {
                std::fill(out.begin(), out.end(), 0x5A);
                RunNarrow(narrow, in.data() + 3, n, out.data() + 1);
                for (size_t i = 0; i < n; ++i) ASSERT_EQ(out[1 + i], table.bytes[in[3 + i]]) << n;
                EXPECT_EQ(out[1 + n], 0x5A);  // nothing past the count
            }
            Prepare(table, narrow);
            EXPECT_NE(table.way, ByteTable::Way::kNone);
        }
    }
    UseIsa(RunnableIsas().back());
    ReportWrongSteps(nullptr);
}

// Random chains of the steps the fused shapes take, and a few others: where
// one is fused, the one pass gives the steps' bytes, tails included.
TEST(SpanNarrow, FusedChainsAreTheirSteps) {
    constexpr NarrowOp kChain[] = {NarrowOp::kMul,     NarrowOp::kAdd,      NarrowOp::kSub,
                                   NarrowOp::kSubFrom, NarrowOp::kNeg,      NarrowOp::kDivide,
                                   NarrowOp::kAbs,     NarrowOp::kCopySign, NarrowOp::kMaxS,
                                   NarrowOp::kMinS,    NarrowOp::kMinU,     NarrowOp::kSelect};
    std::mt19937 random(24);
    std::vector<uint8_t> in(700), steps(in.size()), fused(in.size());
    for (uint8_t& b : in) b = static_cast<uint8_t>(random());
    size_t count = 0;
    for (const Isa isa : RunnableIsas()) {
        UseIsa(isa);
        for (int i = 0; i < 3000; ++i) {
            NarrowProgram p;
            p.lanes = 1;
            for (int k = 1 + static_cast<int>(random() % kNarrowMaxSteps); k > 0; --k) {
                const auto out = static_cast<uint16_t>(p.lanes++);
                const auto lane = [&] { return static_cast<uint16_t>(random() % out); };
                p.steps.push_back({kChain[random() % std::size(kChain)], random() % 4 != 0,
                                   static_cast<uint8_t>(random() % 16), out,
                                   random() % 3 ? static_cast<uint16_t>(out - 1) : lane(), lane(),
                                   lane(), static_cast<uint16_t>(random())});
            }
            p.root = p.lanes - 1;
            p.rootSigned = random() % 2;
            const size_t n = random() % in.size();
            RunNarrow(p, in.data(), n, steps.data());
            Fuse(p);
            if (p.fused.shape < 0) continue;
            ++count;
            RunNarrow(p, in.data(), n, fused.data());
            ASSERT_TRUE(std::equal(steps.begin(), steps.begin() + n, fused.begin()))
                << NameOf(isa) << ", program " << i;
        }
    }
    UseIsa(RunnableIsas().back());
    EXPECT_GT(count, RunnableIsas().size() * 200);
}

}  // namespace
}  // namespace zv

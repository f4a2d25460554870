// SPDX-License-Identifier: MIT
// ZvParse time (parse and compile) against text length: a long chain of
// additions and a text of deeply parenthesised blocks, from 64 KiB to 1 MiB.
#include <benchmark/benchmark.h>

#include <string>

#include "api/zorvan.h"

namespace {

std::string Chain(size_t bytes) {
    std::string text = "r";
    while (text.size() + 2 <= bytes) text += "+g";
    return text;
}

// Blocks nested 1000 deep, joined by '+': deep but within the parser's limit.
std::string Nested(size_t bytes) {
    const std::string block = std::string(1000, '(') + "r" + std::string(1000, ')');
    std::string text = block;
    while (text.size() + block.size() + 1 <= bytes) text += "+" + block;
    return text;
}

void Parse(benchmark::State& state, std::string (*make)(size_t)) {
    const std::string text = make(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        int32_t status = -1;
        ExprNode* root = ZvParse(text.c_str(), &status, 1);
        if (status != 0) state.SkipWithError("formula did not parse");
        ZvFree(root);
    }
    // Linear growth shows as the same bytes per second at every size.
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

BENCHMARK_CAPTURE(Parse, chain, Chain)
    ->RangeMultiplier(2)
    ->Range(64 << 10, 1 << 20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Parse, nested, Nested)
    ->RangeMultiplier(2)
    ->Range(64 << 10, 1 << 20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// SPDX-License-Identifier: MIT
// Cells used as local variables, and filters that must run in visiting
// order, on the 4000 x 3000 picture through zv::Render: a vignette that
// keeps its weight in a cell against the same vignette without, and
// filters that draw random numbers.
#include <benchmark/benchmark.h>

#include "bench/picture.h"
#include "tools/zorvan/rendered.h"
#include "zorvan/render.hpp"

namespace zv::cli {
namespace {

// The vignette with its weight in cell 0, and the same without.
const char* const kCellFormulas[] = {
    "put(256 - val(0, 0, 256) * max(0, m - M/3) / max(1, M - M/3), 0), c * get(0) / 256",
    "c * (256 - val(0, 0, 256) * max(0, m - M/3) / max(1, M - M/3)) / 256",
};

// Filters that draw random numbers, equally often at every pixel: their
// rows leap to their generator state, so they run on threads.
const char* const kRandomFormulas[] = {
    "c + rnd(-20, 20)",
    "put(rnd(-val(0, 0, 64), val(0, 0, 64)), 0), c + get(0) * (x % 2 ? 1 : -1)",
};

void Time(benchmark::State& state, const char* text) {
    const Filter filter(text, kColourChannels);
    RenderSettings settings;
    settings.controls[0] = 128;
    settings.threads = static_cast<unsigned>(state.range(1));
    Image out(kBenchWidth, kBenchHeight, 3);
    for (auto _ : state) {
        Render(filter, View(Picture()), Writable(out), settings);
        benchmark::DoNotOptimize(out.pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kBenchWidth} * kBenchHeight);
    state.SetLabel(text);
}

// Args: the formula's index, the number of threads.
void Cells(benchmark::State& state) {
    Time(state, kCellFormulas[state.range(0)]);
}
void Random(benchmark::State& state) {
    Time(state, kRandomFormulas[state.range(0)]);
}
BENCHMARK(Cells)
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->ArgNames({"filter", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(Random)
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->ArgNames({"filter", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace zv::cli

BENCHMARK_MAIN();

// SPDX-License-Identifier: MIT
// The render library's paths on a 4000 x 3000 RGB picture, compute only: the
// span path and the per-pixel path against the same five filters written as
// plain C++ loops, each with 1 and 2 threads, and a copy of the picture's
// bytes, the memory's own limit.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/picture.h"
#include "eval/arith.h"
#include "eval/builtins.h"
#include "render/job.h"
#include "render/span/isa.h"
#include "tools/zorvan/rendered.h"

namespace zv::cli {
namespace {

// The same filters as a user writes them: one function per row, rows split
// evenly between the threads. Sizes and rows are read into locals before the
// loops: the output's bytes may alias the image's fields, so a loop that
// read them through the image would read them again after every store and
// could not be vectorised.
using RowFunction = void (*)(const Image& in, Image& out, int32_t y);

uint8_t ToByte(int32_t v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

void InvertRow(const Image& in, Image& out, int32_t y) {
    const uint8_t* p = in.Row(y);
    uint8_t* q = out.Row(y);
    for (size_t i = 0, n = in.RowBytes(); i < n; ++i) q[i] = static_cast<uint8_t>(255 - p[i]);
}

void SplitRow(const Image& in, Image& out, int32_t y) {
    const uint8_t* p = in.Row(y);
    uint8_t* q = out.Row(y);
    const int32_t width = in.width;
    for (int32_t x = 0; x < width; ++x) {
        for (int32_t k = 0; k < 3; ++k) {
            const uint8_t v = p[3 * x + k];
            q[3 * x + k] = x < width / 2 ? v : static_cast<uint8_t>(255 - v);
        }
    }
}

// Angle and distance from the centre with the same arctangent and square
// root, computed once per pixel for all three channels.
void TwirlRow(const Image& in, Image& out, int32_t y) {
    const int32_t width = in.width, height = in.height, cx = width / 2, cy = height / 2;
    const auto big = static_cast<int32_t>(std::sqrt(double(cx) * cx + double(cy) * cy));
    const uint8_t* pixels = in.pixels.data();
    uint8_t* q = out.Row(y);
    for (int32_t x = 0; x < width; ++x) {
        const int32_t dx = x - cx, dy = y - cy;
        const int32_t d = Direction(dx, dy);
        const auto m = static_cast<int32_t>(std::sqrt(double(dx * dx + dy * dy)));
        const int32_t a = d + 160 * (big - m) / big * (big - m) / big;
        const int32_t col = std::clamp(cx + Cosine(a) * m / 512, 0, width - 1);
        const int32_t row = std::clamp(cy + Sine(a) * m / 512, 0, height - 1);
        const uint8_t* p = pixels + (size_t(row) * width + col) * 3;
        for (int32_t k = 0; k < 3; ++k) q[3 * x + k] = p[k];
    }
}

void BlurRow(const Image& in, Image& out, int32_t y) {
    static const int32_t kWeights[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
    const int32_t width = in.width;
    const uint8_t* rows[3];
    for (int32_t j = -1; j <= 1; ++j) rows[j + 1] = in.Row(std::clamp(y + j, 0, in.height - 1));
    uint8_t* q = out.Row(y);
    for (int32_t x = 0; x < width; ++x) {
        for (int32_t k = 0; k < 3; ++k) {
            int32_t sum = 0;
            for (int32_t j = 0; j < 3; ++j) {
                for (int32_t i = -1; i <= 1; ++i) {
                    sum += kWeights[j][i + 1] * rows[j][3 * std::clamp(x + i, 0, width - 1) + k];
                }
            }
            q[3 * x + k] = ToByte(sum / 16);
        }
    }
}

void SquareRow(const Image& in, Image& out, int32_t y) {
    const uint8_t* p = in.Row(y);
    uint8_t* q = out.Row(y);
    for (size_t i = 0, n = in.RowBytes(); i < n; ++i)
        q[i] = static_cast<uint8_t>(p[i] * p[i] / 255);
}

const RowFunction kPlain[] = {InvertRow, SplitRow, TwirlRow, BlurRow, SquareRow};

void RunPlain(RowFunction row, const Image& in, Image& out, int threads) {
    const auto part = [&](int t) {
        for (int32_t y = in.height * t / threads; y < in.height * (t + 1) / threads; ++y) {
            row(in, out, y);
        }
    };
    std::vector<std::jthread> helpers;
    for (int t = 1; t < threads; ++t) helpers.emplace_back(part, t);
    part(0);
}

void CopyRow(const Image& in, Image& out, int32_t y) {
    std::memcpy(out.Row(y), in.Row(y), in.RowBytes());
}

void SetPixelRate(benchmark::State& state, const char* label) {
    state.SetItemsProcessed(state.iterations() * int64_t{kBenchWidth} * kBenchHeight);
    state.SetLabel(label);
}

// Args: the filter's index in kFormulas, the number of threads.
void Plain(benchmark::State& state) {
    const auto threads = static_cast<int>(state.range(1));
    Image out(kBenchWidth, kBenchHeight, 3);
    for (auto _ : state) {
        RunPlain(kPlain[state.range(0)], Picture(), out, threads);
        benchmark::DoNotOptimize(out.pixels.data());
    }
    SetPixelRate(state, kFormulas[state.range(0)]);
}

// Args: the number of threads.
void Copy(benchmark::State& state) {
    Image out(kBenchWidth, kBenchHeight, 3);
    for (auto _ : state) {
        RunPlain(CopyRow, Picture(), out, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(out.pixels.data());
    }
    SetPixelRate(state, "memcpy");
}

void Run(benchmark::State& state, Evaluator evaluator) {
    const char* text = kFormulas[state.range(0)];
    const Filter filter(text, kColourChannels);  // its programs take the current loops
    RenderSettings settings;
    settings.threads = static_cast<unsigned>(state.range(1));
    Image out(kBenchWidth, kBenchHeight, 3);
    for (auto _ : state) {
        RenderBy(evaluator, filter, View(Picture()), Writable(out), settings);
        benchmark::DoNotOptimize(out.pixels.data());
    }
    SetPixelRate(state, text);
}
// Args: filter, threads, and the instruction set's index in RunnableIsas.
void Span(benchmark::State& state) {
    const Isa isa = RunnableIsas()[static_cast<size_t>(state.range(2))];
    UseIsa(isa);
    Run(state, Evaluator::kChosen);
    UseIsa(RunnableIsas().back());
    state.SetLabel(std::string(kFormulas[state.range(0)]) + ", " + NameOf(isa));
}
void PerPixel(benchmark::State& state) {
    Run(state, Evaluator::kPerPixel);
}

void Arguments(benchmark::internal::Benchmark* b) {
    b->ArgsProduct({{0, 1, 2, 3, 4}, {1, 2}})
        ->ArgNames({"filter", "threads"})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}
BENCHMARK(Copy)->Arg(1)->Arg(2)->ArgName("threads")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Plain)->Apply(Arguments);
void IsaArguments(benchmark::internal::Benchmark* b) {
    std::vector<int64_t> isas;
    for (size_t i = 0; i < RunnableIsas().size(); ++i) isas.push_back(static_cast<int64_t>(i));
    b->ArgsProduct({{0, 1, 2, 3, 4}, {1, 2}, isas})
        ->ArgNames({"filter", "threads", "isa"})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}
BENCHMARK(Span)->Apply(IsaArguments);
BENCHMARK(PerPixel)->Apply(Arguments);

}  // namespace
}  // namespace zv::cli

BENCHMARK_MAIN();

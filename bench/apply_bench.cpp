// SPDX-License-Identifier: MIT
// zorvan apply on a 4000 x 3000 picture: the compute of four formulas with 1
// and 2 threads, and decoding and encoding timed on their own.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/picture.h"
#include "tools/zorvan/rendered.h"

namespace zv::cli {
namespace {

// The picture encoded in format, held in memory.
const std::string& Encoded(FileFormat format) {
    static std::string files[2];
    std::string& bytes = files[static_cast<int>(format)];
    if (bytes.empty()) {
        const File file(std::tmpfile());
        WriteImage(Picture(), {format, 90}, file.get(), "bench");
        bytes.resize(static_cast<size_t>(std::ftell(file.get())));
        std::rewind(file.get());
        if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) bytes.clear();
    }
    return bytes;
}

void SetPixelRate(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * int64_t{kBenchWidth} * kBenchHeight);
}

void Decode(benchmark::State& state, FileFormat format) {
    std::string bytes = Encoded(format);
    for (auto _ : state) {
        const File file(fmemopen(bytes.data(), bytes.size(), "rb"));
        benchmark::DoNotOptimize(format == FileFormat::kPng
                                     ? photo::detail::ReadPng(file.get(), "bench")
                                     : photo::detail::ReadJpeg(file.get(), "bench"));
    }
    SetPixelRate(state);
}

void Encode(benchmark::State& state, FileFormat format) {
    const File sink(std::fopen("/dev/null", "wb"));
    for (auto _ : state) WriteImage(Picture(), {format, 90}, sink.get(), "bench");
    SetPixelRate(state);
}

// Args: the formula's index in kFormulas, the number of threads.
void Compute(benchmark::State& state) {
    const char* text = kFormulas[state.range(0)];
    const Filter filter(text, kColourChannels);
    RenderSettings settings;
    settings.threads = static_cast<unsigned>(state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(Rendered(filter, Picture(), settings));
    state.SetLabel(text);
    SetPixelRate(state);
}

BENCHMARK_CAPTURE(Decode, png, FileFormat::kPng)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, jpeg, FileFormat::kJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, png, FileFormat::kPng)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, jpeg, FileFormat::kJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(Compute)
    ->ArgsProduct({{0, 1, 2, 3}, {1, 2}})
    ->ArgNames({"formula", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace zv::cli

BENCHMARK_MAIN();

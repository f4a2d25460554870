// SPDX-License-Identifier: MIT
// Writing the 4000 x 3000 twirl output: PNG at the tool's levels, TIFF and
// WebP, against libpng at zlib's default level 6 with its own row filters
// (the tool's writer before libdeflate). Counters: the file's size in bytes.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>

#include "bench/picture.h"
#include "tools/zorvan/rendered.h"

namespace zv::cli {
namespace {

const Image& Twirl() {
    static const Image image = [] {
        RenderSettings settings;
        settings.threads = 2;
        return Rendered(Filter(kFormulas[2], kColourChannels), Picture(), settings);
    }();
    return image;
}

void Report(benchmark::State& state, std::FILE* file) {
    state.counters["bytes"] = static_cast<double>(std::ftell(file));
    state.SetItemsProcessed(state.iterations() * int64_t{kBenchWidth} * kBenchHeight);
}

// Args: format, level (-1: the default), threads.
void Write(benchmark::State& state) {
    WriteSettings settings;
    settings.format = static_cast<FileFormat>(state.range(0));
    settings.level = static_cast<int>(state.range(1));
    settings.threads = static_cast<unsigned>(state.range(2));
    settings.lossless = state.range(3) != 0;
    const File file(std::tmpfile());
    for (auto _ : state) {
        std::rewind(file.get());
        WriteImage(Twirl(), settings, file.get(), "bench");
    }
    Report(state, file.get());
}

void LibpngLevel6(benchmark::State& state) {
    const File file(std::tmpfile());
    std::vector<png_bytep> rows(Twirl().height);
    for (int32_t y = 0; y < Twirl().height; ++y) rows[y] = const_cast<png_bytep>(Twirl().Row(y));
    for (auto _ : state) {
        std::rewind(file.get());
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, file.get());
        png_set_IHDR(png, info, kBenchWidth, kBenchHeight, 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
    }
    std::fflush(file.get());
    Report(state, file.get());
}

constexpr int64_t kPng = static_cast<int64_t>(FileFormat::kPng);
constexpr int64_t kTiff = static_cast<int64_t>(FileFormat::kTiff);
constexpr int64_t kWebp = static_cast<int64_t>(FileFormat::kWebp);

BENCHMARK(LibpngLevel6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Write)
    ->ArgNames({"format", "level", "threads", "lossless"})
    ->Args({kPng, -1, 1, 0})
    ->Args({kPng, -1, 2, 0})
    ->Args({kPng, 1, 2, 0})
    ->Args({kPng, 6, 2, 0})
    ->Args({kPng, 9, 2, 0})
    ->Args({kTiff, -1, 2, 0})
    ->Args({kWebp, -1, 2, 0})
    ->Args({kWebp, -1, 2, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace zv::cli

BENCHMARK_MAIN();

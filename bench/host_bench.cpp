// SPDX-License-Identifier: MIT
// A host of the shared render library on a 1920 x 1080 picture: the C API
// (ZvRender) against the C++ API that `zorvan apply` renders with, for the
// same formulas and threads, and a host's own loop of ZvExec calls, the
// one way to use the library without the renderer. Only the shared
// libraries are linked, as a host would.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "zorvan.h"
#include "zorvan/render.h"
#include "zorvan/render.hpp"

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;

// The formulas timed: invert, a conditional, a twirl and a 3 x 3 blur.
const char* const kFormulas[] = {
    "255 - c",
    "x < X / 2 ? c : 255 - c",
    "rad(d + 160 * (M - m) / M * (M - m) / M, m, z)",
    "cnv(1, 2, 1, 2, 4, 2, 1, 2, 1, 16)",
};

std::vector<uint8_t> Blank(int32_t channels) {
    return std::vector<uint8_t>(size_t{kWidth} * kHeight * channels);
}

ZvImage ImageOf(std::vector<uint8_t>& bytes) {
    return {bytes.data(), kWidth, kHeight, 3, size_t{kWidth} * 3};
}

// A picture with gradients, rings and fine detail, rendered by the library.
const std::vector<uint8_t>& Picture() {
    static const std::vector<uint8_t> picture = [] {
        std::vector<uint8_t> blank = Blank(3), out = Blank(3);
        ZvFilter* f = nullptr;
        const char* text =
            "z == 0 ? x * 255 / X : z == 1 ? (m * 4 & 255) ^ (y & 15) * 9 : "
            "128 + sin(d * 6 + m) / 4 + (x * y & 31)";
        if (ZvFilterFromFormula(text, 7, &f) != ZV_OK) std::abort();
        ZvImage in = ImageOf(blank), to = ImageOf(out);
        if (ZvRender(f, &in, &to, nullptr) != ZV_OK) std::abort();
        ZvFilterFree(f);
        return out;
    }();
    return picture;
}

void SetPixelRate(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
    state.SetLabel(kFormulas[state.range(0)]);
}

// Args: the formula's index in kFormulas, the number of threads.
void CApi(benchmark::State& state) {
    ZvFilter* filter = nullptr;
    if (ZvFilterFromFormula(kFormulas[state.range(0)], 7, &filter) != ZV_OK) std::abort();
    std::vector<uint8_t> source = Picture(), target = Blank(3);
    ZvImage in = ImageOf(source), out = ImageOf(target);
    ZvRenderOptions options{};
    options.threads = static_cast<uint32_t>(state.range(1));
    for (auto _ : state) {
        if (ZvRender(filter, &in, &out, &options) != ZV_OK) std::abort();
        benchmark::DoNotOptimize(target.data());
    }
    ZvFilterFree(filter);
    SetPixelRate(state);
}

void CppApi(benchmark::State& state) {
    const zv::Filter filter(kFormulas[state.range(0)], zv::kColourChannels);
    const std::vector<uint8_t>& source = Picture();
    std::vector<uint8_t> target = Blank(3);
    zv::RenderSettings settings;
    settings.threads = static_cast<unsigned>(state.range(1));
    const zv::ImageView in{source.data(), kWidth, kHeight, 3, size_t{kWidth} * 3};
    const zv::MutableImageView out{target.data(), kWidth, kHeight, 3, size_t{kWidth} * 3};
    for (auto _ : state) {
        zv::Render(filter, in, out, settings);
        benchmark::DoNotOptimize(target.data());
    }
    SetPixelRate(state);
}

// What a host wrote before the renderer: one context, filled as the
// renderer fills it, and a ZvExec call per pixel and channel on one thread.
void ZvExecLoop(benchmark::State& state) {
    int32_t status = 0;
    ExprNode* tree = ZvParse(kFormulas[state.range(0)], &status, 1);
    if (!tree) std::abort();
    const std::vector<uint8_t>& source = Picture();
    std::vector<uint8_t> target = Blank(3), opaque(size_t{kWidth} * kHeight, 255);
    std::vector<const uint8_t*> rows(kHeight);
    for (int32_t y = 0; y < kHeight; ++y) rows[y] = source.data() + size_t{kWidth} * 3 * y;
    PixelContext c{};
    c.width = kWidth, c.maxX = kWidth - 1;
    c.height = kHeight, c.maxY = kHeight - 1;
    c.centerX = kWidth / 2, c.centerY = kHeight / 2;
    c.dMax = 1024, c.mMax = 1101;
    c.channelCount = 3, c.pixelStride = 3;
    c.channelOffset[1] = 1, c.channelOffset[2] = 2;
    c.rows = rows.data();
    c.alphaPlane = opaque.data();
    for (auto _ : state) {
        uint8_t* out = target.data();
        for (int32_t y = 0; y < kHeight; ++y) {
            const uint8_t* p = rows[y];
            for (int32_t x = 0; x < kWidth; ++x, p += 3) {
                c.x = x, c.y = y, c.red = p[0], c.green = p[1], c.blue = p[2];
                for (int32_t k = 0; k < 3; ++k, ++out) {
                    c.channel = k, c.current = p[k];
                    const int32_t v = ZvExec(tree, &c);
                    *out = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
                }
            }
        }
        benchmark::DoNotOptimize(target.data());
    }
    ZvFree(tree);
    SetPixelRate(state);
}

void Arguments(benchmark::internal::Benchmark* b) {
    b->ArgsProduct({{0, 1, 2, 3}, {1, 2}})
        ->ArgNames({"formula", "threads"})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}
BENCHMARK(CApi)->Apply(Arguments);
BENCHMARK(CppApi)->Apply(Arguments);
BENCHMARK(ZvExecLoop)
    ->ArgsProduct({{0, 1, 2, 3}, {1}})
    ->ArgNames({"formula", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

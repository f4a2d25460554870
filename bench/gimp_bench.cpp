// SPDX-License-Identifier: MIT
// The GIMP plug-in's two speed goals on the 12 MP test picture as an RGBA
// layer: the preview's latency from a slider move to a finished frame about
// 800 px across, and a whole apply (reading the layer's GEGL tiles at 8 bits,
// rendering, writing a shadow buffer) against the render alone, which is
// zorvan apply's compute.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>

#include "bench/picture.h"
#include "plugins/gimp/core/preview.h"
#include "plugins/gimp/host/gegl_pixels.h"

namespace {

const char* const kFilters[] = {"255 - c", "rad(d + 160 * (M - m) / M * (M - m) / M, m, z)"};

zvgimp::Pixels Layer() {
    const zv::cli::Image& picture = zv::cli::Picture();
    zvgimp::Pixels pixels{picture.width, picture.height, 4, {}};
    const size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    pixels.bytes.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
        for (size_t k = 0; k < 4; ++k) {
            pixels.bytes[i * 4 + k] =
                k < static_cast<size_t>(picture.channels) ? picture.pixels[i * picture.channels + k] : 255;
        }
    }
    return pixels;
}

GeglBuffer* LayerBuffer(const Babl* format) {
    const zvgimp::Pixels pixels = Layer();
    const GeglRectangle area{0, 0, pixels.width, pixels.height};
    GeglBuffer* buffer = gegl_buffer_new(&area, format);
    zvgimp::WritePixels(buffer, format, {0, 0, pixels.width, pixels.height}, pixels.bytes);
    return buffer;
}

// The render alone, in memory.
void BM_Render(benchmark::State& state) {
    const zvgimp::RenderSource source(Layer());
    const zv::Filter filter(kFilters[state.range(0)], zv::kColourChannels);
    const zv::Rect all{0, 0, source.View().width, source.View().height};
    zvgimp::Bytes out;
    for (auto _ : state) zvgimp::RenderRect(filter, source, all, 1, {}, out);
    state.SetLabel(kFilters[state.range(0)]);
}
BENCHMARK(BM_Render)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The plug-in's apply: tiles in, render, tiles out to a shadow buffer.
void BM_ApplyThroughTiles(benchmark::State& state) {
    gegl_init(nullptr, nullptr);
    const Babl* format = babl_format("R'G'B'A u8");
    GeglBuffer* layer = LayerBuffer(format);
    const GeglRectangle* extent = gegl_buffer_get_extent(layer);
    GeglBuffer* shadow = gegl_buffer_new(extent, format);
    const zv::Filter filter(kFilters[state.range(0)], zv::kColourChannels);
    const zv::Rect all{0, 0, extent->width, extent->height};
    zvgimp::Bytes out;
    for (auto _ : state) {
        const zvgimp::RenderSource source(zvgimp::ReadPixels(layer, format));
        zvgimp::RenderRect(filter, source, all, 1, {}, out);
        zvgimp::WritePixels(shadow, format, all, out);
    }
    g_object_unref(shadow);
    g_object_unref(layer);
    state.SetLabel(kFilters[state.range(0)]);
}
BENCHMARK(BM_ApplyThroughTiles)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

// From a slider move (a request) to the frame the dialog shows.
void BM_PreviewAfterSliderMove(benchmark::State& state) {
    std::mutex m;
    std::condition_variable ready;
    bool done = false;
    auto source = std::make_shared<zvgimp::RenderSource>(Layer());
    const zv::ImageView& picture = source->View();
    // The whole layer about 800 pixels across.
    const zvgimp::PreviewView view{{0, 0, picture.width, picture.height}, 800,
                                   800 * picture.height / picture.width};
    zvgimp::PreviewScheduler preview(source, [&] {
        const std::lock_guard lock(m);
        done = true;
        ready.notify_one();
    });
    const auto filter = std::make_shared<zv::Filter>(
        "rad(d + ctl(0) * (M - m) / M * (M - m) / M, m, z)", zv::kColourChannels);
    int32_t twist = 0;
    for (auto _ : state) {
        zv::RenderSettings settings;
        settings.controls[0] = ++twist;
        preview.Request(filter, settings, view);
        std::unique_lock lock(m);
        ready.wait(lock, [&] { return done; });
        done = false;
        lock.unlock();
        benchmark::DoNotOptimize(preview.Take());
    }
}
BENCHMARK(BM_PreviewAfterSliderMove)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

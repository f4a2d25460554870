// SPDX-License-Identifier: MIT
// Video at 1920 x 1080: the filter step per frame (the render on 2 threads
// and the two pixel-format conversions a frame goes through) against
// FFmpeg's expression filter geq on the same formulas, run by the ffmpeg
// program to a null sink less its decode-only run; and the whole file,
// H.264 in and out with the invert, with the filter's share of the time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "video/av.h"
#include "zorvan/render.hpp"
#include "zorvan/video.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kGeqFrames = 10;  // geq's twirl takes most of a second a frame

struct Formula {
    const char* name;
    const char* zorvan;
    const char* geq;  // one channel's expression; %c stands for r, g or b
};
constexpr Formula kFormulas[] = {
    {"invert", "255 - c", "255-%c(X,Y)"},
    {"twirl", "rad(d + 160 * (M - m) / M * (M - m) / M, m, z)",
     "%c(W/2+hypot(X-W/2,Y-H/2)*cos(atan2(Y-H/2,X-W/2)+160*2*PI/1024*pow(1-hypot(X-W/2,Y-H/2)/"
     "hypot(W/2,H/2),2)),H/2+hypot(X-W/2,Y-H/2)*sin(atan2(Y-H/2,X-W/2)+160*2*PI/1024*pow(1-"
     "hypot(X-W/2,Y-H/2)/hypot(W/2,H/2),2)))"},
};

// A 2-second 1080p H.264 clip, made once.
const std::string& Clip() {
    static const std::string path = [] {
        const std::string p = "/tmp/zorvan-bench-1080p.mp4";
        const std::string make =
            "ffmpeg -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25:"
            "duration=2 -c:v libx264 -preset fast -pix_fmt yuv420p " +
            p;
        if (std::system(make.c_str()) != 0) std::abort();
        return p;
    }();
    return path;
}

const zv::video::Frame& FirstFrame() {
    static const zv::video::Frame frame = [] {
        zv::video::Reader reader(Clip());
        zv::video::Frame f;
        reader.Read(f);
        return f;
    }();
    return frame;
}

double Seconds(const std::string& command) {
    const Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0) std::abort();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The render of one frame on 2 threads.
void Render(benchmark::State& state, const Formula& formula) {
    const zv::video::Frame& in = FirstFrame();
    const zv::Filter filter(formula.zorvan, zv::kColourChannels);
    std::vector<uint8_t> out(in.bytes.size());
    zv::RenderSettings settings;
    settings.threads = 2;
    for (auto _ : state) {
        zv::Render(filter, {in.bytes.data(), kWidth, kHeight, 3, size_t{kWidth} * 3},
                   {out.data(), kWidth, kHeight, 3, size_t{kWidth} * 3}, settings);
    }
}

// A 1080p frame in YUV 4:2:0 and in RGB.
struct Frames {
    Frames() {
        zv::video::Allocate(*yuv, AV_PIX_FMT_YUV420P, kWidth, kHeight);
        zv::video::Allocate(*rgb, AV_PIX_FMT_RGB24, kWidth, kHeight);
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane == 0 ? kHeight : kHeight / 2;
            std::memset(yuv->data[plane], 128, static_cast<size_t>(yuv->linesize[plane]) * rows);
        }
    }
    void Convert(bool toRgb) {
        if (toRgb) {
            converter.Convert(*yuv, *rgb, tags);
        } else {
            converter.Convert(*rgb, *yuv, tags);
        }
    }
    zv::video::FramePtr yuv = zv::video::NewFrame(), rgb = zv::video::NewFrame();
    zv::video::Converter converter;
    const zv::video::ColourTags tags;
};

// YUV 4:2:0 to RGB after decoding and back before encoding, each through
// the converter the reader and the writer use for a frame.
void Convert(benchmark::State& state, bool toRgb) {
    Frames frames;
    frames.Convert(toRgb);
    for (auto _ : state) frames.Convert(toRgb);
}

// geq's time a frame: its run to the null sink less the decode-only run,
// on 2 threads each, with its conversions to planar RGB and back.
void Geq(benchmark::State& state, const Formula& formula) {
    char channel[3][1024];
    for (int k = 0; k < 3; ++k) std::snprintf(channel[k], sizeof channel[k], formula.geq, "rgb"[k]);
    const std::string run = "ffmpeg -v error -threads 2 -filter_threads 2 -i " + Clip() +
                            " -frames:v " + std::to_string(kGeqFrames);
    const std::string graph = " -vf \"format=gbrp,geq=r='" + std::string(channel[0]) + "':g='" +
                              channel[1] + "':b='" + channel[2] + "',format=yuv420p\"";
    for (auto _ : state) {
        const double decode = Seconds(run + " -f null -");
        const double filtered = Seconds(run + graph + " -f null -");
        state.SetIterationTime((filtered - decode) / kGeqFrames);
    }
}

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The processor time of a frame's two conversions, every thread's.
double ConversionSeconds() {
    Frames frames;
    constexpr int kRounds = 50;
    const double start = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    for (int k = 0; k < kRounds; ++k) frames.Convert(k % 2 == 0);
    return (CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start) * 2 / kRounds;
}

// The whole file, H.264 in and out, with the invert: frames a second, and
// the filter's share of the run by processor time, the render's (on the
// pipeline's filter thread alone, so that its thread's clock holds all of
// it) against the whole process's; with_conversions adds each frame's two
// conversions, timed apart. Wall times would count the waits for a core
// that libx264's threads hold.
void WholeFile(benchmark::State& state) {
    const zv::Filter filter("255 - c", zv::kColourChannels);
    zv::RenderSettings settings;
    settings.threads = 1;
    int64_t frames = 0;
    double filtering = 0, cpu = 0, wall = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        frames += zv::video::FilterFile(
            Clip(), "/tmp/zorvan-bench-out.mp4",
            [&](const zv::video::Frame& in, zv::video::Frame& out) {
                const double begin = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
                out.width = in.width, out.height = in.height, out.channels = 3;
                out.bytes.resize(in.bytes.size());
                zv::Render(filter, {in.bytes.data(), in.width, in.height, 3, size_t{kWidth} * 3},
                           {out.bytes.data(), in.width, in.height, 3, size_t{kWidth} * 3},
                           settings);
                filtering += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - begin;
            });
        cpu += CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
        wall += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["fps"] = static_cast<double>(frames) / wall;
    state.counters["filter_share"] = filtering / cpu;
    state.counters["with_conversions"] =
        (filtering + static_cast<double>(frames) * ConversionSeconds()) / cpu;
    std::remove("/tmp/zorvan-bench-out.mp4");
}

BENCHMARK_CAPTURE(Render, invert, kFormulas[0])->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Render, twirl, kFormulas[1])->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Convert, to_rgb, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Convert, to_yuv, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Geq, invert, kFormulas[0])
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Geq, twirl, kFormulas[1])
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(WholeFile)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

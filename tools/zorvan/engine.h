// Running a program over an image. The engine is behind this interface so
// that ways of computing a channel can be chosen per channel; `apply -v`
// says which one each channel took.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "tools/zorvan/image.h"
#include "tools/zorvan/program.h"
#include "tools/zorvan/progress.h"

namespace zv::cli {

// What changes from one frame of a run to the next.
struct FrameSettings {
    std::array<int32_t, 8> controls{};
    int32_t t = 0;
    int32_t total = 0;  // tmax: the number of frames less one
};

class Engine {
   public:
    virtual ~Engine() = default;

    // How channel k (0..3) of an image with `channels` channels is computed.
    virtual std::string Path(int channel, int32_t channels) const = 0;

    // The filtered image: each computed channel holds its formula's values
    // clamped to 0..255, every other channel the source's. Advances progress
    // by one for each row.
    virtual Image Render(const Image& source, const FrameSettings& settings,
                         Progress& progress) = 0;
};

// An engine for program that uses up to `threads` threads (at least 1). The
// program must outlive it. Results do not depend on the number of threads.
// Channels whose formulas are pure run by spans of pixels; programs that
// call put or rnd, and formulas too deep to compile, take ZvExec per pixel.
std::unique_ptr<Engine> MakeEngine(const Program& program, unsigned threads);

// The same, with one ZvExec call per pixel and channel for every program:
// what the span path must equal byte for byte.
std::unique_ptr<Engine> MakePixelEngine(const Program& program, unsigned threads);

}  // namespace zv::cli

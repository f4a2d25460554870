// SPDX-License-Identifier: MIT
// The render entry points: arguments checked, then the path that suits the
// filter.
#include "zorvan/render.hpp"

#include <limits>
#include <thread>

#include "render/context.h"
#include "render/job.h"

namespace zv {

namespace {

[[noreturn]] void Refuse(const std::string& message) {
    throw Error(Status::kBadArgument, message);
}

// The bytes a view spans, first to last, or a refusal naming it.
template <class View>
std::pair<uintptr_t, uintptr_t> CheckView(const View& v, const char* what) {
    const std::string name = what;
    if (!v.pixels) Refuse(name + ": no pixels");
    if (v.width <= 0 || v.height <= 0) {
        Refuse(name + ": " + std::to_string(v.width) + "x" + std::to_string(v.height) +
               " has no pixels");
    }
    if (v.channels != 3 && v.channels != 4) {
        Refuse(name + ": " + std::to_string(v.channels) + " channels; 3 or 4 are rendered");
    }
    const auto row = static_cast<uint64_t>(v.width) * static_cast<uint64_t>(v.channels);
    if (v.stride < row) {
        Refuse(name + ": a stride of " + std::to_string(v.stride) +
               " bytes is less than a row of " + std::to_string(row));
    }
    uint64_t span = 0;
    if (__builtin_mul_overflow(uint64_t{v.stride}, static_cast<uint64_t>(v.height - 1), &span) ||
        __builtin_add_overflow(span, row, &span) ||
        span > std::numeric_limits<uintptr_t>::max() - reinterpret_cast<uintptr_t>(v.pixels)) {
        Refuse(name + ": the view does not fit in memory");
    }
    const auto first = reinterpret_cast<uintptr_t>(v.pixels);
    return {first, first + static_cast<uintptr_t>(span)};
}

Rect CheckRegion(const RenderSettings& s, const ImageView& source) {
    const Rect r = s.region;
    if (r.x == 0 && r.y == 0 && r.width == 0 && r.height == 0) {
        return {0, 0, source.width, source.height};
    }
    if (r.x < 0 || r.y < 0 || r.width <= 0 || r.height <= 0 ||
        int64_t{r.x} + r.width > source.width || int64_t{r.y} + r.height > source.height) {
        Refuse("region " + std::to_string(r.x) + "," + std::to_string(r.y) + " " +
               std::to_string(r.width) + "x" + std::to_string(r.height) +
               " does not lie within the " + std::to_string(source.width) + "x" +
               std::to_string(source.height) + " image");
    }
    return r;
}

unsigned Threads(unsigned asked) {
    if (asked > 0) return asked;
    return std::max(1u, std::thread::hardware_concurrency());
}

int32_t Sampled(int32_t length, int32_t step) {
    return (length - 1) / step + 1;
}

}  // namespace

Status RenderBy(Evaluator evaluator, const Filter& filter, const ImageView& source,
                const MutableImageView& target, const RenderSettings& settings) {
    const auto from = CheckView(source, "source");
    const Rect region = CheckRegion(settings, source);
    if (settings.step < 1) Refuse("step " + std::to_string(settings.step) + ": must be 1 or more");
    const detail::FilterData& f = DataOf(filter);
    const int32_t channels = f.TargetChannels(source.channels);
    const int32_t width = Sampled(region.width, settings.step);
    const int32_t height = Sampled(region.height, settings.step);
    const auto to = CheckView(target, "target");
    if (target.width != width || target.height != height || target.channels != channels) {
        Refuse("target: " + std::to_string(target.width) + "x" + std::to_string(target.height) +
               " with " + std::to_string(target.channels) + " channels; this render makes " +
               std::to_string(width) + "x" + std::to_string(height) + " with " +
               std::to_string(channels));
    }
    if (from.first < to.second && to.first < from.second) {
        Refuse("target: shares memory with the source");
    }
    const Job job{
        f, source, target, settings, region, settings.step, Threads(settings.threads), channels};
    if (evaluator == Evaluator::kOrdered) return RenderOrdered(job);
    if (evaluator == Evaluator::kPerPixel || f.visitingOrder) return RenderPerPixel(job);
    return RenderSpans(job);
}

Status Render(const Filter& filter, const ImageView& source, const MutableImageView& target,
              const RenderSettings& settings) {
    return RenderBy(Evaluator::kChosen, filter, source, target, settings);
}

int32_t Evaluate(const Filter& filter, const ImageView& source, int32_t x, int32_t y,
                 int32_t channel, const RenderSettings& settings) {
    CheckView(source, "source");
    if (x < 0 || x >= source.width || y < 0 || y >= source.height) {
        Refuse(std::to_string(x) + "," + std::to_string(y) + " lies outside the " +
               std::to_string(source.width) + "x" + std::to_string(source.height) + " image");
    }
    if (!filter.Computes(channel)) Refuse("channel " + std::to_string(channel) + " has no formula");
    const detail::FilterData& f = DataOf(filter);
    const RenderContext render(source, f.TargetChannels(source.channels), settings,
                               f.ReadsAlpha(channel == 3));
    PixelContext context = render.Fresh();
    const uint8_t* pixel = source.pixels + source.stride * y + size_t(x) * source.channels;
    MoveTo(context, pixel, x, y);
    const RandomScope random(settings.random);
    return EvaluateChannel(f.trees[channel], f.programs[channel], context, pixel, source.channels,
                           channel);
}

}  // namespace zv

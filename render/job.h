/* SPDX-License-Identifier: MIT */
// One render, its arguments checked: which pixels of the full result go
// where in the target, and the paths that compute them.
#pragma once

#include <cstdint>
#include <vector>

#include "eval/builtins.h"
#include "render/filter.h"
#include "render/rows.h"
#include "zorvan/render.hpp"

namespace zv {

struct Job {
    const detail::FilterData& filter;
    ImageView source;
    MutableImageView target;
    const RenderSettings& settings;
    Rect region;  // within the source, never empty
    int32_t step;
    unsigned threads;
    int32_t channels;  // the target's

    // Target row j holds source row SourceRow(j), target column i source
    // column SourceColumn(i).
    int32_t SourceRow(int32_t j) const { return region.y + j * step; }
    int32_t SourceColumn(int32_t i) const { return region.x + i * step; }
    const uint8_t* SourcePixel(int32_t x, int32_t y) const {
        return source.pixels + source.stride * y + static_cast<size_t>(x) * source.channels;
    }
    uint8_t* TargetRow(int32_t j) const { return target.pixels + target.stride * j; }
};

// Copies the channels without a formula into target row j.
void CopyKeptChannels(const Job& job, int32_t j);

// Per-pixel evaluation of the channels `computed` into target row j; the
// generator leaps between pixels when between is given.
void RenderPixelRow(const Job& job, const std::vector<int32_t>& computed, PixelContext& context,
                    int32_t j, const RandomLeap* between = nullptr);

// The paths. Filters whose formulas call rnd or read cells that other
// evaluations wrote (render/span/cells.h) take RenderOrdered, or
// RenderCounted where only rnd's draws carry over and they are counted
// (render/draws.h); the others RenderSpans, in which formulas that cannot
// be compiled run per pixel. RenderPerPixel evaluates every channel per
// pixel, by the first two for filters that need them: what the span path
// must equal byte for byte.
Status RenderOrdered(const Job& job);
Status RenderCounted(const Job& job);
Status RenderSpans(const Job& job);
Status RenderPerPixel(const Job& job);

// Render with its arguments checked, by the evaluator the filter chooses
// (spans where they can), per pixel, or per pixel in visiting order on one
// thread (what every evaluator must equal). Filter::Path tells which.
enum class Evaluator { kChosen, kPerPixel, kOrdered };
Status RenderBy(Evaluator evaluator, const Filter& filter, const ImageView& source,
                const MutableImageView& target, const RenderSettings& settings);

}  // namespace zv

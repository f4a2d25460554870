// SPDX-License-Identifier: MIT
// The per-pixel path: one evaluation per pixel and computed channel.
// Filters whose pixels depend on the pixels before them run on the calling
// thread in visiting order (rows top to bottom, columns left to right,
// channels in order) with one context for the whole render, unless all
// they carry over is the state of rnd's generator and each evaluation
// draws as often as the next; the others are spread over threads by rows,
// each thread with its own context, which gives the same bytes for any
// number of threads.
#include "render/context.h"
#include "render/draws.h"
#include "render/job.h"
#include "render/span/bytes.h"

namespace zv {

namespace {

std::vector<int32_t> ComputedChannels(const Job& job) {
    std::vector<int32_t> computed;
    for (int32_t k = 0; k < job.channels; ++k) {
        if (job.filter.Computes(k)) computed.push_back(k);
    }
    return computed;
}

}  // namespace

void CopyKeptChannels(const Job& job, int32_t j) {
    const int32_t y = job.SourceRow(j);
    uint8_t* target = job.TargetRow(j);
    for (int32_t k = 0; k < job.channels; ++k) {
        if (job.filter.Computes(k)) continue;
        for (int32_t i = 0; i < job.target.width; ++i) {
            target[static_cast<size_t>(i) * job.channels + k] =
                job.SourcePixel(job.SourceColumn(i), y)[k];
        }
    }
}

void RenderPixelRow(const Job& job, const std::vector<int32_t>& computed, PixelContext& context,
                    int32_t j, const RandomLeap* between) {
    const int32_t y = job.SourceRow(j);
    uint8_t* target = job.TargetRow(j);
    for (int32_t i = 0; i < job.target.width; ++i, target += job.channels) {
        const int32_t x = job.SourceColumn(i);
        const uint8_t* pixel = job.SourcePixel(x, y);
        MoveTo(context, pixel, x, y);
        for (const int32_t k : computed) {
            target[k] = ClampToByte(
                EvaluateChannel(job.filter.trees[k], job.filter.programs[k], context, pixel, job.source.channels, k));
        }
        if (between) RandomState() = between->From(RandomState());
    }
}

Status RenderOrdered(const Job& job) {
    const RenderContext render(job.source, job.channels, job.settings,
                               job.filter.ReadsAlpha(job.channels == 4));
    const std::vector<int32_t> computed = ComputedChannels(job);
    const RandomScope random(job.settings.random);
    PixelContext context = render.Fresh();
    // Every pixel before the last one of the target is visited: its cells
    // and draws lead up to the pixels kept.
    const int32_t rows = job.SourceRow(job.target.height - 1) + 1;
    JobControl control(job.settings, rows);
    std::vector<uint8_t> row(static_cast<size_t>(job.source.width) * job.channels);
    for (int32_t y = 0; y < rows && !control.Stopped(); ++y) {
        const bool kept = y >= job.region.y && (y - job.region.y) % job.step == 0;
        const int32_t j = (y - job.region.y) / job.step;
        if (kept) CopyKeptChannels(job, j);
        const uint8_t* pixel = job.SourcePixel(0, y);
        for (int32_t x = 0; x < job.source.width; ++x, pixel += job.source.channels) {
            MoveTo(context, pixel, x, y);
            uint8_t* out = row.data() + static_cast<size_t>(x) * job.channels;
            for (const int32_t k : computed) {
                out[k] = ClampToByte(
                    EvaluateChannel(job.filter.trees[k], job.filter.programs[k], context, pixel, job.source.channels, k));
            }
        }
        if (kept) {
            uint8_t* target = job.TargetRow(j);
            for (int32_t i = 0; i < job.target.width; ++i) {
                const uint8_t* from =
                    row.data() + static_cast<size_t>(job.SourceColumn(i)) * job.channels;
                for (const int32_t k : computed) target[i * job.channels + k] = from[k];
            }
        }
        control.Done(1);
        control.Report();
    }
    return control.Outcome();
}

// Rows on threads, each starting at the generator's state that its first
// pixel has in the visiting order, and passing over the draws of the
// pixels between samples.
Status RenderCounted(const Job& job) {
    const RenderContext render(job.source, job.channels, job.settings,
                               job.filter.ReadsAlpha(job.channels == 4));
    const std::vector<int32_t> computed = ComputedChannels(job);
    const RandomScope random(job.settings.random);
    const uint32_t start = RandomState();
    uint64_t draws = 0;  // by one pixel, every computed channel
    PixelContext probe = render.Fresh();
    for (const int32_t k : computed) {
        probe.channel = k;
        draws += DrawsOf(job.filter.trees[k], probe);
    }
    const auto before = [&](int32_t y, int32_t x) {
        return LeapOf(draws * (uint64_t(y) * uint64_t(job.source.width) + uint64_t(x))).From(start);
    };
    const RandomLeap between = LeapOf(draws * uint64_t(job.step - 1));
    JobControl control(job.settings, job.target.height);
    ForEachRowBlock(
        job.threads, job.target.height, control, [&render] { return render.Fresh(); },
        [&](PixelContext& context, int32_t from, int32_t to) {
            for (int32_t j = from; j < to; ++j) {
                RandomState() = before(job.SourceRow(j), job.region.x);
                CopyKeptChannels(job, j);
                RenderPixelRow(job, computed, context, j, job.step > 1 ? &between : nullptr);
            }
        });
    // Where the visiting order leaves it: after every row up to the last kept.
    RandomState() = before(job.SourceRow(job.target.height - 1) + 1, 0);
    return control.Outcome();
}

Status RenderPerPixel(const Job& job) {
    if (job.filter.countedDraws) return RenderCounted(job);
    if (job.filter.visitingOrder) return RenderOrdered(job);
    const RenderContext render(job.source, job.channels, job.settings,
                               job.filter.ReadsAlpha(job.channels == 4));
    const std::vector<int32_t> computed = ComputedChannels(job);
    JobControl control(job.settings, job.target.height);
    ForEachRowBlock(
        job.threads, job.target.height, control, [&render] { return render.Fresh(); },
        [&](PixelContext& context, int32_t from, int32_t to) {
            for (int32_t j = from; j < to; ++j) {
                CopyKeptChannels(job, j);
                RenderPixelRow(job, computed, context, j);
            }
        });
    return control.Outcome();
}

}  // namespace zv

// The span path: each pure formula is compiled once (with the filter) and
// computed a run of pixels at a time, for all the channels that share it,
// with rows spread over threads. Formulas that cannot be compiled are
// evaluated per pixel in the same rows.
#include <algorithm>
#include <string>
#include <vector>

#include "render/context.h"
#include "render/job.h"

namespace zv {

namespace {

// Every step-th value of a run, clamped, into every stride-th byte: first
// into adjacent bytes, which vectorises, then spread out one at a time
// (GCC's vector code for a strided store of bytes is slower than the scalar
// loop).
void Store(const int32_t* values, int32_t count, int32_t step, uint8_t* p, size_t stride) {
    uint8_t bytes[kSpanMax];
    if (step == 1) {
        for (int32_t i = 0; i < count; ++i) bytes[i] = ClampToByte(values[i]);
    } else {
        for (int32_t i = 0; i < count; ++i) bytes[i] = ClampToByte(values[i * step]);
    }
    int32_t i = 0;
    for (; i + 4 < count; i += 4, p += 4 * stride) {  // p stays on a byte of the run
        p[0] = bytes[i], p[stride] = bytes[i + 1], p[2 * stride] = bytes[i + 2],
        p[3 * stride] = bytes[i + 3];
    }
    for (size_t j = 0; i < count; ++i, ++j) p[j * stride] = bytes[i];
}

// One thread's context and workspaces, one per compiled group.
struct Worker {
    PixelContext context;
    std::vector<SpanRun> runs;

    Worker(const PixelContext& fresh, const std::vector<SpanGroup>& groups) : context(fresh) {
        runs.reserve(groups.size());
        for (const SpanGroup& g : groups) {
            if (g.program) runs.emplace_back(*g.program);
        }
    }
};

// The compiled channels of target row j, run by run: a run covers `count`
// target pixels, which lie step apart in the source.
void SpanRow(const Job& job, Worker& w, int32_t j) {
    w.context.y = job.SourceRow(j);
    const int32_t perRun = std::max(1, kSpanMax / job.step);
    uint8_t* row = job.TargetRow(j);
    for (int32_t i0 = 0; i0 < job.target.width; i0 += perRun) {
        const int32_t count = std::min(perRun, job.target.width - i0);
        const int32_t n = (count - 1) * job.step + 1;
        size_t next = 0;
        for (const SpanGroup& g : job.filter.groups) {
            if (!g.program) continue;
            SpanRun& r = w.runs[next++];
            r.Start(w.context, job.SourceColumn(i0), n);
            for (const int32_t k : g.channels) {
                if (k >= job.channels) continue;
                uint8_t* p = row + static_cast<size_t>(i0) * job.channels + k;
                Store(r.Values(k), count, job.step, p, static_cast<size_t>(job.channels));
            }
        }
    }
}

}  // namespace

Status RenderSpans(const Job& job) {
    std::vector<int32_t> perPixel;
    for (const SpanGroup& g : job.filter.groups) {
        for (const int32_t k : g.channels) {
            if (!g.program && k < job.channels) perPixel.push_back(k);
        }
    }
    std::sort(perPixel.begin(), perPixel.end());
    bool keeps = false;
    for (int32_t k = 0; k < job.channels; ++k) keeps = keeps || !job.filter.Computes(k);
    const RenderContext render(job.source, job.channels, job.settings,
                               job.filter.ReadsAlpha(job.channels == 4));
    JobControl control(job.settings, job.target.height);
    ForEachRowBlock(
        job.threads, job.target.height, control,
        [&] { return Worker(render.Fresh(), job.filter.groups); },
        [&](Worker& w, int32_t from, int32_t to) {
            for (int32_t j = from; j < to; ++j) {
                if (keeps) CopyKeptChannels(job, j);
                SpanRow(job, w, j);
                if (!perPixel.empty()) RenderPixelRow(job, perPixel, w.context, j);
            }
        });
    return control.Outcome();
}

}  // namespace zv

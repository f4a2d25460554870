// SPDX-License-Identifier: MIT
// The span path: each pure formula is compiled once (with the filter) and
// computed a run of pixels at a time, for all the channels that share it,
// with rows spread over threads. Formulas that cannot be compiled are
// evaluated per pixel in the same rows.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "render/context.h"
#include "render/job.h"
#include "render/span/bytes.h"
#include "render/span/rows.h"

namespace zv {

namespace {

// The values of a run, clamped, into every stride-th byte: first into
// adjacent bytes, which vectorises, then spread out one at a time (GCC's
// vector code for a strided store of bytes is slower than the scalar loop).
void Store(const int32_t* values, int32_t count, uint8_t* p, size_t stride) {
    uint8_t bytes[kPixelRun];
    ClampToBytes(values, count, bytes);
    int32_t i = 0;
    for (; i + 4 < count; i += 4, p += 4 * stride) {  // p stays on a byte of the run
        p[0] = bytes[i], p[stride] = bytes[i + 1], p[2 * stride] = bytes[i + 2],
        p[3 * stride] = bytes[i + 3];
    }
    for (size_t j = 0; i < count; ++i, ++j) p[j * stride] = bytes[i];
}

// Whether group g computes the target's every channel from interleaved runs
// over the source's bytes: it computes them all, the target's pixels are
// laid out like the source's, and every source pixel is taken.
bool Interleaves(const Job& job, const SpanGroup& g) {
    const auto computed = std::count_if(g.channels.begin(), g.channels.end(),
                                        [&](int32_t k) { return k < job.channels; });
    return g.interleaved && job.step == 1 && job.channels == job.source.channels &&
           computed == job.channels;
}

// What a group runs on: its interleaved program, its program of runs of
// pixels, or nothing (computed per pixel).
struct GroupPlan {
    const SpanGroup& group;
    const SpanProgram* program;
    bool interleaved;
};

std::vector<GroupPlan> Plan(const Job& job) {
    std::vector<GroupPlan> plans;
    for (const SpanGroup& g : job.filter.groups) {
        const bool interleaved = Interleaves(job, g);
        plans.push_back({g, interleaved ? g.interleaved.get() : g.program.get(), interleaved});
    }
    return plans;
}

// One thread's context and workspaces: the rows of an interleaved group,
// or one run per compiled group.
struct Worker {
    PixelContext context;
    std::optional<InterleavedRows> rows;
    std::vector<SpanWorkspace> runs;

    Worker(const PixelContext& fresh, const std::vector<GroupPlan>& plans) : context(fresh) {
        if (!plans.empty() && plans[0].interleaved) {  // then the only group
            rows.emplace(plans[0].group.tree, *plans[0].program);
            return;
        }
        runs.reserve(plans.size());
        for (const GroupPlan& p : plans) {
            if (p.program) runs.emplace_back(*p.program);
        }
    }
};

// The compiled channels of target row j, run by run: a run covers `count`
// target pixels, which lie step apart in the source; only those are
// computed.
void SpanRow(const Job& job, const std::vector<GroupPlan>& plans, Worker& w, int32_t j) {
    w.context.y = job.SourceRow(j);
    if (w.rows) {
        return w.rows->Row(w.context, job.SourceColumn(0), job.target.width, job.channels,
                           job.TargetRow(j));
    }
    uint8_t* row = job.TargetRow(j);
    for (int32_t i0 = 0; i0 < job.target.width; i0 += kPixelRun) {
        const int32_t count = std::min(kPixelRun, job.target.width - i0);
        size_t next = 0;
        for (const GroupPlan& p : plans) {
            if (!p.program) continue;
            SpanWorkspace& r = w.runs[next++];
            r.Start(w.context, job.SourceColumn(i0), count, job.step);
            for (const int32_t k : p.group.channels) {
                if (k >= job.channels) continue;
                uint8_t* out = row + static_cast<size_t>(i0) * job.channels + k;
                Store(r.Values(k), count, out, static_cast<size_t>(job.channels));
            }
        }
    }
}

}  // namespace

Status RenderSpans(const Job& job) {
    const std::vector<GroupPlan> plans = Plan(job);
    std::vector<int32_t> perPixel;
    for (const GroupPlan& p : plans) {
        for (const int32_t k : p.group.channels) {
            if (!p.program && k < job.channels) perPixel.push_back(k);
        }
    }
    std::sort(perPixel.begin(), perPixel.end());
    bool keeps = false;
    for (int32_t k = 0; k < job.channels; ++k) keeps = keeps || !job.filter.Computes(k);
    const RenderContext render(job.source, job.channels, job.settings,
                               job.filter.ReadsAlpha(job.channels == 4));
    JobControl control(job.settings, job.target.height);
    ForEachRowBlock(
        job.threads, job.target.height, control, [&] { return Worker(render.Fresh(), plans); },
        [&](Worker& w, int32_t from, int32_t to) {
            for (int32_t j = from; j < to; ++j) {
                if (keeps) CopyKeptChannels(job, j);
                SpanRow(job, plans, w, j);
                if (!perPixel.empty()) RenderPixelRow(job, perPixel, w.context, j);
            }
        });
    return control.Outcome();
}

}  // namespace zv

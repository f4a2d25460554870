// The span engine: each pure formula is compiled once and computed a run of
// pixels at a time, for all the channels that share it, with rows spread
// over threads. Formulas it cannot compile take ZvExec per pixel in the same
// rows; programs that call put or rnd go to the per-pixel engine whole,
// since their cells and random draws follow the visiting order.
#include <algorithm>
#include <string>
#include <vector>

#include "eval/span.h"
#include "tools/zorvan/engine.h"
#include "tools/zorvan/frame.h"
#include "tools/zorvan/row_blocks.h"

namespace zv::cli {

namespace {

// The channels that share one formula.
struct Group {
    const ExprNode* tree;
    std::unique_ptr<SpanProgram> program;
    const char* reason;  // why it is not compiled
    std::vector<int32_t> channels;
};

// A run's values clamped into every stride-th byte: first into adjacent
// bytes, which vectorises, then spread out one at a time (GCC's vector code
// for a strided store of bytes is slower than the scalar loop).
void Store(const int32_t* values, int32_t n, uint8_t* p, size_t stride) {
    uint8_t bytes[kSpanMax];
    for (int32_t i = 0; i < n; ++i) bytes[i] = ClampToByte(values[i]);
    int32_t i = 0;
    for (; i + 4 < n; i += 4, p += 4 * stride) {  // p stays on a byte of the run
        p[0] = bytes[i], p[stride] = bytes[i + 1], p[2 * stride] = bytes[i + 2],
        p[3 * stride] = bytes[i + 3];
    }
    for (size_t j = 0; i < n; ++i, ++j) p[j * stride] = bytes[i];
}

class SpanEngine final : public Engine {
   public:
    SpanEngine(const Program& program, unsigned threads)
        : program_(program), threads_(std::max(1u, threads)) {
        for (int32_t k = 0; k < 4; ++k) {
            if (!program.Computes(k)) continue;
            const auto same = [&](const Group& g) { return g.tree == program.trees[k]; };
            auto g = std::find_if(groups_.begin(), groups_.end(), same);
            if (g == groups_.end()) {
                SpanCompiled compiled = CompileSpans(program.trees[k]);
                groups_.push_back(
                    {program.trees[k], std::move(compiled.program), compiled.reason, {}});
                g = groups_.end() - 1;
            }
            g->channels.push_back(k);
            // Channels 0..2 read alpha only through these; c and cnv read
            // it when alpha is computed.
            readsAlpha_ = readsAlpha_ || HasKind(program.trees[k], {'a', ZV_SRC, ZV_RAD});
        }
    }

    std::string Path(int channel, int32_t channels) const override {
        if (channel >= channels) return "none";
        if (!program_.Computes(channel)) return "kept";
        const std::string threads =
            std::to_string(threads_) + (threads_ == 1 ? " thread" : " threads");
        const Group& g = GroupOf(channel);
        if (g.program) return "span, " + threads;
        return "per-pixel, " + threads + ": " + g.reason;
    }

    Image Render(const Image& source, const FrameSettings& settings, Progress& progress) override {
        const int32_t channels = OutputChannels(program_, source);
        // Channels without a formula are copied; when every one has a
        // formula, the copy would only be overwritten.
        bool keeps = false;
        for (int32_t k = 0; k < channels; ++k) keeps = keeps || !program_.Computes(k);
        Image out =
            keeps ? WithChannels(source, channels) : Image(source.width, source.height, channels);
        std::vector<int32_t> perPixel;
        for (const Group& g : groups_) {
            for (const int32_t k : g.channels) {
                if (!g.program && k < channels) perPixel.push_back(k);
            }
        }
        const FrameRecord frame(source, channels, settings,
                                readsAlpha_ || !perPixel.empty() || channels == 4);
        std::sort(perPixel.begin(), perPixel.end());
        const auto makeWorker = [&] { return Worker(frame.Fresh(), groups_); };
        const auto rows = [&](Worker& w, int32_t from, int32_t to) {
            for (int32_t y = from; y < to; ++y) {
                Row(w, source, out, y);
                if (!perPixel.empty()) RenderPixelRow(program_, source, out, perPixel, w.record, y);
                progress.Advance(1);
            }
        };
        ForEachRowBlock(threads_, source.height, makeWorker, rows);
        return out;
    }

   private:
    // One thread's record and workspaces, one per compiled group.
    struct Worker {
        PixelContext record;
        std::vector<SpanRun> runs;

        Worker(const PixelContext& fresh, const std::vector<Group>& groups) : record(fresh) {
            runs.reserve(groups.size());
            for (const Group& g : groups) {
                if (g.program) runs.emplace_back(*g.program);
            }
        }
    };

    const Group& GroupOf(int32_t channel) const {
        return *std::find_if(groups_.begin(), groups_.end(), [&](const Group& g) {
            return std::find(g.channels.begin(), g.channels.end(), channel) != g.channels.end();
        });
    }

    // The compiled channels of row y, run by run.
    void Row(Worker& w, const Image& source, Image& out, int32_t y) const {
        w.record.y = y;
        uint8_t* target = out.Row(y);
        for (int32_t x0 = 0; x0 < source.width; x0 += kSpanMax) {
            const int32_t n = std::min(kSpanMax, source.width - x0);
            size_t run = 0;
            for (const Group& g : groups_) {
                if (!g.program) continue;
                SpanRun& r = w.runs[run++];
                r.Start(w.record, x0, n);
                for (const int32_t k : g.channels) {
                    if (k >= out.channels) continue;
                    uint8_t* p = target + static_cast<size_t>(x0) * out.channels + k;
                    Store(r.Values(k), n, p, static_cast<size_t>(out.channels));
                }
            }
        }
    }

    const Program& program_;
    unsigned threads_;
    std::vector<Group> groups_;
    bool readsAlpha_ = false;
};

}  // namespace

std::unique_ptr<Engine> MakeEngine(const Program& program, unsigned threads) {
    if (program.visitingOrder) return MakePixelEngine(program, threads);
    return std::make_unique<SpanEngine>(program, threads);
}

}  // namespace zv::cli

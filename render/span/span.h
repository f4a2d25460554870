/* SPDX-License-Identifier: MIT */
// A pure formula compiled for runs of pixels along one row: the tree
// flattened into steps, constants folded by the evaluator's own functions,
// and every value marked by what it varies with. Values that are the same
// for the whole run are computed once per run; values that do not depend
// on the channel are computed once for all channels that share the formula;
// the rest runs one tight loop per step over the run's pixels.
//
// On a run, r, g, b and c are read from the image at each pixel (channels
// 0, 1, 2 and the one computed), which is how a host that fills the context
// from the same image sets them; every other leaf and built-in means what it
// means to ZvExec.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "api/zorvan.h"

namespace zv {

// Values per run at most: pixels, or elements of interleaved pixels, whose
// loops are cheap enough for their set-up to count.
inline constexpr int32_t kSpanMax = 1024;
// Pixels per run of the span path: more would spill the lanes of larger
// programs out of the first-level cache.
inline constexpr int32_t kPixelRun = 256;

// Steps of the compiler's own, outside the kinds: the column and the row
// that rad reads, centreX + r2x(d, m) and centreY + r2y(d, m), computed once
// for every channel that reads them through src.
inline constexpr int32_t kSpanRadColumn = -2, kSpanRadRow = -3;

struct SpanState;
struct SpanStep;
using SpanKernel = void (*)(const SpanStep& step, const SpanState& state);

struct SpanValue {
    bool varying = false;  // differs along the run
    bool channel = false;  // differs between channels
    int32_t lane = -1;     // where its values for each pixel lie; -1: none
};

struct SpanStep {
    const ExprNode* node;  // the tree's node, for Apply
    int32_t kind;
    int32_t out;  // the value it computes
    int32_t arity;
    std::array<int32_t, 10> args{};  // values
    SpanKernel kernel;               // null: computed once per run
};

struct SpanProgram {
    std::vector<SpanValue> values;
    std::vector<int32_t> constants;  // a folded value, or 0, per value
    // In order: once per run, then once per channel; each first the steps
    // computed once, then the values copied into lanes, then the loops.
    std::array<std::vector<SpanStep>, 2> once, loops;
    std::array<std::vector<int32_t>, 2> broadcasts;
    int32_t root = 0;
    int32_t lanes = 0;
};

struct SpanCompiled {
    std::unique_ptr<SpanProgram> program;  // null when the formula cannot run by spans
    const char* reason;                    // why not: "calls put", ...
};

// Conditionals known to take one branch: the node and its child, 1 or 2.
using SpanTaken = std::vector<std::pair<const ExprNode*, int32_t>>;

// Compiles root, which must stay alive and unchanged while the program is
// used, for runs of pixels or for interleaved runs (span_interleaved.h),
// with the conditionals in taken replaced by the branch they take.
SpanCompiled CompileSpans(const ExprNode* root, bool interleaved = false,
                          const SpanTaken& taken = {});

// What a kernel sees: the context, the run and the values so far.
struct SpanState {
    const SpanProgram* program;
    PixelContext* context;
    int32_t x0, n;
    int32_t dx;        // columns from one pixel of a run of pixels to the next
    int32_t channels;  // of an interleaved run's pixels; 0 on a run of pixels
    int32_t* scalars;
    int32_t* lanes;
};

// The lane that holds a value's pixels on the run.
inline int32_t* LaneOf(const SpanState& f, int32_t value) {
    return f.lanes + f.program->values[value].lane * kSpanMax;
}

// One thread's workspace for one program.
class SpanWorkspace {
   public:
    explicit SpanWorkspace(const SpanProgram& program);

    // Starts the run of n (1..kSpanMax) pixels from column x0 of row
    // context.y, dx columns apart; context lives until the last Values.
    void Start(PixelContext& context, int32_t x0, int32_t n, int32_t dx = 1);

    // The formula's raw values on the run for a channel.
    const int32_t* Values(int32_t channel);

    // An interleaved program's raw values on the n elements (1..kSpanMax)
    // of pixels with `channels` (1..4) channels from column x0 of row
    // context.y.
    const int32_t* Interleaved(PixelContext& context, int32_t x0, int32_t n, int32_t channels);

    // The values an interleaved program fixes for every run of row
    // context.y, the constants among them.
    const int32_t* Scalars(PixelContext& context);
    // The raw values, for c = 0..255, of an interleaved program whose only
    // varying leaf is c and whose loops read nothing but their arguments,
    // with the values of the last Scalars.
    const int32_t* OverBytes();

   private:
    void Begin(PixelContext& context, int32_t x0, int32_t n, int32_t dx, int32_t channels);
    void Once(int which);
    void Loops(int which, bool overBytes = false);
    void Phase(int which) { Once(which), Loops(which); }
    const int32_t* Root() const;

    const SpanProgram& program_;
    std::vector<int32_t> scalars_, lanes_;
    SpanState state_{};
};

}  // namespace zv

// SPDX-License-Identifier: MIT
// Running a span program: each phase computes its scalars, copies those that
// loops read as lanes, then runs its loops.
#include <algorithm>
#include <numeric>

#include "eval/apply.h"
#include "render/span/span.h"

namespace zv {

SpanWorkspace::SpanWorkspace(const SpanProgram& program)
    : program_(program),
      scalars_(program.constants),
      lanes_(static_cast<size_t>(program.lanes) * kSpanMax) {
    state_.program = &program_;
    state_.scalars = scalars_.data();
    state_.lanes = lanes_.data();
}

void SpanWorkspace::Once(int which) {
    PixelContext& c = *state_.context;
    for (const SpanStep& s : program_.once[which]) {
        auto arg = [&](int32_t j) { return scalars_[s.args[j]]; };
        scalars_[s.out] = Apply(s.kind, *s.node, arg, c);
    }
}

void SpanWorkspace::Loops(int which, bool overBytes) {
    for (const int32_t v : program_.broadcasts[which]) {
        int32_t* lane = state_.lanes + program_.values[v].lane * kSpanMax;
        std::fill_n(lane, state_.n, scalars_[v]);
    }
    for (const SpanStep& s : program_.loops[which]) {
        if (overBytes && s.kind == 'c') {
            int32_t* lane = state_.lanes + program_.values[s.out].lane * kSpanMax;
            std::iota(lane, lane + state_.n, 0);
        } else {
            s.kernel(s, state_);
        }
    }
}

void SpanWorkspace::Begin(PixelContext& context, int32_t x0, int32_t n, int32_t dx, int32_t channels) {
    state_.context = &context;
    state_.x0 = x0;
    state_.n = n;
    state_.dx = dx;
    state_.channels = channels;
    Phase(0);
}

const int32_t* SpanWorkspace::Root() const {
    return state_.lanes + program_.values[program_.root].lane * kSpanMax;
}

void SpanWorkspace::Start(PixelContext& context, int32_t x0, int32_t n, int32_t dx) {
    Begin(context, x0, n, dx, 0);
}

const int32_t* SpanWorkspace::Values(int32_t channel) {
    state_.context->channel = channel;
    Phase(1);
    return Root();
}

const int32_t* SpanWorkspace::Interleaved(PixelContext& context, int32_t x0, int32_t n,
                                    int32_t channels) {
    Begin(context, x0, n, 1, channels);  // nothing is left for a channel
    return Root();
}

const int32_t* SpanWorkspace::Scalars(PixelContext& context) {
    state_.context = &context;
    Once(0);
    return scalars_.data();
}

const int32_t* SpanWorkspace::OverBytes() {
    state_.x0 = 0, state_.n = 256, state_.dx = 1, state_.channels = 1;
    Loops(0, true);
    return Root();
}

}  // namespace zv

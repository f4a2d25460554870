// Running a span program: each phase computes its scalars, copies those that
// loops read as lanes, then runs its loops.
#include <algorithm>

#include "eval/apply.h"
#include "eval/span.h"

namespace zv {

SpanRun::SpanRun(const SpanProgram& program)
    : program_(program),
      scalars_(program.constants),
      lanes_(static_cast<size_t>(program.lanes) * kSpanMax) {
    frame_.program = &program_;
    frame_.scalars = scalars_.data();
    frame_.lanes = lanes_.data();
}

void SpanRun::Phase(int which) {
    PixelContext& c = *frame_.context;
    for (const SpanStep& s : program_.once[which]) {
        auto arg = [&](int32_t j) { return scalars_[s.args[j]]; };
        scalars_[s.out] = Apply(s.kind, *s.node, arg, c);
    }
    for (const int32_t v : program_.splats[which]) {
        int32_t* lane = frame_.lanes + program_.values[v].lane * kSpanMax;
        std::fill_n(lane, frame_.n, scalars_[v]);
    }
    for (const SpanStep& s : program_.loops[which]) s.kernel(s, frame_);
}

void SpanRun::Start(PixelContext& context, int32_t x0, int32_t n) {
    frame_.context = &context;
    frame_.x0 = x0;
    frame_.n = n;
    Phase(0);
}

const int32_t* SpanRun::Values(int32_t channel) {
    frame_.context->channel = channel;
    Phase(1);
    return frame_.lanes + program_.values[program_.root].lane * kSpanMax;
}

}  // namespace zv

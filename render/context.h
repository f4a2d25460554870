/* SPDX-License-Identifier: MIT */
// How a render fills the library's pixel context: the part of its contract
// that every path shares.
#pragma once

#include <vector>

#include "api/zorvan.h"
#include "eval/builtins.h"
#include "eval/eval.h"
#include "eval/program.h"
#include "zorvan/render.hpp"

namespace zv {

// The parts of the context that hold for a whole render: the source's rows,
// the sizes, the centre, D and M, the controls, t and total. A source
// without alpha reads alpha from an opaque plane of 255, made only when
// formulas can read alpha (readsAlpha).
class RenderContext {
   public:
    RenderContext(const ImageView& source, int32_t channels, const RenderSettings& settings,
                  bool readsAlpha);
    RenderContext(const RenderContext&) = delete;
    RenderContext& operator=(const RenderContext&) = delete;

    // A context for the render's first pixel, with every cell 0.
    const PixelContext& Fresh() const { return base_; }

   private:
    std::vector<const uint8_t*> rows_;
    std::vector<uint8_t> opaque_;
    PixelContext base_{};
};

// Points the context at the pixel (x, y) of the source: position and r, g, b.
inline void MoveTo(PixelContext& context, const uint8_t* pixel, int32_t x, int32_t y) {
    context.x = x;
    context.y = y;
    context.red = pixel[0];
    context.green = pixel[1];
    context.blue = pixel[2];
}

// The raw value of tree for channel k of the pixel the context is at, by
// its program where it has one (the same value and writes); the source
// pixel has sourceChannels channels (alpha is 255 when it has none).
inline int32_t EvaluateChannel(const ExprNode* tree, const Program* program, PixelContext& context,
                               const uint8_t* pixel, int32_t sourceChannels, int32_t k) {
    context.channel = k;
    context.current = k < sourceChannels ? pixel[k] : 255;
    return program ? RunProgram(*program, context) : WalkTree(tree, context);
}

static_assert(ZV_RANDOM_START == kFreshRandomState);

// rnd's state of the calling thread, set for a render and given back after.
class RandomScope {
   public:
    explicit RandomScope(uint32_t* carried) : carried_(carried), saved_(RandomState()) {
        RandomState() = carried ? *carried : kFreshRandomState;
    }
    ~RandomScope() {
        if (carried_) *carried_ = RandomState();
        RandomState() = saved_;
    }
    RandomScope(const RandomScope&) = delete;
    RandomScope& operator=(const RandomScope&) = delete;

   private:
    uint32_t* carried_;
    uint32_t saved_;
};

}  // namespace zv

/* SPDX-License-Identifier: MIT */
// Filters whose evaluations each draw from rnd's generator as often as the
// next: the generator's state at any pixel is then known without visiting
// the pixels before it (RandomLeap), so their rows may be computed in any
// order, on any thread, with the bytes of the visiting order.
#pragma once

#include <cstdint>

#include "api/zorvan.h"

namespace zv {

// Whether every rnd of the tree is evaluated in every evaluation (none in a
// way of ?:, && or || that may be skipped) with arguments that are the same
// at every pixel of a render: literals, controls, sizes, t, total and z.
bool CountsDraws(const ExprNode* root);

// How often one evaluation of such a tree draws, with the context's channel
// and settings; the arguments are evaluated on a copy of it.
uint32_t DrawsOf(const ExprNode* root, const PixelContext& context);

}  // namespace zv

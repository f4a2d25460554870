/* SPDX-License-Identifier: MIT */
// Evaluation of a tree for one pixel and channel.
#pragma once

#include "api/zorvan.h"

namespace zv {

// What ZvExec returns: the formula's value, unclamped. The context is passed
// down explicitly; nothing process-wide is touched except the per-thread
// random state of rnd().
int32_t WalkTree(const ExprNode* root, PixelContext& context);

}  // namespace zv

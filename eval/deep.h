/* SPDX-License-Identifier: MIT */
// Evaluation of trees too deep for native recursion.
#pragma once

#include <cstdint>

#include "api/zorvan.h"

namespace zv {

// The same value as the recursive evaluator, computed on an explicit stack
// that lives per thread and is reused, so it allocates only while growing.
// Yields 0 if that stack cannot grow.
int32_t EvaluateDeep(const ExprNode& root, PixelContext& context);

}  // namespace zv

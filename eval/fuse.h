/* SPDX-License-Identifier: MIT */
// The last pass over a program, once its registers are the frame's: moves
// that need not run are dropped, and the program learns whether it is lean.
#pragma once

#include "eval/program.h"

namespace zv::detail {

void Fuse(Program& program);

}  // namespace zv::detail

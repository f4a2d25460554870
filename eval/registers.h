/* SPDX-License-Identifier: MIT */
// Handing out a program's frame: each value gets a virtual register as it
// is compiled; at the end each is given a register of the frame, which is
// reused once its value has been read for the last time.
#pragma once

#include "eval/program.h"

namespace zv::detail {

// Whether the step writes its dst.
bool Writes(const Op& op);

// Replaces the virtual registers 0..count-1 by the frame's and sets
// program.registers; false when the frame would pass kMaxRegisters.
bool AllocateRegisters(Program& program, int32_t count);

}  // namespace zv::detail

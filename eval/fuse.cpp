// SPDX-License-Identifier: MIT
#include "eval/fuse.h"

#include <algorithm>

namespace zv::detail {
namespace {

bool IsJump(const Op& op) {
    return op.code >= kJumpIfZero && op.code <= kJump;
}

// A register moved onto itself: the allocator gave a join and the way's
// value the same register.
bool Idle(const Op& op) {
    return op.code == kMoveBase + kReg && op.a == op.dst;
}

// Drops the steps idle marks, aiming each jump at the step its old target
// became (or the one after it).
template <class Idle>
void Drop(std::vector<Op>& ops, Idle idle) {
    std::vector<int32_t> at(ops.size() + 1);
    int32_t kept = 0;
    for (size_t i = 0; i < ops.size(); ++i) {
        at[i] = kept;
        kept += !idle(ops[i]);
    }
    at[ops.size()] = kept;
    for (size_t i = 0; i < ops.size(); ++i)
        if (IsJump(ops[i])) ops[i].b = at[i + size_t(ops[i].b)] - at[i];
    std::erase_if(ops, idle);
}

}  // namespace

void Fuse(Program& program) {
    std::vector<Op>& ops = program.ops;
    Drop(ops, Idle);
    program.lean = program.registers <= kLeanRegisters &&
                   std::all_of(ops.begin(), ops.end(), [](const Op& op) { return IsLean(op.code); });
}

}  // namespace zv::detail

// SPDX-License-Identifier: MIT
#include "eval/registers.h"

namespace zv::detail {
namespace {

// The registers each step reads.
template <class F>
void ForEachRead(Op& op, std::vector<Operand>& pool, F f) {
    auto operand = [&f](Mode m, int32_t& v) {
        if (m == kReg) f(v);
    };
    const int32_t code = op.code;
    if (code < kUnaryBase) {
        operand(Mode(code / kModes % kModes), op.a);
        operand(Mode(code % kModes), op.b);
    } else if (code < kMoveBase) {
        operand(Mode((code - kUnaryBase) % kModes), op.a);
    } else if (code < kSelectBase) {
        operand(Mode((code - kMoveBase) % kModes), op.a);
    } else if (code < kJumpIfZero) {  // reads its register too, written before
        f(op.a);
        operand(Mode(code - kSelectBase), op.b);
    } else if (code == kJumpIfZero || code == kJumpIfNotZero) {
        f(op.a);
    } else if (code >= kCallBase && code < kReturnBase) {
        const int32_t arity = RuleOf(kCalled[size_t(code - kCallBase)]).arity;
        for (int32_t i = 0; i < arity; ++i)
            operand(pool[size_t(op.a + i)].mode, pool[size_t(op.a + i)].v);
    } else if (code >= kReturnBase) {
        operand(Mode(code - kReturnBase), op.a);
    }
}

}  // namespace

bool Writes(const Op& op) {
    return op.code < kJumpIfZero || (op.code >= kCallBase && op.code < kReturnBase);
}

// Each value's register from the step that first writes it to the step
// that last reads or writes it; a step may write a register it reads.
bool AllocateRegisters(Program& program, int32_t count) {
    std::vector<Op>& ops = program.ops;
    std::vector<Operand>& pool = program.pool;
    std::vector<int32_t> first(size_t(count), -1), last(size_t(count), -1);
    for (int32_t i = 0; i < int32_t(ops.size()); ++i) {
        ForEachRead(ops[size_t(i)], pool, [&](int32_t& r) { last[size_t(r)] = i; });
        if (!Writes(ops[size_t(i)])) continue;
        const auto r = size_t(ops[size_t(i)].dst);
        if (first[r] < 0) first[r] = i;
        last[r] = std::max(last[r], i);
    }
    std::vector<int32_t> frame(size_t(count), -1), free;
    int32_t used = 0;
    for (int32_t i = 0; i < int32_t(ops.size()); ++i) {
        Op& op = ops[size_t(i)];
        ForEachRead(op, pool, [&](int32_t& r) {
            const int32_t virt = r;
            r = frame[size_t(virt)];
            if (last[size_t(virt)] == i && first[size_t(virt)] >= 0) {
                free.push_back(r);
                first[size_t(virt)] = -1;  // released once, however often read here
            }
        });
        if (!Writes(op)) continue;
        const auto virt = size_t(op.dst);
        if (frame[virt] < 0) {
            if (free.empty()) free.push_back(used++);
            frame[virt] = free.back();
            free.pop_back();
        }
        op.dst = frame[virt];
        if (last[virt] == i && first[virt] >= 0) {  // never read
            free.push_back(op.dst);
            first[virt] = -1;
        }
    }
    program.registers = used;
    return used <= kMaxRegisters;
}

}  // namespace zv::detail

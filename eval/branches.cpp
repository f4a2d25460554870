// SPDX-License-Identifier: MIT
// The lazy kinds whose child 0 is not known while compiling: when the ways
// are cheap, both computed and one picked by a select (or the truths
// combined); else a jump over the way not taken.
#include "eval/compiler.h"
#include "eval/registers.h"
#include "eval/rules.h"

namespace zv::detail {
namespace {

// A way cheap and harmless enough to compute whether it is taken or not:
// a few steps of the fast kinds, which have no effects, over literals and
// fields. Computing both ways and picking one spares a jump the processor
// may mispredict.
bool Cheap(const ExprNode* n, int32_t& budget) {
    if (n->kind == ZV_NUMBER || kFields[SlotOf(n->kind)].offset >= 0) return true;
    if ((IndexIn(kFastBinary, n->kind) < 0 && IndexIn(kFastUnary, n->kind) < 0) || --budget < 0)
        return false;
    for (int32_t i = 0; i < RuleOf(n->kind).arity; ++i)
        if (!Cheap(n->children[i], budget)) return false;
    return true;
}
bool Cheap(const ExprNode* n) {
    int32_t budget = 4;
    return Cheap(n, budget);
}

}  // namespace

// dst = from != 0, as && and || yield.
void ProgramCompiler::StoreTruth(int32_t dst, Operand from) {
    if (from.mode == kImm) return Move(dst, {kImm, from.v != 0});
    const Operand args[2] = {from, {kImm, 0}};
    EmitOperands(dst, ZV_NE, args, 2);
}

// A way's value into the register the ways share: the way's last step
// writes it there if that step made it.
void ProgramCompiler::Into(int32_t dst, Operand value, size_t start) {
    Op* last = Here() > start ? &program_->ops.back() : nullptr;
    const bool join = size_t(value.v) < joins_.size() && joins_[size_t(value.v)];
    if (last && value.mode == kReg && Writes(*last) && last->dst == value.v && !join) {
        last->dst = dst;
    } else {
        Move(dst, value);
    }
}

Way ProgramCompiler::WayOf(const ExprNode& n) {
    const bool cheap = Cheap(n.children[1]) && (n.kind != '?' || Cheap(n.children[2]));
    return cheap ? Way::kBoth : Way::kJump;
}

ValueId ProgramCompiler::Enter(Lowering& l, const ExprNode& n, Way way, ValueId first) {
    if (way == Way::kBoth) {  // ?: selects by a register, && || combine truths
        return n.kind == '?' ? New(InRegister(Of(first))) : l.Truth(n, first);
    }
    if (n.kind == '?') {
        const size_t jump = Jump(kJumpIfZero, InRegister(Of(first)).v);
        branches_.push_back({NewJoin(), jump, Here()});
    } else {
        const int32_t dst = NewJoin();
        Move(dst, {kImm, n.kind == ZV_OR});
        const size_t jump =
            Jump(n.kind == ZV_AND ? kJumpIfZero : kJumpIfNotZero, InRegister(Of(first)).v);
        branches_.push_back({dst, jump, Here()});
    }
    return first;
}

void ProgramCompiler::Switch(Lowering&, const ExprNode&, Way way, ValueId then) {
    if (way == Way::kBoth) return;
    Branch& b = branches_.back();
    Into(b.dst, Of(then), b.start);
    const size_t over = Jump(kJump, 0);
    Land(b.jump);
    b.jump = over;
    b.start = Here();
}

ValueId ProgramCompiler::Leave(Lowering& l, const ExprNode& n, Way way, ValueId first,
                               const ValueId* ways, int32_t count) {
    if (way == Way::kBoth && count == 2) {
        const int32_t dst = NewJoin();
        Move(dst, Of(ways[1]));
        const Operand taken = Of(ways[0]);
        Push({kSelectBase + taken.mode, dst, Of(first).v, taken.v});
        return New({kReg, dst});
    }
    if (way == Way::kBoth) {
        const ValueId args[2] = {first, l.Truth(n, ways[0])};
        return l.Strict(n.kind == ZV_AND ? ZV_BITAND : ZV_BITOR, n, args, 2);
    }
    const Branch b = branches_.back();
    branches_.pop_back();
    if (count == 2 || l.IsTruth(ways[0]))
        Into(b.dst, Of(ways[count - 1]), b.start);
    else
        StoreTruth(b.dst, Of(ways[0]));
    Land(b.jump);
    return New({kReg, b.dst});
}

}  // namespace zv::detail

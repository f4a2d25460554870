// SPDX-License-Identifier: MIT
// The lazy kinds: a way picked while compiling when child 0 is a literal;
// else, when the ways are cheap, both computed and one picked by a select
// (or the truths combined); else a jump over the way not taken. Values
// shared within a way are forgotten when it ends.
#include "eval/apply.h"
#include "eval/compiler.h"
#include "eval/depends.h"
#include "eval/registers.h"

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
    Emit(dst, ZV_NE, args, 2);
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

bool ProgramCompiler::IsBoolean(Operand o) const {
    if (o.mode == kImm) return o.v == 0 || o.v == 1;
    return o.mode == kReg && size_t(o.v) < booleans_.size() && booleans_[size_t(o.v)];
}

Operand ProgramCompiler::Boolean(Operand o) {
    if (IsBoolean(o)) return o;
    const Operand args[2] = {o, {kImm, 0}};
    return Strict(ZV_NE, args, 2);
}

void ProgramCompiler::Lazy(Visit& v) {
    const ExprNode& n = *v.node;
    const int32_t kind = n.kind;
    if (v.stage == kFirst) {
        v.stage = kCondition;
        return Open(n.children[0]);
    }
    if (v.stage == kCondition) {
        const Operand first = Take();
        const bool known = first.mode == kImm;
        if (known || kind == ZV_SEQ) {  // the way the tree walk takes; SEQ's is always child 1
            const Choice pick = Pick(kind, first.v);
            if (pick.child == 0) return Yield({kImm, pick.value});
            v.stage = AlgebraOf(kind).truth ? kPickedTruth : kPicked;
            return Open(n.children[pick.child]);
        }
        if (kind == '?' && Cheap(n.children[1]) && Cheap(n.children[2])) {
            v.dst = InRegister(first).v;
            v.stage = kBothThen;
            return Open(n.children[1]);
        }
        if (kind == '?') {
            v.jump = Jump(kJumpIfZero, InRegister(first).v);
            v.dst = NewJoin();
            v.mark = known_.Mark();
            v.start = Here();
            v.stage = kThen;
            return Open(n.children[1]);
        }
        if (Cheap(n.children[1])) {
            values_.push_back(Boolean(first));
            v.stage = kBothRight;
            return Open(n.children[1]);
        }
        v.dst = NewJoin();
        Move(v.dst, {kImm, kind == ZV_OR});
        v.jump = Jump(kind == ZV_AND ? kJumpIfZero : kJumpIfNotZero, InRegister(first).v);
        v.mark = known_.Mark();
        v.start = Here();
        v.stage = kRight;
        return Open(n.children[1]);
    }
    if (v.stage == kBothThen) {  // the first way's value waits on the stack
        v.stage = kBothElse;
        return Open(n.children[2]);
    }
    const Operand value = Take();
    switch (v.stage) {
        case kThen: {
            Into(v.dst, value, v.start);
            known_.Forget(v.mark);
            const size_t over = Jump(kJump, 0);
            Land(v.jump);
            v.jump = over;
            v.start = Here();
            v.stage = kElse;
            return Open(n.children[2]);
        }
        case kElse:
        case kRight:
            if (v.stage == kElse || IsBoolean(value))
                Into(v.dst, value, v.start);
            else
                StoreTruth(v.dst, value);
            known_.Forget(v.mark);
            Land(v.jump);
            if (v.stage == kRight) MarkBoolean(v.dst);
            return Yield({kReg, v.dst});
        case kPicked: return Yield(value);
        case kPickedTruth: return Yield(Boolean(value));
        case kBothElse: {
            const Operand taken = Take();
            const int32_t dst = NewJoin();
            Move(dst, value);
            Push({kSelectBase + taken.mode, dst, v.dst, taken.v});
            return Yield({kReg, dst});
        }
        default: {  // kBothRight
            const Operand args[2] = {Take(), Boolean(value)};
            const Operand both = Strict(kind == ZV_AND ? ZV_BITAND : ZV_BITOR, args, 2);
            if (both.mode == kReg) MarkBoolean(both.v);
            return Yield(both);
        }
    }
}

}  // namespace zv::detail

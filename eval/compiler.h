/* SPDX-License-Identifier: MIT */
// The compiler of trees into programs (eval/program.h). The walk is
// iterative, since trees go deeper than any native stack, and visits
// children in the tree walk's order (strict kinds last child first, lazy
// kinds child 0 first), so effects keep their order. Its concerns lie in
// one file each: the walk, folding and sharing (compile.cpp), the steps
// of each kind (emit.cpp), chains of an associative kind (chains.cpp), the
// lazy kinds and the choice between a jump and computing both ways
// (branches.cpp), and the frame's registers (registers.cpp).
#pragma once

#include <memory>
#include <vector>

#include "eval/known.h"
#include "eval/program.h"

namespace zv::detail {

// A chain of one associative kind: (a + b) + (c + d) is a + b + c + d.
struct Chain {
    size_t terms = 0;      // its terms start at terms_[terms]
    int32_t count = 0;     // how many
    size_t partial = 0;    // its partial results start at partials_[partial]
    bool literal = false;  // literal terms met, combined into value
    int32_t value = 0;
};

// Where a lazy node's compiling is: each stage names what the value on top
// of the stack is, once the child it opened has been compiled.
enum Stage : int32_t {
    kFirst,        // child 0 still to open
    kCondition,    // child 0's value: pick a way
    kThen,         // ? : with a jump, the first way's value
    kElse,         // ? : with a jump, the second way's value
    kRight,        // && || with a jump, the right side's value
    kPicked,       // the value of the child picked while compiling
    kPickedTruth,  // the same, as a truth value (&& ||)
    kBothThen,     // ? : computing both ways, the first way's value
    kBothElse,     // the same, the second way's value
    kBothRight,    // && || computing both sides, the right side's value
};

class ProgramCompiler {
   public:
    std::unique_ptr<Program> Compile(const ExprNode& root);

   private:
    struct Visit {
        const ExprNode* node;
        int32_t stage;     // strict kinds: children still to visit; lazy kinds: a Stage
        int32_t dst = 0;   // lazy kinds: the register each way writes
        size_t jump = 0;   // lazy kinds: the jump still to aim
        size_t mark = 0;   // lazy kinds: values known before the branch
        size_t start = 0;  // lazy kinds: the first step of the way being compiled
        Chain chain{};
    };
    struct Partial {
        Operand value;
        int32_t size;  // terms it combines, a power of two
    };

    // compile.cpp: the walk, folding and sharing.
    void Step();
    void Open(const ExprNode* n);
    void Yield(Operand o) {
        visits_.pop_back();
        values_.push_back(o);
    }
    Operand Take() {
        Operand o = values_.back();
        values_.pop_back();
        return o;
    }
    Operand Leaf(const ExprNode& n);
    Operand Strict(int32_t kind, const Operand* args, int32_t arity);

    // emit.cpp: steps.
    void Emit(int32_t dst, int32_t kind, const Operand* args, int32_t arity);
    void Move(int32_t dst, Operand from) { Push({kMoveBase + from.mode, dst, from.v, 0}); }
    size_t Push(Op op) {
        program_->ops.push_back(op);
        return Here() - 1;
    }
    size_t Here() const { return program_->ops.size(); }
    int32_t NewRegister() { return registers_++; }
    Operand InRegister(Operand o);

    // chains.cpp: reassociation.
    bool OpenChain(const ExprNode* n);
    void StepChain(Visit& v);
    void Absorb(Chain& chain, int32_t kind, Operand term);

    // branches.cpp: the lazy kinds.
    void Lazy(Visit& v);
    void StoreTruth(int32_t dst, Operand from);
    bool IsBoolean(Operand o) const;
    Operand Boolean(Operand o);
    void MarkBoolean(int32_t reg) {
        if (booleans_.size() <= size_t(reg)) booleans_.resize(size_t(reg) + 1);
        booleans_[size_t(reg)] = true;
    }
    void Into(int32_t dst, Operand value, size_t start);
    int32_t NewJoin() {
        joins_.resize(size_t(registers_) + 1);
        joins_.back() = true;
        return NewRegister();
    }
    size_t Jump(int32_t code, int32_t reg) { return Push({code, 0, reg, 0}); }
    void Land(size_t jump) { program_->ops[jump].b = static_cast<int32_t>(Here() - jump); }

    std::unique_ptr<Program> program_ = std::make_unique<Program>();
    std::vector<Visit> visits_;
    std::vector<Operand> values_;
    int32_t registers_ = 0;
    std::vector<bool> joins_;                     // by register: written by both ways of a branch
    std::vector<bool> booleans_;                  // by register: holds 0 or 1
    std::vector<const ExprNode*> terms_, spine_;  // chains' terms, innermost last
    std::vector<Partial> partials_;               // chains' partial results, innermost last
    KnownValues known_;
    PixelContext scratch_{};  // folding reads no context; Apply wants one
};

}  // namespace zv::detail

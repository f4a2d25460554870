/* SPDX-License-Identifier: MIT */
// The register-program back end of the lowering (eval/lower.h): each value
// an operand of the steps that read it, each lazy node whose child 0 is not
// known a jump or both ways and a select. Its concerns lie in one file
// each: the values (compile.cpp), the steps of each kind (emit.cpp), the
// lazy kinds (branches.cpp) and the frame's registers (registers.cpp).
#pragma once

#include <memory>
#include <vector>

#include "eval/lower.h"
#include "eval/program.h"

namespace zv::detail {

class ProgramCompiler final : public BackEnd {
   public:
    std::unique_ptr<Program> Compile(const ExprNode& root);

    // compile.cpp: the values.
    ValueId Literal(int32_t value) override { return New({kImm, value}); }
    ValueId Step(Lowering& l, int32_t kind, const ExprNode& n, const ValueId* args,
                 int32_t arity) override;

    // branches.cpp: the lazy kinds.
    Way WayOf(const ExprNode& n) override;
    ValueId Enter(Lowering& l, const ExprNode& n, Way way, ValueId first) override;
    void Switch(Lowering& l, const ExprNode& n, Way way, ValueId then) override;
    ValueId Leave(Lowering& l, const ExprNode& n, Way way, ValueId first, const ValueId* ways,
                  int32_t count) override;

   private:
    // A lazy node with a jump: the register each way writes, the jump still
    // to aim, the first step of the way being compiled.
    struct Branch {
        int32_t dst;
        size_t jump;
        size_t start;
    };

    ValueId New(Operand o) {
        operands_.push_back(o);
        return static_cast<ValueId>(operands_.size()) - 1;
    }
    Operand Of(ValueId v) const { return operands_[size_t(v)]; }

    // emit.cpp: steps.
    void Emit(int32_t dst, int32_t kind, const ValueId* args, int32_t arity);
    void EmitOperands(int32_t dst, int32_t kind, const Operand* args, int32_t arity);
    void Move(int32_t dst, Operand from) { Push({kMoveBase + from.mode, dst, from.v, 0}); }
    size_t Push(Op op) {
        program_->ops.push_back(op);
        return Here() - 1;
    }
    size_t Here() const { return program_->ops.size(); }
    int32_t NewRegister() { return registers_++; }
    Operand InRegister(Operand o);

    // branches.cpp
    void StoreTruth(int32_t dst, Operand from);
    void Into(int32_t dst, Operand value, size_t start);
    int32_t NewJoin() {
        joins_.resize(size_t(registers_) + 1);
        joins_.back() = true;
        return NewRegister();
    }
    size_t Jump(int32_t code, int32_t reg) { return Push({code, 0, reg, 0}); }
    void Land(size_t jump) { program_->ops[jump].b = static_cast<int32_t>(Here() - jump); }

    std::unique_ptr<Program> program_ = std::make_unique<Program>();
    std::vector<Operand> operands_;  // by value
    int32_t registers_ = 0;
    std::vector<bool> joins_;  // by register: written by both ways of a branch
    std::vector<Branch> branches_;
};

}  // namespace zv::detail

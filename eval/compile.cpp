// SPDX-License-Identifier: MIT
// The walk of a tree into a program, folding what literals fix and sharing
// what has been computed (eval/compiler.h).
#include <new>

#include "eval/apply.h"
#include "eval/compiler.h"
#include "eval/depends.h"
#include "eval/fuse.h"
#include "eval/registers.h"

namespace zv {
namespace detail {

void ProgramCompiler::Open(const ExprNode* n) {
    if (OpenChain(n)) return;
    const Rule rule = RuleOf(n->kind);
    visits_.push_back({n, rule.lazy ? int32_t{kFirst} : rule.arity});
}

Operand ProgramCompiler::Leaf(const ExprNode& n) {
    if (n.kind == ZV_NUMBER) return {kImm, n.value};
    const Field f = kFields[SlotOf(n.kind)];
    if (f.offset >= 0) return {f.mask == 0xFF ? kByte : kWord, f.offset};
    return Strict(n.kind, nullptr, 0);
}

Operand ProgramCompiler::Strict(int32_t kind, const Operand* args, int32_t arity) {
    if (kind == ZV_UPLUS) return args[0];
    if (kind == ZV_RST) return {kImm, 0};  // its argument has been evaluated
    const Algebra algebra = AlgebraOf(kind);
    bool literals = true;
    for (int32_t i = 0; i < arity; ++i) literals = literals && args[i].mode == kImm;
    if (literals && algebra.folds) {
        auto arg = [args](int32_t i) { return args[i].v; };
        const ExprNode node{kind, 0, 0, nullptr};
        return {kImm, Apply(kind, node, arg, scratch_)};
    }
    std::string key;
    if (algebra.shares) {
        key = KnownValues::KeyOf(kind, args, arity);
        if (const Operand* known = known_.Find(key)) return *known;
    }
    const Operand result{kReg, NewRegister()};
    Emit(result.v, kind, args, arity);
    if (algebra.truth) MarkBoolean(result.v);
    if (!key.empty()) known_.Add(std::move(key), result);
    return result;
}

void ProgramCompiler::Step() {
    Visit& v = visits_.back();
    if (v.chain.count > 0) return StepChain(v);
    const ExprNode& n = *v.node;
    if (n.kind == ZV_NUMBER || RuleOf(n.kind).arity == 0) return Yield(Leaf(n));
    if (RuleOf(n.kind).lazy) return Lazy(v);
    if (v.stage > 0) return Open(n.children[--v.stage]);
    // The last child's value went on first, so child 0's is on top.
    const int32_t arity = RuleOf(n.kind).arity;
    Operand args[10];
    for (int32_t i = 0; i < arity; ++i) args[i] = values_[values_.size() - 1 - size_t(i)];
    values_.resize(values_.size() - size_t(arity));
    Yield(Strict(n.kind, args, arity));
}

std::unique_ptr<Program> ProgramCompiler::Compile(const ExprNode& root) {
    Open(&root);
    while (!visits_.empty()) Step();
    const Operand result = Take();
    Push({kReturnBase + result.mode, 0, result.v, 0});
    if (!AllocateRegisters(*program_, registers_)) return nullptr;
    Fuse(*program_);
    return std::move(program_);
}

}  // namespace detail

std::unique_ptr<Program> CompileProgram(const ExprNode& root) {
    try {
        return detail::ProgramCompiler().Compile(root);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace zv

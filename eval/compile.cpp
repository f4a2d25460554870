// SPDX-License-Identifier: MIT
// Values of the lowering as operands: literals and fields of the context
// read in place, everything else a register that a step writes.
#include <new>

#include "eval/compiler.h"
#include "eval/fuse.h"
#include "eval/registers.h"
#include "eval/rules.h"

namespace zv {
namespace detail {

ValueId ProgramCompiler::Step(Lowering&, int32_t kind, const ExprNode&, const ValueId* args,
                              int32_t arity) {
    if (const Field f = kFields[SlotOf(kind)]; f.offset >= 0)
        return New({f.mask == 0xFF ? kByte : kWord, f.offset});
    const ValueId v = New({kReg, NewRegister()});
    Emit(Of(v).v, kind, args, arity);
    return v;
}

std::unique_ptr<Program> ProgramCompiler::Compile(const ExprNode& root) {
    Lowering lowering(*this, {.regroup = true});
    const Operand result = Of(lowering.Lower(&root));
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

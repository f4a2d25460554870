// SPDX-License-Identifier: MIT
// The step that computes a kind: a fast step of its own, a division by a
// literal, or the generic call.
#include "eval/arith.h"
#include "eval/compiler.h"

namespace zv::detail {
namespace {

// The divisor step for a / d or a % d, where d is a literal that the plain
// step would divide by with an instruction.
bool ByDivisor(int32_t kind, const Operand* args) {
    return kDivisors && (kind == '/' || kind == '%') && args[1].mode == kImm &&
           !DividesWithoutDivision(args[1].v);
}
Divisor DivisorOf(int32_t d) {
    return {Reciprocal(d < 0 ? 0u - uint32_t(d) : uint32_t(d), 64), d};
}

}  // namespace

void ProgramCompiler::Emit(int32_t dst, int32_t kind, const ValueId* args, int32_t arity) {
    Operand operands[10];
    for (int32_t i = 0; i < arity; ++i) operands[i] = Of(args[i]);
    EmitOperands(dst, kind, operands, arity);
}

void ProgramCompiler::EmitOperands(int32_t dst, int32_t kind, const Operand* args, int32_t arity) {
    if (ByDivisor(kind, args)) {
        const int32_t base = kind == '/' ? kDivideBase : kRemainderBase;
        const auto at = static_cast<int32_t>(program_->divisors.size());
        program_->divisors.push_back(DivisorOf(args[1].v));
        Push({base + args[0].mode, dst, args[0].v, at});
    } else if (int32_t i = IndexIn(kFastBinary, kind); i >= 0) {
        Push({(i * kModes + args[0].mode) * kModes + args[1].mode, dst, args[0].v, args[1].v});
    } else if (int32_t j = IndexIn(kFastUnary, kind); j >= 0) {
        Push({kUnaryBase + j * kModes + args[0].mode, dst, args[0].v, 0});
    } else {
        const auto at = static_cast<int32_t>(program_->pool.size());
        program_->pool.insert(program_->pool.end(), args, args + arity);
        Push({kCallBase + IndexIn(kCalled, kind), dst, at, 0});
    }
}

Operand ProgramCompiler::InRegister(Operand o) {
    if (o.mode == kReg) return o;
    const Operand r{kReg, NewRegister()};
    Move(r.v, o);
    return r;
}

}  // namespace zv::detail

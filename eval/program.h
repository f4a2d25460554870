/* SPDX-License-Identifier: MIT */
// A tree compiled for evaluation one pixel at a time: its nodes in the order
// the tree walk evaluates them, as steps on a small frame of registers.
// Leaves become operands of the steps that read them, so most nodes cost one
// step and most leaves none.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "api/zorvan.h"
#include "eval/rules.h"

namespace zv {

// Where an operand's value is: a register of the frame, the step itself, or
// a field of the context read in place (v is then its byte offset).
enum Mode : uint8_t { kReg, kImm, kWord, kByte };
inline constexpr int32_t kModes = 4;

struct Operand {
    Mode mode;
    int32_t v;
};

// The kinds with steps of their own, one per mode of each operand; every
// other kind goes through the generic call, which reads its operands from
// the program's pool.
inline constexpr std::array<int32_t, 19> kFastBinary = {
    '+',   '-',   '*',   '/',   '%',   ZV_BITAND, ZV_BITOR, ZV_BITXOR, ZV_SHL, ZV_SHR,
    ZV_EQ, ZV_NE, ZV_LT, ZV_GT, ZV_LE, ZV_GE,     ZV_MIN,   ZV_MAX,    ZV_DIF};
inline constexpr std::array<int32_t, 8> kFastUnary = {ZV_UMINUS, ZV_NOT, ZV_COMPL, ZV_ABS,
                                                      ZV_SQR,    ZV_SIN, ZV_COS,   ZV_TAN};

template <size_t N>
constexpr int32_t IndexIn(const std::array<int32_t, N>& kinds, int32_t kind) {
    for (size_t i = 0; i < N; ++i)
        if (kinds[i] == kind) return static_cast<int32_t>(i);
    return -1;
}

// Every other kind that a step computes: the leaves that are not fields of
// the context, and the built-ins.
constexpr bool IsCalled(const KindInfo& k) {
    return !k.lazy && k.code != ZV_NUMBER && k.field.offset < 0 &&
           IndexIn(kFastBinary, k.code) < 0 && IndexIn(kFastUnary, k.code) < 0;
}
inline constexpr auto kCalled = [] {
    std::array<int32_t, std::count_if(std::begin(kKinds), std::end(kKinds), IsCalled)> t{};
    size_t n = 0;
    for (const KindInfo& k : kKinds)
        if (IsCalled(k)) t[n++] = k.code;
    return t;
}();

// A division or remainder by a literal other than 0, -1 and powers of two:
// |a| * ceil(2^64 / |d|), high half, is |a| / |d| for every 32-bit |a|.
struct Divisor {
    uint64_t magic;
    int32_t d;
};
#if defined(__SIZEOF_INT128__)
inline constexpr bool kDivisors = true;
#else
inline constexpr bool kDivisors = false;  // no 128-bit product: the generic step
#endif

// Step codes, in this order: fast binary kinds (a mode pair each), fast
// unary kinds (a mode each), moves, divisions and remainders by a divisor,
// selects (a mode each), the jumps, one call per called kind, returns (a
// mode each).
inline constexpr int32_t kUnaryBase = int32_t(kFastBinary.size()) * kModes * kModes;
inline constexpr int32_t kMoveBase = kUnaryBase + int32_t(kFastUnary.size()) * kModes;
inline constexpr int32_t kDivideBase = kMoveBase + kModes;
inline constexpr int32_t kRemainderBase = kDivideBase + kModes;
inline constexpr int32_t kSelectBase = kRemainderBase + kModes;
inline constexpr int32_t kJumpIfZero = kSelectBase + kModes;
inline constexpr int32_t kJumpIfNotZero = kJumpIfZero + 1;
inline constexpr int32_t kJump = kJumpIfNotZero + 1;
inline constexpr int32_t kCallBase = kJump + 1;
inline constexpr int32_t kReturnBase = kCallBase + int32_t(kCalled.size());
inline constexpr int32_t kCodes = kReturnBase + kModes;

// Steps that call no function: a program of these alone runs in a frame
// that needs no saved registers.
constexpr bool IsLean(int32_t code) {
    const int32_t sqr = kUnaryBase + IndexIn(kFastUnary, ZV_SQR) * kModes;
    return code < kCallBase ? code < sqr || code >= sqr + kModes : code >= kReturnBase;
}

// dst is the register written; a and b are operands whose modes the code
// holds. A division's b indexes the divisors; a select writes b to dst if
// register a is not 0; the jumps read a register a and go b steps on; a
// call takes its operands from pool[a] on.
struct Op {
    int32_t code;
    int32_t dst;
    int32_t a;
    int32_t b;
};

// Evaluation needs a frame of at most this many registers; a tree that
// needs more keeps the tree walk. A lean program's frame is smaller.
inline constexpr int32_t kMaxRegisters = 256;
inline constexpr int32_t kLeanRegisters = 16;

struct Program {
    std::vector<Op> ops;
    std::vector<Operand> pool;
    std::vector<Divisor> divisors;
    int32_t registers = 0;
    bool lean = false;  // lean steps only, in at most kLeanRegisters
};

// The program of a tree from the parser (every node holding the children
// its kind reads), or null where it needs too many registers or memory runs
// out; the tree walk serves then.
std::unique_ptr<Program> CompileProgram(const ExprNode& root);

// The same value, and the same writes to the context, as the tree walk;
// the lean frame for lean programs.
template <bool kLean>
int32_t Interpret(const Program& program, PixelContext& context);
inline int32_t RunProgram(const Program& program, PixelContext& context) {
    return program.lean ? Interpret<true>(program, context) : Interpret<false>(program, context);
}

}  // namespace zv

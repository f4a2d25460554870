// SPDX-License-Identifier: MIT
// Running a program: one switch over the step codes, each case a step whose
// kind and operand modes are constants, so that it compiles to the kind's
// arithmetic and nothing else.
#include <cstring>

#include "eval/apply.h"
#include "eval/program.h"

namespace zv {
namespace {

const unsigned char* Bytes(const PixelContext& c) {
    return reinterpret_cast<const unsigned char*>(&c);
}

template <Mode M>
[[gnu::always_inline]] inline int32_t Read(int32_t v, const int32_t* regs, const PixelContext& c) {
    if constexpr (M == kReg) return regs[v];
    if constexpr (M == kImm) return v;
    if constexpr (M == kByte) return Bytes(c)[v];
    int32_t w;
    std::memcpy(&w, Bytes(c) + v, sizeof w);
    return w;
}

int32_t ReadAny(Operand o, const int32_t* regs, const PixelContext& c) {
    switch (o.mode) {
        case kReg: return Read<kReg>(o.v, regs, c);
        case kImm: return Read<kImm>(o.v, regs, c);
        case kWord: return Read<kWord>(o.v, regs, c);
        default: return Read<kByte>(o.v, regs, c);
    }
}

// Apply's arguments, already read; the node only tells the kind, since
// literals are operands and every kind of a parsed tree has a rule.
struct Values {
    const int32_t* v;
    int32_t operator()(int32_t i) const { return v[i]; }
};
// Kind K on values already read: Apply folded to K's case, made once per
// kind rather than once per step, then inlined into its steps. GCC must be
// told to; clang inlines the folded case unasked, while forcing it would
// inline Apply's every case into every step before folding (minutes with
// the sanitizers).
#if defined(__clang__)
#define ZV_FOLDED inline
#else
#define ZV_FOLDED [[gnu::always_inline]] inline
#endif
template <int32_t K>
ZV_FOLDED int32_t Compute(const int32_t* v, PixelContext& c) {
    const ExprNode node{K, 0, 0, nullptr};
    Values arg{v};
    return Apply(K, node, arg, c);
}

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Wide;
#endif

// a / d by the divisor's multiplier, truncating toward zero.
[[gnu::always_inline]] inline int32_t Quotient(int32_t a, const Divisor& d) {
#if defined(__SIZEOF_INT128__)
    const uint32_t n = a < 0 ? 0u - uint32_t(a) : uint32_t(a);
    const auto q = static_cast<uint32_t>((Wide{d.magic} * n) >> 64);
    return (a < 0) != (d.d < 0) ? Neg(static_cast<int32_t>(q)) : static_cast<int32_t>(q);
#else
    return Div(a, d.d);
#endif
}

struct Frame {
    int32_t* regs;
    const Operand* pool;
    const Divisor* divisors;
};

// Step N, the code's form, kind and modes all decoded at compile time;
// yields the next step.
template <int32_t N>
[[gnu::always_inline]] inline const Op* Step(const Op* op, const Frame& f, PixelContext& c) {
    int32_t* regs = f.regs;
    if constexpr (N < kUnaryBase) {
        constexpr Mode ma = Mode(N / kModes % kModes), mb = Mode(N % kModes);
        const int32_t v[2] = {Read<ma>(op->a, regs, c), Read<mb>(op->b, regs, c)};
        regs[op->dst] = Compute<kFastBinary[N / (kModes * kModes)]>(v, c);
    } else if constexpr (N < kMoveBase) {
        constexpr int32_t i = N - kUnaryBase;
        const int32_t v[1] = {Read<Mode(i % kModes)>(op->a, regs, c)};
        regs[op->dst] = Compute<kFastUnary[i / kModes]>(v, c);
    } else if constexpr (N < kDivideBase) {
        regs[op->dst] = Read<Mode(N - kMoveBase)>(op->a, regs, c);
    } else if constexpr (N < kSelectBase) {
        const int32_t a = Read<Mode((N - kDivideBase) % kModes)>(op->a, regs, c);
        const Divisor& d = f.divisors[op->b];
        const int32_t q = Quotient(a, d);
        regs[op->dst] = N < kRemainderBase ? q : Sub(a, Mul(q, d.d));
    } else if constexpr (N < kJumpIfZero) {
        const int32_t b = Read<Mode(N - kSelectBase)>(op->b, regs, c);
        regs[op->dst] = regs[op->a] ? b : regs[op->dst];
    } else if constexpr (N == kJumpIfZero || N == kJumpIfNotZero) {
        if ((regs[op->a] == 0) == (N == kJumpIfZero)) return op + op->b;
    } else if constexpr (N == kJump) {
        return op + op->b;
    } else if constexpr (N < kReturnBase) {
        constexpr int32_t kind = kCalled[N - kCallBase];
        int32_t v[RuleOf(kind).arity + 1];
        for (int32_t i = 0; i < RuleOf(kind).arity; ++i) v[i] = ReadAny(f.pool[op->a + i], regs, c);
        regs[op->dst] = Compute<kind>(v, c);
    }
    return op + 1;
}

// A label per step code, t * 10 + u, each ending in its own jump to the
// next step: a jump the processor predicts from the step it leaves.
// clang-format off
#define ZV_TENS(M, t) \
    M(t, 0) M(t, 1) M(t, 2) M(t, 3) M(t, 4) M(t, 5) M(t, 6) M(t, 7) M(t, 8) M(t, 9)
#define ZV_CODES(M) \
    ZV_TENS(M, 0) ZV_TENS(M, 1) ZV_TENS(M, 2) ZV_TENS(M, 3) ZV_TENS(M, 4) ZV_TENS(M, 5) \
    ZV_TENS(M, 6) ZV_TENS(M, 7) ZV_TENS(M, 8) ZV_TENS(M, 9) ZV_TENS(M, 10) ZV_TENS(M, 11) \
    ZV_TENS(M, 12) ZV_TENS(M, 13) ZV_TENS(M, 14) ZV_TENS(M, 15) ZV_TENS(M, 16) ZV_TENS(M, 17) \
    ZV_TENS(M, 18) ZV_TENS(M, 19) ZV_TENS(M, 20) ZV_TENS(M, 21) ZV_TENS(M, 22) ZV_TENS(M, 23) \
    ZV_TENS(M, 24) ZV_TENS(M, 25) ZV_TENS(M, 26) ZV_TENS(M, 27) ZV_TENS(M, 28) ZV_TENS(M, 29) \
    ZV_TENS(M, 30) ZV_TENS(M, 31) ZV_TENS(M, 32) ZV_TENS(M, 33) ZV_TENS(M, 34) ZV_TENS(M, 35) \
    ZV_TENS(M, 36) ZV_TENS(M, 37) ZV_TENS(M, 38) ZV_TENS(M, 39)
// clang-format on
constexpr int32_t kLabels = 400;
// (The label bodies are not templates: every branch of theirs compiles.)
constexpr Mode ReturnMode(int32_t n) {
    return Mode(n >= kReturnBase && n < kCodes ? n - kReturnBase : 0);
}
static_assert(kCodes <= kLabels, "a step code without a label");
// The codes an interpreter runs; the table sends the others to one label,
// so that no jump may reach theirs: compilers then drop them, and every
// label a jump may reach costs compile time with each jump.
constexpr bool Runs(bool lean, int32_t n) {
    return n < kCodes && (!lean || IsLean(n));
}

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"  // labels as values
template <bool kLean>
int32_t Interpret(const Program& program, PixelContext& c) {
#define ZV_ADDRESS(t, u) Runs(kLean, (t)*10 + (u)) ? &&step_##t##_##u : &&never,
    static const void* const kSteps[kLabels] = {ZV_CODES(ZV_ADDRESS)};
#undef ZV_ADDRESS
    int32_t regs[kLean ? kLeanRegisters : kMaxRegisters];
    const Frame frame{regs, kLean ? nullptr : program.pool.data(), program.divisors.data()};
    const Op* op = program.ops.data();
    goto* kSteps[op->code];
never:
    __builtin_unreachable();
#define ZV_LABEL(t, u)                                  \
    step_##t##_##u : {                                  \
        constexpr int32_t N = (t)*10 + (u);             \
        if constexpr (!Runs(kLean, N)) {                \
            __builtin_unreachable();                    \
        } else if constexpr (N >= kReturnBase) {        \
            return Read<ReturnMode(N)>(op->a, regs, c); \
        } else {                                        \
            op = Step<N>(op, frame, c);                 \
            goto* kSteps[op->code];                     \
        }                                               \
    }
    ZV_CODES(ZV_LABEL)
#undef ZV_LABEL
}
#pragma GCC diagnostic pop

template int32_t Interpret<true>(const Program&, PixelContext&);
template int32_t Interpret<false>(const Program&, PixelContext&);

}  // namespace zv

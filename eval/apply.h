/* SPDX-License-Identifier: MIT */
// The meaning of every kind, written once for both evaluators. Apply computes
// a node from its arguments, which it asks for through arg(i): the recursive
// evaluator evaluates child i on demand, the deep one hands back values it
// has already computed in the same order.
#pragma once

#include <array>
#include <cstdint>
#include <tuple>
#include <utility>

#include "api/zorvan.h"
#include "eval/arith.h"
#include "eval/builtins.h"
#include "eval/pixels.h"
#include "eval/rules.h"
#include "eval/tables.h"

namespace zv {

// The arguments of a strict kind K, last first: put, get and rnd make the
// order observable. Their count comes from kRules, so a case whose function
// takes another number of arguments does not compile.
template <class Arg, size_t... I>
[[gnu::always_inline]] inline auto Take(Arg& arg, std::index_sequence<I...>) {
    constexpr size_t n = sizeof...(I);
    std::array<int32_t, n> v;
    ((v[n - 1 - I] = arg(static_cast<int32_t>(n - 1 - I))), ...);  // a fold runs left to right
    return v;
}
template <int32_t K, class Arg>
[[gnu::always_inline]] inline auto Args(Arg& arg) {
    static_assert(RuleOf(K).arity > 0 && !RuleOf(K).lazy);
    return Take(arg, std::make_index_sequence<RuleOf(K).arity>{});
}

// Lazy kinds evaluate child 0 first; its value picks the one further child
// to evaluate, or settles the result without one.
struct Choice {
    int32_t child;  // 1 or 2; 0 when value is already the result
    int32_t value;
};
inline Choice Pick(int32_t kind, int32_t first) {
    switch (kind) {
        case ZV_AND: return first ? Choice{1, 0} : Choice{0, 0};
        case ZV_OR: return first ? Choice{0, 1} : Choice{1, 0};
        case '?': return {first ? 1 : 2, 0};
        default: return {1, 0};  // SEQ drops the left value
    }
}
inline int32_t Finish(int32_t kind, int32_t v) {
    return kind == ZV_AND || kind == ZV_OR ? v != 0 : v;
}
// The picked child is reached through a branch, never a computed index: a
// predicted branch lets the processor run ahead into that child before the
// condition is known.
template <class Arg>
[[gnu::always_inline]] inline int32_t Lazy(int32_t kind, Arg& arg) {
    Choice pick = Pick(kind, arg(0));
    if (pick.child == 1) return Finish(kind, arg(1));
    if (pick.child == 2) return Finish(kind, arg(2));
    return pick.value;
}

// F of the arguments of K; CallOn passes the context first. F is a template
// argument rather than a pointer so that it inlines.
template <int32_t K, auto F, class Arg>
[[gnu::always_inline]] inline int32_t Call(Arg& arg) {
    return std::apply([](auto... v) { return F(v...); }, Args<K>(arg));
}
template <int32_t K, auto F, class Arg>
[[gnu::always_inline]] inline int32_t CallOn(PixelContext& c, Arg& arg) {
    return std::apply([&c](auto... v) { return F(c, v...); }, Args<K>(arg));
}

// A leaf that reads the position or the image, at column x of the
// context's row: Apply's at the context's own column, the span loops' at
// each pixel of a run.
template <int32_t K>
[[gnu::always_inline]] inline int32_t LeafAt(const PixelContext& c, int32_t x) {
    const int32_t dx = Sub(x, c.centerX), dy = Sub(c.y, c.centerY);
    if constexpr (K == 'a') return ReadPixel(c, x, c.y, 3);
    if constexpr (K == 'i') return Luma(RgbAt(c, x, c.y));
    if constexpr (K == 'u') return ChromaU(RgbAt(c, x, c.y));
    if constexpr (K == 'v') return ChromaV(RgbAt(c, x, c.y));
    if constexpr (K == 'd') return Direction(dx, dy);
    if constexpr (K == 'm') return Magnitude(dx, dy);
    return x;
}

// The value of node n of the given kind. Called with a constant kind, the
// switch folds away to that kind's case.
template <class Arg>
[[gnu::always_inline]] inline int32_t Apply(int32_t kind, const ExprNode& n, Arg& arg,
                                            PixelContext& c) {
    if (Field f = kFields[SlotOf(kind)]; f.offset >= 0) return ReadField(f, c);
    switch (kind) {
        case ZV_NUMBER: return n.value;
        case 'a': return LeafAt<'a'>(c, c.x);
        case 'i': return LeafAt<'i'>(c, c.x);
        case 'u': return LeafAt<'u'>(c, c.x);
        case 'v': return LeafAt<'v'>(c, c.x);
        case 'd': return LeafAt<'d'>(c, c.x);
        case 'm': return LeafAt<'m'>(c, c.x);

        case ZV_AND: return Lazy(ZV_AND, arg);
        case ZV_OR: return Lazy(ZV_OR, arg);
        case '?': return Lazy('?', arg);
        case ZV_SEQ: return Lazy(ZV_SEQ, arg);

        case ZV_UMINUS: return Call<ZV_UMINUS, Neg>(arg);
        case ZV_UPLUS: return Call<ZV_UPLUS, Plus>(arg);
        case ZV_NOT: return Call<ZV_NOT, Not>(arg);
        case ZV_COMPL: return Call<ZV_COMPL, Compl>(arg);
        case '+': return Call<'+', Add>(arg);
        case '-': return Call<'-', Sub>(arg);
        case '*': return Call<'*', Mul>(arg);
        case '/': return Call<'/', Div>(arg);
        case '%': return Call<'%', Rem>(arg);
        case ZV_BITAND: return Call<ZV_BITAND, BitAnd>(arg);
        case ZV_BITOR: return Call<ZV_BITOR, BitOr>(arg);
        case ZV_BITXOR: return Call<ZV_BITXOR, BitXor>(arg);
        case ZV_SHL: return Call<ZV_SHL, Shl>(arg);
        case ZV_SHR: return Call<ZV_SHR, Shr>(arg);
        case ZV_EQ: return Call<ZV_EQ, Eq>(arg);
        case ZV_NE: return Call<ZV_NE, Ne>(arg);
        case ZV_LT: return Call<ZV_LT, Lt>(arg);
        case ZV_GT: return Call<ZV_GT, Gt>(arg);
        case ZV_LE: return Call<ZV_LE, Le>(arg);
        case ZV_GE: return Call<ZV_GE, Ge>(arg);

        case ZV_ABS: return Call<ZV_ABS, Abs>(arg);
        case ZV_SQR: return Call<ZV_SQR, Isqrt>(arg);
        case ZV_SIN: return Call<ZV_SIN, Sine>(arg);
        case ZV_COS: return Call<ZV_COS, Cosine>(arg);
        case ZV_TAN: return Call<ZV_TAN, Tangent>(arg);
        case ZV_RST: return Call<ZV_RST, Reset>(arg);
        case ZV_MIN: return Call<ZV_MIN, Min>(arg);
        case ZV_MAX: return Call<ZV_MAX, Max>(arg);
        case ZV_DIF: return Call<ZV_DIF, Dif>(arg);
        case ZV_RND: return Call<ZV_RND, Random>(arg);
        case ZV_C2D: return Call<ZV_C2D, Direction>(arg);
        case ZV_C2M: return Call<ZV_C2M, Magnitude>(arg);
        case ZV_R2X: return Call<ZV_R2X, PolarX>(arg);
        case ZV_R2Y: return Call<ZV_R2Y, PolarY>(arg);
        case ZV_ADD: return Call<ZV_ADD, AddAtMost>(arg);
        case ZV_SUB: return Call<ZV_SUB, DifAtLeast>(arg);
        case ZV_MIX: return Call<ZV_MIX, Mix>(arg);
        case ZV_SCL: return Call<ZV_SCL, Scale>(arg);
        case ZV_CTL: return CallOn<ZV_CTL, Control>(c, arg);
        case ZV_GET: return CallOn<ZV_GET, GetCell>(c, arg);
        case ZV_PUT: return CallOn<ZV_PUT, PutCell>(c, arg);
        case ZV_MAP: return CallOn<ZV_MAP, MapControl>(c, arg);
        case ZV_VAL: return CallOn<ZV_VAL, ControlValue>(c, arg);
        case ZV_SRC: return CallOn<ZV_SRC, ReadPixel>(c, arg);
        case ZV_RAD: return CallOn<ZV_RAD, PolarPixel>(c, arg);
        case ZV_CNV: return Convolve(c, c.x, c.y, Args<ZV_CNV>(arg));

        default:  // no rule: report the kind, evaluate none of the children
            c.unhandledKind = n.kind;
            return 0;
    }
}

}  // namespace zv

/* SPDX-License-Identifier: MIT */
// Every kind of node, one row each: how it is written, the arguments it
// takes, how it is evaluated, what its value depends on and what the
// compilers may do with it. The scanner's words, the grammar's arities, the
// evaluators' tables, the lowering's folding, sharing, truth values and
// chains (eval/lower.cpp, through eval/depends.h), the tools' questions
// about a formula, the messages about a formula that does not parse, and
// the word lists of the studio's page and of the fuzzer
// (render/word_lists.cpp) all read this table.
//
// Adding a built-in touches:
//   api/zorvan.h                 its code, the first kept one after ZV_NUMBER
//   front/kinds.h                its row
//   eval/builtins.h              its function
//   eval/apply.h                 its case, which calls the function
//   docs/language.md             what it does, for users
//   tests/eval/builtins_test.cpp its cases
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "api/zorvan.h"

namespace zv {

// How a kind is written.
enum class Form : uint8_t {
    kLeaf,         // a literal, a variable or a named value
    kPrefix,       // an operator before its operand
    kInfix,        // an operator between its operands
    kConditional,  // a ? b : c
    kCall,         // a name and its arguments in parentheses
};

// What a kind's value depends on besides its arguments: what lets the span
// evaluator fold it, compute it once per run of pixels, or once for all the
// channels that share a formula.
struct Depends {
    bool position;  // the pixel's column or its bytes: differs along a row
    bool channel;   // the channel being computed
    bool context;   // anything else of the context or the image
    bool effect;    // put, rnd and kinds without a row: order matters
};
inline constexpr Depends kPure{}, kAlongRow{true, false, true, false},
    kAlongRowPerChannel{true, true, true, false}, kPerChannel{false, true, true, false},
    kPerRender{false, false, true, false}, kEffect{false, false, false, true};

// A leaf that is a field of the context reads the 4 bytes at offset; r, g,
// b and c keep the lowest, their own byte, of the little-endian word.
struct Field {
    int32_t offset;  // -1: not such a leaf
    uint32_t mask;
};
inline constexpr Field kNoField{-1, 0};
constexpr Field Word(size_t offset) {
    return {static_cast<int32_t>(offset), ~0u};
}
constexpr Field Byte(size_t offset) {
    return {static_cast<int32_t>(offset), 0xFFu};
}

// What the lowering may do with a kind's nodes besides what its Depends
// allows (see Folds and Shares).
enum Trait : uint8_t {
    kTruth = 1,        // its value is 0 or 1
    kAssociative = 2,  // (a k b) k c is a k (b k c), a k b is b k a: a chain may be regrouped
    kUnshared = 4,     // two nodes with equal arguments may differ: it reads what put writes
};

struct KindInfo {
    int32_t code;  // the node's kind: a character or a NodeKind
    Form form;
    std::string_view spellings;  // written forms, space-separated; the first is its name
    std::string_view params;     // its arguments' names, comma-separated
    bool lazy;                   // evaluates child 0, then at most one other child
    Field field;
    Depends depends;
    bool readsAlpha;  // may read channel 3 of some pixel
    uint8_t traits;   // Trait flags
};

// Computed while compiling when every argument is known.
constexpr bool Folds(const KindInfo& k) {
    const Depends d = k.depends;
    return !d.position && !d.channel && !d.context && !d.effect;
}
// Two nodes of the kind with equal arguments have one value within an
// evaluation, so one may stand for both.
constexpr bool Shares(const KindInfo& k) {
    return !k.depends.effect && !(k.traits & kUnshared);
}

namespace kinds {
inline constexpr bool kLazy = true;
constexpr KindInfo Leaf(int32_t code, std::string_view spellings, Depends d, Field f = kNoField,
                        bool readsAlpha = false) {
    return {code, Form::kLeaf, spellings, {}, false, f, d, readsAlpha, 0};
}
constexpr KindInfo Infix(int32_t code, std::string_view spelling, uint8_t traits = 0,
                         bool lazy = false) {
    return {code, Form::kInfix, spelling, "a, b", lazy, kNoField, kPure, false, traits};
}
constexpr KindInfo Prefix(int32_t code, std::string_view spelling, uint8_t traits = 0) {
    return {code, Form::kPrefix, spelling, "a", false, kNoField, kPure, false, traits};
}
constexpr KindInfo Call(int32_t code, std::string_view spellings, std::string_view params,
                        Depends d = kPure, bool readsAlpha = false, uint8_t traits = 0) {
    return {code, Form::kCall, spellings, params, false, kNoField, d, readsAlpha, traits};
}
}  // namespace kinds

// clang-format off
inline constexpr KindInfo kKinds[] = {
    kinds::Leaf(ZV_NUMBER, "", kPure),
    kinds::Leaf('r', "r r0 r1", kAlongRow, Byte(offsetof(PixelContext, red))),
    kinds::Leaf('g', "g g0 g1", kAlongRow, Byte(offsetof(PixelContext, green))),
    kinds::Leaf('b', "b b0 b1", kAlongRow, Byte(offsetof(PixelContext, blue))),
    kinds::Leaf('a', "a a0 a1", kAlongRow, kNoField, true),
    kinds::Leaf('c', "c c0 c1", kAlongRowPerChannel, Byte(offsetof(PixelContext, current))),
    kinds::Leaf('i', "i i0 i1", kAlongRow),
    kinds::Leaf('u', "u u0 u1", kAlongRow),
    kinds::Leaf('v', "v v0 v1", kAlongRow),
    kinds::Leaf('d', "d d0 d1", kAlongRow),
    kinds::Leaf('m', "m m0 m1", kAlongRow),
    kinds::Leaf('x', "x", kAlongRow, Word(offsetof(PixelContext, x))),
    kinds::Leaf('y', "y", kPerRender, Word(offsetof(PixelContext, y))),
    kinds::Leaf('z', "z p", kPerChannel, Word(offsetof(PixelContext, channel))),
    kinds::Leaf('t', "t", kPerRender, Word(offsetof(PixelContext, t))),
    kinds::Leaf('X', "X xmax", kPerRender, Word(offsetof(PixelContext, width))),
    kinds::Leaf('Y', "Y ymax", kPerRender, Word(offsetof(PixelContext, height))),
    kinds::Leaf('Z', "Z zmax pmax", kPerRender, Word(offsetof(PixelContext, channelCount))),
    kinds::Leaf('D', "D dmax", kPerRender, Word(offsetof(PixelContext, dMax))),
    kinds::Leaf('M', "M mmax", kPerRender, Word(offsetof(PixelContext, mMax))),
    kinds::Leaf(ZV_TOTAL, "total tmax", kPerRender, Word(offsetof(PixelContext, total))),

    kinds::Infix(ZV_SEQ, ",", 0, kinds::kLazy),
    {'?', Form::kConditional, "?", "c, a, b", true, kNoField, kPure, false, 0},
    kinds::Infix(ZV_BITXOR, "^", kAssociative),
    kinds::Infix(ZV_BITOR, "|", kAssociative),
    kinds::Infix(ZV_BITAND, "&", kAssociative),
    kinds::Infix(ZV_OR, "||", kTruth, kinds::kLazy),
    kinds::Infix(ZV_AND, "&&", kTruth, kinds::kLazy),
    kinds::Infix(ZV_EQ, "==", kTruth),
    kinds::Infix(ZV_NE, "!=", kTruth),
    kinds::Infix(ZV_LE, "<=", kTruth),
    kinds::Infix(ZV_GE, ">=", kTruth),
    kinds::Infix(ZV_LT, "<", kTruth),
    kinds::Infix(ZV_GT, ">", kTruth),
    kinds::Infix('+', "+", kAssociative),
    kinds::Infix('-', "-"),
    kinds::Infix('*', "*", kAssociative),
    kinds::Infix('/', "/"),
    kinds::Infix('%', "%"),
    kinds::Infix(ZV_SHL, "<<"),
    kinds::Infix(ZV_SHR, ">>"),
    // The prefix '-' and '+' are written as the infix ones, which come
    // first: the scanner returns the character, the grammar tells them apart.
    kinds::Prefix(ZV_UMINUS, "-"),
    kinds::Prefix(ZV_UPLUS, "+"),
    kinds::Prefix(ZV_NOT, "!", kTruth),
    kinds::Prefix(ZV_COMPL, "~"),

    kinds::Call(ZV_ABS, "abs", "a"),
    kinds::Call(ZV_ADD, "add", "a, b, c"),
    kinds::Call(ZV_CNV, "cnv cnv0 cnv1", "k0, k1, k2, k3, k4, k5, k6, k7, k8, d",
                kAlongRowPerChannel),
    kinds::Call(ZV_CTL, "ctl", "i", kPerRender),
    kinds::Call(ZV_DIF, "dif", "a, b"),
    kinds::Call(ZV_GET, "get", "i", kPerRender, false, kUnshared),
    kinds::Call(ZV_PUT, "put", "v, i", kEffect),
    kinds::Call(ZV_MIN, "min", "a, b", kPure, false, kAssociative),
    kinds::Call(ZV_MAX, "max", "a, b", kPure, false, kAssociative),
    kinds::Call(ZV_MIX, "mix", "a, b, n, d"),
    kinds::Call(ZV_RND, "rnd", "a, b", kEffect),
    kinds::Call(ZV_SCL, "scl", "a, il, ih, ol, oh"),
    kinds::Call(ZV_SQR, "sqr", "x"),
    kinds::Call(ZV_SRC, "src src0 src1", "x, y, z", kPerRender, true),
    kinds::Call(ZV_SUB, "sub", "a, b, c"),
    kinds::Call(ZV_VAL, "val", "i, a, b", kPerRender),
    kinds::Call(ZV_C2D, "c2d", "x, y"),
    kinds::Call(ZV_C2M, "c2m", "x, y"),
    kinds::Call(ZV_RAD, "rad rad0 rad1", "d, m, z", kPerRender, true),
    kinds::Call(ZV_R2X, "r2x", "d, m"),
    kinds::Call(ZV_R2Y, "r2y", "d, m"),
    kinds::Call(ZV_SIN, "sin", "d"),
    kinds::Call(ZV_COS, "cos", "d"),
    kinds::Call(ZV_TAN, "tan", "d"),
    kinds::Call(ZV_MAP, "map", "i, n", kPerRender),
    kinds::Call(ZV_RST, "rst", "e"),
};

// Names that read as numbers.
struct NamedNumber {
    std::string_view spellings;
    int32_t value;
};
inline constexpr NamedNumber kNamedNumbers[] = {
    {"rmin gmin bmin amin imin umin vmin dmin mmin pmin tmin", 0},
    {"rmax gmax bmax amax imax umax vmax A B G R C I U V", 255},
};
// clang-format on

// The number of arguments a kind takes: one per name in its params.
constexpr int32_t ArityOf(const KindInfo& k) {
    return k.params.empty()
               ? 0
               : 1 + static_cast<int32_t>(std::count(k.params.begin(), k.params.end(), ','));
}

// Every kind lies in this dense range; per-kind tables have one slot per
// kind of it and slot 0 for every code outside it. The codes after
// ZV_NUMBER up to kLastKind are kept for new built-ins; the grammar's own
// tokens start above them.
inline constexpr int32_t kFirstKind = 37, kLastKind = ZV_NUMBER + 16;
inline constexpr size_t kKindSlots = kLastKind - kFirstKind + 2;

constexpr size_t SlotOf(int32_t kind) {
    uint32_t i = uint32_t(kind) - uint32_t(kFirstKind - 1);
    return i < kKindSlots ? i : 0;
}

// The row of each slot, or null.
inline constexpr std::array<const KindInfo*, kKindSlots> kKindBySlot = [] {
    std::array<const KindInfo*, kKindSlots> t{};
    for (const KindInfo& k : kKinds) t[SlotOf(k.code)] = &k;
    return t;
}();

constexpr const KindInfo* FindKind(int32_t code) {
    const KindInfo* k = kKindBySlot[SlotOf(code)];
    return k && k->code == code ? k : nullptr;
}

// A kind's name: its first spelling.
constexpr std::string_view NameOf(const KindInfo& k) {
    return k.spellings.substr(0, k.spellings.find(' '));
}

}  // namespace zv

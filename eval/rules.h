// What the evaluators know of a kind before computing it: how many children
// it takes, whether it picks which of them to evaluate, and whether it is a
// plain field of the context. Per-kind tables have one slot per kind of the
// dense range and slot 0 for every kind outside it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "api/zorvan.h"

namespace zv {

// Every kind the evaluator knows lies in this dense range.
inline constexpr int32_t kFirstKind = 37, kLastKind = ZV_NUMBER;
inline constexpr size_t kKindSlots = kLastKind - kFirstKind + 2;

constexpr size_t SlotOf(int32_t kind) {
    uint32_t i = uint32_t(kind) - uint32_t(kFirstKind - 1);
    return i < kKindSlots ? i : 0;
}

struct Rule {
    uint8_t arity;  // children read; leaves and unknown kinds read none
    bool lazy;      // evaluates child 0, then at most one other child
};

inline constexpr std::array<Rule, kKindSlots> kRules = [] {
    std::array<Rule, kKindSlots> t{};
    auto set = [&t](std::initializer_list<int32_t> kinds, uint8_t arity, bool lazy) {
        for (int32_t k : kinds) t[SlotOf(k)] = Rule{arity, lazy};
    };
    set({ZV_AND, ZV_OR, ZV_SEQ}, 2, true);
    set({'?'}, 3, true);
    set({ZV_UMINUS, ZV_UPLUS, ZV_NOT, ZV_COMPL, ZV_ABS, ZV_CTL, ZV_GET, ZV_SQR, ZV_SIN, ZV_COS,
         ZV_TAN, ZV_RST},
        1, false);
    set({'+',    '-',    '*',    '/',    '%',    ZV_BITAND, ZV_BITOR, ZV_BITXOR, ZV_EQ,
         ZV_NE,  ZV_LE,  ZV_GE,  ZV_LT,  ZV_GT,  ZV_SHL,    ZV_SHR,   ZV_DIF,    ZV_PUT,
         ZV_MIN, ZV_MAX, ZV_RND, ZV_C2D, ZV_C2M, ZV_R2X,    ZV_R2Y,   ZV_MAP},
        2, false);
    set({ZV_ADD, ZV_SUB, ZV_VAL, ZV_SRC, ZV_RAD}, 3, false);
    set({ZV_MIX}, 4, false);
    set({ZV_SCL}, 5, false);
    set({ZV_CNV}, 10, false);
    return t;
}();

constexpr Rule RuleOf(int32_t kind) {
    return kRules[SlotOf(kind)];
}

// Leaves whose value is a field of the context. Each reads the 4 bytes at its
// offset; r, g, b and c keep the lowest, their own byte, of the
// little-endian word.
struct Field {
    int32_t offset;  // -1: not such a leaf
    uint32_t mask;
};

inline constexpr std::array<Field, kKindSlots> kFields = [] {
    // Filled in here, not by member defaults, which GCC 12 emits as zeros in
    // a constant array.
    std::array<Field, kKindSlots> t{};
    for (Field& f : t) f = {-1, 0};
    auto set = [&t](int32_t kind, size_t offset, uint32_t mask) {
        t[SlotOf(kind)] = {static_cast<int32_t>(offset), mask};
    };
    set('x', offsetof(PixelContext, x), ~0u);
    set('y', offsetof(PixelContext, y), ~0u);
    set('z', offsetof(PixelContext, channel), ~0u);
    set('t', offsetof(PixelContext, t), ~0u);
    set('X', offsetof(PixelContext, width), ~0u);
    set('Y', offsetof(PixelContext, height), ~0u);
    set('Z', offsetof(PixelContext, channelCount), ~0u);
    set('D', offsetof(PixelContext, dMax), ~0u);
    set('M', offsetof(PixelContext, mMax), ~0u);
    set(ZV_TOTAL, offsetof(PixelContext, total), ~0u);
    set('r', offsetof(PixelContext, red), 0xFF);
    set('g', offsetof(PixelContext, green), 0xFF);
    set('b', offsetof(PixelContext, blue), 0xFF);
    set('c', offsetof(PixelContext, current), 0xFF);
    return t;
}();

inline int32_t ReadField(Field f, const PixelContext& c) {
    uint32_t v;
    std::memcpy(&v, reinterpret_cast<const unsigned char*>(&c) + f.offset, sizeof v);
    return static_cast<int32_t>(v & f.mask);
}

// Child i, or null where a hand-built node has fewer children than its kind
// reads: a missing child counts as a null node.
inline const ExprNode* Child(const ExprNode& n, int32_t i) {
    return i < n.childCount && n.children ? n.children[i] : nullptr;
}

}  // namespace zv

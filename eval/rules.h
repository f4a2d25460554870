/* SPDX-License-Identifier: MIT */
// What the evaluators know of a kind before computing it, from the table of
// kinds: how many children it takes, whether it picks which of them to
// evaluate, and whether it is a plain field of the context. Per-kind tables
// have one slot per kind of the dense range and slot 0 for every kind
// outside it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "api/zorvan.h"
#include "front/kinds.h"

namespace zv {

struct Rule {
    uint8_t arity;  // children read; leaves and unknown kinds read none
    bool lazy;      // evaluates child 0, then at most one other child
};

inline constexpr std::array<Rule, kKindSlots> kRules = [] {
    std::array<Rule, kKindSlots> t{};
    for (const KindInfo& k : kKinds) t[SlotOf(k.code)] = {static_cast<uint8_t>(ArityOf(k)), k.lazy};
    return t;
}();

constexpr Rule RuleOf(int32_t kind) {
    return kRules[SlotOf(kind)];
}

inline constexpr std::array<Field, kKindSlots> kFields = [] {
    // Filled in here, not by member defaults, which GCC 12 emits as zeros in
    // a constant array.
    std::array<Field, kKindSlots> t{};
    for (Field& f : t) f = kNoField;
    for (const KindInfo& k : kKinds) t[SlotOf(k.code)] = k.field;
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

/* SPDX-License-Identifier: MIT */
// What a kind's value depends on besides its arguments, and what the
// lowering (eval/lower.h) may do with its nodes, by slot, from the table of
// kinds; a code without a row has an effect (the evaluators report it), so
// nothing may fold, share or reorder it.
#pragma once

#include <array>
#include <cstdint>

#include "front/kinds.h"

namespace zv {

inline constexpr std::array<Depends, kKindSlots> kDepends = [] {
    std::array<Depends, kKindSlots> t{};
    for (Depends& d : t) d = kEffect;
    for (const KindInfo& k : kKinds) t[SlotOf(k.code)] = k.depends;
    return t;
}();

constexpr Depends DependsOf(int32_t kind) {
    return kDepends[SlotOf(kind)];
}

struct Algebra {
    bool folds;        // Folds
    bool shares;       // Shares
    bool truth;        // kTruth
    bool associative;  // kAssociative
};
inline constexpr std::array<Algebra, kKindSlots> kAlgebra = [] {
    std::array<Algebra, kKindSlots> t{};
    for (const KindInfo& k : kKinds)
        t[SlotOf(k.code)] = {Folds(k), Shares(k), (k.traits & kTruth) != 0,
                             (k.traits & kAssociative) != 0};
    return t;
}();

constexpr Algebra AlgebraOf(int32_t kind) {
    return kAlgebra[SlotOf(kind)];
}

}  // namespace zv

/* SPDX-License-Identifier: MIT */
// What a kind's value depends on besides its arguments, by slot, from the
// table of kinds; a code without a row has an effect (the evaluators report
// it), so nothing may fold or reorder it.
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

}  // namespace zv

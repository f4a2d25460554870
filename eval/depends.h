// What a kind's value depends on besides its arguments: what lets the span
// evaluator fold it, compute it once per run of pixels, or once for all the
// channels that share a formula.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "api/zorvan.h"
#include "eval/rules.h"

namespace zv {

struct Depends {
    bool position;  // the pixel's column or its bytes: differs along a row
    bool channel;   // the channel being computed
    bool context;   // anything else of the context or the image
    bool effect;    // put, rnd and kinds without a rule: order matters
};

inline constexpr std::array<Depends, kKindSlots> kDepends = [] {
    std::array<Depends, kKindSlots> t{};
    for (Depends& d : t) d = {false, false, false, true};  // without a rule
    auto set = [&t](std::initializer_list<int32_t> kinds, Depends d) {
        for (int32_t k : kinds) t[SlotOf(k)] = d;
    };
    for (int32_t k = kFirstKind; k <= kLastKind; ++k) {
        if (RuleOf(k).arity > 0) t[SlotOf(k)] = {};  // operators: their arguments alone
    }
    set({ZV_NUMBER}, {});
    set({'x', 'r', 'g', 'b', 'a', 'i', 'u', 'v', 'd', 'm'}, {true, false, true, false});
    set({'c', ZV_CNV}, {true, true, true, false});
    set({'z'}, {false, true, true, false});
    set({'y', 'X', 'Y', 'Z', 't', 'D', 'M', ZV_TOTAL, ZV_CTL, ZV_GET, ZV_MAP, ZV_VAL, ZV_SRC,
         ZV_RAD},
        {false, false, true, false});
    set({ZV_PUT, ZV_RND}, {false, false, false, true});
    return t;
}();

constexpr Depends DependsOf(int32_t kind) {
    return kDepends[SlotOf(kind)];
}

}  // namespace zv

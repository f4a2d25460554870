// What the evaluators need to know of a kind before computing it: how many
// children it takes, and whether it picks which of them to evaluate.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "api/zorvan.h"

namespace zv {

// Every kind the evaluator knows lies in this dense range.
inline constexpr int32_t kFirstKind = 37, kLastKind = ZV_NUMBER;

struct Rule {
    uint8_t arity;  // children read; leaves and unknown kinds read none
    bool lazy;      // evaluates child 0, then at most one other child
};

inline constexpr std::array<Rule, kLastKind - kFirstKind + 1> kRules = [] {
    std::array<Rule, kLastKind - kFirstKind + 1> t{};
    auto set = [&t](std::initializer_list<int32_t> kinds, uint8_t arity, bool lazy) {
        for (int32_t k : kinds) t[k - kFirstKind] = Rule{arity, lazy};
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
    uint32_t i = uint32_t(kind) - uint32_t(kFirstKind);
    return i < kRules.size() ? kRules[i] : Rule{};
}

// Child i, or null where a hand-built node has fewer children than its kind
// reads: a missing child counts as a null node.
inline const ExprNode* Child(const ExprNode& n, int32_t i) {
    return i < n.childCount && n.children ? n.children[i] : nullptr;
}

}  // namespace zv

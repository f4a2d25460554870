/* SPDX-License-Identifier: MIT */
// Trees as text for assertions: name(children...) with each kind's name
// from the kinds table, a NUMBER by its value.
#pragma once

#include <string>

#include "front/kinds.h"

namespace zvtest {

inline std::string KindName(int32_t kind) {
    const zv::KindInfo* k = zv::FindKind(kind);
    return k ? std::string(zv::NameOf(*k)) : "kind " + std::to_string(kind);
}

inline std::string TreeText(const ExprNode* node) {
    if (!node) return "null";
    if (node->kind == ZV_NUMBER) return std::to_string(node->value);
    std::string out = KindName(node->kind);
    if (node->childCount == 0) return out;
    out += '(';
    for (int32_t i = 0; i < node->childCount; ++i) {
        if (i) out += ", ";
        out += TreeText(node->children[i]);
    }
    return out + ')';
}

}  // namespace zvtest

// Trees as text for assertions: kind(children...), a NUMBER by its value,
// a letter by itself, token kinds by name.
#pragma once

#include <string>

#include "api/zorvan.h"

namespace zvtest {

inline std::string KindName(int32_t kind) {
    static const char* const names[] = {
        "SEQ", "ABS", "ADD", "CNV", "CTL", "DIF", "GET", "PUT", "MIN", "MAX", "MIX",
        "RND", "SCL", "SQR", "SRC", "SUB", "VAL", "C2D", "C2M", "RAD", "R2X", "R2Y",
        "SIN", "COS", "TAN", "MAP", "RST", "TOTAL", "BITXOR", "BITOR", "BITAND", "OR",
        "AND", "EQ", "NE", "LE", "GE", "LT", "GT", "SHL", "SHR", "UMINUS", "UPLUS",
        "NOT", "COMPL"};
    if (kind >= ZV_SEQ && kind < ZV_NUMBER) return names[kind - ZV_SEQ];
    return std::string(1, static_cast<char>(kind));
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

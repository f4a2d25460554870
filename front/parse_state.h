/* SPDX-License-Identifier: MIT */
// What one parse carries from ZvParse through the grammar to the scanner.
#pragma once

#include "front/scan.h"
#include "front/tree.h"

namespace zv {

struct ParseState {
    Scanner scanner;
    bool build = true;          // make nodes, or only check the syntax
    bool outOfMemory = false;   // a node could not be allocated
    ExprNode* result = nullptr;
    int32_t errorOffset = -1;   // where the parse stopped
};

// Runs the grammar over the scanner's text: 0 accepted, 1 syntax error,
// 2 stack overflow or out of memory.
int32_t ParseFormula(ParseState& state);

}  // namespace zv

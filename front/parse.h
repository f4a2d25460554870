/* SPDX-License-Identifier: MIT */
// Formula text to tree: what ZvParse does, with the failure position kept
// for our own tools.
#pragma once

#include <cstddef>

#include "api/zorvan.h"

namespace zv {

struct ParseOutcome {
    ExprNode* root;       // the tree, or null on failure or with build off
    int32_t status;       // a ParseStatus
    int32_t errorOffset;  // byte offset of the token where the parse failed; -1 on success
};

ParseOutcome ParseText(const char* text, size_t length, bool buildTree);

}  // namespace zv

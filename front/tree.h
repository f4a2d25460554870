/* SPDX-License-Identifier: MIT */
// Building and releasing expression trees.
#pragma once

#include <initializer_list>

#include "api/zorvan.h"
#include "front/kinds.h"

namespace zv {

// A new node owning the given children, or null when no node is to be made.
// With build off it returns null at once (the children are null then too).
// When memory runs out it releases the children, sets *outOfMemory and
// returns null, so a failed parse leaks nothing.
ExprNode* MakeNode(bool build, bool* outOfMemory, int32_t kind, int32_t value,
                   std::initializer_list<ExprNode*> children);

// Releases a tree of any depth without native recursion.
void ReleaseTree(ExprNode* root);

// Whether the tree has a node (evaluated or not) of a kind that test holds
// for, or of a kind without a row.
bool HasKind(const ExprNode* root, bool (*test)(const KindInfo&));

}  // namespace zv

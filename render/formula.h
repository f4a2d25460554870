// Compiling one formula text into a tree, with messages that point at the
// offending token, and what the renderer needs to know about a tree.
#pragma once

#include <initializer_list>
#include <memory>

#include "api/zorvan.h"
#include "zorvan/render.hpp"

namespace zv {

struct TreeDeleter {
    void operator()(ExprNode* root) const;
};
using Tree = std::unique_ptr<ExprNode, TreeDeleter>;

// The tree of formula. A formula that does not parse throws
// Error(kBadFormula): the message names the label and the position, the
// detail shows the line with a caret under the token where the parse stopped.
Tree CompileFormula(const FormulaText& formula);

// Whether the tree has a node of one of the kinds (looking at every child,
// evaluated or not).
bool HasKind(const ExprNode* root, std::initializer_list<int32_t> kinds);

// Whether the value at one pixel can depend on what was computed before it:
// true when the tree calls put or rnd.
bool DependsOnVisitingOrder(const ExprNode* root);

}  // namespace zv

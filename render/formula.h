/* SPDX-License-Identifier: MIT */
// Compiling one formula text into a tree, with messages that point at the
// offending token, and what the renderer needs to know about a tree.
#pragma once

#include <memory>
#include <vector>

#include "api/zorvan.h"
#include "front/kinds.h"
#include "zorvan/render.hpp"

namespace zv {

struct TreeDeleter {
    void operator()(ExprNode* root) const;
};
using Tree = std::unique_ptr<ExprNode, TreeDeleter>;

// The tree of formula. A formula that does not parse throws
// Error(kBadFormula): the message names the label, the position and what is
// wrong, the detail shows the line with a caret under the fault. Warnings
// about a formula that parses go to warnings when it is given.
Tree CompileFormula(const FormulaText& formula, std::vector<Warning>* warnings = nullptr);

// Whether a filter of these formulas shares cells between pixels: one puts
// into cells and one reads a cell it may not have written itself in the
// same evaluation (render/span/cells.h).
bool SharesCells(const std::vector<const ExprNode*>& trees);

// Whether the values of a filter of these formulas at one pixel can depend
// on what was computed before it: some formula calls rnd, or the filter
// shares cells.
bool DependsOnVisitingOrder(const std::vector<const ExprNode*>& trees);

// Whether the tree may read channel 3 of some pixel.
bool ReadsAlpha(const ExprNode* root);

// What the tree reads of the render's settings, added to inputs.
void AddInputs(const ExprNode* root, FilterInputs& inputs);

}  // namespace zv

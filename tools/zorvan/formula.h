// Compiling one formula text into a tree, with messages that point at the
// offending token, and what the tool needs to know about a tree.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "api/zorvan.h"

namespace zv::cli {

struct TreeDeleter {
    void operator()(ExprNode* root) const { ZvFree(root); }
};
using Tree = std::unique_ptr<ExprNode, TreeDeleter>;

// Where a line of a formula's text stands in its file.
struct SourceLine {
    size_t offset;  // of the line's first byte in the text
    int line;       // in the file, from 1
    int column;     // of that byte in the file's line, from 1
};

// A formula with its origin.
struct FormulaText {
    std::string text;
    std::string label;              // how messages name it: "formula for red (-r)"
    std::string file;               // empty for a formula from the command line
    std::vector<SourceLine> lines;  // for a file's formula, one per line of text
};

// The tree of formula. A formula that does not parse fails with exit 2: the
// message names the label and the position, the detail shows the line with
// a caret under the token where the parse stopped.
Tree CompileFormula(const FormulaText& formula);

// Whether the tree has a node of one of the kinds (looking at every child,
// evaluated or not).
bool HasKind(const ExprNode* root, std::initializer_list<int32_t> kinds);

// Whether the value at one pixel can depend on what was computed before it:
// true when the tree calls put or rnd.
bool DependsOnVisitingOrder(const ExprNode* root);

}  // namespace zv::cli

// SPDX-License-Identifier: MIT
#include "render/span/cells.h"

#include <bitset>

#include "eval/rules.h"
#include "front/tree.h"

namespace zv {

namespace {

constexpr int32_t kMaxDepth = 400;  // as deep as the span compiler goes

using Written = std::bitset<256>;  // cells written on every path so far

// Walks n in evaluation order; written grows by what every path through n
// writes. False at a get that may read a cell from another evaluation.
bool Walk(const ExprNode* n, Written& written, int32_t depth) {
    if (!n) return true;
    if (depth > kMaxDepth) return false;
    const Rule rule = RuleOf(n->kind);
    if (n->kind == ZV_GET) {
        const int32_t k = CellOf(*n);
        return k == kNoCell || (k != kComputedCell && written[size_t(k)]);
    }
    if (n->kind == ZV_SEQ) {
        return Walk(Child(*n, 0), written, depth + 1) && Walk(Child(*n, 1), written, depth + 1);
    }
    if (rule.lazy) {  // child 0, then one of the others (?:) or maybe the other (&& ||)
        if (!Walk(Child(*n, 0), written, depth + 1)) return false;
        Written every;
        every.set();
        for (int32_t j = 1; j < rule.arity; ++j) {
            Written path = written;
            if (!Walk(Child(*n, j), path, depth + 1)) return false;
            every &= path;
        }
        if (n->kind == '?') written = every;
        return true;
    }
    for (int32_t j = rule.arity - 1; j >= 0; --j) {  // right operand first
        if (!Walk(Child(*n, j), written, depth + 1)) return false;
    }
    if (n->kind == ZV_PUT) {
        const int32_t k = CellOf(*n);
        if (k >= 0 && k < kNoCell) written.set(size_t(k));
    }
    return true;
}

}  // namespace

int32_t CellOf(const ExprNode& n) {
    const ExprNode* index = Child(n, n.kind == ZV_PUT ? 1 : 0);
    if (!index || index->kind != ZV_NUMBER) return index ? kComputedCell : 0;
    return index->value >= 0 && index->value <= 255 ? index->value : kNoCell;
}

bool CellsAreLocal(const ExprNode* root) {
    Written written;
    return Walk(root, written, 0);
}

bool Puts(const ExprNode* root) {
    return HasKind(root, [](const KindInfo& k) { return k.code == ZV_PUT; });
}

}  // namespace zv

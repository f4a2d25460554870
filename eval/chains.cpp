// SPDX-License-Identifier: MIT
// Chains of one associative kind. A chain's terms are compiled in the tree
// walk's order, and each is combined as soon as there is a partial result
// of the same size to pair it with, so the steps form a balanced tree: no
// long line of steps that each wait for the one before, and few values
// held at once. Literals are combined while compiling.
#include "eval/compiler.h"
#include "eval/depends.h"

namespace zv::detail {

// A node of an associative kind with a child of the same kind opens a
// chain: its terms in the order the tree walk evaluates them, the right
// operand before the left.
bool ProgramCompiler::OpenChain(const ExprNode* n) {
    const int32_t kind = n->kind;
    if (!AlgebraOf(kind).associative ||
        (n->children[0]->kind != kind && n->children[1]->kind != kind))
        return false;
    Chain chain{terms_.size(), 0, partials_.size(), false, 0};
    spine_.assign(1, n);
    while (!spine_.empty()) {
        const ExprNode* p = spine_.back();
        spine_.pop_back();
        if (p->kind != kind) {
            terms_.push_back(p);
        } else {
            spine_.push_back(p->children[0]);
            spine_.push_back(p->children[1]);  // taken first
        }
    }
    chain.count = static_cast<int32_t>(terms_.size() - chain.terms);
    visits_.push_back({n, 0});
    visits_.back().chain = chain;
    return true;
}

void ProgramCompiler::Absorb(Chain& chain, int32_t kind, Operand term) {
    if (term.mode == kImm) {
        if (chain.literal) {
            const Operand both[2] = {{kImm, chain.value}, term};
            term = Strict(kind, both, 2);
        }
        chain.literal = true;
        chain.value = term.v;
        return;
    }
    partials_.push_back({term, 1});
    while (partials_.size() >= chain.partial + 2 &&
           partials_.back().size == partials_[partials_.size() - 2].size) {
        const Partial b = partials_.back();
        partials_.pop_back();
        Partial& a = partials_.back();
        const Operand both[2] = {a.value, b.value};
        a = {Strict(kind, both, 2), 2 * a.size};
    }
}

void ProgramCompiler::StepChain(Visit& v) {
    Chain& chain = v.chain;
    const int32_t kind = v.node->kind;
    if (v.stage > 0) Absorb(chain, kind, Take());
    if (v.stage < chain.count) return Open(terms_[chain.terms + size_t(v.stage++)]);
    Operand result{kImm, chain.value};
    bool any = false;
    for (size_t i = partials_.size(); i-- > chain.partial;) {
        const Operand both[2] = {partials_[i].value, result};
        result = any ? Strict(kind, both, 2) : partials_[i].value;
        any = true;
    }
    if (any && chain.literal) {
        const Operand both[2] = {result, {kImm, chain.value}};
        result = Strict(kind, both, 2);
    }
    partials_.resize(chain.partial);
    terms_.resize(chain.terms);
    Yield(result);
}

}  // namespace zv::detail

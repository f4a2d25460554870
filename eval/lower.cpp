// SPDX-License-Identifier: MIT
// The walk of a tree into values (eval/lower.h): the one place where the
// compilers fold, share, regroup and tell truth values (eval/depends.h).
#include "eval/lower.h"

#include <algorithm>

#include "eval/apply.h"
#include "eval/depends.h"
#include "eval/rules.h"

namespace zv::detail {
namespace {

// Where a lazy node's lowering is: each stage names what the value on top
// of the stack is, once the child it opened has been lowered.
enum Stage : int32_t {
    kFirst,        // child 0 still to open
    kCondition,    // child 0's value: pick a way
    kPicked,       // the value of the child picked while compiling
    kPickedTruth,  // the same, as a truth value (&& ||)
    kThen,         // the first way's value
    kElse,         // ?:, the second way's value
};

}  // namespace

size_t Lowering::KeyHash::operator()(const Key& k) const {
    uint64_t h = 0;
    for (const int32_t v : k) h = (h ^ uint32_t(v)) * 0x9E3779B97F4A7C15u;
    return static_cast<size_t>(h ^ (h >> 29));
}

Lowering::ValueInfo& Lowering::Touch(ValueId v) {
    if (info_.size() <= size_t(v)) info_.resize(size_t(v) + 1);
    return info_[size_t(v)];
}

ValueId Lowering::Literal(int32_t value) {
    const auto [it, added] = literals_.try_emplace(value, 0);
    if (added) {
        it->second = backEnd_.Literal(value);
        Touch(it->second) = {true, value == 0 || value == 1, value};
    }
    return it->second;
}

ValueId Lowering::Strict(int32_t kind, const ExprNode& n, const ValueId* args, int32_t arity) {
    if (kind == ZV_UPLUS) return args[0];
    if (kind == ZV_RST) return Literal(0);  // its argument has been lowered
    const Algebra algebra = AlgebraOf(kind);
    if (algebra.folds && std::all_of(args, args + arity, [&](ValueId a) { return IsLiteral(a); })) {
        auto arg = [&](int32_t i) { return LiteralOf(args[i]); };
        const ExprNode node{kind, 0, 0, nullptr};
        return Literal(Apply(kind, node, arg, scratch_));
    }
    Key key;
    const bool shares = algebra.shares || (options_.cellsFixed && kind == ZV_GET);
    if (shares) {
        key.fill(-1);
        key[0] = kind;
        std::copy(args, args + arity, key.begin() + 1);
        if (const auto known = known_.find(key); known != known_.end()) return known->second;
    }
    const ValueId v = backEnd_.Step(*this, kind, n, args, arity);
    if (backEnd_.refusal) return v;
    ValueInfo& info = Touch(v);
    info.truth = info.truth || algebra.truth;
    if (shares) {
        known_.emplace(key, v);
        if (ways_ > 0) keys_.push_back(key);
    }
    return v;
}

ValueId Lowering::Truth(const ExprNode& n, ValueId v) {
    if (IsTruth(v)) return v;
    const ValueId args[2] = {v, Literal(0)};
    return Strict(ZV_NE, n, args, 2);
}

void Lowering::Forget(size_t mark) {
    for (size_t i = mark; i < keys_.size(); ++i) known_.erase(keys_[i]);
    keys_.resize(mark);
}

void Lowering::Open(const ExprNode* n, int32_t depth) {
    while (n) {
        const ExprNode* instead = backEnd_.Open(*n, depth);
        if (backEnd_.refusal) return;
        if (instead == n) break;
        n = instead;
        ++depth;
    }
    if (!n) return values_.push_back(Literal(0));
    if (options_.regroup && OpenChain(*n, depth)) return;
    const Rule rule = RuleOf(n->kind);
    visits_.push_back({n, depth, rule.lazy ? int32_t{kFirst} : rule.arity});
}

void Lowering::Step() {
    Visit& v = visits_.back();
    if (v.chain.count > 0) return StepChain(v);
    const ExprNode& n = *v.node;
    if (n.kind == ZV_NUMBER) return Yield(Literal(n.value));
    const Rule rule = RuleOf(n.kind);
    if (rule.lazy) return Lazy(v);
    if (v.stage > 0) return Open(Child(n, --v.stage), v.depth + 1);
    // The last child's value went on first, so child 0's is on top.
    ValueId args[10];
    for (int32_t i = 0; i < rule.arity; ++i) args[i] = values_[values_.size() - 1 - size_t(i)];
    values_.resize(values_.size() - size_t(rule.arity));
    Yield(Strict(n.kind, n, args, rule.arity));
}

void Lowering::Lazy(Visit& v) {
    const ExprNode& n = *v.node;
    const int32_t kind = n.kind;
    switch (v.stage) {
        case kFirst:
            if (kind == ZV_SEQ && (!Child(n, 0) || backEnd_.Drops(*Child(n, 0), v.depth + 1))) {
                v.stage = kPicked;
                if (backEnd_.refusal) return;
                return Open(Child(n, 1), v.depth + 1);
            }
            v.stage = kCondition;
            return Open(Child(n, 0), v.depth + 1);
        case kCondition: {
            const ValueId first = Take();
            if (IsLiteral(first) || kind == ZV_SEQ) {  // the tree walk's way; SEQ's is child 1
                const Choice pick = Pick(kind, LiteralOf(first));
                if (pick.child == 0) return Yield(Literal(pick.value));
                v.stage = AlgebraOf(kind).truth ? kPickedTruth : kPicked;
                return Open(Child(n, pick.child), v.depth + 1);
            }
            v.way = backEnd_.WayOf(n);
            v.first = backEnd_.Enter(*this, n, v.way, first);
            if (v.way == Way::kJump) v.mark = Mark();
            v.stage = kThen;
            return Open(Child(n, 1), v.depth + 1);
        }
        case kPicked: return Yield(Take());
        case kPickedTruth: return Yield(Truth(n, Take()));
        case kThen:
            if (v.way == Way::kJump) Forget(v.mark);
            if (kind != '?') {
                const ValueId right = Take();
                return Finish(v, backEnd_.Leave(*this, n, v.way, v.first, &right, 1));
            }
            backEnd_.Switch(*this, n, v.way, values_.back());
            v.stage = kElse;
            return Open(Child(n, 2), v.depth + 1);
        default: {  // kElse
            if (v.way == Way::kJump) Forget(v.mark);
            const ValueId ways[2] = {values_[values_.size() - 2], values_.back()};
            values_.resize(values_.size() - 2);
            return Finish(v, backEnd_.Leave(*this, n, v.way, v.first, ways, 2));
        }
    }
}

void Lowering::Finish(Visit& v, ValueId value) {
    if (v.way == Way::kJump) --ways_;
    if (AlgebraOf(v.node->kind).truth && !backEnd_.refusal) Touch(value).truth = true;
    Yield(value);
}

// A node of an associative kind with a child of the same kind opens a
// chain: its terms in the order the tree walk evaluates them, the right
// operand before the left.
bool Lowering::OpenChain(const ExprNode& n, int32_t depth) {
    const int32_t kind = n.kind;
    const auto same = [kind](const ExprNode* c) { return c && c->kind == kind; };
    if (!AlgebraOf(kind).associative || !(same(Child(n, 0)) || same(Child(n, 1)))) return false;
    Chain chain{terms_.size(), 0, partials_.size(), false, 0};
    spine_.assign(1, &n);
    while (!spine_.empty()) {
        const ExprNode* p = spine_.back();
        spine_.pop_back();
        if (!same(p)) {
            terms_.push_back(p);
        } else {
            spine_.push_back(Child(*p, 0));
            spine_.push_back(Child(*p, 1));  // taken first
        }
    }
    chain.count = static_cast<int32_t>(terms_.size() - chain.terms);
    visits_.push_back({&n, depth, 0});
    visits_.back().chain = chain;
    return true;
}

// Each term is combined as soon as there is a partial result of the same
// size to pair it with, so the steps form a balanced tree: no long line of
// steps that each wait for the one before, and few values held at once.
// Literals are combined while compiling.
void Lowering::Absorb(Chain& chain, const ExprNode& n, ValueId term) {
    if (IsLiteral(term)) {
        if (chain.literal) {
            const ValueId both[2] = {Literal(chain.value), term};
            term = Strict(n.kind, n, both, 2);
        }
        chain.literal = true;
        chain.value = LiteralOf(term);
        return;
    }
    partials_.push_back({term, 1});
    while (partials_.size() >= chain.partial + 2 &&
           partials_.back().size == partials_[partials_.size() - 2].size) {
        const Partial b = partials_.back();
        partials_.pop_back();
        Partial& a = partials_.back();
        const ValueId both[2] = {a.value, b.value};
        a = {Strict(n.kind, n, both, 2), 2 * a.size};
    }
}

void Lowering::StepChain(Visit& v) {
    Chain& chain = v.chain;
    const ExprNode& n = *v.node;
    if (v.stage > 0) Absorb(chain, n, Take());
    if (v.stage < chain.count) return Open(terms_[chain.terms + size_t(v.stage++)], v.depth + 1);
    ValueId result = 0;
    bool any = false;
    for (size_t i = partials_.size(); i-- > chain.partial;) {
        const ValueId both[2] = {partials_[i].value, result};
        result = any ? Strict(n.kind, n, both, 2) : partials_[i].value;
        any = true;
    }
    if (!any) {
        result = Literal(chain.value);
    } else if (chain.literal) {
        const ValueId both[2] = {result, Literal(chain.value)};
        result = Strict(n.kind, n, both, 2);
    }
    partials_.resize(chain.partial);
    terms_.resize(chain.terms);
    Yield(result);
}

ValueId Lowering::Lower(const ExprNode* root) {
    Open(root, 0);
    while (!visits_.empty() && !backEnd_.refusal) Step();
    return backEnd_.refusal ? 0 : values_.back();
}

}  // namespace zv::detail

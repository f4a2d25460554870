/* SPDX-License-Identifier: MIT */
// One lowering of a tree for every back end: its nodes become values in the
// order the tree walk evaluates them (strict kinds last child first, lazy
// kinds child 0 first), with what the table of kinds allows done once here:
// literals folded, equal values shared, chains of an associative kind
// regrouped, the way of a lazy node picked where child 0 is a literal, and
// truth values kept apart from other values. A BackEnd says what
// each value is and how a lazy node whose child 0 is not known runs. The
// walk is iterative: trees go deeper than any native stack.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "api/zorvan.h"

namespace zv::detail {

// A value: an id that the back end hands out, dense from 0.
using ValueId = int32_t;

// How a lazy node whose child 0 is not known while compiling runs.
enum class Way : uint8_t {
    kJump,  // only the way taken; what a way computed is not known after it
    kBoth,  // every way, then the result picked or combined
};

class Lowering;

// What a back end makes of the lowering's values.
class BackEnd {
   public:
    virtual ~BackEnd() = default;

    // Set to stop the lowering: why this back end cannot take the tree.
    const char* refusal = nullptr;

    // n about to be lowered depth levels below the root: n, the node to
    // lower in its place (null: the value 0), or null after a refusal.
    virtual const ExprNode* Open(const ExprNode& n, int32_t /*depth*/) { return &n; }
    // Whether the discarded left side of a sequence may go unlowered.
    virtual bool Drops(const ExprNode& /*left*/, int32_t /*depth*/) { return false; }

    virtual ValueId Literal(int32_t value) = 0;
    // kind over args, neither folded nor shared; n is the node it computes.
    virtual ValueId Step(Lowering& l, int32_t kind, const ExprNode& n, const ValueId* args,
                         int32_t arity) = 0;

    // A lazy node n whose child 0 is `first`, not known: its way, then
    // Enter before the first way (what it yields stands for first
    // afterwards), Switch between the two ways of ?:, and Leave with each
    // way's value for the node's value.
    virtual Way WayOf(const ExprNode& n) = 0;
    virtual ValueId Enter(Lowering& l, const ExprNode& n, Way way, ValueId first) = 0;
    virtual void Switch(Lowering& /*l*/, const ExprNode& /*n*/, Way /*way*/, ValueId /*then*/) {}
    virtual ValueId Leave(Lowering& l, const ExprNode& n, Way way, ValueId first,
                          const ValueId* ways, int32_t count) = 0;
};

struct LowerOptions {
    bool regroup = false;     // chains of an associative kind as balanced trees
    bool cellsFixed = false;  // the tree never puts: get reads the same cell throughout
};

class Lowering {
   public:
    Lowering(BackEnd& backEnd, LowerOptions options) : backEnd_(backEnd), options_(options) {}

    // The root's value; meaningless once the back end has refused.
    ValueId Lower(const ExprNode* root);

    // For back ends: a literal, a strict kind over values (folded or shared
    // where the table allows), and v as a truth value (v != 0).
    ValueId Literal(int32_t value);
    ValueId Strict(int32_t kind, const ExprNode& n, const ValueId* args, int32_t arity);
    ValueId Truth(const ExprNode& n, ValueId v);
    bool IsTruth(ValueId v) const { return Info(v).truth; }
    bool IsLiteral(ValueId v) const { return Info(v).literal; }
    int32_t LiteralOf(ValueId v) const { return Info(v).value; }

   private:
    struct ValueInfo {
        bool literal = false;
        bool truth = false;  // 0 or 1
        int32_t value = 0;   // a literal's
    };
    // A chain of one associative kind: (a + b) + (c + d) is a + b + c + d.
    struct Chain {
        size_t terms = 0;      // its terms start at terms_[terms]
        int32_t count = 0;     // how many; 0: not a chain
        size_t partial = 0;    // its partial results start at partials_[partial]
        bool literal = false;  // literal terms met, combined into value
        int32_t value = 0;
    };
    struct Partial {
        ValueId value;
        int32_t size;  // terms it combines, a power of two
    };
    struct Visit {
        const ExprNode* node;
        int32_t depth;
        int32_t stage;  // strict kinds: children still to lower; lazy kinds: a Stage
        Way way = Way::kBoth;
        ValueId first = 0;  // lazy kinds: what stands for child 0 in the ways
        size_t mark = 0;    // lazy kinds with a jump: values known before the ways
        Chain chain{};
    };
    // Values known by the kind and arguments that compute them.
    using Key = std::array<int32_t, 11>;
    struct KeyHash {
        size_t operator()(const Key& k) const;
    };

    // Values the back end made outside Step and Literal are neither literals
    // nor known to be truths.
    ValueInfo Info(ValueId v) const {
        return size_t(v) < info_.size() ? info_[size_t(v)] : ValueInfo{};
    }
    ValueInfo& Touch(ValueId v);
    void Step();
    void Open(const ExprNode* n, int32_t depth);
    void Yield(ValueId v) {
        visits_.pop_back();
        values_.push_back(v);
    }
    ValueId Take() {
        const ValueId v = values_.back();
        values_.pop_back();
        return v;
    }
    void Lazy(Visit& v);
    void Finish(Visit& v, ValueId value);
    bool OpenChain(const ExprNode& n, int32_t depth);
    void StepChain(Visit& v);
    void Absorb(Chain& chain, const ExprNode& n, ValueId term);

    // Values a jump's way knows are forgotten when it ends.
    size_t Mark() {
        ++ways_;
        return keys_.size();
    }
    void Forget(size_t mark);

    BackEnd& backEnd_;
    LowerOptions options_;
    std::vector<ValueInfo> info_;
    std::unordered_map<int32_t, ValueId> literals_;
    std::unordered_map<Key, ValueId, KeyHash> known_;
    std::vector<Key> keys_;  // added inside a jump's ways, in order
    int32_t ways_ = 0;       // jumps' ways open
    std::vector<Visit> visits_;
    std::vector<ValueId> values_;
    std::vector<const ExprNode*> terms_, spine_;  // chains' terms, innermost last
    std::vector<Partial> partials_;               // chains' partial results, innermost last
    PixelContext scratch_{};                      // folding reads no context; Apply wants one
};

}  // namespace zv::detail

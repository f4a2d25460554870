// SPDX-License-Identifier: MIT
// From a tree to a span program: one step per node that is not folded, in
// post-order, so that every step comes after the steps it reads.
#include <map>
#include <utility>
#include <vector>

#include "eval/apply.h"
#include "eval/depends.h"
#include "eval/rules.h"
#include "render/span/cells.h"
#include "render/span/interleaved.h"
#include "render/span/kernels.h"
#include "render/span/merge.h"
#include "render/span/span.h"

namespace zv {
namespace {

// Compiling recurses once per level; deeper trees stay with ZvExec, whose
// evaluator has no depth limit.
constexpr int32_t kMaxDepth = 400;
// Lanes take kSpanMax int32 each, per thread: 4 MiB at most.
constexpr int32_t kMaxLanes = 1024;

class SpanCompiler {
   public:
    SpanCompiler(SpanProgram& p, bool interleaved, const SpanTaken& taken, bool cells)
        : p_(p), interleaved_(interleaved), taken_(taken), cells_(cells) {}

    const char* reason = nullptr;

    int32_t Node(const ExprNode* n, int32_t depth) {
        if (!n) return Fold(0);
        if (depth > kMaxDepth) return Refuse("nested too deeply");
        const int32_t kind = n->kind;
        if (cells_ && (kind == ZV_PUT || kind == ZV_GET)) return Cell(*n, depth);
        if (const char* why = interleaved_ ? NotInterleaved(kind) : nullptr) return Refuse(why);
        const Depends d = interleaved_ ? Interleave(DependsOf(kind)) : DependsOf(kind);
        if (d.effect) return Refuse(EffectOf(kind));
        if (kind == ZV_NUMBER) return Fold(n->value);
        if (const int32_t child = Taken(n)) return Node(Child(*n, child), depth + 1);
        if (kind == ZV_SEQ) {  // the left value goes, so only its effects count
            if (cells_) Node(Child(*n, 0), depth + 1);
            else Pure(Child(*n, 0), depth + 1);
            return Node(Child(*n, 1), depth + 1);
        }

        SpanStep s{n, kind, 0, RuleOf(kind).arity, {}, nullptr};
        SpanValue v{d.position, d.channel, -1};
        bool folds = AlgebraOf(kind).folds;
        const bool lazy = RuleOf(kind).lazy;
        Cells chosen, first;  // the cells after child 0, and after the first branch
        for (int32_t i = 0; i < s.arity; ++i) {
            const int32_t j = lazy ? i : s.arity - 1 - i;  // evaluation order, for the cells
            if (lazy && j == 1) chosen = values_;
            if (lazy && j == 2) first = std::exchange(values_, chosen);
            const int32_t a = Node(Child(*n, j), depth + 1);
            if (reason) return 0;
            // Pure, so a known child 0 settles the node as the tree walk would.
            if (lazy && j == 0 && folded_[a]) return Picked(*n, p_.constants[a], depth);
            s.args[j] = a;
            folds = folds && folded_[a];
            v.varying = v.varying || p_.values[a].varying;
            v.channel = v.channel || p_.values[a].channel;
        }
        if (lazy) Meet(kind == '?' ? first : chosen);
        if (folds) {
            auto arg = [&](int32_t j) { return p_.constants[s.args[j]]; };
            PixelContext unused{};
            return Fold(Apply(kind, *n, arg, unused));
        }
        if (kind == ZV_RAD) ReadAtRadius(s);
        return Emit(s, v);
    }

    // The root's values go to a lane even when they are the same throughout.
    void Finish(int32_t root) {
        p_.root = root;
        if (!p_.values[root].varying) Broadcast(root);
        if (p_.lanes > kMaxLanes) Refuse("too large for spans");
    }

   private:
    using Cells = std::map<int32_t, int32_t>;  // cell to the value last put there

    // With local cells (render/cells.h) a cell is a name for a value: put
    // yields its value and names it, get is the value named.
    int32_t Cell(const ExprNode& n, int32_t depth) {
        const int32_t k = CellOf(n);
        if (k == kComputedCell) return Refuse("numbers a cell by a computed value");
        if (n.kind == ZV_GET) {
            if (k == kNoCell) return Fold(0);
            const auto it = values_.find(k);
            return it != values_.end() ? it->second : Refuse("reads a cell its branches set apart");
        }
        const int32_t v = Node(Child(n, 0), depth + 1);
        if (reason || k == kNoCell) return Fold(0);
        return values_[k] = v;
    }
    // After a conditional, a cell names what every path left in it.
    void Meet(const Cells& other) {
        std::erase_if(values_, [&](const auto& cell) {
            const auto it = other.find(cell.first);
            return it == other.end() || it->second != cell.second;
        });
    }

    // The child a lazy node takes when child 0 is first; && and || yield
    // its truth.
    int32_t Picked(const ExprNode& n, int32_t first, int32_t depth) {
        const Choice pick = Pick(n.kind, first);
        if (pick.child == 0) return Fold(pick.value);
        const int32_t a = Node(Child(n, pick.child), depth + 1);
        if (reason || !AlgebraOf(n.kind).truth) return a;
        if (folded_[a]) return Fold(p_.constants[a] != 0);
        SpanStep s{&n, ZV_NE, 0, 2, {a, Fold(0)}, nullptr};
        return Emit(s, {p_.values[a].varying, p_.values[a].channel, -1});
    }

    static const char* EffectOf(int32_t kind) {
        return kind == ZV_PUT   ? "calls put"
               : kind == ZV_RND ? "calls rnd"
                                : "has a node kind without a rule";
    }
    // Refuses n if anything in it has an effect.
    void Pure(const ExprNode* n, int32_t depth) {
        if (!n || reason) return;
        if (depth > kMaxDepth) return void(Refuse("nested too deeply"));
        if (DependsOf(n->kind).effect) return void(Refuse(EffectOf(n->kind)));
        for (int32_t j = 0; j < RuleOf(n->kind).arity; ++j) Pure(Child(*n, j), depth + 1);
    }

    int32_t Emit(SpanStep& s, SpanValue v) {
        if (const int32_t same = merger_.Step(s); same >= 0) return same;
        s.out = NewValue(v, 0, false);
        merger_.AddStep(s);
        if (v.varying) {
            ChooseLoop(s);
            p_.loops[v.channel].push_back(s);
        } else {
            p_.once[v.channel].push_back(s);
        }
        return s.out;
    }

    // rad(d, m, z) as src(column, row, z), when d and m vary along the run
    // but not between channels: the column and row once per pixel, the
    // read per channel. src clamps them as rad does.
    void ReadAtRadius(SpanStep& s) {
        const SpanValue& d = p_.values[s.args[0]];
        const SpanValue& m = p_.values[s.args[1]];
        if (!(d.varying || m.varying) || d.channel || m.channel) return;
        const std::array<int32_t, 10> polar = s.args;
        const auto at = [&](int32_t kind) {
            SpanStep step{s.node, kind, 0, 2, polar, nullptr};
            return Emit(step, {true, false, -1});
        };
        s.kind = ZV_SRC;
        s.args[0] = at(kSpanRadColumn);
        s.args[1] = at(kSpanRadRow);
    }

    int32_t Taken(const ExprNode* n) const {
        for (const auto& [node, child] : taken_) {
            if (node == n) return child;
        }
        return 0;
    }

    int32_t NewValue(SpanValue v, int32_t constant, bool folded) {
        p_.values.push_back(v);
        p_.constants.push_back(constant);
        folded_.push_back(folded);
        return static_cast<int32_t>(p_.values.size()) - 1;
    }
    int32_t Fold(int32_t constant) {
        if (const int32_t same = merger_.Constant(constant); same >= 0) return same;
        const int32_t value = NewValue({}, constant, true);
        merger_.AddConstant(constant, value);
        return value;
    }
    int32_t Refuse(const char* why) {
        if (!reason) reason = why;
        return 0;
    }

    // The step's loop: one that reads the arguments fixed for the run as
    // scalars when there is one, else one that reads every argument in lanes.
    void ChooseLoop(SpanStep& s) {
        p_.values[s.out].lane = p_.lanes++;
        if (interleaved_ && s.arity == 0) return void(s.kernel = InterleavedLeaf(s.kind));
        uint32_t scalars = 0;
        for (int32_t j = 0; j < s.arity; ++j) {
            if (!p_.values[s.args[j]].varying) scalars |= 1u << j;
        }
        s.kernel = KernelFor(s.kind, scalars, interleaved_);
        if (!s.kernel) {
            s.kernel = KernelFor(s.kind, 0, interleaved_);
            for (int32_t j = 0; j < s.arity; ++j) {
                if (scalars >> j & 1) Broadcast(s.args[j]);
            }
        }
    }
    void Broadcast(int32_t value) {
        SpanValue& v = p_.values[value];
        if (v.lane >= 0) return;
        v.lane = p_.lanes++;
        p_.broadcasts[v.channel].push_back(value);
    }

    SpanProgram& p_;
    bool interleaved_;
    const SpanTaken& taken_;
    bool cells_;
    Cells values_;
    std::vector<bool> folded_;
    SpanMerger merger_;
};

}  // namespace

SpanCompiled CompileSpans(const ExprNode* root, bool interleaved, const SpanTaken& taken) {
    const bool cells = Puts(root);
    if (cells && !CellsAreLocal(root)) return {nullptr, "reads a cell before writing it"};
    auto program = std::make_unique<SpanProgram>();
    SpanCompiler compiler(*program, interleaved, taken, cells);
    const int32_t value = compiler.Node(root, 0);
    if (!compiler.reason) compiler.Finish(value);
    if (compiler.reason) return {nullptr, compiler.reason};
    return {std::move(program), nullptr};
}

}  // namespace zv

// SPDX-License-Identifier: MIT
// The span back end of the lowering (eval/lower.h): a step per value that
// is neither a literal nor shared, in the order the lowering makes them, so
// that every step comes after the steps it reads. Lazy nodes compute every
// way and select, so a span program knows no jumps.
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "eval/depends.h"
#include "eval/lower.h"
#include "eval/rules.h"
#include "render/span/cells.h"
#include "render/span/interleaved.h"
#include "render/span/kernels.h"
#include "render/span/span.h"

namespace zv {
namespace {

using detail::Lowering;
using detail::ValueId;
using detail::Way;

// Deeper trees stay with ZvExec, whose evaluator has no depth limit.
constexpr int32_t kMaxDepth = 400;
// Lanes take kSpanMax int32 each, per thread: 4 MiB at most.
constexpr int32_t kMaxLanes = 1024;

class SpanCompiler final : public detail::BackEnd {
   public:
    SpanCompiler(SpanProgram& p, bool interleaved, const SpanTaken& taken, bool cells)
        : p_(p), interleaved_(interleaved), taken_(taken), cells_(cells) {}

    const ExprNode* Open(const ExprNode& n, int32_t depth) override {
        if (depth > kMaxDepth) return Refuse("nested too deeply");
        const int32_t kind = n.kind;
        if (cells_ && (kind == ZV_PUT || kind == ZV_GET)) {
            return CellOf(n) == kComputedCell ? Refuse("numbers a cell by a computed value") : &n;
        }
        if (const char* why = interleaved_ ? NotInterleaved(kind) : nullptr) return Refuse(why);
        if (DependsOf(kind).effect) return Refuse(EffectOf(kind));
        if (const int32_t child = Taken(&n)) return Child(n, child);
        return &n;
    }
    // The left value of a sequence goes, so only its effects count.
    bool Drops(const ExprNode& left, int32_t depth) override {
        if (cells_) return false;
        Pure(&left, depth);
        return true;
    }

    ValueId Literal(int32_t value) override { return NewValue({}, value); }

    ValueId Step(Lowering& l, int32_t kind, const ExprNode& n, const ValueId* args,
                 int32_t arity) override {
        if (cells_ && (kind == ZV_PUT || kind == ZV_GET)) return Cell(l, n, args);
        SpanStep s{&n, kind, 0, arity, {}, nullptr};
        std::copy(args, args + arity, s.args.begin());
        const Depends d = interleaved_ ? Interleave(DependsOf(kind)) : DependsOf(kind);
        if (kind == ZV_RAD) ReadAtRadius(s);
        return Emit(s, {d.position, d.channel, -1});
    }

    // Every way, then a step that picks among them as the kind does.
    Way WayOf(const ExprNode&) override { return Way::kBoth; }
    ValueId Enter(Lowering&, const ExprNode&, Way, ValueId first) override {
        ways_.push_back({values_, {}});
        return first;
    }
    void Switch(Lowering&, const ExprNode&, Way, ValueId) override {
        ways_.back().first = std::exchange(values_, ways_.back().chosen);
    }
    ValueId Leave(Lowering& l, const ExprNode& n, Way, ValueId first, const ValueId* ways,
                  int32_t count) override {
        Meet(n.kind == '?' ? ways_.back().first : ways_.back().chosen);
        ways_.pop_back();
        const ValueId args[3] = {first, ways[0], count > 1 ? ways[1] : 0};
        return l.Strict(n.kind, n, args, count + 1);
    }

    // The root's values go to a lane even when they are the same throughout.
    void Finish(ValueId root) {
        p_.root = root;
        if (!p_.values[root].varying) Broadcast(root);
        if (p_.lanes > kMaxLanes) Refuse("too large for spans");
    }

   private:
    using Cells = std::map<int32_t, int32_t>;  // cell to the value last put there
    // What the cells named before a lazy node's ways, and after its first.
    struct Ways {
        Cells chosen, first;
    };

    // With local cells (render/cells.h) a cell is a name for a value: put
    // yields its value and names it, get is the value named.
    ValueId Cell(Lowering& l, const ExprNode& n, const ValueId* args) {
        const int32_t k = CellOf(n);
        if (k == kNoCell) return l.Literal(0);
        if (n.kind == ZV_PUT) return values_[k] = args[0];
        const auto it = values_.find(k);
        if (it != values_.end()) return it->second;
        Refuse("reads a cell its branches set apart");
        return 0;
    }
    // After a conditional, a cell names what every path left in it.
    void Meet(const Cells& other) {
        std::erase_if(values_, [&](const auto& cell) {
            const auto it = other.find(cell.first);
            return it == other.end() || it->second != cell.second;
        });
    }

    static const char* EffectOf(int32_t kind) {
        return kind == ZV_PUT   ? "calls put"
               : kind == ZV_RND ? "calls rnd"
                                : "has a node kind without a rule";
    }
    // Refuses n if anything in it has an effect.
    void Pure(const ExprNode* n, int32_t depth) {
        if (!n || refusal) return;
        if (depth > kMaxDepth) return void(Refuse("nested too deeply"));
        if (DependsOf(n->kind).effect) return void(Refuse(EffectOf(n->kind)));
        for (int32_t j = 0; j < RuleOf(n->kind).arity; ++j) Pure(Child(*n, j), depth + 1);
    }

    // A step varies as its kind does and as any of its arguments.
    ValueId Emit(SpanStep& s, SpanValue v) {
        for (int32_t j = 0; j < s.arity; ++j) {
            v.varying = v.varying || p_.values[s.args[j]].varying;
            v.channel = v.channel || p_.values[s.args[j]].channel;
        }
        s.out = NewValue(v, 0);
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
        auto [at, added] = radii_.try_emplace({s.args[0], s.args[1]});
        if (added) {
            for (const int32_t kind : {kSpanRadColumn, kSpanRadRow}) {
                SpanStep step{s.node, kind, 0, 2, s.args, nullptr};
                (kind == kSpanRadColumn ? at->second.first : at->second.second) =
                    Emit(step, {true, false, -1});
            }
        }
        s.kind = ZV_SRC;
        s.args[0] = at->second.first;
        s.args[1] = at->second.second;
    }

    int32_t Taken(const ExprNode* n) const {
        for (const auto& [node, child] : taken_) {
            if (node == n) return child;
        }
        return 0;
    }

    ValueId NewValue(SpanValue v, int32_t constant) {
        p_.values.push_back(v);
        p_.constants.push_back(constant);
        return static_cast<ValueId>(p_.values.size()) - 1;
    }
    std::nullptr_t Refuse(const char* why) {
        if (!refusal) refusal = why;
        return nullptr;
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
    std::vector<Ways> ways_;
    std::map<std::pair<ValueId, ValueId>, std::pair<ValueId, ValueId>> radii_;  // d, m: column, row
};

}  // namespace

SpanCompiled CompileSpans(const ExprNode* root, bool interleaved, const SpanTaken& taken) {
    const bool cells = Puts(root);
    if (cells && !CellsAreLocal(root)) return {nullptr, "reads a cell before writing it"};
    auto program = std::make_unique<SpanProgram>();
    SpanCompiler compiler(*program, interleaved, taken, cells);
    Lowering lowering(compiler, {.cellsFixed = !cells});
    const ValueId value = lowering.Lower(root);
    if (!compiler.refusal) compiler.Finish(value);
    if (compiler.refusal) return {nullptr, compiler.refusal};
    return {std::move(program), nullptr};
}

}  // namespace zv

// SPDX-License-Identifier: MIT
// Tree to program. The walk is iterative, since trees go deeper than any
// native stack, and visits children in the tree walk's order (strict kinds
// last child first, lazy kinds child 0 first), so effects keep their order.
// Values get a virtual register each; the frame's registers are handed out
// at the end, each reused once its value has been read for the last time.
#include <new>
#include <string>
#include <unordered_map>

#include "eval/apply.h"
#include "eval/depends.h"
#include "eval/program.h"
#include "eval/rules.h"

namespace zv {
namespace {

// Kinds whose values are 0 or 1.
constexpr std::array<int32_t, 7> kComparisons = {ZV_EQ, ZV_NE, ZV_LT, ZV_GT, ZV_LE, ZV_GE, ZV_NOT};

// Computed while compiling when every operand is a literal.
bool Foldable(int32_t kind) {
    const Depends d = DependsOf(kind);
    return !d.position && !d.channel && !d.context && !d.effect;
}
// Two nodes of the kind with equal operands have one value within a call:
// no effect, and not get, which reads what put writes.
bool Reusable(int32_t kind) {
    return !DependsOf(kind).effect && kind != ZV_GET;
}

// The registers each step reads and the one it writes.
template <class F>
void ForEachRead(Op& op, std::vector<Operand>& pool, F f) {
    auto operand = [&f](Mode m, int32_t& v) {
        if (m == kReg) f(v);
    };
    const int32_t code = op.code;
    if (code < kUnaryBase) {
        operand(Mode(code / kModes % kModes), op.a);
        operand(Mode(code % kModes), op.b);
    } else if (code < kMoveBase) {
        operand(Mode((code - kUnaryBase) % kModes), op.a);
    } else if (code < kSelectBase) {
        operand(Mode((code - kMoveBase) % kModes), op.a);
    } else if (code < kJumpIfZero) {  // reads its register too, written before
        f(op.a);
        operand(Mode(code - kSelectBase), op.b);
    } else if (code == kJumpIfZero || code == kJumpIfNotZero) {
        f(op.a);
    } else if (code >= kCallBase && code < kReturnBase) {
        const int32_t arity = RuleOf(kCalled[size_t(code - kCallBase)]).arity;
        for (int32_t i = 0; i < arity; ++i)
            operand(pool[size_t(op.a + i)].mode, pool[size_t(op.a + i)].v);
    } else if (code >= kReturnBase) {
        operand(Mode(code - kReturnBase), op.a);
    }
}
bool Writes(const Op& op) {
    return op.code < kJumpIfZero || (op.code >= kCallBase && op.code < kReturnBase);
}

// The divisor step for a / d or a % d, where d is a literal that the plain
// step would divide by with an instruction.
bool ByDivisor(int32_t kind, const Operand* args) {
    if (!kDivisors || (kind != '/' && kind != '%') || args[1].mode != kImm) return false;
    const int32_t d = args[1].v;
    return d != 0 && d != -1 && !(d > 0 && (d & (d - 1)) == 0);
}
Divisor DivisorOf(int32_t d) {
    const uint32_t m = d < 0 ? 0u - uint32_t(d) : uint32_t(d);
    return {~uint64_t{0} / m + 1, d};
}

// A chain of one associative kind: (a + b) + (c + d) is a + b + c + d.
// Its terms are compiled in the tree walk's order, and each is combined as
// soon as there is a partial result of the same size to pair it with, so
// the steps form a balanced tree: no long line of steps that each wait for
// the one before, and few values held at once. Literals are combined
// while compiling.
constexpr std::array<int32_t, 7> kAssociative = {'+',       '*',    ZV_BITAND, ZV_BITOR,
                                                 ZV_BITXOR, ZV_MIN, ZV_MAX};
struct Chain {
    size_t terms = 0;      // its terms start at terms_[terms]
    int32_t count = 0;     // how many
    size_t partial = 0;    // its partial results start at partials_[partial]
    bool literal = false;  // literal terms met, combined into value
    int32_t value = 0;
};

class ProgramCompiler {
   public:
    std::unique_ptr<Program> Compile(const ExprNode& root);

   private:
    struct Visit {
        const ExprNode* node;
        int32_t stage;     // strict kinds: children still to visit
        int32_t dst = 0;   // lazy kinds: the register each way writes
        size_t jump = 0;   // lazy kinds: the jump still to aim
        size_t mark = 0;   // lazy kinds: values known before the branch
        size_t start = 0;  // lazy kinds: the first step of the way being compiled
        Chain chain{};
    };
    void Step();
    bool OpenChain(const ExprNode* n);
    void StepChain(Visit& v);
    void Absorb(Chain& chain, int32_t kind, Operand term);
    Operand Leaf(const ExprNode& n);
    Operand Strict(int32_t kind, const Operand* args, int32_t arity);
    void Lazy(Visit& v);
    void Emit(int32_t dst, int32_t kind, const Operand* args, int32_t arity);
    void Move(int32_t dst, Operand from) { Push({kMoveBase + from.mode, dst, from.v, 0}); }
    void StoreTruth(int32_t dst, Operand from);
    bool IsBoolean(Operand o) const;
    Operand Boolean(Operand o);
    void MarkBoolean(int32_t reg) {
        if (booleans_.size() <= size_t(reg)) booleans_.resize(size_t(reg) + 1);
        booleans_[size_t(reg)] = true;
    }
    void Into(int32_t dst, Operand value, size_t start);
    int32_t NewJoin() {
        joins_.resize(size_t(registers_) + 1);
        joins_.back() = true;
        return NewRegister();
    }
    size_t Jump(int32_t code, int32_t reg) { return Push({code, 0, reg, 0}); }
    void Land(size_t jump) { program_->ops[jump].b = static_cast<int32_t>(Here() - jump); }
    size_t Push(Op op) {
        program_->ops.push_back(op);
        return Here() - 1;
    }
    size_t Here() const { return program_->ops.size(); }
    int32_t NewRegister() { return registers_++; }
    Operand InRegister(Operand o);
    void Forget(size_t mark);
    void Open(const ExprNode* n) {
        if (OpenChain(n)) return;
        const Rule rule = RuleOf(n->kind);
        visits_.push_back({n, rule.lazy ? 0 : rule.arity});
    }
    void Yield(Operand o) {
        visits_.pop_back();
        values_.push_back(o);
    }
    Operand Take() {
        Operand o = values_.back();
        values_.pop_back();
        return o;
    }
    bool AllocateRegisters();

    std::unique_ptr<Program> program_ = std::make_unique<Program>();
    std::vector<Visit> visits_;
    std::vector<Operand> values_;
    int32_t registers_ = 0;
    std::vector<bool> joins_;                     // by register: written by both ways of a branch
    std::vector<bool> booleans_;                  // by register: holds 0 or 1
    std::vector<const ExprNode*> terms_, spine_;  // chains' terms, innermost last
    struct Partial {
        Operand value;
        int32_t size;  // terms it combines, a power of two
    };
    std::vector<Partial> partials_;  // chains' partial results, innermost last
    // Values computed where the current step is sure to have passed, by the
    // kind and operands that compute them; known_ lists their keys in order,
    // so a branch's can be forgotten when it ends.
    std::unordered_map<std::string, Operand> values_by_key_;
    std::vector<std::string> known_;
    PixelContext scratch_{};  // folding reads no context; Apply wants one
};

std::string KeyOf(int32_t kind, const Operand* args, int32_t arity) {
    std::string key(reinterpret_cast<const char*>(&kind), sizeof kind);
    for (int32_t i = 0; i < arity; ++i) {
        key += static_cast<char>(args[i].mode);
        key.append(reinterpret_cast<const char*>(&args[i].v), sizeof args[i].v);
    }
    return key;
}

Operand ProgramCompiler::Leaf(const ExprNode& n) {
    if (n.kind == ZV_NUMBER) return {kImm, n.value};
    const Field f = kFields[SlotOf(n.kind)];
    if (f.offset >= 0) return {f.mask == 0xFF ? kByte : kWord, f.offset};
    return Strict(n.kind, nullptr, 0);
}

Operand ProgramCompiler::Strict(int32_t kind, const Operand* args, int32_t arity) {
    if (kind == ZV_UPLUS) return args[0];
    if (kind == ZV_RST) return {kImm, 0};  // its argument has been evaluated
    bool literals = true;
    for (int32_t i = 0; i < arity; ++i) literals = literals && args[i].mode == kImm;
    if (literals && Foldable(kind)) {
        auto arg = [args](int32_t i) { return args[i].v; };
        const ExprNode node{kind, 0, 0, nullptr};
        return {kImm, Apply(kind, node, arg, scratch_)};
    }
    std::string key;
    if (Reusable(kind)) {
        key = KeyOf(kind, args, arity);
        if (auto known = values_by_key_.find(key); known != values_by_key_.end())
            return known->second;
    }
    const Operand result{kReg, NewRegister()};
    Emit(result.v, kind, args, arity);
    if (IndexIn(kComparisons, kind) >= 0) MarkBoolean(result.v);
    if (!key.empty()) {
        values_by_key_.emplace(key, result);
        known_.push_back(std::move(key));
    }
    return result;
}

void ProgramCompiler::Emit(int32_t dst, int32_t kind, const Operand* args, int32_t arity) {
    if (ByDivisor(kind, args)) {
        const int32_t base = kind == '/' ? kDivideBase : kRemainderBase;
        const auto at = static_cast<int32_t>(program_->divisors.size());
        program_->divisors.push_back(DivisorOf(args[1].v));
        Push({base + args[0].mode, dst, args[0].v, at});
    } else if (int32_t i = IndexIn(kFastBinary, kind); i >= 0) {
        Push({(i * kModes + args[0].mode) * kModes + args[1].mode, dst, args[0].v, args[1].v});
    } else if (int32_t j = IndexIn(kFastUnary, kind); j >= 0) {
        Push({kUnaryBase + j * kModes + args[0].mode, dst, args[0].v, 0});
    } else {
        const auto at = static_cast<int32_t>(program_->pool.size());
        program_->pool.insert(program_->pool.end(), args, args + arity);
        Push({kCallBase + IndexIn(kCalled, kind), dst, at, 0});
    }
}

// dst = from != 0, as && and || yield.
void ProgramCompiler::StoreTruth(int32_t dst, Operand from) {
    if (from.mode == kImm) return Move(dst, {kImm, from.v != 0});
    const Operand args[2] = {from, {kImm, 0}};
    Emit(dst, ZV_NE, args, 2);
}

// A way's value into the register the ways share: the way's last step
// writes it there if that step made it.
void ProgramCompiler::Into(int32_t dst, Operand value, size_t start) {
    Op* last = Here() > start ? &program_->ops.back() : nullptr;
    const bool join = size_t(value.v) < joins_.size() && joins_[size_t(value.v)];
    if (last && value.mode == kReg && Writes(*last) && last->dst == value.v && !join) {
        last->dst = dst;
    } else {
        Move(dst, value);
    }
}

Operand ProgramCompiler::InRegister(Operand o) {
    if (o.mode == kReg) return o;
    const Operand r{kReg, NewRegister()};
    Move(r.v, o);
    return r;
}

void ProgramCompiler::Forget(size_t mark) {
    for (size_t i = mark; i < known_.size(); ++i) values_by_key_.erase(known_[i]);
    known_.resize(mark);
}

// A way cheap and harmless enough to compute whether it is taken or not:
// a few steps of the fast kinds, which have no effects, over literals and
// fields. Computing both ways and picking one spares a jump the processor
// may mispredict.
bool Cheap(const ExprNode* n, int32_t& budget) {
    if (n->kind == ZV_NUMBER || kFields[SlotOf(n->kind)].offset >= 0) return true;
    if ((IndexIn(kFastBinary, n->kind) < 0 && IndexIn(kFastUnary, n->kind) < 0) || --budget < 0)
        return false;
    for (int32_t i = 0; i < RuleOf(n->kind).arity; ++i)
        if (!Cheap(n->children[i], budget)) return false;
    return true;
}
bool Cheap(const ExprNode* n) {
    int32_t budget = 4;
    return Cheap(n, budget);
}

bool ProgramCompiler::IsBoolean(Operand o) const {
    if (o.mode == kImm) return o.v == 0 || o.v == 1;
    return o.mode == kReg && size_t(o.v) < booleans_.size() && booleans_[size_t(o.v)];
}

Operand ProgramCompiler::Boolean(Operand o) {
    if (IsBoolean(o)) return o;
    const Operand args[2] = {o, {kImm, 0}};
    return Strict(ZV_NE, args, 2);
}

// The stages of a lazy node: 0 opens child 0; 1 has its value and opens the
// child it picks; 2 and 3 finish the ways of a condition; 4 finishes the
// right side of && and ||; 5 hands on the value of a child picked while
// compiling, 6 its truth. Computing both sides: 7 and 8 finish the ways of
// a condition, 9 the right side of && and ||.
void ProgramCompiler::Lazy(Visit& v) {
    const ExprNode& n = *v.node;
    const int32_t kind = n.kind;
    if (v.stage == 0) {
        v.stage = 1;
        return Open(n.children[0]);
    }
    if (v.stage == 1) {
        const Operand first = Take();
        const bool known = first.mode == kImm;
        if (kind == ZV_SEQ || (kind == '?' && known)) {
            v.stage = 5;
            return Open(n.children[kind == '?' && !first.v ? 2 : 1]);
        }
        if (kind == '?' && Cheap(n.children[1]) && Cheap(n.children[2])) {
            v.dst = InRegister(first).v;
            v.stage = 7;
            return Open(n.children[1]);
        }
        if (kind == '?') {
            v.jump = Jump(kJumpIfZero, InRegister(first).v);
            v.dst = NewJoin();
            v.mark = known_.size();
            v.start = Here();
            v.stage = 2;
            return Open(n.children[1]);
        }
        const bool settled = kind == ZV_AND ? !first.v : first.v != 0;  // && or ||
        if (known && settled) return Yield({kImm, kind == ZV_OR});
        if (known) {
            v.stage = 6;
            return Open(n.children[1]);
        }
        if (Cheap(n.children[1])) {
            values_.push_back(Boolean(first));
            v.stage = 9;
            return Open(n.children[1]);
        }
        v.dst = NewJoin();
        Move(v.dst, {kImm, kind == ZV_OR});
        v.jump = Jump(kind == ZV_AND ? kJumpIfZero : kJumpIfNotZero, InRegister(first).v);
        v.mark = known_.size();
        v.start = Here();
        v.stage = 4;
        return Open(n.children[1]);
    }
    if (v.stage == 7) {  // the first way's value waits on the stack
        v.stage = 8;
        return Open(n.children[2]);
    }
    const Operand value = Take();
    switch (v.stage) {
        case 2: {
            Into(v.dst, value, v.start);
            Forget(v.mark);
            const size_t over = Jump(kJump, 0);
            Land(v.jump);
            v.jump = over;
            v.start = Here();
            v.stage = 3;
            return Open(n.children[2]);
        }
        case 3:
        case 4:
            if (v.stage == 3 || IsBoolean(value))
                Into(v.dst, value, v.start);
            else
                StoreTruth(v.dst, value);
            Forget(v.mark);
            Land(v.jump);
            if (v.stage == 4) MarkBoolean(v.dst);
            return Yield({kReg, v.dst});
        case 5: return Yield(value);
        case 6: return Yield(Boolean(value));
        case 8: {
            const Operand taken = Take();
            const int32_t dst = NewJoin();
            Move(dst, value);
            Push({kSelectBase + taken.mode, dst, v.dst, taken.v});
            return Yield({kReg, dst});
        }
        default: {
            const Operand args[2] = {Take(), Boolean(value)};
            const Operand both = Strict(kind == ZV_AND ? ZV_BITAND : ZV_BITOR, args, 2);
            if (both.mode == kReg) MarkBoolean(both.v);
            return Yield(both);
        }
    }
}

// A node of an associative kind with a child of the same kind opens a
// chain: its terms in the order the tree walk evaluates them, the right
// operand before the left.
bool ProgramCompiler::OpenChain(const ExprNode* n) {
    const int32_t kind = n->kind;
    if (IndexIn(kAssociative, kind) < 0 ||
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

void ProgramCompiler::Step() {
    Visit& v = visits_.back();
    if (v.chain.count > 0) return StepChain(v);
    const ExprNode& n = *v.node;
    if (n.kind == ZV_NUMBER || RuleOf(n.kind).arity == 0) return Yield(Leaf(n));
    if (RuleOf(n.kind).lazy) return Lazy(v);
    if (v.stage > 0) return Open(n.children[--v.stage]);
    // The last child's value went on first, so child 0's is on top.
    const int32_t arity = RuleOf(n.kind).arity;
    Operand args[10];
    for (int32_t i = 0; i < arity; ++i) args[i] = values_[values_.size() - 1 - size_t(i)];
    values_.resize(values_.size() - size_t(arity));
    Yield(Strict(n.kind, args, arity));
}

// Each value's register from the step that first writes it to the step
// that last reads or writes it; a step may write a register it reads.
bool ProgramCompiler::AllocateRegisters() {
    std::vector<Op>& ops = program_->ops;
    std::vector<Operand>& pool = program_->pool;
    std::vector<int32_t> first(size_t(registers_), -1), last(size_t(registers_), -1);
    for (int32_t i = 0; i < int32_t(ops.size()); ++i) {
        ForEachRead(ops[size_t(i)], pool, [&](int32_t& r) { last[size_t(r)] = i; });
        if (!Writes(ops[size_t(i)])) continue;
        const auto r = size_t(ops[size_t(i)].dst);
        if (first[r] < 0) first[r] = i;
        last[r] = std::max(last[r], i);
    }
    std::vector<int32_t> frame(size_t(registers_), -1), free;
    int32_t used = 0;
    for (int32_t i = 0; i < int32_t(ops.size()); ++i) {
        Op& op = ops[size_t(i)];
        ForEachRead(op, pool, [&](int32_t& r) {
            const int32_t virt = r;
            r = frame[size_t(virt)];
            if (last[size_t(virt)] == i && first[size_t(virt)] >= 0) {
                free.push_back(r);
                first[size_t(virt)] = -1;  // released once, however often read here
            }
        });
        if (!Writes(op)) continue;
        const auto virt = size_t(op.dst);
        if (frame[virt] < 0) {
            if (free.empty()) free.push_back(used++);
            frame[virt] = free.back();
            free.pop_back();
        }
        op.dst = frame[virt];
        if (last[virt] == i && first[virt] >= 0) {  // never read
            free.push_back(op.dst);
            first[virt] = -1;
        }
    }
    program_->registers = used;
    return used <= kMaxRegisters;
}

std::unique_ptr<Program> ProgramCompiler::Compile(const ExprNode& root) {
    Open(&root);
    while (!visits_.empty()) Step();
    const Operand result = Take();
    Push({kReturnBase + result.mode, 0, result.v, 0});
    if (!AllocateRegisters()) return nullptr;
    return std::move(program_);
}

}  // namespace

std::unique_ptr<Program> CompileProgram(const ExprNode& root) {
    try {
        return ProgramCompiler().Compile(root);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace zv

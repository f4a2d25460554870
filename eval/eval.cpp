// The fast path: native recursion over the tree through one small function
// per kind, handing a subtree over to the explicit-stack evaluator once the
// recursion has used up its share of the native stack.
#include "eval/eval.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "eval/apply.h"
#include "eval/deep.h"
#include "eval/rules.h"

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace zv {
namespace {

// Measured in bytes rather than levels, because frames differ widely
// between optimised builds, -O0 and sanitizers. 64 KiB leaves most of a
// 256 KiB thread stack to the host.
constexpr uintptr_t kNativeBudget = 64 * 1024;

[[gnu::always_inline]] inline uintptr_t StackPosition() {
#if defined(_MSC_VER)
    return reinterpret_cast<uintptr_t>(_AddressOfReturnAddress());
#else
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
#endif
}

using Handler = int32_t (*)(const ExprNode& n, PixelContext& c, uintptr_t stackLimit);
extern const std::array<Handler, kLastKind - kFirstKind + 2> kHandlers;

// Leaves that are plain fields of the record, read in place without a call.
// Each reads the 4 bytes at its offset; r, g, b and c keep the lowest, their
// own byte, of the little-endian word.
struct Leaf {
    int32_t offset;  // -1: not such a leaf
    uint32_t mask;
};
constexpr std::array<Leaf, kLastKind - kFirstKind + 2> kLeaves = [] {
    // Filled in here, not by member defaults, which GCC 12 emits as zeros
    // in a constant array.
    std::array<Leaf, kLastKind - kFirstKind + 2> t{};
    for (Leaf& leaf : t) leaf = {-1, 0};
    auto set = [&t](int32_t kind, size_t offset, uint32_t mask) {
        t[kind - kFirstKind + 1] = {static_cast<int32_t>(offset), mask};
    };
    set('x', offsetof(PixelContext, x), ~0u);
    set('y', offsetof(PixelContext, y), ~0u);
    set('z', offsetof(PixelContext, channel), ~0u);
    set('t', offsetof(PixelContext, t), ~0u);
    set('X', offsetof(PixelContext, width), ~0u);
    set('Y', offsetof(PixelContext, height), ~0u);
    set('Z', offsetof(PixelContext, channelCount), ~0u);
    set('D', offsetof(PixelContext, dMax), ~0u);
    set('M', offsetof(PixelContext, mMax), ~0u);
    set(ZV_TOTAL, offsetof(PixelContext, total), ~0u);
    set('r', offsetof(PixelContext, red), 0xFF);
    set('g', offsetof(PixelContext, green), 0xFF);
    set('b', offsetof(PixelContext, blue), 0xFF);
    set('c', offsetof(PixelContext, current), 0xFF);
    return t;
}();

// Any node: literals and the leaves above are read in place, everything
// else goes to its kind's handler.
[[gnu::always_inline]] inline int32_t Eval(const ExprNode* n, PixelContext& c,
                                           uintptr_t stackLimit) {
    if (!n) return 0;
    if (n->kind == ZV_NUMBER) return n->value;
    uint32_t i = uint32_t(n->kind) - uint32_t(kFirstKind - 1);
    if (i >= kHandlers.size()) i = 0;
    Leaf leaf = kLeaves[i];
    if (leaf.offset >= 0) {
        uint32_t v;
        std::memcpy(&v, reinterpret_cast<const unsigned char*>(&c) + leaf.offset, sizeof v);
        return static_cast<int32_t>(v & leaf.mask);
    }
    return kHandlers[i](*n, c, stackLimit);
}

// Apply's arg(i) on the fast path: evaluates child i when asked. Unless the
// node was checked to hold all the children its kind reads, a missing one
// counts as null.
template <bool kChecked>
struct Children {
    const ExprNode& n;
    PixelContext& c;
    uintptr_t stackLimit;
    [[gnu::always_inline]] int32_t operator()(int32_t i) const {
        return Eval(kChecked ? n.children[i] : Child(n, i), c, stackLimit);
    }
};

// The handler of kind K: Apply folded to K's case. Only kinds with children
// recurse, so only they watch the stack.
template <int32_t K>
int32_t Handle(const ExprNode& n, PixelContext& c, uintptr_t stackLimit) {
    constexpr int32_t arity = RuleOf(K).arity;
    if constexpr (arity > 0) {
        if (StackPosition() < stackLimit) return EvaluateDeep(n, c);  // stacks grow down
        if (n.childCount < arity || !n.children) {                    // hand-built
            Children<false> arg{n, c, stackLimit};
            return Apply(K, n, arg, c);
        }
    }
    Children<true> arg{n, c, stackLimit};
    return Apply(K, n, arg, c);
}

// Entry 0 serves every kind outside the range: a kind without a rule.
template <int32_t... I>
constexpr std::array<Handler, sizeof...(I)> MakeHandlers(std::integer_sequence<int32_t, I...>) {
    return {&Handle<kFirstKind - 1 + I>...};
}
const std::array<Handler, kLastKind - kFirstKind + 2> kHandlers =
    MakeHandlers(std::make_integer_sequence<int32_t, kLastKind - kFirstKind + 2>{});

}  // namespace

int32_t Evaluate(const ExprNode* root, PixelContext& context) {
    uintptr_t here = StackPosition();
    return Eval(root, context, here > kNativeBudget ? here - kNativeBudget : 0);
}

}  // namespace zv

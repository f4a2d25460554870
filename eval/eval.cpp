// The fast path: native recursion over the tree through one small function
// per kind, handing a subtree over to the explicit-stack evaluator once the
// recursion has used up its share of the native stack.
#include "eval/eval.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "eval/apply.h"
#include "eval/deep.h"
#include "eval/rules.h"

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace zv {
namespace {

// Measured in bytes rather than levels, because a call's stack use differs widely
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
extern const std::array<Handler, kKindSlots> kHandlers;

// Any node: literals and context fields are read in place, which saves a
// call on most leaves; everything else goes to its kind's handler.
[[gnu::always_inline]] inline int32_t Eval(const ExprNode* n, PixelContext& c,
                                           uintptr_t stackLimit) {
    if (!n) return 0;
    if (n->kind == ZV_NUMBER) return n->value;
    size_t slot = SlotOf(n->kind);
    if (Field f = kFields[slot]; f.offset >= 0) return ReadField(f, c);
    return kHandlers[slot](*n, c, stackLimit);
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

// Slot 0 serves every kind outside the range with the handler of 36, a kind
// without a rule.
template <size_t... I>
constexpr std::array<Handler, kKindSlots> MakeHandlers(std::index_sequence<I...>) {
    return {&Handle<kFirstKind - 1 + static_cast<int32_t>(I)>...};
}
const std::array<Handler, kKindSlots> kHandlers =
    MakeHandlers(std::make_index_sequence<kKindSlots>{});

}  // namespace

int32_t Evaluate(const ExprNode* root, PixelContext& context) {
    uintptr_t here = StackPosition();
    return Eval(root, context, here > kNativeBudget ? here - kNativeBudget : 0);
}

}  // namespace zv

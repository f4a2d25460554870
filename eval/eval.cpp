// The fast path: native recursion over the tree, handing a subtree over to
// the explicit-stack evaluator once the recursion has used up its share of
// the native stack.
#include "eval/eval.h"

#include <cstdint>

#include "eval/apply.h"
#include "eval/deep.h"
#include "eval/rules.h"

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace zv {
namespace {

// Measured in bytes rather than levels, because frames differ widely: about
// 160 bytes in an optimised build, some kilobytes at -O0 or with sanitizers.
// 64 KiB leaves most of a 256 KiB thread stack to the host.
constexpr uintptr_t kNativeBudget = 64 * 1024;

[[gnu::always_inline]] inline uintptr_t StackPosition() {
#if defined(_MSC_VER)
    return reinterpret_cast<uintptr_t>(_AddressOfReturnAddress());
#else
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
#endif
}

int32_t Eval(const ExprNode* n, PixelContext& c, uintptr_t stackLimit);

// A literal child is read in place, which saves a call on the commonest leaf.
inline int32_t Operand(const ExprNode* n, PixelContext& c, uintptr_t stackLimit) {
    if (n && n->kind == ZV_NUMBER) return n->value;
    return Eval(n, c, stackLimit);
}

int32_t Eval(const ExprNode* n, PixelContext& c, uintptr_t stackLimit) {
    if (!n) return 0;
    if (StackPosition() < stackLimit) return EvaluateDeep(*n, c);  // stacks grow down
    auto arg = [n, &c, stackLimit](int32_t i) { return Operand(Child(*n, i), c, stackLimit); };
    return Apply(*n, arg, c);
}

}  // namespace

int32_t Evaluate(const ExprNode* root, PixelContext& context) {
    uintptr_t here = StackPosition();
    return Eval(root, context, here > kNativeBudget ? here - kNativeBudget : 0);
}

}  // namespace zv

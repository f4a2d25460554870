// SPDX-License-Identifier: MIT
// The fast path: native recursion over the tree through one small function
// per kind, handing a subtree over to the explicit-stack evaluator once the
// recursion has used up its share of the native stack.
#include "eval/eval.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "eval/apply.h"
#include "eval/deep.h"
#include "eval/rules.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#elif defined(__linux__)
#include <pthread.h>
#endif
#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace zv {
namespace {

// Measured in bytes rather than levels, because a call's stack use differs widely
// between optimised builds, -O0 and sanitizers. 64 KiB leaves most of a
// 256 KiB thread stack to the host.
constexpr uintptr_t kNativeBudget = 64 * 1024;

// What stays free at the end of the thread's stack for the explicit-stack
// evaluator, the built-ins and the allocator it calls; Windows keeps guard
// pages inside the reservation.
#if defined(_WIN32)
constexpr uintptr_t kReserve = 32 * 1024;
#else
constexpr uintptr_t kReserve = 16 * 1024;
#endif

// The lowest address of the current thread's stack, 0 where the platform
// does not say.
uintptr_t QueryStackEnd() {
#if defined(_WIN32)
    MEMORY_BASIC_INFORMATION region{};  // a local, so it lies in the stack's reservation
    if (VirtualQuery(&region, &region, sizeof region) == 0) return 0;
    return reinterpret_cast<uintptr_t>(region.AllocationBase);
#elif defined(__linux__)
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return 0;
    void* end = nullptr;
    size_t size = 0;
    const int got = pthread_attr_getstack(&attr, &end, &size);
    pthread_attr_destroy(&attr);
    return got == 0 ? reinterpret_cast<uintptr_t>(end) : 0;
#else
    return 0;
#endif
}

// Asking the system costs a system call or more, so each thread asks once;
// a constant initialiser keeps the per-call check to one load.
uintptr_t StackFloor() {
    thread_local uintptr_t floor = 0;  // 0: not asked yet, 1: the platform does not say
    if (floor == 0) {
        const uintptr_t end = QueryStackEnd();
        floor = end ? end + kReserve : 1;
    }
    return floor;
}

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

int32_t WalkTree(const ExprNode* root, PixelContext& context) {
    const uintptr_t here = StackPosition();
    const uintptr_t budget = here > kNativeBudget ? here - kNativeBudget : 0;
    return Eval(root, context, std::max(budget, StackFloor()));
}

}  // namespace zv

// SPDX-License-Identifier: MIT
// Depth-first evaluation on an explicit stack: a visit per node whose
// children are still being evaluated, and the values of finished children.
#include "eval/deep.h"

#include <cstdlib>

#include "eval/apply.h"
#include "eval/rules.h"

namespace zv {
namespace {

// A growable array of trivially copyable items; it never shrinks, so a
// thread that has evaluated one deep tree evaluates the next without
// allocating.
template <class T>
struct Stack {
    T* items = nullptr;
    size_t size = 0, capacity = 0;

    Stack() = default;
    Stack(const Stack&) = delete;
    Stack& operator=(const Stack&) = delete;
    ~Stack() { std::free(items); }

    bool Push(T item) {
        if (size == capacity) {
            size_t grown = capacity ? 2 * capacity : 1024;
            void* p = std::realloc(items, grown * sizeof(T));
            if (!p) return false;
            items = static_cast<T*>(p);
            capacity = grown;
        }
        items[size++] = item;
        return true;
    }
    T& Top() { return items[size - 1]; }
};

struct Visit {
    const ExprNode* node;
    // Strict kinds: the child being evaluated (they run last to first).
    // Lazy kinds: 0 while child 0 runs, then the child it picked.
    int32_t child;
};

struct Stacks {
    Stack<Visit> visits;
    Stack<int32_t> values;
};
thread_local Stacks stacks;

int32_t NoArg(int32_t) {
    return 0;
}

}  // namespace

int32_t EvaluateDeep(const ExprNode& root, PixelContext& c) {
    Stack<Visit>& visits = stacks.visits;
    Stack<int32_t>& values = stacks.values;
    // Apply never evaluates a tree itself, so no other walk of this thread
    // can be using the stacks; start them afresh.
    visits.size = values.size = 0;
    const ExprNode* n = &root;
    for (;;) {
        int32_t v = 0;
        // Down: open visits until a node yields a value without children.
        for (;;) {
            if (!n) break;
            Rule rule = RuleOf(n->kind);
            if (rule.arity == 0) {
                auto none = NoArg;
                v = Apply(n->kind, *n, none, c);
                break;
            }
            int32_t first = rule.lazy ? 0 : rule.arity - 1;
            if (!visits.Push({n, first})) return 0;
            n = Child(*n, first);
        }
        // Up: hand the value to its parent until one wants another child.
        for (;;) {
            if (visits.size == 0) return v;
            Visit& f = visits.Top();
            const ExprNode& p = *f.node;
            Rule rule = RuleOf(p.kind);
            if (rule.lazy) {
                if (f.child == 0) {
                    Choice pick = Pick(p.kind, v);
                    if (pick.child) {
                        f.child = pick.child;
                        n = Child(p, pick.child);
                        break;
                    }
                    v = pick.value;
                } else {
                    v = Finish(p.kind, v);
                }
                --visits.size;
                continue;
            }
            if (!values.Push(v)) return 0;
            if (f.child > 0) {
                n = Child(p, --f.child);
                break;
            }
            // The last argument went on first, so argument 0 is on top and
            // argument i lies i below it.
            const int32_t* top = values.items + values.size - 1;
            auto arg = [top](int32_t i) { return top[-i]; };
            v = Apply(p.kind, p, arg, c);
            values.size -= rule.arity;
            --visits.size;
        }
    }
}

}  // namespace zv

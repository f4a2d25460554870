// SPDX-License-Identifier: MIT
#include "api/roots.h"

namespace zv {

namespace roots {
constinit Slot slots[kSlots];
}  // namespace roots

using namespace roots;

namespace {

Slot* Search(const ExprNode* root) {
    const uintptr_t key = KeyOf(root);
    for (size_t i = 0, s = Home(key); i < kProbes; ++i, s = (s + 1) % kSlots) {
        const uintptr_t k = slots[s].key.load(std::memory_order_acquire);
        if (k == key) return &slots[s];
        if (k == kEmpty) return nullptr;
    }
    return nullptr;
}

}  // namespace

const Program* Find(const ExprNode* root) {
    const Slot* s = Search(root);
    return s ? s->program.load(std::memory_order_relaxed) : nullptr;
}

bool Enter(const ExprNode* root, const Program* program) {
    for (size_t i = 0, s = Home(KeyOf(root)); i < kProbes; ++i, s = (s + 1) % kSlots) {
        uintptr_t k = slots[s].key.load(std::memory_order_relaxed);
        if ((k == kEmpty || k == kVacant) &&
            slots[s].key.compare_exchange_strong(k, kClaimed, std::memory_order_relaxed)) {
            slots[s].program.store(program, std::memory_order_relaxed);
            slots[s].key.store(KeyOf(root), std::memory_order_release);  // publishes the program
            return true;
        }
    }
    return false;
}

const Program* Leave(const ExprNode* root) {
    Slot* s = Search(root);
    if (!s) return nullptr;
    const Program* program = s->program.load(std::memory_order_relaxed);
    s->key.store(kVacant, std::memory_order_release);
    return program;
}

}  // namespace zv

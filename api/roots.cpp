// A fixed open-addressed table of atomic slots, constant-initialised so
// that loading the library runs nothing. A slot's key goes from empty to
// claimed to a root, and from a root to vacant, which a later root may
// claim again; an empty slot ends a search, since slots never become empty
// again.
#include "api/roots.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace zv {
namespace {

constexpr size_t kSlots = 4096;  // trees alive at once beyond this keep the tree walk
constexpr size_t kProbes = 32;
constexpr uintptr_t kEmpty = 0, kVacant = 1, kClaimed = 2;  // no root lies this low

struct Slot {
    std::atomic<uintptr_t> key{kEmpty};
    std::atomic<const Program*> program{nullptr};
};
constinit Slot slots[kSlots];

size_t Home(uintptr_t key) {
    return size_t((uint64_t{key} * 0x9E3779B97F4A7C15u) >> 52) % kSlots;  // Fibonacci hashing
}

uintptr_t KeyOf(const ExprNode* root) {
    return reinterpret_cast<uintptr_t>(root);
}

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

const Program* Find(const ExprNode* root) {
    const Slot* s = Search(root);
    return s ? s->program.load(std::memory_order_relaxed) : nullptr;
}

const Program* Leave(const ExprNode* root) {
    Slot* s = Search(root);
    if (!s) return nullptr;
    const Program* program = s->program.load(std::memory_order_relaxed);
    s->key.store(kVacant, std::memory_order_release);
    return program;
}

}  // namespace zv

/* SPDX-License-Identifier: MIT */
// The programs of the trees ZvParse made, by root. ZvExec looks a root up
// here rather than in the tree, since a host's own tree owns no room for it;
// a root that is not here runs on the tree walk.
//
// A fixed open-addressed table of atomic slots, constant-initialised so
// that loading the library runs nothing. A slot's key goes from empty to
// claimed to a root, and from a root to vacant, which a later root may
// claim again; an empty slot ends a search, since slots never become empty
// again.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "api/zorvan.h"
#include "eval/program.h"

namespace zv {

namespace roots {
inline constexpr size_t kSlots = 4096;  // trees alive at once beyond this keep the tree walk
inline constexpr size_t kProbes = 32;
inline constexpr uintptr_t kEmpty = 0, kVacant = 1, kClaimed = 2;  // no root lies this low

struct Slot {
    std::atomic<uintptr_t> key{kEmpty};
    std::atomic<const Program*> program{nullptr};
};
extern Slot slots[kSlots];

inline uintptr_t KeyOf(const ExprNode* root) {
    return reinterpret_cast<uintptr_t>(root);
}
inline size_t Home(uintptr_t key) {
    return size_t((uint64_t{key} * 0x9E3779B97F4A7C15u) >> 52) % kSlots;  // Fibonacci hashing
}
}  // namespace roots

// Keeps program for root until Leave; false when there is no room, and the
// caller keeps the program.
bool Enter(const ExprNode* root, const Program* program);

// The program kept for root, or null. Lock-free: any number of threads may
// look up while others enter and leave other roots.
const Program* Find(const ExprNode* root);

// The same where root lies in its home slot, as nearly every root does;
// else null. Inline: ZvExec asks on every call. A slot's program is set
// before its key, so a root found has one.
inline const Program* FindAtHome(const ExprNode* root) {
    const roots::Slot& home = roots::slots[roots::Home(roots::KeyOf(root))];
    if (home.key.load(std::memory_order_acquire) != roots::KeyOf(root)) return nullptr;
    return home.program.load(std::memory_order_relaxed);
}

// Forgets root; yields its program, or null.
const Program* Leave(const ExprNode* root);

}  // namespace zv

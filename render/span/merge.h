/* SPDX-License-Identifier: MIT */
// Common subexpressions of a span program: every step is pure, so a step of
// the same kind on the same values, or a constant seen before, is the value
// already computed, and is computed once.
#pragma once

#include <array>
#include <cstdint>
#include <map>

#include "render/span/span.h"

namespace zv {

class SpanMerger {
   public:
    // The value of an earlier step like s, or -1.
    int32_t Step(const SpanStep& s) const { return Find(steps_, KeyOf(s)); }
    void AddStep(const SpanStep& s) { steps_.emplace(KeyOf(s), s.out); }

    // The value that holds constant c, or -1.
    int32_t Constant(int32_t c) const { return Find(constants_, c); }
    void AddConstant(int32_t c, int32_t value) { constants_.emplace(c, value); }

   private:
    using Key = std::array<int32_t, 11>;  // kind, then the arguments

    static Key KeyOf(const SpanStep& s) {
        Key k{};
        k[0] = s.kind;
        for (int32_t j = 0; j < s.arity; ++j) k[j + 1] = s.args[j];
        return k;
    }
    template <class Map, class K>
    static int32_t Find(const Map& map, const K& key) {
        const auto it = map.find(key);
        return it == map.end() ? -1 : it->second;
    }

    std::map<Key, int32_t> steps_;
    std::map<int32_t, int32_t> constants_;
};

}  // namespace zv

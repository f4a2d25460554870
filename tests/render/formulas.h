/* SPDX-License-Identifier: MIT */
// Texts of random formulas over every operator and built-in, for the
// tests that hold the span path to ZvExec and for the seeded driver of the
// span fuzzer.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "eval/rules.h"

namespace zv::test {

// Leaves lean on edge values. With cells,
// puts and gets of a few cells too, which may or may not keep the cells
// local.
class Generator {
   public:
    explicit Generator(uint32_t seed, bool cells = false) : random_(seed), cells_(cells) {}

    std::string Formula() {
        std::string f = Expression(5);
        return Pick(cells_ ? 2 : 8) == 0 ? Expression(3) + ", " + f : f;  // a sequence
    }

   private:
    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
    template <size_t N>
    const char* From(const char* const (&list)[N]) {
        return list[Pick(N)];
    }

    std::string Leaf() {
        static const char* const kLeaves[] = {
            "0",         "1",         "-1",         "2",
            "3",         "7",         "16",         "255",
            "256",       "512",       "1023",       "1024",
            "40000",     "65536",     "2147483647", "(-2147483647 - 1)",
            "x",         "y",         "z",          "X",
            "Y",         "Z",         "t",          "D",
            "M",         "r",         "g",          "b",
            "c",         "a",         "i",          "u",
            "v",         "d",         "m",          "total",
            "x - X / 2", "y - Y / 2", "x - 300"};
        return From(kLeaves);
    }

    std::string Cell() {
        static const char* const kCells[] = {"0", "1", "0", "300"};  // 300: no cell
        return From(kCells);
    }

    std::string Expression(int depth) {
        if (cells_ && Pick(6) == 0) return "get(" + Cell() + ")";
        if (depth == 0 || Pick(5) == 0) return Leaf();
        const auto e = [&] { return Expression(depth - 1); };
        if (cells_ && Pick(4) == 0) return "put(" + e() + ", " + Cell() + ")";
        const zv::KindInfo& kind = Kind();
        const std::string name(zv::NameOf(kind));
        switch (kind.form) {
            case zv::Form::kInfix: return "(" + e() + " " + name + " " + e() + ")";
            case zv::Form::kPrefix: return name + "(" + e() + ")";
            case zv::Form::kConditional: return "(" + e() + " ? " + e() + " : " + e() + ")";
            default: {
                std::string call = name + "(";
                for (int32_t j = 0; j < zv::ArityOf(kind); ++j) call += (j ? ", " : "") + e();
                return call + ")";
            }
        }
    }

    // Any kind with arguments that a span may compute: every one but the
    // sequence (a comma inside parentheses separates arguments) and the
    // calls with effects.
    const zv::KindInfo& Kind() {
        static const std::vector<const zv::KindInfo*> kinds = [] {
            std::vector<const zv::KindInfo*> v;
            for (const zv::KindInfo& k : zv::kKinds) {
                if (zv::ArityOf(k) > 0 && k.code != ZV_SEQ && !k.depends.effect) v.push_back(&k);
            }
            return v;
        }();
        return *kinds[Pick(kinds.size())];
    }

    std::mt19937 random_;
    bool cells_;
};

}  // namespace zv::test

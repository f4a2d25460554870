/* SPDX-License-Identifier: MIT */
// Written forms to tokens: the scanner's names, named numbers and operators
// of more than one character, all taken from the table of kinds.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "front/kinds.h"

namespace zv {

struct Spelling {
    std::string_view text;
    int32_t code;   // the token: a kind, or ZV_NUMBER for a named number
    int32_t value;  // a named number's value
    int32_t row;    // where the table has it: of two equal spellings the first wins
};

namespace spelling {
template <class F>
constexpr void EachWord(std::string_view words, F f) {
    while (!words.empty()) {
        const size_t end = std::min(words.find(' '), words.size());
        if (end > 0) f(words.substr(0, end));
        words.remove_prefix(std::min(end + 1, words.size()));
    }
}
template <class F>
constexpr void EachSpelling(F f) {
    int32_t row = 0;
    for (const KindInfo& k : kKinds) {
        EachWord(k.spellings, [&](std::string_view w) { f(Spelling{w, k.code, 0, row}); });
        ++row;
    }
    for (const NamedNumber& n : kNamedNumbers) {
        EachWord(n.spellings, [&](std::string_view w) { f(Spelling{w, ZV_NUMBER, n.value, row}); });
        ++row;
    }
}
constexpr size_t Count() {
    size_t n = 0;
    EachSpelling([&n](Spelling) { ++n; });
    return n;
}
constexpr bool Before(const Spelling& a, const Spelling& b) {
    return a.text != b.text ? a.text < b.text : a.row < b.row;
}
}  // namespace spelling

inline constexpr auto kSpellings = [] {
    std::array<Spelling, spelling::Count()> t{};
    size_t i = 0;
    spelling::EachSpelling([&](Spelling s) { t[i++] = s; });
    std::sort(t.begin(), t.end(), spelling::Before);
    return t;
}();

inline constexpr size_t kLongestSpelling = [] {
    size_t n = 0;
    for (const Spelling& s : kSpellings) n = std::max(n, s.text.size());
    return n;
}();

// The longest spelling that text starts with, or null.
constexpr const Spelling* LongestSpelling(std::string_view text) {
    for (size_t n = std::min(text.size(), kLongestSpelling); n > 0; --n) {
        const std::string_view head = text.substr(0, n);
        const auto at =
            std::lower_bound(kSpellings.begin(), kSpellings.end(), head,
                             [](const Spelling& s, std::string_view h) { return s.text < h; });
        if (at != kSpellings.end() && at->text == head) return &*at;
    }
    return nullptr;
}

}  // namespace zv

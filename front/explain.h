/* SPDX-License-Identifier: MIT */
// Why a formula does not parse, in words, and what in a formula that parses
// may not mean what it says. For hosts that show messages; the three exports
// report statuses only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zv {

struct Remark {
    int32_t offset;  // byte offset of what the remark is about
    std::string text;
    // A second place the text refers to as "@" ("\"(\" at @ is not closed"),
    // or -1; the host writes it as it writes positions.
    int32_t partner = -1;
};

// Why text, which failed to parse with a syntax error found at errorOffset,
// is not a formula.
Remark ExplainSyntaxError(std::string_view text, int32_t errorOffset);

// Numbers written beyond 32 bits, which wrap (the language's behaviour, so
// only worth a warning).
std::vector<Remark> Warnings(std::string_view text);

}  // namespace zv

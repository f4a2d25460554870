// Filter files (.zvf): a title, a one-line description, default control
// values with names, and formulas for channels, in a line-based text format
// described in the tool's README.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/zorvan/formula.h"

namespace zv::cli {

// Channels a formula is for, one bit per channel: red is bit 0.
using ChannelSet = unsigned;
constexpr ChannelSet kColourChannels = 0b0111;
constexpr ChannelSet kAllChannels = 0b1111;

struct ChannelFormula {
    ChannelSet channels;
    FormulaText formula;
};

struct ControlDefault {
    std::string name;
    int32_t value = 0;
    bool given = false;
};

struct FilterFile {
    std::string title;
    std::string about;
    std::array<ControlDefault, 8> controls;
    std::vector<ChannelFormula> formulas;  // in the file's order
};

// Parses the text of a filter file; name is how messages call the file.
// A malformed file fails with exit 2 and "name:line: reason".
FilterFile ParseFilterFile(std::string_view text, const std::string& name);

// Reads and parses the file at path; an unreadable file fails with exit 1.
FilterFile ReadFilterFile(const std::string& path);

}  // namespace zv::cli

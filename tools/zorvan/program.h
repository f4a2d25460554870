// The formulas of one run, compiled, with the one each channel uses.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tools/zorvan/filter_file.h"
#include "tools/zorvan/formula.h"

namespace zv::cli {

// A formula offered for some channels. Where several cover a channel, the
// one of higher priority wins, then the one for fewer channels, then the
// later one.
struct FormulaOffer {
    ChannelSet channels;
    FormulaText formula;
    int priority;  // filter files 0, the command line 1
};

struct Program {
    std::array<const ExprNode*, 4> trees{};  // per channel; null keeps the channel
    std::array<std::string, 4> origins;      // where each channel's formula came from
    bool visitingOrder = false;              // a used formula calls put or rnd
    bool addsAlpha = false;                  // alpha has a formula of its own, so images gain one
    std::vector<Tree> owned;

    bool Computes(int channel) const { return trees[channel] != nullptr; }
};

// The formulas of a filter file, at priority 0.
std::vector<FormulaOffer> FilterOffers(const FilterFile& filter);

// The control values a filter file gives, 0 for the others.
std::array<int32_t, 8> FilterControls(const FilterFile& filter);

// Compiles every offer (the first that does not parse fails with exit 2) and
// picks each channel's formula.
Program CompileProgram(const std::vector<FormulaOffer>& offers);

}  // namespace zv::cli

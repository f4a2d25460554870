/* SPDX-License-Identifier: MIT */
// What a compiled filter holds: each channel's tree and, for the channels
// whose formulas are pure, their span programs, one per distinct formula.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "eval/program.h"
#include "render/formula.h"
#include "render/span/span.h"
#include "zorvan/render.hpp"

namespace zv {

// The channels that share one formula, and its span program.
struct SpanGroup {
    const ExprNode* tree;
    std::unique_ptr<SpanProgram> program;      // null: computed per pixel
    std::unique_ptr<SpanProgram> interleaved;  // null: by runs of pixels only
    const char* reason;                        // why it is not compiled
    std::vector<int32_t> channels;
};

namespace detail {

struct FilterData {
    std::array<const ExprNode*, 4> trees{};  // per channel; null keeps the channel
    std::array<const Program*, 4> programs{};  // per channel; null takes the tree walk
    std::array<std::string, 4> origins;      // where each channel's formula came from
    bool visitingOrder = false;              // a used formula calls rnd or shares cells
    bool countedDraws = false;               // visitingOrder for rnd alone, counted (draws.h)
    bool addsAlpha = false;                  // alpha has a formula of its own
    bool readsAlpha = false;                 // a formula has a, src or rad
    FilterInputs inputs;                     // what the used formulas read
    std::vector<SpanGroup> groups;           // empty when visitingOrder
    std::array<ControlDefault, 8> controls;  // from a filter file
    std::vector<Tree> owned;
    std::vector<std::unique_ptr<Program>> compiled;  // of each owned tree
    std::vector<Warning> warnings;  // about every formula offered

    bool Computes(int channel) const { return trees[channel] != nullptr; }
    int32_t TargetChannels(int32_t sourceChannels) const {
        return sourceChannels == 4 || addsAlpha ? 4 : 3;
    }
    // Whether formulas can read alpha: colour channels only through a, src
    // and rad; alpha itself, when computed, through c and cnv too.
    bool ReadsAlpha(bool computesAlpha) const { return readsAlpha || computesAlpha; }
};

}  // namespace detail

// What a filter compiled to, for the renderer.
inline const detail::FilterData& DataOf(const Filter& filter) {
    return *filter.data_;
}

}  // namespace zv

/* SPDX-License-Identifier: MIT */
// The control values of a run: the filter file's defaults, then --ctl
// settings by number or by the name the file gives the control.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/zorvan/commands/commands.h"
#include "zorvan/render.hpp"

namespace zv::cli {

// Fails with exit 2 for a name that file (which may be null) does not give.
std::array<int32_t, 8> ControlsFor(const std::vector<ControlSetting>& settings,
                                   const FilterFile* file);

}  // namespace zv::cli

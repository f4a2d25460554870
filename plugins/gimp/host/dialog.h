/* SPDX-License-Identifier: MIT */
// Filters > Zorvan > Formula...: the filter's text, its sliders, the
// examples, .zvf files and a live preview.
#pragma once

#include <libgimp/gimp.h>

#include <optional>

#include "plugins/gimp/core/settings.h"

namespace zvgimp {

// The settings the user accepts, or nothing when they close the dialog.
std::optional<Settings> RunDialog(gint32 drawable, const Settings& start);

}  // namespace zvgimp

/* SPDX-License-Identifier: MIT */
// A run over a GIMP drawable: the checks that refuse it, then one undo step
// that writes the selected pixels through the shadow buffer.
#pragma once

#include <libgimp/gimp.h>

#include <string>

#include "plugins/gimp/core/settings.h"

namespace zvgimp {

struct Outcome {
    GimpPDBStatusType status = GIMP_PDB_SUCCESS;
    std::string message;  // why it failed
};

// Why this drawable cannot be filtered, or "".
std::string Refusal(gint32 drawable);

Outcome Apply(gint32 drawable, const Settings& settings);

}  // namespace zvgimp

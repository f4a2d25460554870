/* SPDX-License-Identifier: MIT */
// A run over a GIMP drawable: the checks that refuse it, reading it at 8
// bits, then one undo step that writes the selected pixels through the
// shadow buffer.
#pragma once

#include <libgimp/gimp.h>

#include <string>

#include "plugins/gimp/core/settings.h"
#include "plugins/gimp/host/gegl_pixels.h"

namespace zvgimp {

struct Outcome {
    GimpPDBStatusType status = GIMP_PDB_SUCCESS;
    std::string message;  // why it failed
};

// Why this drawable cannot be filtered, or "".
std::string Refusal(gint32 drawable);

// The 8-bit format the drawable is filtered in, and its pixels in it.
const Babl* FilterFormat(gint32 drawable);
Pixels ReadDrawable(gint32 drawable, const Babl* format, const RowsDone& done = {});

Outcome Apply(gint32 drawable, const Settings& settings);

}  // namespace zvgimp

/* SPDX-License-Identifier: MIT */
// The photo formats as the studio's page sees them, from the photo
// library's table.
#pragma once

#include <nlohmann/json.hpp>

#include "zorvan/photo.hpp"

namespace zv::cli {

// Each format's name, extensions, media type and whether it writes, for
// the page's file picker and Export's choices.
nlohmann::json FormatsForPage();

}  // namespace zv::cli

/* SPDX-License-Identifier: MIT */
// The photo formats as the studio names them, to people and to its page,
// all from the photo library's table.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "zorvan/photo.hpp"

namespace zv::cli {

// The format, written or read only, whose extension path has (any case).
std::optional<photo::Format> ReadFormatForPath(const std::string& path);

// "PNG, JPEG, TIFF, WebP or BMP": the names of every format, or of those
// that write, by usual extension ("png, jpg, tif or webp").
std::string FormatNames(bool written);

// Each format's name, extensions, media type and whether it writes, for
// the page's file picker and Export's choices.
nlohmann::json FormatsForPage();

}  // namespace zv::cli

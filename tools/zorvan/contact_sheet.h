/* SPDX-License-Identifier: MIT */
// A contact sheet: pictures in a grid on a dark ground, each with its label
// below it. Pictures with alpha are shown over a grey checkerboard.
#pragma once

#include <string>
#include <vector>

#include "tools/zorvan/photos.h"

namespace zv::cli {

struct Tile {
    std::string label;
    const Image* image;  // all tiles of a sheet have one size
};

// The sheet, an RGB image, with up to `columns` tiles a row.
Image ContactSheet(const std::vector<Tile>& tiles, int32_t columns);

}  // namespace zv::cli

/* SPDX-License-Identifier: MIT */
// Photos as the render library sees them, and filters rendered over them.
#pragma once

#include "tools/zorvan/photos.h"
#include "zorvan/render.hpp"

namespace zv::cli {

inline ImageView View(const Image& image) {
    return {image.pixels.data(), image.width, image.height, image.channels, image.RowBytes()};
}
inline MutableImageView Writable(Image& image) {
    return {image.pixels.data(), image.width, image.height, image.channels, image.RowBytes()};
}

// filter rendered over the whole of source into a new image.
Image Rendered(const Filter& filter, const Image& source, const RenderSettings& settings);

}  // namespace zv::cli

/* SPDX-License-Identifier: MIT */
// An 8-bit image with three (RGB) or four (RGBA) interleaved channels, rows
// top to bottom without padding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "photo/pixel_bytes.h"

namespace zv::photo::detail {

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 0;  // 3 or 4
    PixelBytes pixels;

    Image() = default;
    Image(int32_t w, int32_t h, int32_t c);

    size_t RowBytes() const { return static_cast<size_t>(width) * channels; }
    uint8_t* Row(int32_t y) { return pixels.data() + RowBytes() * y; }
    const uint8_t* Row(int32_t y) const { return pixels.data() + RowBytes() * y; }
};

// Larger images are refused before anything is allocated for them.
constexpr int64_t kMaxPixels = 100'000'000;

// Fails (exit 1, naming path) unless width × height is a usable size.
void CheckImageSize(const std::string& path, int64_t width, int64_t height);

// The same pixels with `channels` channels: an added alpha channel is 255,
// a dropped one is discarded.
Image WithChannels(const Image& image, int32_t channels);

}  // namespace zv::photo::detail

// SPDX-License-Identifier: MIT
#include "photo/image.h"

#include "photo/failure.h"

namespace zv::photo::detail {

Image::Image(int32_t w, int32_t h, int32_t c)
    : width(w), height(h), channels(c), pixels(static_cast<size_t>(w) * h * c) {}

void CheckImageSize(const std::string& path, int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) FailFile(path, "the image has no pixels");
    if (width > kMaxPixels / height) {
        FailFile(path, "the image is " + std::to_string(width) + "x" + std::to_string(height) +
                           ", more than the limit of " + std::to_string(kMaxPixels / 1'000'000) +
                           " megapixels");
    }
}

Image WithChannels(const Image& image, int32_t channels) {
    if (image.channels == channels) return image;
    Image out(image.width, image.height, channels);
    const size_t count = static_cast<size_t>(image.width) * image.height;
    const uint8_t* from = image.pixels.data();
    uint8_t* to = out.pixels.data();
    for (size_t i = 0; i < count; ++i, from += image.channels, to += channels) {
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
        if (channels == 4) to[3] = 255;
    }
    return out;
}

}  // namespace zv::photo::detail

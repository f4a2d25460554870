// SPDX-License-Identifier: MIT
#include "plugins/gimp/core/pixels.h"

#include <string>

namespace zvgimp {

namespace {

// Which channel of the render target each drawable channel takes, by the
// drawable's channel count.
constexpr int kTargetChannel[5][4] = {{}, {0}, {0, 3}, {0, 1, 2}, {0, 1, 2, 3}};

}  // namespace

std::string CheckSize(int64_t width, int64_t height) {
    if (width * height <= kMaxPixels) return {};
    return "the drawable is " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels; Zorvan filters at most " + std::to_string(kMaxPixels >> 20) + " megapixels";
}

RenderSource::RenderSource(Pixels owned) : pixels_(std::move(owned)), grey_(pixels_.Grey()) {
    const Pixels& pixels = pixels_;
    const bool alpha = pixels.channels % 2 == 0;
    const int channels = alpha ? 4 : 3;
    const uint8_t* data = pixels.bytes.data();
    if (grey_) {
        const size_t count = static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height);
        spread_.resize(count * static_cast<size_t>(channels));
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = data + i * static_cast<size_t>(pixels.channels);
            uint8_t* q = spread_.data() + i * static_cast<size_t>(channels);
            q[0] = q[1] = q[2] = p[0];
            if (alpha) q[3] = p[1];
        }
        data = spread_.data();
    }
    view_ = {data, pixels.width, pixels.height, channels,
             static_cast<size_t>(pixels.width) * static_cast<size_t>(channels)};
}

zv::Status RenderRect(const zv::Filter& filter, const RenderSource& source, int channels,
                      const zv::Rect& rect, const zv::RenderSettings& settings,
                      std::vector<uint8_t>& out) {
    zv::RenderSettings s = settings;
    s.region = rect;
    s.step = 1;
    const int32_t targetChannels = filter.TargetChannels(source.View().channels);
    const size_t count = static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height);
    out.resize(count * static_cast<size_t>(channels));
    // A colour drawable the target's shape renders in place.
    if (targetChannels == channels) {
        const zv::MutableImageView target{out.data(), rect.width, rect.height, channels,
                                          static_cast<size_t>(rect.width) * channels};
        return zv::Render(filter, source.View(), target, s);
    }
    std::vector<uint8_t> rendered(count * static_cast<size_t>(targetChannels));
    const zv::MutableImageView target{rendered.data(), rect.width, rect.height, targetChannels,
                                      static_cast<size_t>(rect.width) * targetChannels};
    const zv::Status status = zv::Render(filter, source.View(), target, s);
    if (status != zv::Status::kOk) return status;
    const int* from = kTargetChannel[channels];
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = rendered.data() + i * static_cast<size_t>(targetChannels);
        uint8_t* q = out.data() + i * static_cast<size_t>(channels);
        for (int k = 0; k < channels; ++k) q[k] = p[from[k]];
    }
    return status;
}

zv::Status RenderThenWrite(const zv::Filter& filter, const RenderSource& source, int channels,
                           const zv::Rect& rect, const zv::RenderSettings& settings,
                           const std::function<void(const std::vector<uint8_t>&)>& write) {
    std::vector<uint8_t> out;
    const zv::Status status = RenderRect(filter, source, channels, rect, settings, out);
    if (status == zv::Status::kOk) write(out);
    return status;
}

std::vector<uint8_t> ForScreen(const uint8_t* pixels, int32_t width, int32_t height,
                               int channels, bool grey) {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> rgb(count * 3);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(width) +
                             static_cast<size_t>(x);
            const uint8_t* p = pixels + i * static_cast<size_t>(channels);
            const unsigned alpha = channels == 4 ? p[3] : 255;
            const unsigned check = ((x >> 3) + (y >> 3)) % 2 ? 153 : 102;
            for (int k = 0; k < 3; ++k) {
                const unsigned v = p[grey ? 0 : k];
                rgb[i * 3 + static_cast<size_t>(k)] =
                    static_cast<uint8_t>((v * alpha + check * (255 - alpha) + 127) / 255);
            }
        }
    }
    return rgb;
}

}  // namespace zvgimp

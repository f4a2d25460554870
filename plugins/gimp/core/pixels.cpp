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

RenderSource::RenderSource(Pixels owned) : pixels_(std::move(owned)) {
    const Pixels& pixels = pixels_;
    const bool alpha = pixels.channels % 2 == 0;
    const int channels = alpha ? 4 : 3;
    const uint8_t* data = pixels.bytes.data();
    if (pixels.Grey()) {
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

zv::Status RenderRect(const zv::Filter& filter, const RenderSource& source, const zv::Rect& rect,
                      int32_t step, const zv::RenderSettings& settings, Bytes& out) {
    zv::RenderSettings s = settings;
    s.region = rect;
    s.step = step;
    const int32_t width = (rect.width + step - 1) / step, height = (rect.height + step - 1) / step;
    const int channels = source.Channels();
    const int32_t targetChannels = filter.TargetChannels(source.View().channels);
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    out.resize(count * static_cast<size_t>(channels));
    // A colour drawable the target's shape renders in place.
    if (targetChannels == channels) {
        const zv::MutableImageView target{out.data(), width, height, channels,
                                          static_cast<size_t>(width) * channels};
        return zv::Render(filter, source.View(), target, s);
    }
    Bytes rendered(count * static_cast<size_t>(targetChannels));
    const zv::MutableImageView target{rendered.data(), width, height, targetChannels,
                                      static_cast<size_t>(width) * targetChannels};
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

}  // namespace zvgimp

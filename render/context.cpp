// SPDX-License-Identifier: MIT
#include "render/context.h"

#include <cmath>

namespace zv {

RenderContext::RenderContext(const ImageView& source, int32_t channels,
                             const RenderSettings& settings, bool readsAlpha)
    : rows_(static_cast<size_t>(source.height)) {
    for (int32_t y = 0; y < source.height; ++y) rows_[y] = source.pixels + source.stride * y;
    PixelContext& c = base_;
    c.width = source.width;
    c.height = source.height;
    c.maxX = source.width - 1;
    c.maxY = source.height - 1;
    c.centerX = source.width / 2;
    c.centerY = source.height / 2;
    c.dMax = 1024;
    const double cx = c.centerX, cy = c.centerY;
    c.mMax = static_cast<int32_t>(std::sqrt(cx * cx + cy * cy));
    c.channelCount = channels;
    c.t = settings.t;
    c.total = settings.total;
    for (size_t i = 0; i < settings.controls.size(); ++i) c.controls[i] = settings.controls[i];
    c.rows = rows_.data();
    c.pixelStride = source.channels;
    c.pixelBase = 0;
    for (int32_t k = 0; k < 4; ++k) c.channelOffset[k] = k < source.channels ? k : 0;
    if (source.channels < 4 && readsAlpha) {
        opaque_.assign(static_cast<size_t>(source.width) * source.height, 255);
        c.alphaPlane = opaque_.data();
    }
}

}  // namespace zv

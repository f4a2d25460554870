#include "tools/zorvan/frame.h"

#include <cmath>

namespace zv::cli {

int32_t OutputChannels(const Program& program, const Image& source) {
    return source.channels == 4 || program.addsAlpha ? 4 : 3;
}

FrameRecord::FrameRecord(const Image& source, int32_t channels, const FrameSettings& settings,
                         bool readsAlpha)
    : rows_(source.height) {
    for (int32_t y = 0; y < source.height; ++y) rows_[y] = source.Row(y);
    PixelContext& r = base_;
    r.width = source.width;
    r.height = source.height;
    r.maxX = source.width - 1;
    r.maxY = source.height - 1;
    r.centerX = source.width / 2;
    r.centerY = source.height / 2;
    r.dMax = 1024;
    const double cx = r.centerX, cy = r.centerY;
    r.mMax = static_cast<int32_t>(std::sqrt(cx * cx + cy * cy));
    r.channelCount = channels;
    r.t = settings.t;
    r.total = settings.total;
    for (size_t i = 0; i < settings.controls.size(); ++i) r.controls[i] = settings.controls[i];
    r.rows = rows_.data();
    r.pixelStride = source.channels;
    r.pixelBase = 0;
    for (int32_t k = 0; k < 4; ++k) r.channelOffset[k] = k < source.channels ? k : 0;
    if (source.channels < 4 && readsAlpha) {
        opaque_.assign(static_cast<size_t>(source.width) * source.height, 255);
        r.alphaPlane = opaque_.data();
    }
}

void RenderPixelRow(const Program& program, const Image& source, Image& out,
                    const std::vector<int32_t>& computed, PixelContext& record, int32_t y) {
    const uint8_t* pixel = source.Row(y);
    uint8_t* target = out.Row(y);
    for (int32_t x = 0; x < source.width; ++x) {
        MoveTo(record, pixel, x, y);
        for (const int32_t k : computed) {
            target[k] =
                ClampToByte(EvaluateChannel(program.trees[k], record, pixel, source.channels, k));
        }
        pixel += source.channels;
        target += out.channels;
    }
}

}  // namespace zv::cli

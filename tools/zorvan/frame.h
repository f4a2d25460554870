// How the tool fills the library's pixel record: the part of its contract
// that every engine shares.
#pragma once

#include <vector>

#include "api/zorvan.h"
#include "tools/zorvan/engine.h"
#include "tools/zorvan/image.h"
#include "tools/zorvan/program.h"

namespace zv::cli {

// The number of channels the filtered image has: the source's, plus alpha
// when the program gives alpha a formula of its own.
int32_t OutputChannels(const Program& program, const Image& source);

// The parts of the record that hold for a whole frame: the source image's
// rows, the sizes, the centre, D and M, the controls, t and total. An image
// without alpha reads alpha from an opaque plane of 255, which an engine
// whose formulas read no alpha may go without (readsAlpha false).
class FrameRecord {
   public:
    FrameRecord(const Image& source, int32_t channels, const FrameSettings& settings,
                bool readsAlpha = true);
    FrameRecord(const FrameRecord&) = delete;
    FrameRecord& operator=(const FrameRecord&) = delete;

    // A record for the frame's first pixel, with every cell 0.
    const PixelContext& Fresh() const { return base_; }

   private:
    std::vector<const uint8_t*> rows_;
    std::vector<uint8_t> opaque_;
    PixelContext base_{};
};

// Points the record at the pixel (x, y) of source: position and r, g, b.
inline void MoveTo(PixelContext& record, const uint8_t* pixel, int32_t x, int32_t y) {
    record.x = x;
    record.y = y;
    record.red = pixel[0];
    record.green = pixel[1];
    record.blue = pixel[2];
}

// The raw value of tree for channel k of the pixel the record is at; the
// source pixel has sourceChannels channels (alpha is 255 when it has none).
inline int32_t EvaluateChannel(const ExprNode* tree, PixelContext& record, const uint8_t* pixel,
                               int32_t sourceChannels, int32_t k) {
    record.channel = k;
    record.current = k < sourceChannels ? pixel[k] : 255;
    return ZvExec(tree, &record);
}

inline uint8_t ClampToByte(int32_t value) {
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

// Row y of the channels `computed` of out, one ZvExec call per pixel and
// channel in visiting order.
void RenderPixelRow(const Program& program, const Image& source, Image& out,
                    const std::vector<int32_t>& computed, PixelContext& record, int32_t y);

}  // namespace zv::cli

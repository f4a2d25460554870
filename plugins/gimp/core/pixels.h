/* SPDX-License-Identifier: MIT */
// A drawable's pixels at 8 bits as the host reads them (Y, YA, RGB or RGBA),
// and how filters run over them: a grey pixel is seen as r = g = b = its
// value and red's result is written back; the whole drawable is the image
// the formulas see, whatever part of it is rendered.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "zorvan/render.hpp"

namespace zvgimp {

// The most pixels a drawable may have: a render holds it three times over.
inline constexpr int64_t kMaxPixels = int64_t{1} << 28;

struct Pixels {
    int32_t width = 0, height = 0;
    int channels = 0;  // 1 Y, 2 YA, 3 RGB, 4 RGBA
    std::vector<uint8_t> bytes;

    bool Grey() const { return channels <= 2; }
    size_t Stride() const { return static_cast<size_t>(width) * static_cast<size_t>(channels); }
};

// "" when a drawable of this size and channel count can be filtered, else why not.
std::string CheckSize(int64_t width, int64_t height);

// The drawable as the render library reads it: RGB or RGBA, grey pixels
// spread over three channels. It keeps the pixels the view shows.
class RenderSource {
   public:
    explicit RenderSource(Pixels pixels);
    const zv::ImageView& View() const { return view_; }
    bool Grey() const { return grey_; }

   private:
    Pixels pixels_;
    std::vector<uint8_t> spread_;
    zv::ImageView view_;
    bool grey_;
};

// Renders the filter over rect of source and returns the rect's pixels in
// the drawable's `channels`; on kCancelled out holds a part.
zv::Status RenderRect(const zv::Filter& filter, const RenderSource& source, int channels,
                      const zv::Rect& rect, const zv::RenderSettings& settings,
                      std::vector<uint8_t>& out);

// A whole run's rendering: write is given rect's pixels only when the render
// ran to the end, so a cancelled run (progress returned false) or one that
// throws leaves the drawable as it was.
zv::Status RenderThenWrite(const zv::Filter& filter, const RenderSource& source, int channels,
                           const zv::Rect& rect, const zv::RenderSettings& settings,
                           const std::function<void(const std::vector<uint8_t>&)>& write);

// An RGB picture for the screen of an 8-bit render target: grey shows red's
// result, alpha is laid over a checkerboard.
std::vector<uint8_t> ForScreen(const uint8_t* pixels, int32_t width, int32_t height,
                               int channels, bool grey);

}  // namespace zvgimp

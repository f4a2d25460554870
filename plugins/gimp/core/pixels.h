/* SPDX-License-Identifier: MIT */
// A drawable's pixels at 8 bits as the host reads them (Y, YA, RGB or RGBA),
// and how filters run over them: a grey pixel is seen as r = g = b = its
// value and red's result is written back; the whole drawable is the image
// the formulas see, whatever part of it is rendered.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "photo/pixel_bytes.h"
#include "zorvan/render.hpp"

namespace zvgimp {

// A drawable's pixels and a render's result, on huge pages as the tool's
// images are: each run is a fresh process, and faulting in 36 MB a 4 KiB
// page at a time cost the plug-in about 100 ms more than the tool's render.
using Bytes = zv::photo::detail::PixelBytes;

// The most pixels a drawable may have: a render holds it three times over.
inline constexpr int64_t kMaxPixels = int64_t{1} << 28;

struct Pixels {
    int32_t width = 0, height = 0;
    int channels = 0;  // 1 Y, 2 YA, 3 RGB, 4 RGBA
    Bytes bytes;

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
    // The drawable's own channel count, which results come back in.
    int Channels() const { return pixels_.channels; }

   private:
    Pixels pixels_;
    Bytes spread_;
    zv::ImageView view_;
};

// Renders the filter over rect of source, every step-th pixel across and
// down, and gives the ceil(width / step) x ceil(height / step) pixels in
// the drawable's channels; on kCancelled out holds a part.
zv::Status RenderRect(const zv::Filter& filter, const RenderSource& source, const zv::Rect& rect,
                      int32_t step, const zv::RenderSettings& settings, Bytes& out);

}  // namespace zvgimp

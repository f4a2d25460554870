// SPDX-License-Identifier: MIT
#include "plugins/gimp/host/gegl_pixels.h"

#include <algorithm>
#include <string>

namespace zvgimp {

namespace {

// A layer's 8-bit format by its channel count.
constexpr const char* kLayerFormats[5] = {"", "Y' u8", "Y'A u8", "R'G'B' u8", "R'G'B'A u8"};

// Rows a band holds: two of GIMP's 128-pixel tile rows, so that progress
// moves often and each tile is fetched once.
constexpr int32_t kBandRows = 256;

// Calls copy(band) for bands of rect's rows, top to bottom.
template <typename Copy>
void InBands(const zv::Rect& rect, const RowsDone& done, Copy copy) {
    for (int32_t y = 0; y < rect.height; y += kBandRows) {
        const int32_t rows = std::min(kBandRows, rect.height - y);
        copy(GeglRectangle{rect.x, rect.y + y, rect.width, rows}, static_cast<size_t>(y));
        if (done) done(y + rows, rect.height);
    }
}

}  // namespace

const Babl* EightBitFormat(const Babl* drawableFormat, bool layer) {
    const std::string name =
        layer ? kLayerFormats[babl_format_get_n_components(drawableFormat)]
              : babl_get_name(babl_format_get_model(drawableFormat)) + std::string(" u8");
    return babl_format_with_space(name.c_str(), drawableFormat);
}

Pixels ReadPixels(GeglBuffer* buffer, const Babl* format, const RowsDone& done) {
    const GeglRectangle* extent = gegl_buffer_get_extent(buffer);
    Pixels pixels;
    pixels.width = extent->width;
    pixels.height = extent->height;
    pixels.channels = babl_format_get_n_components(format);
    const size_t stride = pixels.Stride();
    pixels.bytes.resize(stride * static_cast<size_t>(pixels.height));
    InBands({extent->x, extent->y, extent->width, extent->height}, done,
            [&](const GeglRectangle& band, size_t row) {
                gegl_buffer_get(buffer, &band, 1.0, format, pixels.bytes.data() + row * stride,
                                static_cast<gint>(stride), GEGL_ABYSS_NONE);
            });
    return pixels;
}

void WritePixels(GeglBuffer* buffer, const Babl* format, const zv::Rect& rect,
                 const Bytes& bytes, const RowsDone& done) {
    const size_t stride =
        static_cast<size_t>(rect.width) * static_cast<size_t>(babl_format_get_n_components(format));
    InBands(rect, done, [&](const GeglRectangle& band, size_t row) {
        gegl_buffer_set(buffer, &band, 0, format, bytes.data() + row * stride,
                        static_cast<gint>(stride));
    });
    gegl_buffer_flush(buffer);
}

}  // namespace zvgimp

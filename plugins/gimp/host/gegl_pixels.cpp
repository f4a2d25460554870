// SPDX-License-Identifier: MIT
#include "plugins/gimp/host/gegl_pixels.h"

#include <string>

namespace zvgimp {

const Babl* EightBitFormat(const Babl* drawableFormat) {
    const std::string model = babl_get_name(babl_format_get_model(drawableFormat));
    return babl_format_with_space((model + " u8").c_str(), drawableFormat);
}

Pixels ReadPixels(GeglBuffer* buffer, const Babl* format) {
    const GeglRectangle* extent = gegl_buffer_get_extent(buffer);
    Pixels pixels;
    pixels.width = extent->width;
    pixels.height = extent->height;
    pixels.channels = babl_format_get_n_components(format);
    pixels.bytes.resize(pixels.Stride() * static_cast<size_t>(pixels.height));
    gegl_buffer_get(buffer, extent, 1.0, format, pixels.bytes.data(),
                    static_cast<gint>(pixels.Stride()), GEGL_ABYSS_NONE);
    return pixels;
}

void WritePixels(GeglBuffer* buffer, const Babl* format, const zv::Rect& rect,
                 const std::vector<uint8_t>& bytes) {
    const GeglRectangle area{rect.x, rect.y, rect.width, rect.height};
    gegl_buffer_set(buffer, &area, 0, format, bytes.data(),
                    rect.width * babl_format_get_n_components(format));
    gegl_buffer_flush(buffer);
}

}  // namespace zvgimp

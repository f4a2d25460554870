#include "plugins/gimp/host/gegl_pixels.h"

#include <string>

namespace zvgimp {

namespace {

// One copy between a buffer and bytes laid out row after row from whole's
// top left. Bands of rows go to GEGL's threads: babl converts each tile on
// one thread, and 12 MP is hundreds of tiles.
struct Transfer {
    GeglBuffer* buffer;
    const Babl* format;
    GeglRectangle whole;
    uint8_t* bytes;
    size_t stride;
    bool write;
};

// Each band a thread must copy for taking one, in pixels: below it one thread is faster.
constexpr double kThreadCost = 64.0 * 64.0;

void Band(const GeglRectangle* area, gpointer data) {
    const Transfer& t = *static_cast<const Transfer*>(data);
    uint8_t* at = t.bytes + static_cast<size_t>(area->y - t.whole.y) * t.stride +
                  static_cast<size_t>(area->x - t.whole.x) *
                      static_cast<size_t>(babl_format_get_bytes_per_pixel(t.format));
    const auto stride = static_cast<gint>(t.stride);
    if (t.write) {
        gegl_buffer_set(t.buffer, area, 0, t.format, at, stride);
    } else {
        gegl_buffer_get(t.buffer, area, 1.0, t.format, at, stride, GEGL_ABYSS_NONE);
    }
}

void Run(Transfer transfer) {
    gegl_parallel_distribute_area(&transfer.whole, kThreadCost, GEGL_SPLIT_STRATEGY_HORIZONTAL,
                                  Band, &transfer);
}

}  // namespace

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
    Run({buffer, format, *extent, pixels.bytes.data(), pixels.Stride(), false});
    return pixels;
}

void WritePixels(GeglBuffer* buffer, const Babl* format, const zv::Rect& rect,
                 const std::vector<uint8_t>& bytes) {
    const size_t stride = static_cast<size_t>(rect.width) *
                          static_cast<size_t>(babl_format_get_n_components(format));
    // Only read through the pointer when writing to the buffer.
    Run({buffer, format, {rect.x, rect.y, rect.width, rect.height},
         const_cast<uint8_t*>(bytes.data()), stride, true});
    gegl_buffer_flush(buffer);
}

}  // namespace zvgimp

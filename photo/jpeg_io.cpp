// SPDX-License-Identifier: MIT
// JPEG through libjpeg-turbo. Its fatal errors longjmp back into the function
// that set the jump, as with PNG; a file that ends early is treated as one.
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// After <cstdio>, which jpeglib.h needs; jerror.h needs jpeglib.h.
#include <jerror.h>
#include <jpeglib.h>

#include "photo/failure.h"
#include "photo/image_io.h"

namespace zv::photo::detail {

namespace {

struct ErrorState {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
    const int reason = errno;
    auto* error = reinterpret_cast<ErrorState*>(info->err);
    (*info->err->format_message)(info, error->text);
    // Its stdio destination guesses "out of disk space?"; the system knows.
    if (info->err->msg_code == JERR_FILE_WRITE) {
        std::snprintf(error->text, sizeof error->text, "%s", std::strerror(reason));
    }
    std::longjmp(error->jump, 1);
}

// A warning means damaged data that libjpeg would patch over (corrupt
// entropy data, missing bytes), so it fails the read; trace messages
// (level >= 0) are dropped.
void OnMessage(j_common_ptr info, int level) {
    if (level >= 0) return;
    auto* error = reinterpret_cast<ErrorState*>(info->err);
    const int code = info->err->msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) {
        std::snprintf(error->text, sizeof error->text, "the file is truncated");
    } else {
        (*info->err->format_message)(info, error->text);
    }
    std::longjmp(error->jump, 1);
}

void InitErrors(ErrorState& error) {
    jpeg_std_error(&error.manager);
    error.manager.error_exit = OnError;
    error.manager.emit_message = OnMessage;
    error.text[0] = 0;
}

struct Decompressor {
    jpeg_decompress_struct info{};
    ~Decompressor() { jpeg_destroy_decompress(&info); }
};

struct Compressor {
    jpeg_compress_struct info{};
    ~Compressor() { jpeg_destroy_compress(&info); }
};

// One row of CMYK samples as RGB: each colour is what its ink and black
// leave of white.
void InkToRgb(const uint8_t* ink, uint8_t* rgb, int32_t width, bool inverted) {
    const unsigned flip = inverted ? 0 : 255;
    for (int32_t x = 0; x < width; ++x, ink += 4, rgb += 3) {
        const unsigned k = ink[3] ^ flip;
        for (int i = 0; i < 3; ++i)
            rgb[i] = static_cast<uint8_t>(((ink[i] ^ flip) * k + 127) / 255);
    }
}

}  // namespace

Image ReadJpeg(std::FILE* file, const std::string& path) {
    ErrorState error;
    Decompressor d;
    Image image;
    std::vector<JSAMPLE> ink;
    InitErrors(error);
    d.info.err = &error.manager;
    if (setjmp(error.jump)) FailFile(path, std::string("bad JPEG: ") + error.text);

    jpeg_create_decompress(&d.info);
    jpeg_stdio_src(&d.info, file);
    jpeg_read_header(&d.info, TRUE);
    CheckImageSize(path, d.info.image_width, d.info.image_height);
    // CMYK and YCCK come out as CMYK, made RGB here; libjpeg does not.
    const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
    d.info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&d.info);
    if (d.info.output_components != (cmyk ? 4 : 3)) {
        FailFile(path, "unsupported JPEG colour layout");
    }
    image = Image(static_cast<int32_t>(d.info.output_width),
                  static_cast<int32_t>(d.info.output_height), 3);
    ink.resize(cmyk ? static_cast<size_t>(image.width) * 4 : 0);
    while (d.info.output_scanline < d.info.output_height) {
        uint8_t* rgb = image.Row(static_cast<int32_t>(d.info.output_scanline));
        JSAMPROW row = cmyk ? ink.data() : rgb;
        jpeg_read_scanlines(&d.info, &row, 1);
        // Adobe's files store the inks inverted, most others do not.
        if (cmyk) InkToRgb(ink.data(), rgb, image.width, d.info.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&d.info);
    return image;
}

void WriteJpeg(const Image& image, const WriteSettings& settings, std::FILE* file,
               const std::string& path) {
    ErrorState error;
    Compressor c;
    std::vector<JSAMPLE> rgb(static_cast<size_t>(image.width) * 3);
    InitErrors(error);
    c.info.err = &error.manager;
    if (setjmp(error.jump)) FailFile(path, std::string("cannot write JPEG: ") + error.text);

    jpeg_create_compress(&c.info);
    jpeg_stdio_dest(&c.info, file);
    c.info.image_width = static_cast<JDIMENSION>(image.width);
    c.info.image_height = static_cast<JDIMENSION>(image.height);
    c.info.input_components = 3;
    c.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c.info);
    jpeg_set_quality(&c.info, settings.quality, TRUE);
    jpeg_start_compress(&c.info, TRUE);
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* from = image.Row(y);
        for (int32_t x = 0; x < image.width; ++x, from += image.channels) {
            std::memcpy(&rgb[static_cast<size_t>(x) * 3], from, 3);
        }
        JSAMPROW row = rgb.data();
        jpeg_write_scanlines(&c.info, &row, 1);
    }
    jpeg_finish_compress(&c.info);
}

}  // namespace zv::photo::detail

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

#include "tools/zorvan/failure.h"
#include "tools/zorvan/image/image_io.h"

namespace zv::cli {

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

}  // namespace

Image ReadJpeg(std::FILE* file, const std::string& path) {
    ErrorState error;
    Decompressor d;
    Image image;
    InitErrors(error);
    d.info.err = &error.manager;
    if (setjmp(error.jump)) FailFile(path, std::string("bad JPEG: ") + error.text);

    jpeg_create_decompress(&d.info);
    jpeg_stdio_src(&d.info, file);
    jpeg_read_header(&d.info, TRUE);
    CheckImageSize(path, d.info.image_width, d.info.image_height);
    d.info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d.info);
    if (d.info.output_components != 3) FailFile(path, "unsupported JPEG colour layout");
    image = Image(static_cast<int32_t>(d.info.output_width),
                  static_cast<int32_t>(d.info.output_height), 3);
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = image.Row(static_cast<int32_t>(d.info.output_scanline));
        jpeg_read_scanlines(&d.info, &row, 1);
    }
    jpeg_finish_decompress(&d.info);
    return image;
}

void WriteJpeg(const Image& image, int quality, std::FILE* file, const std::string& path) {
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
    jpeg_set_quality(&c.info, quality, TRUE);
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

}  // namespace zv::cli

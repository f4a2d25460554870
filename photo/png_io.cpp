// SPDX-License-Identifier: MIT
// PNG reading through libpng. libpng reports errors by longjmp; every libpng call
// stays inside the function that set the jump, whose C++ objects are all
// made before it, and the failure becomes a Failure only after the jump.
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "photo/failure.h"
#include "photo/image_io.h"

namespace zv::photo::detail {

namespace {

struct ErrorText {
    char text[200] = "the PNG library failed";
};

void OnError(png_structp png, png_const_charp message) {
    auto* error = static_cast<ErrorText*>(png_get_error_ptr(png));
    std::snprintf(error->text, sizeof error->text, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// libpng's own stdio callbacks say only "Read Error" or "Write Error".
void ReadData(png_structp png, png_bytep data, size_t size) {
    auto* file = static_cast<std::FILE*>(png_get_io_ptr(png));
    if (std::fread(data, 1, size, file) == size) return;
    png_error(png, std::feof(file) ? "the file is truncated" : std::strerror(errno));
}

struct ReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadState() { png_destroy_read_struct(&png, &info, nullptr); }
};

// libpng refuses more than a million rows or columns by default; the tool's
// own limit is on the pixel count (CheckImageSize). The chunks of text,
// profiles and palettes of suggestions are skipped unread: the metadata is
// read apart (metadata.h), and libpng would take a chunk's claimed length
// at its word, gigabytes for a few bytes of file.
void SetLimits(png_structp png) {
    static constexpr png_byte kSkipped[] = "iTXt\0tEXt\0zTXt\0iCCP\0eXIf\0sPLT\0hIST";
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkipped, sizeof kSkipped / 5);
}

std::vector<png_bytep> RowPointers(const Image& image) {
    std::vector<png_bytep> rows(image.height);
    for (int32_t y = 0; y < image.height; ++y) rows[y] = const_cast<png_bytep>(image.Row(y));
    return rows;
}

// Switches on the conversions that turn any PNG into 8-bit RGB or RGBA.
void RequestRgb8(png_structp png, png_infop info) {
    const int type = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if ((type & PNG_COLOR_MASK_COLOR) == 0 && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_scale_16(png);
    if ((type & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

}  // namespace

std::string PngProfileName(const std::string& bytes) {
    const auto get32 = [&bytes](size_t at) {
        uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
        return value;
    };
    // Chunks from the signature on; the profile comes before the pixels.
    for (size_t at = 8; at + 8 <= bytes.size();) {
        const size_t length = get32(at), data = at + 8;
        const std::string_view type(bytes.data() + at + 4, 4);
        if (type == "IDAT" || length > bytes.size() - data) break;
        if (type == "iCCP") {
            const std::string_view chunk(bytes.data() + data, length);
            return std::string(chunk.substr(0, chunk.find('\0')));
        }
        at = data + length + 4;
    }
    return {};
}

Image ReadPng(std::FILE* file, const std::string& path) {
    ErrorText error;
    ReadState state;
    Image image;
    std::vector<png_bytep> rows;
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, OnError, OnWarning);
    if (!state.png) FailFile(path, "out of memory");
    state.info = png_create_info_struct(state.png);
    if (!state.info) FailFile(path, "out of memory");
    if (setjmp(png_jmpbuf(state.png))) FailFile(path, std::string("bad PNG: ") + error.text);

    png_set_read_fn(state.png, file, ReadData);
    SetLimits(state.png);
    png_read_info(state.png, state.info);
    const png_uint_32 width = png_get_image_width(state.png, state.info);
    const png_uint_32 height = png_get_image_height(state.png, state.info);
    CheckImageSize(path, width, height);
    RequestRgb8(state.png, state.info);
    const int channels = png_get_channels(state.png, state.info);
    if ((channels != 3 && channels != 4) ||
        png_get_rowbytes(state.png, state.info) != static_cast<size_t>(width) * channels) {
        FailFile(path, "unsupported PNG layout");
    }
    image = Image(static_cast<int32_t>(width), static_cast<int32_t>(height), channels);
    rows = RowPointers(image);
    png_read_image(state.png, rows.data());
    png_read_end(state.png, nullptr);
    return image;
}

}  // namespace zv::photo::detail

// SPDX-License-Identifier: MIT
// BMP reading: the uncompressed, palette and bit-field variants through
// stb_image (Debian's libstb); the run-length ones (8 and 4 bits a pixel),
// which stb_image refuses, are decoded here. The tool writes no BMP.
#include <stb/stb_image.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "photo/failure.h"
#include "photo/image_io.h"

namespace zv::photo::detail {

namespace {

// Little-endian fields of the file and information headers.
struct Header {
    uint32_t fileSize, pixelOffset, infoSize;
    int32_t width, height;
    uint16_t bits;
    uint32_t compression, colours;
};

uint32_t Field(const std::string& bytes, size_t at, size_t size) {
    uint32_t value = 0;
    for (size_t i = 0; i < size && at + i < bytes.size(); ++i) {
        value |= uint32_t{static_cast<uint8_t>(bytes[at + i])} << (8 * i);
    }
    return value;
}

Header HeaderOf(const std::string& bytes) {
    return {Field(bytes, 2, 4),
            Field(bytes, 10, 4),
            Field(bytes, 14, 4),
            static_cast<int32_t>(Field(bytes, 18, 4)),
            static_cast<int32_t>(Field(bytes, 22, 4)),
            static_cast<uint16_t>(Field(bytes, 28, 2)),
            Field(bytes, 30, 4),
            Field(bytes, 46, 4)};
}

constexpr uint32_t kRle8 = 1, kRle4 = 2;

// The bytes the pixels of an uncompressed file need, 0 when stb_image is
// to judge (other headers, compressions and depths).
uint64_t PlainSize(const Header& h) {
    if (h.infoSize < 40 || (h.compression != 0 && h.compression != 3) || h.bits == 0) return 0;
    const uint64_t width = static_cast<uint64_t>(h.width < 0 ? 0 : h.width);
    const uint64_t height =
        h.height < 0 ? 0 - static_cast<uint64_t>(h.height) : static_cast<uint64_t>(h.height);
    // Refused for its size later; so no product here wraps.
    if (width * height > static_cast<uint64_t>(kMaxPixels)) return 0;
    return uint64_t{h.pixelOffset} + (width * h.bits + 31) / 32 * 4 * height;
}

[[noreturn]] void Truncated(const std::string& path) {
    FailFile(path, "the file is truncated");
}

// Run-length pixels: pairs of a count and a palette index (RLE4: two
// indices taken in turn), or an escape: end of row, end of picture, a jump
// right and up, or a literal run padded to 16 bits. Rows go bottom up.
// Pixels no run reaches, and indices past the palette, take colour 0. Every run is clipped to the
// picture, so no input writes outside it, and each step consumes input, so every input ends.
Image ReadRle(const std::string& bytes, const Header& h, const std::string& path) {
    const uint32_t bits = h.compression == kRle8 ? 8 : 4;
    if (h.bits != bits || h.height <= 0 || h.width <= 0) {
        FailFile(path, "bad BMP: run-length pixels must be 8 or 4 bits, stored bottom up");
    }
    CheckImageSize(path, h.width, h.height);
    const size_t paletteAt = 14 + size_t{h.infoSize};
    const size_t colours = h.colours == 0 || h.colours > (1u << bits) ? 1u << bits : h.colours;
    if (paletteAt + colours * 4 > bytes.size() || h.pixelOffset > bytes.size()) Truncated(path);
    Image image(h.width, h.height, 3);
    const auto width = static_cast<uint32_t>(h.width), height = static_cast<uint32_t>(h.height);
    const auto put = [&](uint32_t x, uint32_t y, uint32_t index) {
        uint8_t* to = image.Row(static_cast<int32_t>(height - 1 - y)) + size_t{x} * 3;
        if (index >= colours) index = 0;
        const char* bgr = bytes.data() + paletteAt + size_t{index} * 4;
        for (int c = 0; c < 3; ++c) to[c] = static_cast<uint8_t>(bgr[2 - c]);
    };
    // Index i of a run from its byte: RLE4 bytes hold two, high first.
    const auto pick = [bits](uint8_t byte, uint32_t i) -> uint32_t {
        return bits == 8 ? byte : (i % 2 == 0 ? byte >> 4 : byte & 15u);
    };
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) put(x, y, 0);
    }
    uint32_t x = 0, y = 0;
    size_t at = h.pixelOffset;
    while (y < height) {
        if (at + 2 > bytes.size()) Truncated(path);
        const auto count = static_cast<uint8_t>(bytes[at]);
        const auto value = static_cast<uint8_t>(bytes[at + 1]);
        at += 2;
        if (count > 0) {
            for (uint32_t i = 0; i < count && x < width; ++i, ++x) {
                put(x, y, pick(value, i));
            }
        } else if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (at + 2 > bytes.size()) Truncated(path);
            x = std::min(x + static_cast<uint8_t>(bytes[at]), width);
            y += static_cast<uint8_t>(bytes[at + 1]);
            at += 2;
        } else {
            const size_t size = ((bits == 8 ? value : (value + 1u) / 2) + 1u) & ~size_t{1};
            if (at + size > bytes.size()) Truncated(path);
            for (uint32_t i = 0; i < value && x < width; ++i, ++x) {
                put(x, y, pick(static_cast<uint8_t>(bytes[at + (bits == 8 ? i : i / 2)]), i));
            }
            at += size;
        }
    }
    return image;
}

}  // namespace

Image ReadBmp(std::FILE* file, const std::string& path) {
    const std::string bytes = ReadAll(file, path);
    const Header h = HeaderOf(bytes);
    if (bytes.size() < 18 || 14 + uint64_t{h.infoSize} > bytes.size()) Truncated(path);
    if (h.infoSize >= 40 && (h.compression == kRle8 || h.compression == kRle4)) {
        return ReadRle(bytes, h, path);
    }
    // stb_image reads zeros past the end, so the sizes the header gives
    // are checked first.
    if (h.fileSize > bytes.size() || PlainSize(h) > bytes.size()) Truncated(path);
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    const int size = static_cast<int>(std::min<size_t>(bytes.size(), INT32_MAX));
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, size, &width, &height, &channels)) {
        FailFile(path, std::string("bad BMP: ") + stbi_failure_reason());
    }
    CheckImageSize(path, width, height);
    const int wanted = channels == 4 || channels == 2 ? 4 : 3;
    const std::unique_ptr<stbi_uc, decltype(&stbi_image_free)> pixels(
        stbi_load_from_memory(data, size, &width, &height, &channels, wanted), &stbi_image_free);
    if (!pixels) FailFile(path, std::string("bad BMP: ") + stbi_failure_reason());
    Image image(width, height, wanted);
    std::memcpy(image.pixels.data(), pixels.get(), image.pixels.size());
    return image;
}

}  // namespace zv::photo::detail

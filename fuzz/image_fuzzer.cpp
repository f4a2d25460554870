// SPDX-License-Identifier: MIT
// Arbitrary bytes as an image file, as the tool reads it: a decoded image of
// consistent size, or a refusal that names the file on one line; and its
// metadata, read without failing, turning the image as it says.
#include <cstdio>

#include "fuzz/host.h"
#include "photo/failure.h"
#include "photo/image_io.h"

using zvfuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;  // fmemopen refuses an empty buffer
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    Check(file != nullptr, "fmemopen failed");
    try {
        const zv::photo::detail::Image stored = zv::photo::detail::ReadImage(file, "in");
        const zv::photo::detail::Metadata metadata = zv::photo::detail::ReadMetadata(
            std::string(reinterpret_cast<const char*>(data), size), "in");
        const zv::photo::detail::Image image =
            zv::photo::detail::Oriented(stored, metadata.orientation);
        Check(image.width > 0 && image.height > 0, "an empty image was decoded");
        Check(image.channels == 3 || image.channels == 4, "a decoded image is not RGB or RGBA");
        Check(image.pixels.size() == static_cast<size_t>(image.width) * image.height *
                                         static_cast<size_t>(image.channels),
              "the pixels do not fill the image");
    } catch (const zv::photo::detail::Failure& failure) {
        const std::string message = failure.what();
        Check(failure.status() == zv::photo::detail::kExitIo, "a bad image is not exit 1");
        Check(message.rfind("in: ", 0) == 0, "the message does not name the file");
        Check(message.find_first_of(std::string("\n\0", 2)) == std::string::npos,
              "the message is not one line");
    }
    std::fclose(file);
    return 0;
}

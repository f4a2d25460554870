// BMP reading through stb_image (Debian's libstb), which decodes the
// uncompressed, palette and run-length variants; the tool writes no BMP.
#include <stb/stb_image.h>

#include <cstring>
#include <memory>

#include "photo/failure.h"
#include "photo/image_io.h"

namespace zv::cli {

Image ReadBmp(std::FILE* file, const std::string& path) {
    const std::string bytes = ReadAll(file, path);
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    const int size = static_cast<int>(std::min<size_t>(bytes.size(), INT32_MAX));
    // stb_image reads zeros past the end, so the size the header gives
    // (when given) is checked first.
    uint32_t declared = 0;
    for (size_t i = 0; i < 4 && 2 + i < bytes.size(); ++i) {
        declared |= uint32_t{static_cast<uint8_t>(bytes[2 + i])} << (8 * i);
    }
    if (declared > bytes.size()) FailFile(path, "the file is truncated");
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

}  // namespace zv::cli

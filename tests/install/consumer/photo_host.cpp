// SPDX-License-Identifier: MIT
// A host of the installed photo library: a picture written as each format
// the table writes and read back, with its metadata kept.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <zorvan/photo.hpp>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    zv::photo::Pixels pixels{8, 6, 3, std::vector<uint8_t>(8 * 6 * 3)};
    for (size_t i = 0; i < pixels.bytes.size(); ++i) pixels.bytes[i] = i % 6 < 3 ? 200 : 40;
    int failed = 0, passed = 0;
    for (const zv::photo::FormatInfo& format : zv::photo::Formats()) {
        if (!format.writes) continue;
        const std::string path = std::string(argv[1]) + "/out." + format.names[0];
        try {
            zv::photo::Write(path, pixels, nullptr);
            const zv::photo::Photo photo = zv::photo::Read(path);
            zv::photo::Write(path, photo.pixels, &photo.metadata);
            const bool same = photo.format == format.format && photo.pixels.width == 8 &&
                              photo.pixels.height == 6 &&
                              std::abs(photo.pixels.bytes[0] - 200) < 16;
            ++(same ? passed : failed);
        } catch (const zv::photo::Error& e) {
            std::fprintf(stderr, "%s\n", e.what());
            ++failed;
        }
    }
    try {
        zv::photo::Read(std::string(argv[1]) + "/none.png");
        ++failed;
    } catch (const zv::photo::Error&) {
        ++passed;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 1 ? 0 : 1;
}

// Reading and writing image files: PNG and JPEG, told apart by their first
// bytes when reading and by the file name's extension when writing.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "tools/zorvan/image/image.h"

namespace zv::cli {

enum class FileFormat { kPng, kJpeg };

// An open stdio file, closed when it goes.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The format that the extension of path names (.png, .jpg, .jpeg, any case).
std::optional<FileFormat> FormatForPath(const std::string& path);

// Reads a PNG or JPEG of any bit depth and colour type as 8-bit RGB, or RGBA
// when it has alpha. Fails with exit 1 naming path for anything else. A
// pipe or FIFO is read whole first (at most 1 GiB).
Image ReadImage(const std::string& path);
// The same from an open file that can seek; path is for messages.
Image ReadImage(std::FILE* file, const std::string& path);

struct WriteSettings {
    FileFormat format = FileFormat::kPng;
    int quality = 90;  // JPEG only, 1..100
};

// Writes image to file; path is for messages. JPEG keeps no alpha.
void WriteImage(const Image& image, const WriteSettings& settings, std::FILE* file,
                const std::string& path);

// The codecs, each reading from the start of an open file.
Image ReadPng(std::FILE* file, const std::string& path);
Image ReadJpeg(std::FILE* file, const std::string& path);
void WritePng(const Image& image, std::FILE* file, const std::string& path);
void WriteJpeg(const Image& image, int quality, std::FILE* file, const std::string& path);

}  // namespace zv::cli

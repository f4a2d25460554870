#include "tools/zorvan/image/image_io.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>

#include "tools/zorvan/failure.h"

namespace zv::cli {

namespace {

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return ext;
}

}  // namespace

std::optional<FileFormat> FormatForPath(const std::string& path) {
    const std::string ext = LowerExtension(path);
    if (ext == "png") return FileFormat::kPng;
    if (ext == "jpg" || ext == "jpeg") return FileFormat::kJpeg;
    return std::nullopt;
}

Image ReadImage(std::FILE* file, const std::string& path) {
    errno = 0;
    unsigned char head[8] = {};
    const size_t got = std::fread(head, 1, sizeof head, file);
    if (std::ferror(file)) FailIo(path, "cannot read", errno ? errno : EIO);
    std::rewind(file);
    static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (got == 8 && std::equal(head, head + 8, kPngSignature)) return ReadPng(file, path);
    if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) {
        return ReadJpeg(file, path);
    }
    if (got == 0) FailFile(path, "the file is empty");
    FailFile(path, "not a PNG or JPEG image");
}

Image ReadImage(const std::string& path) {
    errno = 0;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) FailIo(path, "cannot open", errno);
    if (std::fseek(file.get(), 0, SEEK_CUR) == 0) return ReadImage(file.get(), path);
    // A pipe or FIFO cannot go back to the start once its first bytes are
    // read, so it is read whole first.
    constexpr size_t kMaxStreamBytes = size_t{1} << 30;
    std::string bytes;
    char buffer[1 << 16];
    while (const size_t got = std::fread(buffer, 1, sizeof buffer, file.get())) {
        if (bytes.size() + got > kMaxStreamBytes) FailFile(path, "more than 1 GiB from a stream");
        bytes.append(buffer, got);
    }
    if (std::ferror(file.get())) FailIo(path, "cannot read", errno ? errno : EIO);
    if (bytes.empty()) FailFile(path, "the file is empty");
    File memory(fmemopen(bytes.data(), bytes.size(), "rb"));
    if (!memory) FailIo(path, "cannot read", errno);
    return ReadImage(memory.get(), path);
}

void WriteImage(const Image& image, const WriteSettings& settings, std::FILE* file,
                const std::string& path) {
    if (settings.format == FileFormat::kPng) {
        WritePng(image, file, path);
    } else {
        WriteJpeg(image, settings.quality, file, path);
    }
}

}  // namespace zv::cli

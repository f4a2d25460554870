// SPDX-License-Identifier: MIT
#include "photo/image_io.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "photo/failure.h"

namespace zv::photo::detail {

namespace {

struct Codec {
    photo::FormatInfo info;
    std::string_view magic[2];  // the file's first bytes; "?" matches any byte
    Image (*read)(std::FILE*, const std::string&);
    void (*write)(const Image&, const WriteSettings&, std::FILE*, const std::string&);
    bool metadata;  // the writer puts Metadata in itself; for the rest, exiv2 does
    // Puts the colour profile into a finished file, after exiv2, which
    // writes a PNG's without the name readers need and drops one it finds.
    std::string (*addProfile)(std::string encoded, const Metadata& metadata);
};

constexpr const char* kPngNames[] = {"png", nullptr};
constexpr const char* kJpegNames[] = {"jpg", "jpeg", nullptr};
constexpr const char* kTiffNames[] = {"tif", "tiff", nullptr};
constexpr const char* kWebpNames[] = {"webp", nullptr};
constexpr const char* kBmpNames[] = {"bmp", nullptr};

using namespace std::string_view_literals;
using photo::kComment, photo::kExif, photo::kIcc, photo::kXmp;
constexpr unsigned kAll = kIcc | kExif | kXmp | kComment;
const Codec kCodecs[] = {
    {{FileFormat::kPng, "PNG", kPngNames, "image/png", true, false, true, kAll},
     {"\x89PNG\r\n\x1a\n"sv},
     ReadPng,
     WritePng,
     false,
     WithPngProfile},
    {{FileFormat::kJpeg, "JPEG", kJpegNames, "image/jpeg", true, false, false, kAll},
     {"\xff\xd8\xff"sv},
     ReadJpeg,
     WriteJpeg,
     false,
     nullptr},
    {{FileFormat::kTiff, "TIFF", kTiffNames, "image/tiff", true, false, true, kAll},
     {"II*\0"sv, "MM\0*"sv},
     ReadTiff,
     WriteTiff,
     false,
     nullptr},
    {{FileFormat::kWebp, "WebP", kWebpNames, "image/webp", true, true, true, kIcc | kExif | kXmp},
     {"RIFF????WEBP"sv},
     ReadWebp,
     WriteWebp,
     true,
     nullptr},
    {{FileFormat::kBmp, "BMP", kBmpNames, "image/bmp", false, false, true, 0},
     {"BM"sv},
     ReadBmp,
     nullptr,
     false,
     nullptr},
};

const Codec& CodecFor(FileFormat format) {
    return *std::find_if(std::begin(kCodecs), std::end(kCodecs),
                         [format](const Codec& c) { return c.info.format == format; });
}

// "A, B or C" of what each writable (or every) format gives.
template <class Part>
std::string Listed(bool writableOnly, Part part) {
    std::vector<std::string> parts;
    for (const Codec& c : kCodecs) {
        if (c.info.writes || !writableOnly) part(c.info, parts);
    }
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == parts.size() ? " or " : ", ") + parts[i];
    }
    return text;
}

bool Matches(std::string_view magic, std::string_view head) {
    if (magic.empty() || head.size() < magic.size()) return false;
    for (size_t i = 0; i < magic.size(); ++i) {
        if (magic[i] != '?' && magic[i] != head[i]) return false;
    }
    return true;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return text;
}

std::string Extension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot + 1);
}

// The format name gives: a written one, or with readOnlyToo any.
std::optional<FileFormat> Named(std::string_view name, bool readOnlyToo) {
    const std::string lower = Lower(std::string(name));
    for (const Codec& c : kCodecs) {
        for (const char* const* n = c.info.names; *n; ++n) {
            if ((c.info.writes || readOnlyToo) && lower == *n) return c.info.format;
        }
    }
    return std::nullopt;
}

// What write puts into a stream, as bytes.
template <class Write>
std::string Captured(const std::string& path, Write write) {
    struct Buffer {
        char* data = nullptr;
        size_t size = 0;
        ~Buffer() { std::free(data); }
    } buffer;
    File memory(open_memstream(&buffer.data, &buffer.size));
    if (!memory) FailIo(path, "cannot write", errno);
    write(memory.get());
    memory.reset();  // the buffer is complete once the stream is closed
    return std::string(buffer.data, buffer.size);
}

constexpr size_t kMaxFileBytes = size_t{1} << 30;

}  // namespace

std::string FormatNames(bool (*pick)(const photo::FormatInfo&)) {
    return Listed(false, [pick](const photo::FormatInfo& info, std::vector<std::string>& parts) {
        if (pick(info)) parts.push_back(info.name);
    });
}

OutputTarget ParseOutput(const std::string& text, std::optional<FileFormat> format) {
    OutputTarget target{text, FileFormat::kPng};
    const size_t colon = text.find(':');
    if (colon != std::string::npos && colon < text.find('/')) {
        if (const auto named = FormatNamed(text.substr(0, colon))) {
            target.path = text.substr(colon + 1);
            format = format ? format : named;
        }
    }
    if (!format) format = FormatForPath(target.path);
    if (!format && target.toStdout()) {
        throw Failure(kExitUsage, "-: give --format or a prefix such as png:- for standard output");
    }
    target.format = format ? *format : WrittenFormatFor(target.path);
    return target;
}

FileFormat WrittenFormatFor(const std::string& path) {
    if (const auto format = FormatForPath(path)) return *format;
    static const std::string names =
        Listed(true, [](const photo::FormatInfo& info, std::vector<std::string>& parts) {
            for (const char* const* n = info.names; *n; ++n) parts.push_back(std::string(".") + *n);
        });
    FailFile(path, "unsupported output extension (use " + names + ")");
}

std::optional<FileFormat> FormatOf(std::string_view head) {
    for (const Codec& c : kCodecs) {
        for (const std::string_view magic : c.magic) {
            if (Matches(magic, head)) return c.info.format;
        }
    }
    return std::nullopt;
}

Image ReadImage(std::FILE* file, const std::string& path) {
    errno = 0;
    unsigned char head[16] = {};
    const size_t got = std::fread(head, 1, sizeof head, file);
    if (std::ferror(file)) FailIo(path, "cannot read", errno ? errno : EIO);
    std::rewind(file);
    if (const auto format = FormatOf({reinterpret_cast<const char*>(head), got})) {
        return CodecFor(*format).read(file, path);
    }
    if (got == 0) FailFile(path, "the file is empty");
    static const std::string names = FormatNames([](const photo::FormatInfo&) { return true; });
    FailFile(path, "not a " + names + " image");
}

std::string ReadAll(std::FILE* file, const std::string& path) {
    errno = 0;
    std::string bytes;
    char buffer[1 << 16];
    while (const size_t got = std::fread(buffer, 1, sizeof buffer, file)) {
        if (bytes.size() + got > kMaxFileBytes) FailFile(path, "more than 1 GiB");
        bytes.append(buffer, got);
    }
    if (std::ferror(file)) FailIo(path, "cannot read", errno ? errno : EIO);
    return bytes;
}

Photo ReadPhoto(const std::string& path, bool orient) {
    std::string bytes;
    if (path == "-") {
        bytes = ReadAll(stdin, path);
    } else {
        errno = 0;
        File file(std::fopen(path.c_str(), "rb"));
        if (!file) FailIo(path, "cannot open", errno);
        bytes = ReadAll(file.get(), path);
    }
    return DecodePhoto(bytes, path, orient);
}

Photo DecodePhoto(const std::string& bytes, const std::string& path, bool orient) {
    if (bytes.empty()) FailFile(path, "the file is empty");
    File memory(fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb"));
    if (!memory) FailIo(path, "cannot read", errno);
    Photo photo{ReadImage(memory.get(), path), ReadMetadata(bytes, path)};
    if (orient && photo.metadata.orientation != 1) {
        photo.image = Oriented(photo.image, photo.metadata.orientation);
        photo.metadata = Upright(std::move(photo.metadata));
    }
    return photo;
}

void WriteImage(const Image& image, const WriteSettings& settings, std::FILE* file,
                const std::string& path) {
    const Codec& codec = CodecFor(settings.format);
    if (image.channels == 4 && !codec.info.alpha) {
        std::fprintf(
            stderr, "zorvan: warning: %s\n",
            OneLine(path + ": " + codec.info.name + " cannot keep alpha; it is left out").c_str());
    }
    Metadata rest = settings.metadata ? *settings.metadata : Metadata{};
    const bool profile = codec.addProfile && !rest.icc.empty();
    if (codec.addProfile) rest.icc.clear();
    if (codec.metadata || (rest.empty() && !profile)) {
        codec.write(image, settings, file, path);
        return;
    }
    // exiv2 puts the metadata into a complete file, so it is made in memory.
    std::string out = WithMetadata(
        Captured(path, [&](std::FILE* memory) { codec.write(image, settings, memory, path); }),
        rest, path);
    if (profile) out = codec.addProfile(std::move(out), *settings.metadata);
    errno = 0;
    if (std::fwrite(out.data(), 1, out.size(), file) != out.size()) {
        FailIo(path, "cannot write", errno ? errno : EIO);
    }
}

std::string EncodeImage(const Image& image, const WriteSettings& settings,
                        const std::string& path) {
    return Captured(path, [&](std::FILE* memory) { WriteImage(image, settings, memory, path); });
}

void WriteStdout(const Image& image, const WriteSettings& settings) {
    WriteImage(image, settings, stdout, "-");
    errno = 0;
    if (std::fflush(stdout) != 0) FailIo("-", "cannot write", errno ? errno : EIO);
}

}  // namespace zv::photo::detail

namespace zv::photo {

std::span<const FormatInfo> Formats() {
    static const auto table = [] {
        std::vector<FormatInfo> infos;
        for (const detail::Codec& c : detail::kCodecs) infos.push_back(c.info);
        return infos;
    }();
    return table;
}

const FormatInfo& Info(Format format) {
    return detail::CodecFor(format).info;
}

std::optional<Format> FormatNamed(std::string_view name) {
    return detail::Named(name, false);
}

std::optional<Format> FormatForPath(const std::string& path) {
    return detail::Named(detail::Extension(path), false);
}

std::optional<Format> ReadFormatForPath(const std::string& path) {
    return detail::Named(detail::Extension(path), true);
}

}  // namespace zv::photo

#include "photo/image_io.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>

#include "tools/zorvan/failure.h"

namespace zv::cli {

namespace {

struct Codec {
    FileFormat format;
    const char* name;  // in messages
    const char* const* names;
    std::string_view magic;  // the file's first bytes; "?" matches any byte
    Image (*read)(std::FILE*, const std::string&);
    void (*write)(const Image&, const WriteSettings&, std::FILE*, const std::string&);
    bool alpha;     // can keep an alpha channel
    bool metadata;  // the writer puts Metadata in itself; for the rest, exiv2 does
    // Puts the colour profile into a finished file, after exiv2, which
    // writes a PNG's without the name readers need and drops one it finds.
    std::string (*addProfile)(std::string encoded, const Metadata& metadata);
};

constexpr const char* kPngNames[] = {"png", nullptr};
constexpr const char* kJpegNames[] = {"jpg", "jpeg", nullptr};
constexpr const char* kTiffNames[] = {"tif", "tiff", nullptr};
constexpr const char* kWebpNames[] = {"webp", nullptr};
constexpr const char* kNoNames[] = {nullptr};  // read only

using namespace std::string_view_literals;
// Big-endian TIFF follows with its own magic.
const Codec kCodecs[] = {
    {FileFormat::kPng, "PNG", kPngNames, "\x89PNG\r\n\x1a\n"sv, ReadPng, WritePng, true, false,
     WithPngProfile},
    {FileFormat::kJpeg, "JPEG", kJpegNames, "\xff\xd8\xff"sv, ReadJpeg, WriteJpeg, false, false,
     nullptr},
    {FileFormat::kTiff, "TIFF", kTiffNames, "II*\0"sv, ReadTiff, WriteTiff, true, false, nullptr},
    {FileFormat::kTiff, "TIFF", kTiffNames, "MM\0*"sv, ReadTiff, WriteTiff, true, false, nullptr},
    {FileFormat::kWebp, "WebP", kWebpNames, "RIFF????WEBP"sv, ReadWebp, WriteWebp, true, true,
     nullptr},
    {FileFormat::kBmp, "BMP", kNoNames, "BM"sv, ReadBmp, nullptr, false, false, nullptr},
};

const Codec& CodecFor(FileFormat format) {
    return *std::find_if(std::begin(kCodecs), std::end(kCodecs),
                         [format](const Codec& c) { return c.format == format; });
}

bool Matches(std::string_view magic, const unsigned char* head, size_t got) {
    if (got < magic.size()) return false;
    for (size_t i = 0; i < magic.size(); ++i) {
        if (magic[i] != '?' && static_cast<unsigned char>(magic[i]) != head[i]) return false;
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

constexpr size_t kMaxFileBytes = size_t{1} << 30;

}  // namespace

std::optional<FileFormat> FormatNamed(const std::string& name) {
    const std::string lower = Lower(name);
    for (const Codec& c : kCodecs) {
        for (const char* const* n = c.names; *n; ++n) {
            if (lower == *n) return c.format;
        }
    }
    return std::nullopt;
}

std::optional<FileFormat> FormatForPath(const std::string& path) {
    return FormatNamed(Extension(path));
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
    if (!format) {
        FailFile(target.path,
                 "unsupported output extension (use .png, .jpg, .jpeg, .tif, .tiff or .webp)");
    }
    target.format = *format;
    return target;
}

Image ReadImage(std::FILE* file, const std::string& path) {
    errno = 0;
    unsigned char head[16] = {};
    const size_t got = std::fread(head, 1, sizeof head, file);
    if (std::ferror(file)) FailIo(path, "cannot read", errno ? errno : EIO);
    std::rewind(file);
    for (const Codec& c : kCodecs) {
        if (Matches(c.magic, head, got)) return c.read(file, path);
    }
    if (got == 0) FailFile(path, "the file is empty");
    FailFile(path, "not a PNG, JPEG, TIFF, WebP or BMP image");
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
    if (image.channels == 4 && !codec.alpha) {
        std::fprintf(
            stderr, "zorvan: warning: %s\n",
            OneLine(path + ": " + codec.name + " cannot keep alpha; it is left out").c_str());
    }
    Metadata rest = settings.metadata ? *settings.metadata : Metadata{};
    const bool profile = codec.addProfile && !rest.icc.empty();
    if (codec.addProfile) rest.icc.clear();
    if (codec.metadata || (rest.empty() && !profile)) {
        codec.write(image, settings, file, path);
        return;
    }
    // exiv2 puts the metadata into a complete file, so it is made in memory.
    struct Buffer {
        char* data = nullptr;
        size_t size = 0;
        ~Buffer() { std::free(data); }
    } buffer;
    File memory(open_memstream(&buffer.data, &buffer.size));
    if (!memory) FailIo(path, "cannot write", errno);
    codec.write(image, settings, memory.get(), path);
    memory.reset();  // the buffer is complete once the stream is closed
    std::string out = WithMetadata(std::string(buffer.data, buffer.size), rest, path);
    if (profile) out = codec.addProfile(std::move(out), *settings.metadata);
    errno = 0;
    if (std::fwrite(out.data(), 1, out.size(), file) != out.size()) {
        FailIo(path, "cannot write", errno ? errno : EIO);
    }
}

void WriteStdout(const Image& image, const WriteSettings& settings) {
    WriteImage(image, settings, stdout, "-");
    errno = 0;
    if (std::fflush(stdout) != 0) FailIo("-", "cannot write", errno ? errno : EIO);
}

}  // namespace zv::cli

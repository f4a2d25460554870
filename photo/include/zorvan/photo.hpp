// SPDX-License-Identifier: MIT
// Zorvan's photo library: image files read into 8-bit pixels and written
// back with their colour profile, EXIF, XMP and comment. Reading turns the
// pixels upright as EXIF orientation says; writing goes through a temporary
// file that is renamed into place, so an output is complete or untouched.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#if defined(ZORVAN_PHOTO_BUILDING) && !defined(ZORVAN_PHOTO_STATIC)
#define ZV_PHOTO_API __attribute__((visibility("default")))
#else
#define ZV_PHOTO_API
#endif

namespace zv::photo {

enum class Format { kPng, kJpeg, kTiff, kWebp, kBmp };

// What a format's file can hold besides pixels (FormatInfo::keeps).
enum Block : unsigned { kIcc = 1, kExif = 2, kXmp = 4, kComment = 8 };

struct FormatInfo {
    Format format;
    const char* name;          // for people: "JPEG"
    const char* const* names;  // for --format and extensions, null-ended; the first is usual
    const char* mediaType;     // "image/jpeg"
    bool writes;               // every format reads
    bool animates;             // holds frames in one file
    bool alpha;                // keeps an alpha channel
    unsigned keeps;            // Blocks of metadata written back
};

// Every format, in the order files are tried when read.
ZV_PHOTO_API std::span<const FormatInfo> Formats();
ZV_PHOTO_API const FormatInfo& Info(Format format);
// The written format a name or extension gives ("jpg", "JPEG", "tif"), any case.
ZV_PHOTO_API std::optional<Format> FormatNamed(std::string_view name);
// The written format the extension of path names.
ZV_PHOTO_API std::optional<Format> FormatForPath(const std::string& path);
// The format the extension of path names, read only ones too ("x.bmp"):
// which files of a folder are photos.
ZV_PHOTO_API std::optional<Format> ReadFormatForPath(const std::string& path);

// A photo that cannot be read or written: "path: reason".
class ZV_PHOTO_API Error : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
};

// Rows top to bottom without padding, channels interleaved (1 grey, 2 grey
// and alpha, 3 RGB, 4 RGBA).
struct Pixels {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 0;
    std::vector<uint8_t> bytes;
};

// What a photo carries besides its pixels, kept as read to be written again.
class ZV_PHOTO_API Metadata {
   public:
    Metadata();
    ~Metadata();
    Metadata(const Metadata& other);
    Metadata(Metadata&& other) noexcept;
    Metadata& operator=(Metadata other) noexcept;

    // The Blocks it holds.
    unsigned blocks() const;
    // EXIF orientation 1..8 of the stored pixels; 1 once read upright.
    int orientation() const;
    // The bytes of one Block: an ICC profile, EXIF as a TIFF structure, an
    // XMP packet or the comment; empty when missing.
    const std::string& block(Block which) const;

    struct Impl;
    const Impl& impl() const { return *impl_; }
    Impl& impl() { return *impl_; }

   private:
    std::unique_ptr<Impl> impl_;
};

struct Photo {
    Pixels pixels;
    Metadata metadata;
    Format format = Format::kPng;  // of the file read
};

// A file read whole ("-": standard input). With orient, the pixels are
// turned as the EXIF orientation says and the metadata says upright.
ZV_PHOTO_API Photo Read(const std::string& path, bool orient = true);
// The same from an open stream, such as a pipe, read to its end; name is
// for messages.
ZV_PHOTO_API Photo Read(std::FILE* stream, const std::string& name, bool orient = true);
// The same from a file's bytes.
ZV_PHOTO_API Photo Decode(std::string_view bytes, const std::string& name, bool orient = true);

struct WriteSettings {
    std::optional<Format> format;  // else the path's extension
    int quality = 90;              // JPEG and lossy WebP, 1..100
    int compression = -1;          // 0..9: PNG, TIFF deflate, lossless WebP effort; -1: fast
    bool lossless = false;         // WebP
    bool force = false;            // replace a read-only file too
};

// pixels written to path with the metadata of like, when given. Blocks the
// format cannot keep, and alpha, are dropped with a warning on stderr.
// Throws Error when the file cannot be written, std::invalid_argument for
// pixels or settings out of range.
ZV_PHOTO_API void Write(const std::string& path, const Pixels& pixels, const Metadata* like,
                        const WriteSettings& settings = {});
// The same file's bytes; settings.format is needed.
ZV_PHOTO_API std::string Encode(const Pixels& pixels, const Metadata* like,
                                const WriteSettings& settings);

}  // namespace zv::photo

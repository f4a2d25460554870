/* SPDX-License-Identifier: MIT */
// Reading and writing image files of the formats in the table, told apart
// by their first bytes when reading and by the file name's extension (or a
// "png:" style prefix) when writing. Every format is read as 8-bit: deeper
// samples are scaled down.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "photo/image.h"
#include "photo/metadata.h"
#include "zorvan/photo.hpp"

namespace zv::photo::detail {

using FileFormat = photo::Format;

// An open stdio file, closed when it goes.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// "PNG, JPEG or TIFF": the names of the formats pick chooses.
std::string FormatNames(bool (*pick)(const photo::FormatInfo&));

// The format that the extension of path names; fails with exit 1 naming
// the extensions written.
FileFormat WrittenFormatFor(const std::string& path);

// Where an output goes: "png:-" and "-" with a format are standard output,
// "png:NAME" writes PNG whatever NAME's extension. Fails when no format is
// known: exit 2 for standard output, 1 for a file.
struct OutputTarget {
    std::string path;  // "-" for standard output
    FileFormat format;
    bool toStdout() const { return path == "-"; }
};
OutputTarget ParseOutput(const std::string& text, std::optional<FileFormat> format);

// The format whose files start as head does.
std::optional<FileFormat> FormatOf(std::string_view head);

// Reads any supported image as 8-bit RGB, or RGBA when it has alpha. Fails
// with exit 1 naming path for anything else.
Image ReadImage(std::FILE* file, const std::string& path);

struct Photo {
    Image image;
    Metadata metadata;
};
// Reads path ("-": standard input) whole and decodes it with its metadata.
// With orient, the pixels are turned as EXIF orientation says and the
// metadata says upright.
Photo ReadPhoto(const std::string& path, bool orient);
// The same from the bytes of a file; path is for messages.
Photo DecodePhoto(const std::string& bytes, const std::string& path, bool orient);

struct WriteSettings {
    FileFormat format = FileFormat::kPng;
    int quality = 90;       // JPEG and lossy WebP, 1..100
    int level = -1;         // 0..9: PNG, TIFF deflate, lossless WebP effort; -1: fast default
    bool lossless = false;  // WebP
    const Metadata* metadata = nullptr;  // kept from the input
    unsigned threads = 1;                // that may share the work
};

// Writes image to file; path is for messages. Alpha or metadata that the
// format cannot keep is dropped with one warning.
void WriteImage(const Image& image, const WriteSettings& settings, std::FILE* file,
                const std::string& path);

// The bytes WriteImage would write; path is for messages.
std::string EncodeImage(const Image& image, const WriteSettings& settings, const std::string& path);

// Writes image to standard output, flushed.
void WriteStdout(const Image& image, const WriteSettings& settings);

// The codecs, each reading from the start of an open file.
Image ReadPng(std::FILE* file, const std::string& path);
Image ReadJpeg(std::FILE* file, const std::string& path);
Image ReadTiff(std::FILE* file, const std::string& path);
Image ReadWebp(std::FILE* file, const std::string& path);
Image ReadBmp(std::FILE* file, const std::string& path);
void WritePng(const Image& image, const WriteSettings& settings, std::FILE* file,
              const std::string& path);
void WriteJpeg(const Image& image, const WriteSettings& settings, std::FILE* file,
               const std::string& path);
void WriteTiff(const Image& image, const WriteSettings& settings, std::FILE* file,
               const std::string& path);
void WriteWebp(const Image& image, const WriteSettings& settings, std::FILE* file,
               const std::string& path);

// The name of a PNG's colour profile (its iCCP chunk's keyword), or "".
std::string PngProfileName(const std::string& bytes);
// png (a PNG without a profile) with metadata's colour profile put in, under
// its source's name when that is a valid one, else "ICC Profile".
std::string WithPngProfile(std::string png, const Metadata& metadata);

// The whole of file from its current position (at most 1 GiB).
std::string ReadAll(std::FILE* file, const std::string& path);

}  // namespace zv::photo::detail

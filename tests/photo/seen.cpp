// SPDX-License-Identifier: MIT
#include "tests/photo/seen.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

namespace zv::photo::test {

namespace {

const char* const kOrientationNames[] = {"Undefined",   "TopLeft",     "TopRight",
                                         "BottomRight", "BottomLeft",  "LeftTop",
                                         "RightTop",    "RightBottom", "LeftBottom"};

// count bytes at at of a little-endian structure, 0 past its end.
size_t LittleEndian(const std::string& bytes, size_t at, int count) {
    size_t value = 0;
    for (int k = count; k-- > 0;) {
        value = value << 8 | (at + k < bytes.size() ? uint8_t(bytes[at + k]) : 0);
    }
    return value;
}

// The entry of tag in IFD0 of a little-endian TIFF structure, or npos.
size_t EntryOf(const std::string& tiff, size_t tag) {
    const size_t ifd = LittleEndian(tiff, 4, 4);
    for (size_t i = 0, n = LittleEndian(tiff, ifd, 2); i < n; ++i) {
        const size_t entry = ifd + 2 + 12 * i;
        if (LittleEndian(tiff, entry, 2) == tag) return entry;
    }
    return std::string::npos;
}

// Orientation and Make from an EXIF block, for readers that leave it be.
void ReadExif(const std::string& tiff, Seen& seen) {
    if (const size_t at = EntryOf(tiff, 0x0112); at != std::string::npos) {
        seen.orientation = kOrientationNames[std::min<size_t>(LittleEndian(tiff, at + 8, 2), 8)];
    }
    if (const size_t at = EntryOf(tiff, 0x010F); at != std::string::npos) {
        const size_t count = LittleEndian(tiff, at + 4, 4);
        const size_t value = count <= 4 ? at + 8 : LittleEndian(tiff, at + 8, 4);
        seen.make = tiff.substr(std::min(value, tiff.size()), count);
        seen.make = seen.make.substr(0, seen.make.find('\0'));
    }
}

// The WebP's chunks by name.
std::map<std::string, std::string> RiffChunks(const std::string& file) {
    std::map<std::string, std::string> chunks;
    for (size_t at = 12; at + 8 <= file.size();) {
        const size_t size = uint8_t(file[at + 4]) | uint8_t(file[at + 5]) << 8 |
                            uint8_t(file[at + 6]) << 16 | size_t(uint8_t(file[at + 7])) << 24;
        chunks[file.substr(at, 4)] = file.substr(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return chunks;
}

void ReadPngText(const std::string& path, Seen& seen) {
    FILE* file = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        png_textp text = nullptr;
        const int count = png_get_text(png, info, &text, nullptr);
        for (int i = 0; i < count; ++i) {
            const std::string key = text[i].key;
            const std::string value(text[i].text, text[i].itxt_length + text[i].text_length);
            if (key == "XML:com.adobe.xmp") seen.xmp = value;
            if (key == "Description" || key == "Comment") seen.comment = value;
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
}

}  // namespace

const char* const kProfilePath = "/usr/share/color/icc/ghostscript/srgb.icc";

bool HaveProfile() {
    if (std::filesystem::exists(kProfilePath)) return true;
    if (std::getenv("CI"))
        ADD_FAILURE() << "no " << kProfilePath << " (scripts/deps.sh installs it)";
    return false;
}

std::string Output(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    while (const size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, got);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return out;
}

Seen Inspect(const std::string& path, Format format) {
    const std::string quoted = "'" + path + "'";
    // Fields apart by |, a profile's name in the last for each it holds.
    std::vector<std::string> fields;
    std::istringstream line(
        Output("identify -format '%g|%[orientation]|%[exif:Make]%[tiff:make]|%c|%[profiles]' " +
               quoted + " 2>/dev/null"));
    for (std::string field; std::getline(line, field, '|');) fields.push_back(field);
    fields.resize(5);
    Seen seen{fields[0], fields[1], fields[2], fields[3], "", "", 0};
    const auto has = [&](const char* profile) {
        return ("," + fields[4] + ",").find(std::string(",") + profile + ",") != std::string::npos;
    };
    if (has("icc")) seen.icc = Output("convert " + quoted + " icc:- 2>/dev/null");
    if (format == Format::kPng) ReadPngText(path, seen);
    if (format == Format::kWebp) {
        const auto chunks = RiffChunks(Output("cat " + quoted));
        if (chunks.count("XMP ")) seen.xmp = chunks.at("XMP ");
        if (chunks.count("EXIF")) ReadExif(chunks.at("EXIF"), seen);
    } else if (has("xmp")) {
        seen.xmp = Output("convert " + quoted + " xmp:- 2>/dev/null");
    }
    const std::pair<const std::string*, Block> found[] = {
        {&seen.icc, kIcc}, {&seen.make, kExif}, {&seen.xmp, kXmp}, {&seen.comment, kComment}};
    for (const auto& [what, block] : found) seen.blocks |= what->empty() ? 0u : block;
    return seen;
}

}  // namespace zv::photo::test

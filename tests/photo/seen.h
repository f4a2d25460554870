/* SPDX-License-Identifier: MIT */
// What readers other than the photo library find in the files it writes:
// ImageMagick, and where it reads less (a PNG's text chunks, a WebP's
// EXIF and XMP), libpng or the file's own chunks.
#pragma once

#include <string>

#include "zorvan/photo.hpp"

namespace zv::photo::test {

struct Seen {
    std::string geometry;     // "32x16+0+0"
    std::string orientation;  // by ImageMagick's names: "TopLeft"
    std::string make;         // EXIF's
    std::string comment;      // a TIFF's description
    std::string icc;          // the colour profile's bytes
    std::string xmp;          // the packet
    unsigned blocks = 0;      // the Blocks found
};

Seen Inspect(const std::string& path, Format format);

// What a shell command prints on standard output; the test fails unless it
// exits 0.
std::string Output(const std::string& command);

// The real profile a camera or an editor puts in (libpng refuses a made-up
// one); a test without it fails where CI is set, as CI installs it, and is
// skipped elsewhere.
extern const char* const kProfilePath;
bool HaveProfile();

}  // namespace zv::photo::test

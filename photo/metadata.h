/* SPDX-License-Identifier: MIT */
// What a photo carries besides its pixels: colour profile, EXIF, XMP and a
// comment, moved from input to output through exiv2, which reads and writes
// them in JPEG, PNG, TIFF and WebP alike.
#pragma once

#include <string>

#include "photo/image.h"

namespace zv::photo::detail {

struct Metadata {
    std::string icc;      // ICC profile
    std::string iccName;  // the profile's name in a PNG, when it came from one
    std::string exif;     // EXIF as a TIFF structure, little-endian
    std::string xmp;      // XMP packet
    std::string comment;  // JPEG comment
    int orientation = 1;  // EXIF orientation 1..8; 1 is upright

    bool empty() const { return icc.empty() && exif.empty() && xmp.empty() && comment.empty(); }
};

// The metadata of an encoded file. A block that cannot be read is dropped
// with a warning naming path; it never fails the read.
Metadata ReadMetadata(const std::string& bytes, const std::string& path);

// The same picture turned upright for orientation (EXIF 2..8 are mirrors
// and quarter turns).
Image Oriented(const Image& image, int orientation);

// metadata with its orientation tags set to upright, for pixels that were
// turned upright already.
Metadata Upright(Metadata metadata);

// encoded (a file of a format exiv2 writes) with metadata put in; on a
// failure, encoded as it was and a warning naming path.
std::string WithMetadata(std::string encoded, const Metadata& metadata, const std::string& path);

}  // namespace zv::photo::detail

/* SPDX-License-Identifier: MIT */
// What the fuzz targets share: an input split into formula text and layout
// bytes, and a host's image and context laid out from those bytes.
//
// An input is the formula text up to its first zero byte, exactly what
// ZvParse reads. The bytes after that zero, if any, choose the image's
// layout and the context's fields; missing bytes read as zero. Every layout
// keeps the host's side of the context: columns 0..maxX and rows 0..maxY of
// every channel lie inside the image, and an alpha plane holds
// (maxY + 1) * width bytes with width > maxX. Each row, the row table, the
// alpha plane and the context are heap blocks of exactly their size, so a read
// or write past any of them is reported.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "api/zorvan.h"

namespace zvfuzz {

inline constexpr int32_t kColumns = 7, kRows = 5;

// Ends the run with a message, which the fuzzer reports as a crash.
void Check(bool ok, const char* what);

struct Input {
    std::string text;       // zero-terminated at the input's first zero byte
    const uint8_t* layout;  // the bytes after that zero
    size_t layoutSize;
};
Input Split(const uint8_t* data, size_t size);

// A coordinate or value: mostly between lo and hi, sometimes anything.
int32_t Near(FuzzedDataProvider& in, int32_t lo, int32_t hi);

struct Host {
    std::unique_ptr<PixelContext> context;
    std::unique_ptr<std::unique_ptr<uint8_t[]>[]> rowBlocks;
    std::unique_ptr<const uint8_t*[]> rows;
    std::unique_ptr<uint8_t[]> alpha;
};

// An image of rows 0..maxY, up to kColumns x kRows pixels, and a context for
// it whose other fields (sizes, centre, frame, controls, cells, the current
// pixel's bytes) come from the input too. A pixel spans 1 to 8 bytes, the four
// channels sit anywhere in it (two may share a byte), the stride may be
// smaller than a pixel, zero or negative, and pixelBase shifts every channel
// offset by the same amount. Reserved bytes and padding hold 0xA5.
Host MakeHost(FuzzedDataProvider& in);

}  // namespace zvfuzz

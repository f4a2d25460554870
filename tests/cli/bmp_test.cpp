// SPDX-License-Identifier: MIT
// Run-length BMPs: decoded as ImageMagick decodes them, and hostile runs
// end in a picture or a clear failure, never outside the picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "tests/cli/helpers.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/photos.h"

namespace zv::cli {
namespace {

std::string Le(uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xff);
    return out;
}

// A bottom-up BMP of run-length pixels (bits 8: RLE8, 4: RLE4) with a
// palette of distinct colours.
std::string RleBmp(int32_t width, int32_t height, int bits, const std::string& runs) {
    const uint32_t colours = 1u << bits, offset = 14 + 40 + colours * 4;
    std::string bmp = "BM" + Le(offset + static_cast<uint32_t>(runs.size()), 4) + Le(0, 4) +
                      Le(offset, 4) + Le(40, 4) + Le(static_cast<uint32_t>(width), 4) +
                      Le(static_cast<uint32_t>(height), 4) + Le(1, 2) + Le(bits, 2) +
                      Le(bits == 8 ? 1 : 2, 4) + Le(static_cast<uint32_t>(runs.size()), 4) +
                      Le(2835, 4) + Le(2835, 4) + Le(colours, 4) + Le(0, 4);
    for (uint32_t i = 0; i < colours; ++i) {
        bmp += {static_cast<char>(i * 37), static_cast<char>(i * 11), static_cast<char>(255 - i),
                '\0'};
    }
    return bmp + runs;
}

// Encoded runs, literal runs (odd ones padded), short rows and an early
// end of picture, which leaves the rest in colour 0.
const std::string kRle8Runs(
    "\x05\x03\x02\x07\x00\x00"
    "\x00\x03\x10\x11\x12\x00\x04\xfe\x00\x00"
    "\x02\x01\x00\x01",
    20);
const std::string kRle4Runs(
    "\x07\x12\x00\x00"
    "\x00\x05\x34\x56\x70\x00\x02\x9a\x00\x00"
    "\x03\xbc\x00\x01",
    18);
// Jumps, one past the row's end.
const std::string kRle4Jumps(
    "\x03\x12\x00\x02\x02\x01\x02\x9a\x00\x00\x03\xbc\x00\x02\x09\x00"
    "\x00\x00\x00\x03\x12\x30\x00\x01",
    24);

Image Decoded(const std::string& bytes) {
    return DecodePhoto(bytes, "x.bmp", true).image;
}

TEST(Bmp, RunLengthPixelsAreImageMagicks) {
    if (!std::filesystem::exists("/usr/bin/convert")) GTEST_SKIP() << "no ImageMagick";
    test::ScratchDir dir;
    // ImageMagick reads two bytes past the end of the picture.
    const std::string pad(2, '\0');
    const std::string files[] = {RleBmp(7, 3, 8, kRle8Runs + pad), RleBmp(7, 3, 4, kRle4Runs + pad),
                                 RleBmp(7, 4, 4, kRle4Jumps + pad)};
    for (const std::string& bmp : files) {
        test::WriteBytes(dir / "x.bmp", bmp);
        const test::ToolRun run = test::RunInShell(
            "exec /usr/bin/convert \"$D/x.bmp\" \"$D/x.png\"", {}, dir.path().string());
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(test::PixelHash(Decoded(bmp)),
                  test::PixelHash(ReadPhoto(dir / "x.png", false).image));
    }
}

// What decoding says: "" for a picture.
std::string Outcome(const std::string& bmp) {
    try {
        Decoded(bmp);
        return "";
    } catch (const Failure& f) {
        return f.what();
    }
}

TEST(Bmp, HostileRunsEndInAPictureOrAFailure) {
    const std::pair<std::string, std::string> cases[] = {
        {RleBmp(7, 3, 8, std::string("\xff\x01\x00\x01", 4)), ""},  // a run past the row
        {RleBmp(3, 1, 8, std::string("\x00\x05\x01\x02\x03\x04\x05\x00\x00\x01", 10)), ""},
        {RleBmp(7, 3, 4, std::string("\x00\x02\xff\xff\x01\x01", 6)), ""},  // jump off the picture
        {RleBmp(2, 1, 8, std::string("\x00\x00\x00\x00\x02\x05", 6)), ""},  // rows past it
        {RleBmp(7, -3, 8, kRle8Runs), "x.bmp: bad BMP: run-length pixels must be"},
        {RleBmp(7, 3, 8, kRle8Runs).replace(28, 1, "\x04"), "x.bmp: bad BMP: run-length pixels"},
        {RleBmp(100000, 100000, 8, kRle8Runs), "x.bmp: the image is 100000x100000"},
    };
    for (const auto& [bmp, failure] : cases) {
        EXPECT_EQ(Outcome(bmp).substr(0, failure.size()), failure);
    }
    // Every cut of a file is truncated; bytes changed at random give a
    // picture or a failure, and the sanitizers see to the rest.
    std::mt19937 random(20);
    for (const std::string& bmp :
         {RleBmp(7, 3, 8, kRle8Runs), RleBmp(7, 3, 4, kRle4Runs), RleBmp(7, 4, 4, kRle4Jumps)}) {
        for (size_t size = 2; size < bmp.size(); ++size) {
            EXPECT_EQ(Outcome(bmp.substr(0, size)), "x.bmp: the file is truncated") << size;
        }
        for (int round = 0; round < 1000; ++round) {
            std::string changed = bmp;
            for (int k = 0; k < 3; ++k) {
                changed[14 + 40 + random() % (changed.size() - 54)] = static_cast<char>(random());
            }
            Outcome(changed);
        }
    }
}

}  // namespace
}  // namespace zv::cli

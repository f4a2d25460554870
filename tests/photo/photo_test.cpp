// SPDX-License-Identifier: MIT
// The photo library as a host uses it, through its shared library: every
// format written read with each EXIF orientation, and what ImageMagick,
// an independent reader, finds in the files it writes.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // exiv2's auto_ptr

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <zorvan/photo.hpp>

#include "tests/photo/seen.h"

namespace zv::photo {
namespace {

namespace fs = std::filesystem;
using test::Inspect;
using test::Output;
using test::Seen;

struct Scratch {
    Scratch() {
        char name[] = "/tmp/zorvan-photo-XXXXXX";
        path = mkdtemp(name);
    }
    ~Scratch() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

// 32 x 16 in four flat quadrants, so each corner says where it came from.
enum Corner { kTopLeft, kTopRight, kBottomLeft, kBottomRight };
const uint8_t kColours[4][3] = {{250, 10, 10}, {10, 250, 10}, {10, 10, 250}, {250, 250, 10}};

Pixels Quadrants() {
    Pixels p{32, 16, 3, std::vector<uint8_t>(32 * 16 * 3)};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            const uint8_t* c = kColours[(y >= 8 ? 2 : 0) + (x >= 16 ? 1 : 0)];
            std::copy(c, c + 3, p.bytes.begin() + (y * 32 + x) * 3);
        }
    }
    return p;
}

bool Near(const Pixels& p, int x, int y, Corner corner) {
    for (int i = 0; i < 3; ++i) {
        const int got = p.bytes[static_cast<size_t>((y * p.width + x) * p.channels + i)];
        if (std::abs(got - kColours[corner][i]) > 24) return false;
    }
    return true;
}

// Where the upright picture's top corners are stored, and ImageMagick's
// name for the orientation.
struct Turn {
    int orientation;
    Corner topLeft, topRight;
    const char* name;
};
const Turn kTurns[] = {
    {1, kTopLeft, kTopRight, "TopLeft"},           {2, kTopRight, kTopLeft, "TopRight"},
    {3, kBottomRight, kBottomLeft, "BottomRight"}, {4, kBottomLeft, kBottomRight, "BottomLeft"},
    {5, kTopLeft, kBottomLeft, "LeftTop"},         {6, kBottomLeft, kTopLeft, "RightTop"},
    {7, kBottomRight, kTopRight, "RightBottom"},   {8, kTopRight, kBottomRight, "LeftBottom"},
};

std::string Profile() {
    return Output(std::string("cat ") + test::kProfilePath);
}

// A camera's JPEG: stored pixels, orientation, a make, XMP, a colour
// profile and a comment.
void WriteCameraJpeg(const std::string& path, int orientation) {
    Write(path, Quadrants(), nullptr, {Format::kJpeg, 95});
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    image->exifData()["Exif.Image.Orientation"] = uint16_t(orientation);
    image->exifData()["Exif.Image.Make"] = "Zorvan Camera";
    image->xmpData()["Xmp.dc.title"] = "Harbour at dawn";
    const std::string profile = Profile();
    Exiv2::DataBuf icc(reinterpret_cast<const Exiv2::byte*>(profile.data()),
                       static_cast<long>(profile.size()));
    image->setIccProfile(icc, false);
    image->setComment("for the album");
    image->writeMetadata();
}

// Each written format, each orientation: the stored pixels written with
// their tag read back upright, and the upright pixels written say so; each
// file holds just the blocks the format table says it keeps.
TEST(Photo, EveryFormatKeepsOrientationAndWhatTheTableSays) {
    if (!test::HaveProfile()) GTEST_SKIP() << "no " << test::kProfilePath;
    const std::string profile = Profile();
    Scratch dir;
    for (const Turn& turn : kTurns) {
        const std::string camera = dir / "camera.jpg";
        WriteCameraJpeg(camera, turn.orientation);
        const Photo stored = Read(camera, false);
        ASSERT_EQ(stored.metadata.orientation(), turn.orientation);
        ASSERT_EQ(stored.metadata.blocks(), kIcc | kExif | kXmp | kComment);
        for (const FormatInfo& format : Formats()) {
            if (!format.writes) continue;
            SCOPED_TRACE(std::string(format.name) + ", orientation " + turn.name);
            const std::string raw = dir / (std::string("raw.") + format.names[0]);
            Write(raw, stored.pixels, &stored.metadata, {std::nullopt, 95});
            const Seen rawSeen = Inspect(raw, format.format);
            EXPECT_EQ(rawSeen.geometry, "32x16+0+0");
            EXPECT_EQ(rawSeen.orientation, turn.name);
            EXPECT_EQ(rawSeen.blocks, format.keeps);
            EXPECT_EQ(rawSeen.make, "Zorvan Camera");
            EXPECT_EQ(rawSeen.icc, profile);
            EXPECT_NE(rawSeen.xmp.find("Harbour at dawn"), std::string::npos);
            if (format.keeps & kComment) {
                EXPECT_EQ(rawSeen.comment, "for the album");
            }

            const Photo upright = Read(raw);
            EXPECT_EQ(upright.format, format.format);
            EXPECT_EQ(upright.metadata.orientation(), 1);
            const Pixels& p = upright.pixels;
            ASSERT_EQ(p.width, turn.orientation >= 5 ? 16 : 32);
            EXPECT_TRUE(Near(p, 0, 0, turn.topLeft));
            EXPECT_TRUE(Near(p, p.width - 1, 0, turn.topRight));
            const std::string out = dir / (std::string("upright.") + format.names[0]);
            Write(out, p, &upright.metadata, {std::nullopt, 95});
            const Seen outSeen = Inspect(out, format.format);
            EXPECT_EQ(outSeen.orientation, "TopLeft");
            EXPECT_EQ(outSeen.geometry,
                      std::to_string(p.width) + "x" + std::to_string(p.height) + "+0+0");
            EXPECT_EQ(outSeen.blocks, format.keeps);
        }
    }
}

// Bytes, a pipe and a file give one photo; Encode gives the file's bytes.
TEST(Photo, FileBytesAndPipeAgree) {
    if (!test::HaveProfile()) GTEST_SKIP() << "no " << test::kProfilePath;
    Scratch dir;
    const std::string camera = dir / "camera.jpg";
    WriteCameraJpeg(camera, 6);
    const Photo file = Read(camera);
    FILE* pipe = popen(("cat '" + camera + "'").c_str(), "r");
    const Photo piped = Read(pipe, "pipe");
    pclose(pipe);
    const std::string bytes = Output("cat '" + camera + "'");
    const Photo decoded = Decode(bytes, "bytes");
    for (const Photo* other : {&piped, &decoded}) {
        EXPECT_EQ(other->pixels.bytes, file.pixels.bytes);
        EXPECT_EQ(other->metadata.block(kExif), file.metadata.block(kExif));
        EXPECT_EQ(other->format, Format::kJpeg);
    }
    const std::string out = dir / "out.webp";
    Write(out, file.pixels, &file.metadata);
    EXPECT_EQ(Encode(file.pixels, &file.metadata, {Format::kWebp}), Output("cat '" + out + "'"));
}

// A name or extension gives a format written, or with ReadFormatForPath
// also one read only; a dot in a folder's name is no extension.
TEST(Photo, NamesAndExtensionsGiveTheirFormat) {
    const struct {
        const char* path;
        std::optional<Format> written, read;
    } cases[] = {
        {"x.JPEG", Format::kJpeg, Format::kJpeg}, {"a/b.tif", Format::kTiff, Format::kTiff},
        {"x.bmp", std::nullopt, Format::kBmp},    {"x.gif", std::nullopt, std::nullopt},
        {"a.png/x", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FormatForPath(c.path), c.written);
        EXPECT_EQ(ReadFormatForPath(c.path), c.read);
    }
    EXPECT_EQ(FormatNamed("WebP"), Format::kWebp);
    EXPECT_EQ(FormatNamed("bmp"), std::nullopt);
}

// Every bad input is an Error naming what is wrong, and leaves no file.
TEST(Photo, BadInputIsAnErrorAndWritesNothing) {
    Scratch dir;
    const Pixels good = Quadrants();
    Pixels short_ = good;
    short_.bytes.pop_back();
    // An Error for files; std::invalid_argument for what the caller passes.
    const struct {
        const char* what;
        std::function<void()> run;
        const char* message;
        bool file;
    } cases[] = {
        {"empty bytes", [] { Decode("", "in"); }, "in: the file is empty", true},
        {"text", [] { Decode("hello, world", "in"); }, "not a PNG, JPEG, TIFF, WebP or BMP image",
         true},
        {"missing file", [&] { Read(dir / "none.png"); }, "cannot open: No such file", true},
        {"bad extension", [&] { Write(dir / "out.gif", good, nullptr); },
         "unsupported output extension (use .png, .jpg, .jpeg, .tif, .tiff or .webp)", true},
        {"read-only format", [&] { Write(dir / "out.bmp", good, nullptr, {Format::kBmp}); },
         "BMP is read only", true},
        {"no folder", [&] { Write(dir / "none/out.png", good, nullptr); },
         "cannot create a file there", true},
        {"short pixels", [&] { Write(dir / "out.png", short_, nullptr); },
         "not width x height x 1..4 bytes", false},
        {"quality",
         [&] {
             Write(dir / "out.jpg", good, nullptr, {std::nullopt, 0});
         },
         "quality: 1..100", false},
        {"encode without format", [&] { Encode(good, nullptr, {}); }, "give the format", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.run();
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            EXPECT_EQ(dynamic_cast<const Error*>(&e) != nullptr, c.file);
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(fs::is_empty(dir.path));
}

}  // namespace
}  // namespace zv::photo

// SPDX-License-Identifier: MIT
// Photos through the tool: every format both ways, metadata kept, EXIF
// orientation applied, CMYK JPEGs. Test files are made by the libraries'
// own writers, metadata by exiv2; what is written is read by ImageMagick
// and libpng.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // exiv2's auto_ptr

#include "tools/zorvan/photos.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <stb/stb_image_write.h>

#include <csetjmp>
#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <regex>

#include "tests/cli/helpers.h"
#include "tests/photo/seen.h"
#include "tools/zorvan/test_image.h"

namespace zv::cli {
namespace {

using photo::test::Inspect;
using photo::test::Seen;
using test::RunTool;
using test::ToolRun;

const char* const kFormats[] = {"png", "jpg", "tif", "webp"};

// 32 x 16 in four flat quadrants, so each corner says where it came from
// even through JPEG.
enum Corner { kTopLeft, kTopRight, kBottomLeft, kBottomRight };
const uint8_t kCornerColours[4][3] = {{250, 10, 10}, {10, 250, 10}, {10, 10, 250}, {250, 250, 10}};

Image Quadrants() {
    Image image(32, 16, 3);
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const int corner = (y >= 8 ? 2 : 0) + (x >= 16 ? 1 : 0);
            std::copy(kCornerColours[corner], kCornerColours[corner] + 3, image.Row(y) + x * 3);
        }
    }
    return image;
}

bool Near(const uint8_t* pixel, Corner corner) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(pixel[i] - kCornerColours[corner][i]) > 24) return false;
    }
    return true;
}

void Write(const Image& image, const std::string& path, WriteSettings settings = {}) {
    settings.format = *FormatForPath(path);
    settings.quality = 95;
    File file(std::fopen(path.c_str(), "wb"));
    WriteImage(image, settings, file.get(), path);
}

// The real colour profile; the tests that need it skip without it.
std::string Profile() {
    return photo::test::HaveProfile() ? test::ReadBytes(photo::test::kProfilePath) : "";
}

// What a camera leaves in a photo: orientation, GPS, XMP, a colour profile
// and a comment.
void AddCameraMetadata(const std::string& path, int orientation) {
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Orientation"] = uint16_t(orientation);
    exif["Exif.Image.Make"] = "Zorvan Camera";
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    Exiv2::URationalValue latitude;
    latitude.read("48/1 51/1 2400/100");
    exif["Exif.GPSInfo.GPSLatitude"] = latitude;
    image->xmpData()["Xmp.dc.title"] = "Harbour at dawn";
    image->xmpData()["Xmp.tiff.Orientation"] = std::to_string(orientation);
    const std::string profile = Profile();
    Exiv2::DataBuf icc(reinterpret_cast<const Exiv2::byte*>(profile.data()),
                       static_cast<long>(profile.size()));
    if (!profile.empty()) image->setIccProfile(icc, false);
    if (image->checkMode(Exiv2::mdComment) & Exiv2::amWrite) image->setComment("for the album");
    image->writeMetadata();
    if (image->mimeType() != "image/webp") return;
    // exiv2 0.27 does not write a WebP's colour profile: libwebpmux does.
    Photo photo = ReadPhoto(path, false);
    photo.metadata.icc = profile;
    photo.metadata.comment.clear();
    Write(photo.image, path, {FileFormat::kWebp, 95, -1, false, &photo.metadata});
}

// What exiv2 finds of an EXIF tag that ImageMagick does not read in every
// format.
std::string ExifTag(const std::string& path, const std::string& key) {
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    const auto it = image->exifData().findKey(Exiv2::ExifKey(key));
    return it == image->exifData().end() ? "" : it->toString();
}

// Where the upright picture's top corners are stored, by orientation.
struct Turn {
    int orientation;
    Corner topLeft, topRight;
};
const Turn kTurns[] = {
    {1, kTopLeft, kTopRight},       {2, kTopRight, kTopLeft},     {3, kBottomRight, kBottomLeft},
    {4, kBottomLeft, kBottomRight}, {5, kTopLeft, kBottomLeft},   {6, kBottomLeft, kTopLeft},
    {7, kBottomRight, kTopRight},   {8, kTopRight, kBottomRight},
};

// Every input format to every output format, each with another orientation:
// the output is upright, says so, and keeps every block its format holds.
TEST(Photos, MetadataAndOrientationSurviveEveryFormat) {
    const std::string profile = Profile();
    if (profile.empty()) GTEST_SKIP() << "no " << photo::test::kProfilePath;
    const std::regex upright(R"re(tiff:Orientation(>|="|=')1[<"'])re");
    test::ScratchDir dir;
    int n = 0;
    for (const char* from : kFormats) {
        for (const char* to : kFormats) {
            const Turn turn = kTurns[n++ % 8];
            SCOPED_TRACE(std::string(from) + " to " + to + ", orientation " +
                         std::to_string(turn.orientation));
            const std::string in = dir / (std::string("in.") + from);
            const std::string out = dir / (std::string("out.") + to);
            Write(Quadrants(), in);
            AddCameraMetadata(in, turn.orientation);
            const ToolRun run = RunTool({"apply", "-e", "c", "-q", in, out});
            ASSERT_EQ(run.status, 0) << run.err;
            const Image result = ReadPhoto(out, false).image;
            const bool turned = turn.orientation >= 5;
            EXPECT_EQ(result.width, turned ? 16 : 32);
            EXPECT_TRUE(Near(result.Row(0), turn.topLeft));
            EXPECT_TRUE(Near(result.Row(0) + (result.width - 1) * 3, turn.topRight));

            const Seen seen = Inspect(out, *FormatForPath(out));
            EXPECT_EQ(seen.orientation, "TopLeft");
            EXPECT_EQ(seen.make, "Zorvan Camera");
            EXPECT_EQ(seen.icc, profile);
            EXPECT_NE(seen.xmp.find("Harbour at dawn"), std::string::npos);
            EXPECT_TRUE(std::regex_search(seen.xmp, upright)) << seen.xmp;
            EXPECT_EQ(ExifTag(out, "Exif.GPSInfo.GPSLatitude"), "48/1 51/1 2400/100");
            if (std::string(to) != "tif") {
                EXPECT_EQ(ExifTag(out, "Exif.Image.StripOffsets"), "");
            }
            if (std::string(from) == "jpg" &&
                (std::string(to) == "jpg" || std::string(to) == "tif")) {
                EXPECT_EQ(seen.comment, "for the album");  // a TIFF's as its description
                EXPECT_EQ(run.err, "");
            }
        }
    }
}

// A JPEG APP1 segment holding XMP nested deeper than exiv2 writes.
std::string DeepXmpSegment() {
    std::string open, close;
    for (int i = 0; i < 1000; ++i) {
        open += "<z:n rdf:parseType=\"Resource\">";
        close += "</z:n>";
    }
    const std::string app1 =
        std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
        "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta "
        "xmlns:x=\"adobe:ns:meta/\">"
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
        "rdf:about=\"\" xmlns:z=\"http://example.com/z/\">" +
        open + "<z:v>deep</z:v>" + close +
        "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
    const size_t size = app1.size() + 2;
    return std::string("\xff\xe1") + static_cast<char>(size >> 8) + static_cast<char>(size & 255) +
           app1;
}

// What is kept when the XMP cannot be written, and left out with one
// warning: the EXIF, the colour profile and the comment (a TIFF's as its
// description).
TEST(Photos, AnotherReaderFindsWhatIsKept) {
    const std::string profile = Profile();
    if (profile.empty()) GTEST_SKIP() << "no " << photo::test::kProfilePath;
    test::ScratchDir dir;
    Write(Quadrants(), dir / "in.jpg");
    AddCameraMetadata(dir / "in.jpg", 1);
    {
        auto image = Exiv2::ImageFactory::open(dir / "in.jpg");
        image->readMetadata();
        image->clearXmpData();
        image->writeMetadata();
    }
    test::WriteBytes(dir / "in.jpg", test::ReadBytes(dir / "in.jpg").insert(2, DeepXmpSegment()));
    for (const char* out : {"out.jpg", "out.tif"}) {
        SCOPED_TRACE(out);
        const ToolRun run = RunTool({"apply", "-e", "c", "-q", dir / "in.jpg", dir / out});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err.rfind("zorvan: warning: " + dir / out +
                                    ": the input's XMP could not be written and is left out (XMP",
                                0),
                  0u)
            << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        const Seen seen = Inspect(dir / out, *FormatForPath(out));
        EXPECT_EQ(seen.make, "Zorvan Camera");
        EXPECT_EQ(seen.comment, "for the album");
        EXPECT_EQ(seen.icc, profile);
        EXPECT_EQ(seen.blocks, photo::kIcc | photo::kExif | photo::kComment);
    }
}

TEST(Photos, NoAutoOrientKeepsStoredOrderAndTag) {
    test::ScratchDir dir;
    Write(Quadrants(), dir / "in.png");
    AddCameraMetadata(dir / "in.png", 6);
    ASSERT_EQ(
        RunTool({"apply", "-e", "c", "-q", "--no-auto-orient", dir / "in.png", dir / "out.png"})
            .status,
        0);
    const Image result = ReadPhoto(dir / "out.png", false).image;
    EXPECT_EQ(result.width, 32);
    EXPECT_TRUE(Near(result.Row(0), kTopLeft));
    EXPECT_EQ(Inspect(dir / "out.png", FileFormat::kPng).orientation, "RightTop");
}

// A damaged EXIF block is left out with a warning; the picture is written.
TEST(Photos, DamagedMetadataIsDroppedWithAWarning) {
    test::ScratchDir dir;
    Write(Quadrants(), dir / "in.jpg");
    std::string bytes = test::ReadBytes(dir / "in.jpg");
    const std::string app1(
        "\xff\xe1\x00\x10"
        "Exif\0\0MM\0*\xff\xff\xff\xff",
        18);
    bytes.insert(2, app1);
    test::WriteBytes(dir / "bad.jpg", bytes);
    const ToolRun run = RunTool({"apply", "-e", "c", "-q", dir / "bad.jpg", dir / "out.png"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("zorvan: warning: " + dir / "bad.jpg"), std::string::npos) << run.err;
    EXPECT_EQ(ReadPhoto(dir / "out.png", false).image.width, 32);
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// A CMYK JPEG from libjpeg, with or without Adobe's marker (inverted inks).
void WriteCmykJpeg(const std::string& path, const uint8_t ink[4], bool adobe) {
    File file(std::fopen(path.c_str(), "wb"));
    jpeg_compress_struct c{};
    JpegError error;
    c.err = jpeg_std_error(&error.manager);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file.get());
    c.image_width = 16;
    c.image_height = 16;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    c.write_Adobe_marker = adobe;
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(16 * 4);
    for (size_t i = 0; i < row.size(); ++i) row[i] = adobe ? 255 - ink[i % 4] : ink[i % 4];
    JSAMPROW rows[1] = {row.data()};
    for (int y = 0; y < 16; ++y) jpeg_write_scanlines(&c, rows, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
}

TEST(Photos, CmykJpegBecomesRgb) {
    test::ScratchDir dir;
    const uint8_t red[4] = {0, 255, 255, 0}, darkBlue[4] = {255, 255, 0, 128};
    for (const bool adobe : {true, false}) {
        WriteCmykJpeg(dir / "red.jpg", red, adobe);
        WriteCmykJpeg(dir / "blue.jpg", darkBlue, adobe);
        const Image r = ReadPhoto(dir / "red.jpg", true).image;
        const Image b = ReadPhoto(dir / "blue.jpg", true).image;
        EXPECT_TRUE(r.Row(8)[0] > 245 && r.Row(8)[1] < 10 && r.Row(8)[2] < 10) << adobe;
        EXPECT_TRUE(b.Row(8)[0] < 10 && b.Row(8)[1] < 10 && std::abs(b.Row(8)[2] - 127) < 6)
            << adobe;
    }
}

// Lossless formats give the pixels back, alpha included; each format's
// truncated and corrupt files are refused with its name in the message.
TEST(Photos, EachFormatRoundTripsAndRefusesDamage) {
    test::ScratchDir dir;
    Image picture = WithChannels(test::SmallPicture(), 4);
    for (size_t i = 3; i < picture.pixels.size(); i += 4) picture.pixels[i] = uint8_t(i * 7);
    for (const char* format : {"png", "tif", "webp", "bmp"}) {
        SCOPED_TRACE(format);
        const std::string path = dir / (std::string("a.") + format);
        if (std::string(format) == "bmp") {
            ASSERT_TRUE(stbi_write_bmp(path.c_str(), picture.width, picture.height, 4,
                                       picture.pixels.data()));
        } else {
            Write(picture, path, {FileFormat::kPng, 90, -1, true});
        }
        EXPECT_EQ(test::PixelHash(ReadPhoto(path, true).image), test::PixelHash(picture));
        const std::string bytes = test::ReadBytes(path);
        test::WriteBytes(dir / "short", bytes.substr(0, bytes.size() / 2));
        const ToolRun run = RunTool({"apply", "-e", "c", dir / "short", dir / "o.png"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.rfind("zorvan: " + dir / "short: ", 0), 0u) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "o.png"));
    }
}

// Every level, filter choice, thread count and odd size gives a PNG that
// libpng reads back pixel for pixel.
TEST(Photos, PngLevelsAndThreadsRoundTrip) {
    test::ScratchDir dir;
    const Image pictures[] = {TestImage(1, 1), TestImage(1, 37), WithChannels(TestImage(97, 5), 4),
                              TestImage(300, 200)};
    for (const Image& picture : pictures) {
        for (const int level : {-1, 0, 1, 9}) {
            SCOPED_TRACE(std::to_string(picture.width) + "x" + std::to_string(picture.height) +
                         ", level " + std::to_string(level));
            Write(picture, dir / "a.png", {FileFormat::kPng, 90, level, false, nullptr, 3});
            EXPECT_EQ(test::PixelHash(ReadPhoto(dir / "a.png", true).image),
                      test::PixelHash(picture));
        }
    }
}

// Standard input of any format, standard output in the format asked for.
TEST(Photos, PipesInAndOut) {
    test::ScratchDir dir;
    Write(Quadrants(), dir / "in.png");
    Write(Quadrants(), dir / "in.jpg");
    const struct {
        const char* input;
        std::vector<std::string> output;
        std::string magic;
    } cases[] = {
        {"in.png", {"png:-"}, "\x89PNG"},
        {"in.jpg", {"-", "--format", "JPEG"}, "\xff\xd8\xff"},
        {"in.png", {"tif:-"}, "II*"},
        {"in.jpg", {"webp:-"}, "RIFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output.front());
        std::vector<std::string> args = {"apply", "-q", "-e", "255 - c", "-"};
        args.insert(args.end(), c.output.begin(), c.output.end());
        const ToolRun run = test::RunInShell(
            std::string("exec \"$0\" \"$@\" < \"$D/") + c.input + "\"", args, dir.path().string());
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.substr(0, c.magic.size()), c.magic);
        test::WriteBytes(dir / "out", run.out);
        const Image result = ReadPhoto(dir / "out", true).image;
        EXPECT_EQ(result.width, 32);
        EXPECT_LT(result.Row(0)[0], 30);  // 255 - c of the red corner
        EXPECT_GT(result.Row(0)[1], 225);
    }
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.jpg", "in.png", "out"}));
}

// Many inputs into a folder: names kept, a bad file reported and the rest
// written, one summary line, exit 1.
TEST(Photos, ManyFilesIntoAFolder) {
    test::ScratchDir dir;
    std::filesystem::create_directory(dir / "out");
    Write(Quadrants(), dir / "a.png");
    Write(Quadrants(), dir / "b.jpg");
    test::WriteBytes(dir / "c.png", "not a picture");
    const ToolRun run = RunTool({"apply", "-e", "c", "--threads", "2", dir / "a.png", dir / "b.jpg",
                                 dir / "c.png", "-o", dir / "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zorvan: " + dir / "c.png" + ": not a PNG, JPEG, TIFF, WebP or BMP image\n" +
                           "zorvan: 2 of 3 written to " + dir / "out" + ", 1 failed\n");
    EXPECT_EQ(ReadPhoto(dir / "out/a.png", true).image.width, 32);
    EXPECT_EQ(ReadPhoto(dir / "out/b.jpg", true).image.width, 32);
    EXPECT_FALSE(std::filesystem::exists(dir / "out/c.png"));

    const ToolRun converted = RunTool({"apply", "-q", "-e", "c", "--format", "webp", dir / "a.png",
                                       dir / "b.jpg", "-o", dir / "out"});
    EXPECT_EQ(converted.status, 0) << converted.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "out/a.webp"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/b.webp"));
}

// --frames into a .webp makes one animated file of that many frames.
TEST(Photos, FramesIntoOneAnimatedWebp) {
    test::ScratchDir dir;
    Write(Quadrants(), dir / "in.png");
    const ToolRun run = RunTool(
        {"apply", "-q", "-e", "c * t / 2", "--frames", "3", dir / "in.png", dir / "a.webp"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a.webp", "in.png"}));
    const std::string bytes = test::ReadBytes(dir / "a.webp");
    size_t frames = 0;
    for (size_t at = 0; (at = bytes.find("ANMF", at)) != std::string::npos; at += 4) ++frames;
    EXPECT_EQ(frames, 3u);
}

}  // namespace
}  // namespace zv::cli

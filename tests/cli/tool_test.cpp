// SPDX-License-Identifier: MIT
// End-to-end: the built tool run on small generated images.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cctype>
#include <map>

#include "tests/cli/helpers.h"
#include "tools/zorvan/photos.h"

namespace zv::cli {
namespace {

using test::RunTool;
using test::ToolRun;

std::string Chunk(const std::string& type, const std::string& data) {
    std::string length(4, '\0');
    for (int i = 0; i < 4; ++i) length[i] = static_cast<char>(data.size() >> (24 - 8 * i));
    const std::string body = type + data;
    const uLong crc =
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    std::string tail(4, '\0');
    for (int i = 0; i < 4; ++i) tail[i] = static_cast<char>(crc >> (24 - 8 * i));
    return length + body + tail;
}

// A well-formed PNG header for 100000 x 100000 pixels and no image data.
std::string HugePng() {
    const std::string ihdr("\x00\x01\x86\xa0\x00\x01\x86\xa0\x08\x02\x00\x00\x00", 13);
    return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + Chunk("IDAT", "");
}

// A grey PNG of 1 x 1,000,001 pixels: past libpng's default row limit, well
// inside the tool's pixel limit.
std::string TallPng() {
    constexpr uLong kRows = 1'000'001;
    const std::string raw(2 * kRows, '\0');  // a filter byte and a sample per row
    std::string packed(compressBound(raw.size()), '\0');
    uLongf size = packed.size();
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(raw.data()), raw.size());
    packed.resize(size);
    const std::string ihdr("\x00\x00\x00\x01\x00\x0f\x42\x41\x08\x00\x00\x00\x00", 13);
    return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + Chunk("IDAT", packed) +
           Chunk("IEND", "");
}

class Tool : public testing::Test {
   protected:
    void SetUp() override {
        test::WritePngFile(test::SmallPicture(), input);
        ASSERT_EQ(RunTool({"apply", "-e", "c", "--quality", "95", input, dir / "in.jpg"}).status,
                  0);
    }

    Image Read(const std::string& name) const { return ReadPhoto(dir / name, true).image; }

    test::ScratchDir dir;
    const std::string input = dir / "in.png";
};

TEST_F(Tool, ExamplesGiveTheirPinnedPictures) {
    // Pinned once the whole language ran; a change here changes a picture,
    // so look at it (zorvan demo) before pinning anew.
    const std::map<std::string, uint64_t> golden = {
        {"blur", 0x26922d7de562115full},      {"chroma", 0xb62a29631e37bf5cull},
        {"colour-key", 0x1c34b3fcf1d1702ull}, {"diffuse", 0x18a01caac8e458bfull},
        {"dither", 0x225cb70e236bae7ull},     {"emboss", 0x6e7e0ba7a76073aaull},
        {"fisheye", 0x1d4bd6eb3efc4b9full},   {"grain", 0x7dafa9822838c9f6ull},
        {"invert", 0xd2cfd4e249133858ull},    {"kaleidoscope", 0x679e6f94a1ebcab3ull},
        {"levels", 0x6529070d4cfef1ecull},    {"pencil", 0xbd0278253e169bb0ull},
        {"posterize", 0xd21ef86e3f6d8102ull}, {"rings", 0xe2c4fd667359345eull},
        {"ripple", 0xab972f168805a84aull},    {"sepia", 0xe1530b65fac5e255ull},
        {"shear", 0x9979c39c545a84e5ull},     {"split", 0xea24e4fa367691acull},
        {"twirl", 0xbc05a2d1cba519cull},      {"vignette", 0x1b63b9f7669bbf7eull},
    };
    size_t examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ZORVAN_EXAMPLES)) {
        if (entry.path().extension() != ".zvf") continue;
        ++examples;
        const std::string name = entry.path().stem().string();
        const ToolRun run =
            RunTool({"apply", "-f", entry.path().string(), input, dir / (name + ".png")});
        ASSERT_EQ(run.status, 0) << name << ": " << run.err;
        const uint64_t hash = test::PixelHash(Read(name + ".png"));
        const auto pinned = golden.find(name);
        EXPECT_TRUE(pinned != golden.end() && pinned->second == hash)
            << "{\"" << name << "\", 0x" << std::hex << hash << "ull},";
    }
    EXPECT_EQ(examples, golden.size());
}

TEST_F(Tool, ChannelsWithoutFormulaAndAlpha) {
    ASSERT_EQ(RunTool({"apply", "-g", "0", input, dir / "g.png"}).status, 0);
    const Image source = Read("in.png"), g = Read("g.png");
    ASSERT_EQ(g.channels, 3);
    for (size_t i = 0; i < source.pixels.size(); ++i) {
        EXPECT_EQ(g.pixels[i], i % 3 == 1 ? 0 : source.pixels[i]) << i;
    }
    // An alpha formula adds alpha; a JPEG keeps none.
    ASSERT_EQ(RunTool({"apply", "-a", "x * 5", input, dir / "a.png"}).status, 0);
    const Image a = Read("a.png");
    ASSERT_EQ(a.channels, 4);
    EXPECT_EQ(a.pixels[4 * 7 + 3], 35);
    EXPECT_EQ(a.pixels[4 * 7], source.pixels[3 * 7]);
    ASSERT_EQ(RunTool({"apply", "-e", "255 - c", dir / "a.png", dir / "inverted.png"}).status, 0);
    EXPECT_EQ(Read("inverted.png").pixels[4 * 7 + 3], 255 - 35);
    ASSERT_EQ(RunTool({"apply", "-r", "r", dir / "a.png", dir / "a.jpg"}).status, 0);
    EXPECT_EQ(Read("a.jpg").channels, 3);
}

TEST_F(Tool, ReadsJpeg) {
    ASSERT_EQ(RunTool({"apply", "-e", "255 - c", dir / "in.jpg", dir / "out.png"}).status, 0);
    const Image jpeg = Read("in.jpg"), out = Read("out.png");
    ASSERT_EQ(out.width, 48);
    ASSERT_EQ(out.pixels.size(), jpeg.pixels.size());
    for (size_t i = 0; i < jpeg.pixels.size(); ++i) EXPECT_EQ(out.pixels[i], 255 - jpeg.pixels[i]);
}

TEST_F(Tool, ConvertsGreyPaletteAnd16BitInput) {
    const uint8_t grey[2] = {0, 200};
    const uint8_t greyAlpha[4] = {10, 20, 30, 40};
    const uint16_t deep[6] = {0, 65535, 0x8080, 1, 2, 3};
    const uint8_t indexes[2] = {1, 0};
    const uint8_t colours[6] = {1, 2, 3, 4, 5, 6};
    test::WriteRawPng(dir / "grey.png", 2, 1, PNG_FORMAT_GRAY, grey);
    test::WriteRawPng(dir / "ga.png", 2, 1, PNG_FORMAT_GA, greyAlpha);
    test::WriteRawPng(dir / "deep.png", 2, 1, PNG_FORMAT_LINEAR_RGB, deep);
    png_image palette{};
    palette.version = PNG_IMAGE_VERSION;
    palette.width = 2;
    palette.height = 1;
    palette.format = PNG_FORMAT_RGB_COLORMAP;
    palette.colormap_entries = 2;
    ASSERT_TRUE(
        png_image_write_to_file(&palette, (dir / "palette.png").c_str(), 0, indexes, 0, colours));
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"grey.png", {0, 0, 0, 200, 200, 200}},
        {"ga.png", {10, 10, 10, 20, 30, 30, 30, 40}},
        {"deep.png", {0, 255, 128, 0, 0, 0}},
        {"palette.png", {4, 5, 6, 1, 2, 3}},
    };
    for (const auto& [name, pixels] : cases) {
        const ToolRun run = RunTool({"apply", "-r", "r", dir / name, dir / "out.png"});
        ASSERT_EQ(run.status, 0) << name << ": " << run.err;
        const Image out = Read("out.png");
        EXPECT_EQ(std::vector<uint8_t>(out.pixels.begin(), out.pixels.end()), pixels) << name;
    }
}

TEST_F(Tool, OneOrTwoThreadsWriteTheSameFile) {
    for (const char* example : {"twirl", "blur", "grain"}) {
        ASSERT_EQ(RunTool({"apply", "-x", example, "--threads", "1", input, dir / "1.png"}).status,
                  0);
        ASSERT_EQ(RunTool({"apply", "-x", example, "--threads", "2", input, dir / "2.png"}).status,
                  0);
        EXPECT_EQ(test::ReadBytes(dir / "1.png"), test::ReadBytes(dir / "2.png")) << example;
    }
}

// The number goes before the file name's extension, or at its end.
TEST_F(Tool, FramesAreNumberedWithTAndTotal) {
    std::filesystem::create_directory(dir / "a.dir");
    const struct {
        const char* prefix;
        const char* output;
        const char* numbered;  // N the frame's number
    } cases[] = {{"", "f.png", "f-000N.png"}, {"png:", "a.dir/f", "a.dir/f-000N"}};
    for (const auto& [prefix, output, numbered] : cases) {
        SCOPED_TRACE(output);
        const ToolRun run = RunTool(
            {"apply", "-e", "t * 100 + tmax", "--frames", "3", input, prefix + dir / output});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");  // no progress without a terminal
        for (int f = 0; f < 3; ++f) {
            std::string name = numbered;
            const Image frame = Read(name.replace(name.find('N'), 1, std::to_string(f + 1)));
            EXPECT_EQ(frame.pixels.front(), f * 100 + 2);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "f.png"));
}

TEST_F(Tool, TakesAMillionRows) {
    test::WriteBytes(dir / "tall.png", TallPng());
    const ToolRun run = RunTool({"apply", "-e", "255 - c", dir / "tall.png", dir / "out.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Image out = Read("out.png");
    EXPECT_EQ(out.height, 1'000'001);
    EXPECT_EQ(out.pixels.back(), 255);
}

TEST_F(Tool, ReadsAFifoWhole) {
    ASSERT_EQ(RunTool({"apply", "-e", "255 - c", input, dir / "file.png"}).status, 0);
    mkfifo((dir / "fifo").c_str(), 0600);
    const ToolRun run =
        test::RunInShell("timeout 20 cat \"$D/in.png\" > \"$D/fifo\" & exec \"$0\" \"$@\"",
                         {"apply", "-e", "255 - c", dir / "fifo", dir / "fifo.png"}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::ReadBytes(dir / "fifo.png"), test::ReadBytes(dir / "file.png"));
}

TEST_F(Tool, VerboseSaysWhatEachChannelTook) {
    const ToolRun run = RunTool({"apply", "-v", "-q", "-r", "r", "-b", "rnd(0, 1)", "--threads",
                                 "2", input, dir / "v.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("read " + input + ": 48x36 RGB"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("red: formula for red (-r): per-pixel, 2 threads, rnd's draws counted"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("green: kept"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("alpha: none"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("wrote " + dir / "v.png"), std::string::npos) << run.err;
}

// ZORVAN_ISA picks the loops' instruction set, which -v names; one that the
// processor does not run is said and ignored, with the same pixels.
TEST_F(Tool, InstructionSetFromTheEnvironment) {
    const struct {
        const char* value;
        const char* said;
    } cases[] = {{"baseline", ": span, baseline, 1 thread"},
                 {"avx1024", "(ZORVAN_ISA=avx1024 is not one of baseline"}};
    ASSERT_EQ(RunTool({"apply", "-e", "255 - c", input, dir / "widest.png"}).status, 0);
    for (const auto& k : cases) {
        const ToolRun run =
            test::RunInShell(std::string("ZORVAN_ISA=") + k.value + " exec \"$0\" \"$@\"",
                             {"apply", "-v", "-q", "--threads", "1", "-e", "255 - c", input,
                              dir / "isa.png", "--force"},
                             dir.path());
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find(k.said), std::string::npos) << run.err;
        EXPECT_EQ(test::ReadBytes(dir / "isa.png"), test::ReadBytes(dir / "widest.png"));
    }
}

TEST_F(Tool, OtherCommands) {
    EXPECT_EQ(RunTool({"eval", "sin(256)"}).out, "512\n");
    EXPECT_EQ(RunTool({"eval", "x * 100 + y", "--at", "3,4"}).out, "304\n");
    EXPECT_EQ(RunTool({"eval", "c + ctl(5)", "--channel", "3", "--ctl", "5=-300"}).out, "-45\n");
    const ToolRun check = RunTool({"check", "x + 1", "x +", "-f", ZORVAN_EXAMPLES "/twirl.zvf",
                                   ZORVAN_EXAMPLES "/invert.zvf"});
    EXPECT_EQ(check.status, 2);
    EXPECT_EQ(check.out, "ok: formula 1\nok: " ZORVAN_EXAMPLES "/twirl.zvf\nok: " ZORVAN_EXAMPLES
                         "/invert.zvf\n");
    EXPECT_EQ(
        check.err,
        "zorvan: formula 2 does not parse at column 3: \"+\" has no right operand\n  x +\n    ^\n");
    EXPECT_EQ(RunTool({"controls", "-x", "twirl"}).out, "ctl0: Twist = 160 (0..255)\n");
    // eval takes a filter's formulas, or its controls' names and defaults.
    EXPECT_EQ(RunTool({"eval", "ctl(0) + 1", "-x", "twirl"}).out, "161\n");
    EXPECT_EQ(RunTool({"eval", "ctl(0)", "-x", "twirl", "--ctl", "twist=7"}).out, "7\n");
    EXPECT_EQ(RunTool({"eval", "-f", ZORVAN_EXAMPLES "/invert.zvf", "--at", "5,6"}).out,
              RunTool({"eval", "255 - c", "--at", "5,6"}).out);
    EXPECT_EQ(RunTool({"controls", "-x", "invert"}).out, "no controls\n");
    EXPECT_EQ(RunTool({"eval", "X * 1000 + Y + src(47, 35, 1)", "--image", input}).out,
              std::to_string(48036 + Read("in.png").pixels[(35 * 48 + 47) * 3 + 1]) + "\n");
    // A control by the name its file gives it, in any case, is that control.
    ASSERT_EQ(RunTool({"apply", "-x", "twirl", "--ctl", "0=300", input, dir / "n.png"}).status, 0);
    ASSERT_EQ(RunTool({"apply", "-x", "twirl", "--ctl", "tWiSt=300", input, dir / "t.png"}).status,
              0);
    EXPECT_EQ(test::ReadBytes(dir / "n.png"), test::ReadBytes(dir / "t.png"));
    const ToolRun wraps = RunTool({"check", "4294967296"});
    EXPECT_EQ(wraps.status, 0);
    EXPECT_EQ(wraps.err,
              "zorvan: warning: formula 1 has a number beyond 32 bits at column 1: 4294967296 "
              "wraps to 0\n  4294967296\n  ^\n");
    EXPECT_EQ(RunTool({"examples", "twirl"}).out, test::ReadBytes(ZORVAN_EXAMPLES "/twirl.zvf"));
    EXPECT_NE(RunTool({"examples"}).out.find("twirl "), std::string::npos);

    const ToolRun demo = RunTool({"demo", "-o", dir.path().string()});
    ASSERT_EQ(demo.status, 0) << demo.err;
    EXPECT_NE(demo.out.find("demo.png"), std::string::npos);
    EXPECT_EQ(Read("demo.png").channels, 3);
    EXPECT_EQ(Read("demo/twirl.png").width, 320);
}

struct BadRun {
    std::vector<std::string> args;  // "@" stands for the scratch folder
    int status;
    std::string message;  // the start of the first line of stderr, after "zorvan: "
};

void PrintTo(const BadRun& run, std::ostream* os) {
    *os << run.message;
}

class BadInput : public Tool, public testing::WithParamInterface<BadRun> {};

TEST_P(BadInput, FailsCleanly) {
    const std::string png = test::ReadBytes(input), jpg = test::ReadBytes(dir / "in.jpg");
    test::WriteBytes(dir / "empty.png", "");
    test::WriteBytes(dir / "text.png", "hello, world\n");
    test::WriteBytes(dir / "short.png", png.substr(0, png.size() / 2));
    std::string corrupt = png;
    corrupt[corrupt.size() / 2] = static_cast<char>(corrupt[corrupt.size() / 2] ^ 0x55);
    test::WriteBytes(dir / "corrupt.png", corrupt);
    test::WriteBytes(dir / "short.jpg", jpg.substr(0, jpg.size() * 3 / 5));
    test::WriteBytes(dir / "junk.jpg",
                     jpg.substr(0, jpg.size() - 2) + "abc" + jpg.substr(jpg.size() - 2));
    std::string huge = jpg;
    const size_t sof = huge.find("\xff\xc0");
    ASSERT_NE(sof, std::string::npos);
    huge.replace(sof + 5, 4, "\xea\x60\xea\x60");
    test::WriteBytes(dir / "huge.jpg", huge);
    test::WriteBytes(dir / "huge.png", HugePng());
    // 100x100 of 24 bits declared, 30 bytes given, and no file size.
    test::WriteBytes(dir / "short.bmp",
                     std::string("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x64\0\0\0"
                                 "\x64\0\0\0\x01\0\x18\0",
                                 30) +
                         std::string(24, '\0') + std::string(30, '\x10'));
    test::WriteBytes(dir / "bad.zvf", "title: x\ncolour: c\n");
    std::filesystem::create_directory(dir / "folder.png");
    std::filesystem::create_symlink("loop.png", dir / "loop.png");
    const std::vector<std::string> before = dir.Files();

    std::vector<std::string> args;
    for (const std::string& a : GetParam().args) {
        args.push_back(a.front() == '@' ? dir.path().string() + a.substr(1) : a);
    }
    const ToolRun run = RunTool(args);
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    std::string expected = GetParam().message;
    if (expected.front() == '@') expected = dir.path().string() + expected.substr(1);
    EXPECT_EQ(run.err.substr(0, 8 + expected.size()), "zorvan: " + expected) << run.err;
    const size_t lines = static_cast<size_t>(std::count(run.err.begin(), run.err.end(), '\n'));
    EXPECT_EQ(lines, expected.find("formula for") != std::string::npos ? 3u : 1u) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(dir.Files(), before);  // nothing written, nothing left behind
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadInput,
    testing::Values(
        BadRun{{"apply", "-r", "x + * 2", "@/in.png", "@/o.png"},
               2,
               "formula for red (-r) does not parse at column 3: \"+\" has no right operand"},
        BadRun{{"apply", "-r", "255 \xe2\x88\x92 c", "@/in.png", "@/o.png"},
               2,
               "formula for red (-r) has a byte that is not ASCII at column 5"},
        BadRun{
            {"apply", "-e", "min(r)", "@/in.png", "@/o.png"},
            2,
            "formula for every channel (-e) does not parse at column 1: \"min\" takes 2 arguments"},
        BadRun{{"apply", "-x", "twirl", "-a", "(", "@/in.png", "@/o.png"},
               2,
               "formula for alpha (-a) does not parse at column 2: unexpected end of formula"},
        BadRun{{"apply", "-e", "c", "@/none.png", "@/o.png"},
               1,
               "@/none.png: cannot open: No such file or directory"},
        BadRun{{"apply", "-e", "c", "@/folder.png", "@/o.png"},
               1,
               "@/folder.png: cannot read: Is a directory"},
        BadRun{{"apply", "-e", "c", "@/empty.png", "@/o.png"}, 1, "@/empty.png: the file is empty"},
        BadRun{{"apply", "-e", "c", "@/text.png", "@/o.png"},
               1,
               "@/text.png: not a PNG, JPEG, TIFF, WebP or BMP image"},
        BadRun{{"apply", "-e", "c", "@/short.png", "@/o.png"},
               1,
               "@/short.png: bad PNG: the file is truncated"},
        BadRun{{"apply", "-e", "c", "@/corrupt.png", "@/o.png"}, 1, "@/corrupt.png: bad PNG: "},
        BadRun{{"apply", "-e", "c", "@/short.jpg", "@/o.png"},
               1,
               "@/short.jpg: bad JPEG: the file is truncated"},
        BadRun{{"apply", "-e", "c", "@/junk.jpg", "@/o.png"},
               1,
               "@/junk.jpg: bad JPEG: Corrupt JPEG data: 3 extraneous bytes before marker 0xd9"},
        BadRun{{"apply", "-e", "c", "@/short.bmp", "@/o.png"},
               1,
               "@/short.bmp: the file is truncated"},
        BadRun{{"apply", "-e", "c", "@/huge.png", "@/o.png"},
               1,
               "@/huge.png: the image is 100000x100000, more than the limit of 100 megapixels"},
        BadRun{{"apply", "-e", "c", "@/huge.jpg", "@/o.png"},
               1,
               "@/huge.jpg: the image is 60000x60000, more than the limit"},
        BadRun{{"apply", "-e", "c", "@/in.png", "@/o.bmp"},
               1,
               "@/o.bmp: unsupported output extension (use .png, .jpg, .jpeg, .tif, .tiff or "
               ".webp)"},
        BadRun{{"apply", "-e", "c", "@/in.png", "-"},
               2,
               "-: give --format or a prefix such as png:- for standard output"},
        BadRun{{"apply", "-e", "c", "@/in.png", "@/no/o.png"},
               1,
               "@/no: cannot create a file there: No such file or directory"},
        BadRun{{"apply", "-e", "c", "@/in.png", "@/folder.png"},
               1,
               "@/folder.png: cannot write: Is a directory"},
        BadRun{{"apply", "-e", "c", "@/in.png", "@/loop.png"},
               1,
               "@/loop.png: cannot write: Too many levels of symbolic links"},
        BadRun{{"apply", "-f", "@/none.zvf", "@/in.png", "@/o.png"},
               1,
               "@/none.zvf: cannot open: No such file or directory"},
        BadRun{{"apply", "-f", "@/bad.zvf", "@/in.png", "@/o.png"},
               2,
               "@/bad.zvf:2: unknown key \"colour\""},
        BadRun{
            {"apply", "-x", "nothing", "@/in.png", "@/o.png"}, 2, "no example called \"nothing\""},
        BadRun{{"apply", "@/in.png", "@/o.png"}, 2, "apply: no formula; give -e"},
        BadRun{{"apply", "-e", "c", "--ctl", "9=1", "@/in.png", "@/o.png"},
               2,
               "--ctl 9=1: the control number must be 0 to 7"},
        BadRun{{"apply", "-e", "c", "--ctl", "1\n2=\r3\x01", "@/in.png", "@/o.png"},
               2,
               "--ctl 1\\n2=\\r3\\x01: expected N=V or NAME=V, V an integer"},
        BadRun{{"apply", "-e", "c", "--ctl", "1", "@/in.png", "@/o.png"},
               2,
               "--ctl 1: expected N=V or NAME=V, V an integer"},
        BadRun{{"apply", "-x", "twirl", "--ctl", "Turn=1", "@/in.png", "@/o.png"},
               2,
               "--ctl Turn=1: no control of that name; the filter's controls are Twist"},
        BadRun{{"eval", "c", "--ctl", "Twist=1"},
               2,
               "--ctl Twist=1: no control of that name; only a filter file (-f or -x)"},
        BadRun{{"eval"}, 2, "eval: give a formula, -f FILE or -x EXAMPLE"},
        BadRun{{"aply"}, 2, "\"aply\" is not a command; did you mean apply?"},
        BadRun{{"nothing"},
               2,
               "\"nothing\" is not a command; the commands are apply, check, eval, demo, "
               "controls, studio, examples"},
        BadRun{{"eval", "c", "--image", "@/in.png", "--at", "48,0"},
               2,
               "eval: --at 48,0 lies outside the 48x36 image "},
        BadRun{{"eval", "c", "--image", "@/text.png"},
               1,
               "@/text.png: not a PNG, JPEG, TIFF, WebP or BMP image"},
        BadRun{{"controls"}, 2, "controls: give -f FILE or -x EXAMPLE"},
        BadRun{{"apply", "-e", "c", "--threads", "0", "@/in.png", "@/o.png"},
               2,
               "apply: --threads: Value 0 not in range"},
        BadRun{{"apply", "-e", "c", "--quality", "101", "@/in.png", "@/o.jpg"},
               2,
               "apply: --quality: Value 101 not in range"},
        BadRun{{"apply", "-e", "c", "--frames", "0", "@/in.png", "@/o.png"},
               2,
               "apply: --frames: Value 0 not in range"},
        BadRun{{"apply", "-e", "c", "--bogus", "@/in.png", "@/o.png"},
               2,
               "apply: The following argument was not expected: --bogus"},
        BadRun{{"apply", "-e", "c", "@/in.png"},
               2,
               "apply: give INPUT OUTPUT, inputs and -o FOLDER, or stills and a video"},
        BadRun{{"apply", "-e", "c", "@/in.png", "@/in.jpg", "-o", "@/in.png"},
               1,
               "@/in.png: not a folder (-o takes the folder to write into)"},
        BadRun{{"apply", "-e", "c", "--frames", "2", "@/in.png", "png:-"},
               2,
               "--frames writes numbered files; standard output takes one image or an animated "
               "WebP"},
        BadRun{{"eval", "x", "--at", "64,0"},
               2,
               "eval: --at 64,0 lies outside the 64x48 built-in image"},
        BadRun{{"eval", "x", "--at", "3"}, 2, "--at 3: expected X,Y, two integers"},
        BadRun{{"check"}, 2, "check: give formulas or -f FILE"},
        BadRun{{"demo", "-o", "@/in.png"}, 1, "@/in.png/demo: cannot create the folder: "},
        BadRun{{"studio", "@/text.png"}, 1, "@/text.png: not a PNG, JPEG, TIFF, WebP or BMP image"},
        BadRun{{"studio", "-f", "@/bad.zvf"}, 2, "@/bad.zvf:2: unknown key \"colour\""},
        BadRun{{"studio", "-x", "nothing"}, 2, "no example called \"nothing\""},
        BadRun{{"studio", "--port", "65536"}, 2, "studio: --port: Value 65536 not in range"},
        BadRun{{"studio", "--address", "256.0.0.1"}, 1, "studio: cannot listen on 256.0.0.1: "},
        BadRun{{"studio", "--address", "nosuch.invalid"}, 1,
               "studio: cannot listen on nosuch.invalid: Name or service not known"},
        BadRun{{}, 2, "A subcommand is required"}),
    // Named by index and message, so a failure in ctest's list says which.
    [](const testing::TestParamInfo<BadRun>& run) {
        std::string name = std::to_string(run.index) + "_";
        for (char ch : run.param.message.substr(0, 40)) {
            name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return name;
    });

}  // namespace
}  // namespace zv::cli

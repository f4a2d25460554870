// SPDX-License-Identifier: MIT
// zorvan apply on videos, checked with FFmpeg's own program as the other
// reader: the pixels of every frame against the tool's still-image path,
// the copied audio packet for packet, the timestamps, the rotation, and
// what faults and interrupts leave on disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

#include "tests/cli/helpers.h"

namespace zv::cli {
namespace {

using test::RunTool;
using test::ToolRun;

constexpr int kFrames = 12;

// What a shell command prints on standard output; fails the test on a
// non-zero exit.
std::string Output(const std::string& command) {
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[1 << 16];
    for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = pipe ? pclose(pipe) : -1;
    EXPECT_EQ(status, 0) << command;
    return out;
}

// Every frame of path as RGB, decoded by FFmpeg's program (turned upright
// as it turns them).
std::string Pixels(const std::string& path) {
    return Output("ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt rgb24 -");
}

std::string Probe(const std::string& path, const std::string& what) {
    return Output("ffprobe -v error " + what + " -of csv=p=0 '" + path + "'");
}

std::string AudioDigest(const std::string& path) {
    return Output("ffmpeg -v error -i '" + path + "' -map 0:a -c copy -f md5 -");
}

// The frames' presentation times after the first one's, in milliseconds
// (Matroska's Opus delay moves a copy's start by a few).
std::vector<long> FrameTimes(const std::string& path) {
    std::istringstream lines(Probe(path, "-select_streams v -show_entries frame=pts_time"));
    std::vector<long> times;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) times.push_back(std::lround(std::stod(line) * 1000));
    }
    for (size_t k = times.size(); k-- > 0;) times[k] -= times.front();
    return times;
}

// A formula with t and total as given: the variables, or one frame's numbers.
std::string Formula(const std::string& t, const std::string& total) {
    return "x < X * (" + t + " + 1) / (" + total + " + 1) ? 255 - c : c ^ (" + t + " * 20)";
}
const std::string kVideoFormula = Formula("t", "total");

double Psnr(const std::string& a, const std::string& b) {
    double squares = 0;
    for (size_t k = 0; k < a.size(); ++k) {
        const double d = static_cast<unsigned char>(a[k]) - static_cast<unsigned char>(b[k]);
        squares += d * d;
    }
    return 10 * std::log10(255.0 * 255.0 * static_cast<double>(a.size()) / std::max(squares, 1.0));
}

std::string Numbered(const std::string& stem, int k) {
    char name[32];
    std::snprintf(name, sizeof name, "-%04d.png", k);
    return stem + name;
}

// A 64 x 48 clip of 12 frames in lossless RGB with an Opus track, its
// frames as stills, and the tool's still-image path over each of them.
class Video : public testing::Test {
   protected:
    static void SetUpTestSuite() {
        dir_ = new test::ScratchDir;
        const test::ScratchDir& d = *dir_;
        Output(
            "ffmpeg -v error -f lavfi -i testsrc2=size=64x48:rate=12:duration=1 -f lavfi -i "
            "sine=frequency=440:duration=1 -c:v ffv1 -pix_fmt bgr0 -c:a libopus '" +
            d / "in.mkv" + "' -f image2 '" + d / "f-%04d.png" + "'");
        expected_ = new std::string;
        for (int k = 1; k <= kFrames; ++k) {
            const std::string still = d / Numbered("e", k);
            const ToolRun run = RunTool(
                {"apply", "-q", "-e", Formula(std::to_string(k - 1), std::to_string(kFrames - 1)),
                 d / Numbered("f", k), still});
            ASSERT_EQ(run.status, 0) << run.err;
        }
        *expected_ = Pixels(d / "e-%04d.png");
    }
    static void TearDownTestSuite() {
        delete dir_;
        delete expected_;
    }
    static std::string In() { return *dir_ / "in.mkv"; }
    static std::string Still(int k) { return *dir_ / Numbered("f", k); }

    static test::ScratchDir* dir_;
    static std::string* expected_;
    test::ScratchDir out;
};
test::ScratchDir* Video::dir_ = nullptr;
std::string* Video::expected_ = nullptr;

TEST_F(Video, EveryWayGivesTheStillPathsPixels) {
    std::vector<std::string> stills;
    for (int k = 1; k <= kFrames; ++k) stills.push_back(Still(k));
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after apply -q -e FORMULA
        std::string written;            // to decode; frames s-0001.png ... for "s"
        bool video;                     // keeps the timestamps and audio
    };
    std::vector<std::string> fromStills = stills;
    fromStills.push_back(out / "stills.mkv");
    const Case cases[] = {
        {"FFV1", {In(), out / "v.mkv"}, out / "v.mkv", true},
        {"lossless H.264 RGB",
         {"--codec", "h264rgb", "--crf", "0", In(), out / "v.mp4"},
         out / "v.mp4",
         true},
        {"numbered stills", {In(), out / "s.png"}, "s", false},
        {"stills into a video", fromStills, out / "stills.mkv", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"apply", "-q", "-e", kVideoFormula};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolRun run = RunTool(args);
        ASSERT_EQ(run.status, 0) << run.err;
        std::string pixels;
        if (c.written == "s") {
            pixels = Pixels(out / "s-%04d.png");
            EXPECT_FALSE(std::filesystem::exists(out / Numbered("s", kFrames + 1)));
        } else {
            pixels = Pixels(c.written);
        }
        EXPECT_TRUE(pixels == *expected_);
        if (!c.video) continue;
        EXPECT_EQ(FrameTimes(c.written), FrameTimes(In()));
        EXPECT_EQ(AudioDigest(c.written), AudioDigest(In()));
    }
}

TEST_F(Video, LossyCodecsStayCloseAndKeepTimesAndAudio) {
    for (const char* name : {"v.mp4", "v.webm"}) {
        SCOPED_TRACE(name);
        const ToolRun run = RunTool({"apply", "-q", "-e", kVideoFormula, In(), out / name});
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string pixels = Pixels(out / name);
        ASSERT_EQ(pixels.size(), expected_->size());
        EXPECT_GT(Psnr(pixels, *expected_), 25);  // FFmpeg's own encoding gives about 27
        EXPECT_EQ(FrameTimes(out / name), FrameTimes(In()));
        EXPECT_EQ(AudioDigest(out / name), AudioDigest(In()));
    }
}

TEST_F(Video, WebmKeepsAlpha) {
    const ToolRun run = RunTool({"apply", "-q", "-a", "x * 4", In(), out / "a.webm"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string rgba = Output("ffmpeg -v error -c:v libvpx-vp9 -i '" + out / "a.webm" +
                                    "' -f rawvideo -pix_fmt rgba -");
    ASSERT_EQ(rgba.size(), size_t{64} * 48 * 4 * kFrames);
    int worst = 0;
    for (size_t k = 3; k < rgba.size(); k += 4) {
        const int x = static_cast<int>(k / 4 % 64);
        worst =
            std::max(worst, std::abs(static_cast<unsigned char>(rgba[k]) - std::min(x * 4, 255)));
    }
    EXPECT_LE(worst, 12);
}

TEST_F(Video, ARotatedVideoIsTurnedUprightAndWrittenUntagged) {
    const std::string stored = out / "stored.mp4", rotated = out / "rotated.mp4";
    Output("ffmpeg -v error -i '" + In() + "' -an -c:v libx264rgb -qp 0 '" + stored +
           "' && ffmpeg -v error -i '" + stored + "' -c copy -metadata:s:v:0 rotate=90 '" +
           rotated + "'");
    const ToolRun run = RunTool({"apply", "-q", "-e", "c", rotated, out / "upright.mkv"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Probe(out / "upright.mkv", "-show_entries stream=width,height"), "48,64\n");
    EXPECT_EQ(
        Output("ffprobe -v error -show_streams '" + out / "upright.mkv" + "'").find("rotation"),
        std::string::npos);
    EXPECT_TRUE(Pixels(out / "upright.mkv") == Pixels(rotated));
}

TEST_F(Video, FaultsLeaveNothingBehind) {
    test::WriteBytes(out / "junk.mp4", "not a video at all");
    Output("ffmpeg -v error -f lavfi -i testsrc2=size=64x48:rate=12:duration=0.5 -c:v cinepak '" +
           out / "cinepak.mov" + "'");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--codec", "nope", In(), out / "o.mp4"}, 2, "--codec nope: no such video encoder"},
        {{"--codec", "ffv1", In(), out / "o.mp4"},
         2,
         "--codec ffv1: mp4 (" + out / "o.mp4" + ") cannot hold ffv1"},
        {{"--crf", "60", In(), out / "o.mp4"}, 2, "--crf 60: libx264 takes 0 to 51"},
        {{"--quality", "50", In(), out / "o.mkv"},
         2,
         "--quality 50: ffv1 is lossless and takes no quality setting"},
        {{out / "junk.mp4", out / "o.mkv"},
         1,
         out / "junk.mp4" + ": not an MP4, MOV, MKV or WebM video"},
        {{out / "cinepak.mov", out / "o.mkv"},
         1,
         out / "cinepak.mov" + ": its video is cinepak, which is not read"},
        {{out / "none.mkv", out / "o.mkv"},
         1,
         out / "none.mkv" + ": cannot open: No such file or directory"},
        {{out / "junk.mp4", out / "junk.mp4"},
         1,
         out / "junk.mp4" +
             ": would write over this input; write elsewhere, or give --in-place to replace it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args = {"apply", "-q", "-e", "c"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, "zorvan: " + c.message + "\n");
        EXPECT_EQ(out.Files(), (std::vector<std::string>{"cinepak.mov", "junk.mp4"}));
    }
}

// What the output keeps of an input that has more than pixels and sound,
// and what becomes of frames an encoder cannot take as they are.
TEST_F(Video, TagsSubtitlesAndOddSizes) {
    const std::string odd = out / "odd.mkv";
    // The subtitles beside the video alone: Matroska's Opus delay would
    // move every stream of a copy by a few milliseconds.
    test::WriteBytes(out / "subs.srt",
                     "1\n00:00:00,100 --> 00:00:00,400\none\n\n2\n00:00:00,500 --> "
                     "00:00:00,900\ntwo\n");
    Output(
        "ffmpeg -v error -f lavfi -i testsrc2=size=64x48:rate=12:duration=1 -c:v libx264 "
        "-pix_fmt yuv420p -color_primaries bt709 -color_trc bt709 -colorspace bt709 '" +
        out / "tags.mp4" +
        "' && ffmpeg -v error -f lavfi -i "
        "testsrc2=size=80x60:rate=12:duration=1 -vf format=bgr0,crop=65:49:0:0 -c:v ffv1 '" +
        odd + "' && ffmpeg -v error -i '" + In() + "' -i '" + out / "subs.srt" +
        "' -map 0:v -map 1 -c copy -c:s srt '" + out / "subs.mkv" + "' && ffmpeg -v error -i '" +
        odd + "' -frames:v 1 '" + out / "odd.png" + "'");
    const std::string tags =
        "-select_streams v -show_entries stream=color_primaries,color_transfer";
    const std::string size = "-select_streams v -show_entries stream=width,height";
    const std::string even = "libx264 takes even sizes only: the 65x49 frames are written as 66x50";
    struct Case {
        std::vector<std::string> args;  // input, output (after apply -q -e c)
        std::string probe;
        std::string expected;  // empty: as the input's
        std::string warning;
    };
    const Case cases[] = {
        {{out / "tags.mp4", out / "tags-out.mp4"},
         tags + ",color_space",
         "bt709,bt709,bt709\n",
         ""},
        {{out / "subs.mkv", out / "subs-out.mkv"},
         "-select_streams s -show_entries stream=codec_name:packet=pts_time,size",
         "",
         ""},
        {{odd, out / "odd.mp4"}, size, "66,50\n", even},
        {{out / "odd.png", "--frames", "2", out / "stills.mp4"}, size, "66,50\n", even},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        std::vector<std::string> args = {"apply", "-q", "-e", "c"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolRun run = RunTool(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Probe(c.args.back(), c.probe),
                  c.expected.empty() ? Probe(c.args.front(), c.probe) : c.expected);
        if (c.warning.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_NE(run.err.find(c.warning), std::string::npos) << run.err;
        }
    }
}

// A video written as stills writes every IN-NNNN name: those are checked
// against the other outputs and inputs, and no other name is.
TEST_F(Video, NumberedStillsAreCheckedUnderTheNamesWritten) {
    namespace fs = std::filesystem;
    fs::create_directories(out / "a");
    fs::create_directories(out / "linked");
    fs::copy_file(Still(1), out / "a/in-0001.png");
    fs::copy_file(Still(1), out / "in.png");
    fs::copy_file(Still(1), out / "s.png");
    fs::create_hard_link(out / "s.png", out / "linked/in-0002.png");
    const std::vector<std::string> before = out.Files();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{In(), out / "a/in-0001.png", "-o", out / "o"},
         2,
         In() + " and " + out / "a/in-0001.png" + " would both be written to " +
             out / "o/in-0001.png" + "; give them different names or folders"},
        {{In(), In(), "-o", out / "o"},
         2,
         In() + " and " + In() + " would both be written to " + out / "o/in-0001.png" +
             "; give them different names or folders"},
        {{In(), out / "s.png", "-o", out / "linked"},
         1,
         out / "linked/in-0002.png" + ": the output of " + In() + " would write over the input " +
             out / "s.png" + "; write elsewhere"},
        {{In(), out / "s.png", "-o", out / "linked", "--in-place"},
         1,
         out / "linked/in-0002.png" + ": the output of " + In() + " would write over the input " +
             out / "s.png" + "; write elsewhere"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args = {"apply", "-q", "-e", "c", "--format", "png"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, "zorvan: " + c.message + "\n");
        EXPECT_EQ(out.Files(), before);
    }
    const ToolRun apart = RunTool(
        {"apply", "-q", "-e", "c", "--format", "png", In(), out / "in.png", "-o", out / "o"});
    ASSERT_EQ(apart.status, 0) << apart.err;
    std::vector<std::string> written;
    for (int k = 1; k <= kFrames; ++k) written.push_back(Numbered("in", k));
    written.push_back("in.png");
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(out / "o")) {
        found.push_back(entry.path().filename());
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, written);
}

// Interrupted once the output has its first frames: a clip long enough to
// take the tool most of a second even on an idle machine.
TEST_F(Video, AnInterruptLeavesTheOldOutput) {
    const std::string clip = out / "long.mkv";
    Output("ffmpeg -v error -f lavfi -i testsrc2=size=160x120:rate=24:duration=20 -c:v ffv1 '" +
           clip + "'");
    test::WriteBytes(out / "old.mkv", "old content");
    test::RunningTool tool({ZORVAN_TOOL, "apply", "-q", "-x", "twirl", clip, out / "old.mkv"});
    const auto written = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
            const std::string name = entry.path().filename().string();
            if (name.find(".zorvan-") != std::string::npos && entry.file_size() > 0) return true;
        }
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!written() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(tool.pid(), SIGINT);
    EXPECT_EQ(tool.Wait().status, 128 + SIGINT);
    EXPECT_EQ(out.Files(), (std::vector<std::string>{"long.mkv", "old.mkv"}));
    EXPECT_EQ(test::ReadBytes(out / "old.mkv"), "old content");
}

// A tmpfs too small for the output; mounting needs root.
TEST_F(Video, AFullDiskLeavesTheOldOutput) {
    const std::string disk = out / "disk";
    std::filesystem::create_directory(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=16k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    }
    const std::string old = disk + "/old.mkv";
    test::WriteBytes(old, "old content");
    const ToolRun run = RunTool({"apply", "-q", "-e", "c ^ t", In(), old});
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(disk)) {
        left.push_back(entry.path().filename().string());
    }
    const std::string content = test::ReadBytes(old);
    umount(disk.c_str());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zorvan: " + old + ": cannot write: No space left on device\n");
    EXPECT_EQ(left, std::vector<std::string>{"old.mkv"});
    EXPECT_TRUE(content == "old content");
}

}  // namespace
}  // namespace zv::cli

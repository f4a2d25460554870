// SPDX-License-Identifier: MIT
// What a run does to files that exist already, and what faults and signals
// leave on disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/cli/helpers.h"
#include "tools/zorvan/test_image.h"

namespace zv::cli {
namespace {

namespace fs = std::filesystem;
using test::RunTool;
using test::ToolRun;

class Outputs : public testing::Test {
   protected:
    void SetUp() override {
        test::WritePngFile(test::SmallPicture(), input);
        test::WriteBytes(dir / "old", "old content");
    }

    bool HasTemporary() const {
        for (const std::string& name : dir.Files()) {
            if (name.find(".zorvan-") != std::string::npos) return true;
        }
        return false;
    }

    test::ScratchDir dir;
    const std::string input = dir / "in.png";
};

mode_t Mode(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

TEST_F(Outputs, AFailedFrameLeavesTheFilesThatWereThere) {
    // The input is one of the frames, the third frame cannot be written.
    fs::copy_file(dir / "old", dir / "f-0001.png");
    fs::copy_file(input, dir / "f-0002.png");
    fs::create_directories(dir / "f-0003.png/x");
    const std::vector<std::string> before = dir.Files();
    const ToolRun run = RunTool({"apply", "-q", "--in-place", "-e", "c + t", "--frames", "3",
                                 dir / "f-0002.png", dir / "f.png"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zorvan: " + dir / "f-0003.png" + ": cannot write: Is a directory\n");
    EXPECT_EQ(dir.Files(), before);
    EXPECT_EQ(test::ReadBytes(dir / "f-0001.png"), "old content");
    EXPECT_EQ(test::ReadBytes(dir / "f-0002.png"), test::ReadBytes(input));
}

// Each case prepares out.png and says where the new image must land.
struct Existing {
    const char* name;
    void (*prepare)(const test::ScratchDir& dir);
    const char* written;  // the file that must hold the new image
    mode_t mode;
};

const Existing kExisting[] = {
    {"private file keeps its mode",
     [](const test::ScratchDir& d) {
         fs::copy_file(d / "old", d / "out.png");
         chmod((d / "out.png").c_str(), 0600);
     },
     "out.png", 0600},
    {"symlink writes its target",
     [](const test::ScratchDir& d) {
         fs::create_directory(d / "sub");
         fs::copy_file(d / "old", d / "sub/real.png");
         fs::create_symlink("sub/real.png", d / "out.png");
     },
     "sub/real.png", 0644},
    {"dangling symlink creates its target",
     [](const test::ScratchDir& d) { fs::create_symlink("new.png", d / "out.png"); }, "new.png",
     0644},
    {"hard link keeps sharing",
     [](const test::ScratchDir& d) {
         fs::copy_file(d / "old", d / "other.png");
         chmod((d / "other.png").c_str(), 0640);
         fs::create_hard_link(d / "other.png", d / "out.png");
     },
     "other.png", 0640},
};

TEST_F(Outputs, ReplacingAnExistingFile) {
    const mode_t mask = umask(022);
    ASSERT_EQ(RunTool({"apply", "-e", "255 - c", input, dir / "expected.png"}).status, 0);
    const std::string expected = test::ReadBytes(dir / "expected.png");
    for (const Existing& e : kExisting) {
        SCOPED_TRACE(e.name);
        const test::ScratchDir d;
        fs::copy_file(dir / "old", d / "old");
        e.prepare(d);
        const bool linked = fs::is_symlink(d / "out.png");
        const ToolRun run = RunTool({"apply", "-e", "255 - c", input, d / "out.png"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(test::ReadBytes(d / e.written), expected);
        EXPECT_EQ(test::ReadBytes(d / "out.png"), expected);
        EXPECT_EQ(fs::is_symlink(d / "out.png"), linked);
        EXPECT_EQ(Mode(d / e.written), e.mode);
        for (const std::string& name : d.Files()) EXPECT_EQ(name.find(".zorvan-"), name.npos);
    }
    umask(mask);
}

// An input is written over only with --in-place, and only by its own
// output; by name, symlink or hard link alike. Nothing is written otherwise.
TEST_F(Outputs, AnInputIsReplacedOnlyInPlace) {
    fs::create_directory(dir / "shoot");
    fs::copy_file(input, dir / "shoot/a.png");
    fs::copy_file(input, dir / "shoot/b.png");
    fs::create_symlink("in.png", dir / "link.png");
    fs::create_hard_link(input, dir / "hard.png");
    const std::string refused = ": would write over ";
    const struct {
        std::vector<std::string> files;
        std::string message;  // after "zorvan: OUTPUT: would write over "
    } cases[] = {
        {{input, input}, "this input; write elsewhere, or give --in-place to replace it"},
        {{input, dir / "link.png"}, "the input " + input + "; write elsewhere, or give --in-place"},
        {{input, dir / "hard.png"}, "the input " + input + "; write elsewhere, or give --in-place"},
        {{dir / "shoot/a.png", dir / "shoot/b.png", "-o", dir / "shoot"}, "this input; write"},
    };
    const std::vector<std::string> before = dir.Files();
    const std::string original = test::ReadBytes(input);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.files[1]);
        std::vector<std::string> args = {"apply", "-q", "-e", "255 - c"};
        args.insert(args.end(), c.files.begin(), c.files.end());
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.status, 1);
        const std::string named = c.files.size() == 2 ? c.files[1] : c.files[0];
        EXPECT_EQ(run.err.rfind("zorvan: " + named + refused + c.message, 0), 0u) << run.err;
        EXPECT_EQ(test::ReadBytes(input), original);
        EXPECT_EQ(test::ReadBytes(dir / "shoot/a.png"), original);
        EXPECT_EQ(dir.Files(), before);

        args.push_back("--in-place");
        ASSERT_EQ(RunTool(args).status, 0);
        EXPECT_TRUE(test::ReadBytes(c.files[0]) != original);
        for (const std::string& name : {input, dir / "shoot/a.png", dir / "shoot/b.png"}) {
            test::WriteBytes(name, original);  // through the file, so links stay
        }
    }
    EXPECT_TRUE(fs::equivalent(input, dir / "hard.png"));  // replaced through the link
    EXPECT_EQ(dir.Files(), before);
}

// Outputs of one name are refused before anything is written, the folder
// made, parents and all, otherwise.
TEST_F(Outputs, InputsOfOneNameAreRefused) {
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    fs::copy_file(input, dir / "a/same.png");
    fs::copy_file(input, dir / "b/same.webp");
    const ToolRun clash = RunTool({"apply", "-q", "-e", "c", "--format", "png", dir / "a/same.png",
                                   dir / "b/same.webp", "-o", dir / "out"});
    EXPECT_EQ(clash.status, 2);
    EXPECT_EQ(clash.err, "zorvan: " + dir / "a/same.png" + " and " + dir / "b/same.webp" +
                             " would both be written to " + dir / "out/same.png" +
                             "; give them different names or folders\n");
    EXPECT_FALSE(fs::exists(dir / "out"));

    const ToolRun made =
        RunTool({"apply", "-q", "-e", "c", dir / "a/same.png", "-o", dir / "out/x"});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(fs::exists(dir / "out/x/same.png"));
}

TEST_F(Outputs, AReadOnlyFileIsReplacedOnlyWhenForced) {
    fs::copy_file(dir / "old", dir / "out.png");
    chmod((dir / "out.png").c_str(), 0444);
    const ToolRun refused = RunTool({"apply", "-e", "c", input, dir / "out.png"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "zorvan: " + dir / "out.png" + ": the file is read-only (--force replaces it)\n");
    EXPECT_EQ(test::ReadBytes(dir / "out.png"), "old content");

    const ToolRun forced = RunTool({"apply", "--force", "-e", "c", input, dir / "out.png"});
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(Mode(dir / "out.png"), 0444u);
    EXPECT_EQ(test::ReadBytes(dir / "out.png").substr(1, 3), "PNG");
    EXPECT_FALSE(HasTemporary());
}

TEST_F(Outputs, ANameAsLongAsTheSystemAllowsIsWritten) {
    const std::string name = std::string(251, 'n') + ".png";  // 255 bytes
    const ToolRun run = RunTool({"apply", "-e", "c", input, dir / name});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir / name));
    EXPECT_FALSE(HasTemporary());
}

TEST_F(Outputs, AFullDiskLeavesTheOldFiles) {
    // A 64 KiB tmpfs in a mount namespace of its own; the folder's state after
    // the run is copied out before the namespace goes.
    test::WritePngFile(TestImage(256, 256), input);
    fs::create_directories(dir / "seed");
    fs::copy_file(dir / "old", dir / "seed/out.png");
    fs::copy_file(dir / "old", dir / "seed/out-0001.png");
    fs::create_hard_link(dir / "seed/out.png", dir / "seed/linked.png");
    fs::create_directories(dir / "disk");
    const std::string setup =
        "unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs \"$D/disk\" || exit 99; "
        "cp -a \"$D/seed/.\" \"$D/disk/\"; \"$0\" \"$@\"; s=$?; "
        "cp -a \"$D/disk/.\" \"$D/after\"; exit $s' \"$0\" \"$@\"";
    for (const std::string out : {"out.png", "out.jpg", "linked.png", "out.png --frames 2"}) {
        SCOPED_TRACE(out);
        fs::remove_all(dir / "after");
        std::vector<std::string> args = {"apply", "-q",
                                         "-e",    "rnd(0, 255)",
                                         input,   dir / "disk/" + out.substr(0, out.find(" "))};
        if (out.find("--frames") != out.npos) args.insert(args.end(), {"--frames", "2"});
        const ToolRun run = test::RunInShell(setup, args, dir.path().string());
        if (run.status == 99) GTEST_SKIP() << "cannot mount a tmpfs here: " << run.err;
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
        std::vector<std::string> after;
        for (const auto& entry : fs::directory_iterator(dir / "after")) {
            after.push_back(entry.path().filename().string());
            EXPECT_EQ(test::ReadBytes(entry.path().string()), "old content") << after.back();
        }
        EXPECT_EQ(after.size(), 3u);
    }
}

TEST_F(Outputs, AFileSizeLimitIsAFailureLikeAnyOther) {
    test::WritePngFile(TestImage(256, 256), input);
    const ToolRun run =
        test::RunInShell("ulimit -f 16; exec \"$0\" \"$@\"",
                         {"apply", "-q", "-e", "rnd(0, 255)", input, dir / "out.png"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zorvan: " + dir / "out.png" + ": cannot write: File too large\n");
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"in.png", "old"}));
}

TEST_F(Outputs, AnInterruptLeavesTheFilesThatWereThere) {
    fs::copy_file(dir / "old", dir / "f-000001.png");
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        test::RunningTool tool({ZORVAN_TOOL, "apply", "-q", "-e", "c + t", "--frames", "100000",
                                input, dir / "f.png"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!HasTemporary() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        kill(tool.pid(), signal);
        EXPECT_EQ(tool.Wait().status, 128 + signal);
        EXPECT_EQ(dir.Files(), (std::vector<std::string>{"f-000001.png", "in.png", "old"}));
        EXPECT_EQ(test::ReadBytes(dir / "f-000001.png"), "old content");
    }
}

}  // namespace
}  // namespace zv::cli

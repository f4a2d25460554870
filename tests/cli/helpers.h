/* SPDX-License-Identifier: MIT */
// Shared by the tool's tests: scratch folders, running the built tool,
// writing odd image files and hashing pixels.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/zorvan/photos.h"

namespace zv::cli::test {

// A fresh folder, removed with everything in it at the end of the test.
class ScratchDir {
   public:
    ScratchDir();
    ~ScratchDir();
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // The names of the files in the folder, sorted.
    std::vector<std::string> Files() const;

   private:
    std::filesystem::path path_;
};

struct ToolRun {
    int status;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// A program started in the background like RunTool starts the tool;
// argv[0] is the program's path. Waits for it when destroyed.
class RunningTool {
   public:
    explicit RunningTool(std::vector<std::string> argv);
    ~RunningTool();
    RunningTool(const RunningTool&) = delete;
    RunningTool& operator=(const RunningTool&) = delete;
    pid_t pid() const { return pid_; }
    ToolRun Wait();

   private:
    ScratchDir capture_;
    pid_t pid_ = 0;
};

// Runs the built tool with args (without the program name), without a
// terminal and with an empty standard input.
ToolRun RunTool(const std::vector<std::string>& args);

// Runs the tool through "sh -c script TOOL args...", so the script ends with
// something like exec "$0" "$@"; the environment variable D names folder.
ToolRun RunInShell(const std::string& script, const std::vector<std::string>& args,
                   const std::string& folder);

// FNV-1a over the size, the channel count and the pixels.
uint64_t PixelHash(const Image& image);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// Writes a PNG with libpng's own encoder in one of its formats
// (PNG_FORMAT_*), from 8-bit or, with the linear flag, 16-bit samples.
void WriteRawPng(const std::string& path, int32_t width, int32_t height, uint32_t format,
                 const void* samples);

// Writes image as PNG through the tool's encoder.
void WritePngFile(const Image& image, const std::string& path);

// The small test picture the end-to-end tests start from.
Image SmallPicture();

}  // namespace zv::cli::test

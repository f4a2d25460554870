// SPDX-License-Identifier: MIT
#include "tests/cli/helpers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tools/zorvan/test_image.h"

extern char** environ;

namespace zv::cli::test {

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorvan-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDir::Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

RunningTool::RunningTool(std::vector<std::string> argv) {
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (capture_ / "out").c_str(), O_WRONLY | O_CREAT,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, (capture_ / "err").c_str(), O_WRONLY | O_CREAT,
                                     0600);
    const int spawned =
        posix_spawn(&pid_, argv.front().c_str(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + argv.front());
}

RunningTool::~RunningTool() {
    if (pid_ > 0) Wait();
}

ToolRun RunningTool::Wait() {
    int wait = 0;
    waitpid(pid_, &wait, 0);
    pid_ = 0;
    const int status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
    return {status, ReadBytes(capture_ / "out"), ReadBytes(capture_ / "err")};
}

ToolRun RunTool(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {ZORVAN_TOOL};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunningTool(argv).Wait();
}

ToolRun RunInShell(const std::string& script, const std::vector<std::string>& args,
                   const std::string& folder) {
    std::vector<std::string> argv = {"/bin/sh", "-c", script, ZORVAN_TOOL};
    argv.insert(argv.end(), args.begin(), args.end());
    setenv("D", folder.c_str(), 1);
    ToolRun run = RunningTool(argv).Wait();
    unsetenv("D");
    return run;
}

uint64_t PixelHash(const Image& image) {
    uint64_t h = 14695981039346656037ull;
    const auto mix = [&h](uint8_t byte) { h = (h ^ byte) * 1099511628211ull; };
    for (const int32_t v : {image.width, image.height, image.channels}) {
        for (int shift = 0; shift < 32; shift += 8) mix(static_cast<uint8_t>(v >> shift));
    }
    for (const uint8_t byte : image.pixels) mix(byte);
    return h;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void WriteRawPng(const std::string& path, int32_t width, int32_t height, uint32_t format,
                 const void* samples) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    if (!png_image_write_to_file(&image, path.c_str(), 0, samples, 0, nullptr)) {
        throw std::runtime_error(std::string("cannot write test PNG: ") + image.message);
    }
}

void WritePngFile(const Image& image, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot create " + path);
    photo::detail::WritePng(image, {}, file, path);
    std::fclose(file);
}

Image SmallPicture() {
    return TestImage(48, 36);
}

}  // namespace zv::cli::test

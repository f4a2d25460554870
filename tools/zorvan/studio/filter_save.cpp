// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/filter_save.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "tools/zorvan/failure.h"
#include "tools/zorvan/filter_files.h"
#include "tools/zorvan/photos.h"

namespace zv::cli {

// The size and a hash: the page only compares versions of one server's run.
std::string Version(std::string_view text) {
    char out[48];
    std::snprintf(out, sizeof out, "%zu-%zx", text.size(), std::hash<std::string_view>{}(text));
    return out;
}

std::string FileVersion(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) return {};
    return Version(ReadFilterText(path));
}

void WriteWhole(const std::string& path, const std::string& text) {
    OutputFile file(path, false);
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file.stream()) != text.size()) {
        FailIo(path, "cannot write", errno ? errno : EIO);
    }
    file.Commit();
}

}  // namespace zv::cli

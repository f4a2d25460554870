// SPDX-License-Identifier: MIT
#include "tools/zorvan/filter_files.h"

#include <cerrno>
#include <cstdio>

#include "examples/examples.h"
#include "tools/zorvan/failure.h"

namespace zv::cli {

std::string ReadFilterText(const std::string& path) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) FailIo(path, "cannot open", errno);
    std::string text(kMaxFileBytes + 1, '\0');
    const size_t got = std::fread(text.data(), 1, text.size(), file);
    const int error = std::ferror(file) ? (errno ? errno : EIO) : 0;
    std::fclose(file);
    if (error) FailIo(path, "cannot read", error);
    if (got > kMaxFileBytes) FailFile(path, "a filter file may hold at most 1 MiB");
    text.resize(got);
    return text;
}

FilterFile ReadFilterFile(const std::string& path) {
    return ParseFilterFile(ReadFilterText(path), path);
}

std::optional<FilterFile> LoadFilter(const std::optional<std::string>& path,
                                     const std::optional<std::string>& example) {
    if (path) return ReadFilterFile(*path);
    if (example) return FindExample(*example).filter;
    return std::nullopt;
}

}  // namespace zv::cli

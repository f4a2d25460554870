/* SPDX-License-Identifier: MIT */
// Reading filter files (.zvf) from disk; their format is the render
// library's (zorvan/render.hpp).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "zorvan/render.hpp"

namespace zv::cli {

// The most a filter file may hold, on disk or sent to the studio.
constexpr size_t kMaxFileBytes = 1 << 20;

// The text of the file at path: an unreadable or too long file fails with
// exit 1.
std::string ReadFilterText(const std::string& path);

// Reads and parses the file at path: an unreadable file fails with exit 1, a
// malformed one throws the library's Error.
FilterFile ReadFilterFile(const std::string& path);

// The filter of a command's -f FILE or -x EXAMPLE, if either is given.
std::optional<FilterFile> LoadFilter(const std::optional<std::string>& path,
                                     const std::optional<std::string>& example);

}  // namespace zv::cli

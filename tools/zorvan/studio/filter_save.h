/* SPDX-License-Identifier: MIT */
// The studio's Save: the filter file it was started with, written back only
// when it still holds what the page loaded, so an edit made elsewhere in
// the meantime is not lost without a question.
#pragma once

#include <string>
#include <string_view>

namespace zv::cli {

// A version of a filter file's text, to tell one text from another.
std::string Version(std::string_view text);

// The version of the file at path now; "" when it is gone. Fails (exit 1)
// when it is there but cannot be read, or is too large for a filter file.
std::string FileVersion(const std::string& path);

// Puts text in place of the file at path whole, through a temporary file,
// so a failure (a full disk among them) leaves the file as it was; fails
// with exit 1.
void WriteWhole(const std::string& path, const std::string& text);

}  // namespace zv::cli

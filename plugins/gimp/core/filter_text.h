/* SPDX-License-Identifier: MIT */
// The filter a user types: filter-file text, or a bare formula for every
// channel. Compiled once per edit; the dialog, the procedure and a port to
// another host share this.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "zorvan/render.hpp"

namespace zvgimp {

struct CompiledFilter {
    std::shared_ptr<const zv::Filter> filter;
    zv::FilterFile file;  // the controls' names, ranges and defaults
};

// Why bytes read from a .zvf file cannot be the filter's text (more than
// 1 MiB, as the command-line tool allows; not UTF-8, which a toolkit's text
// takes; NUL bytes), or "".
std::string Unloadable(std::string_view bytes);

// Whether text is meant as a filter file: its first line that says anything
// is a comment or starts with "key:".
bool IsFilterFile(std::string_view text);

// Throws zv::Error with the library's message, which names the line and
// column, and a caret line under the fault.
CompiledFilter CompileFilter(std::string_view text);

}  // namespace zvgimp

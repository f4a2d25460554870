// Reading filter files (.zvf) from disk; their format is the render
// library's (zorvan/render.hpp).
#pragma once

#include <string>

#include "zorvan/render.hpp"

namespace zv::cli {

// Reads and parses the file at path: an unreadable file fails with exit 1, a
// malformed one throws the library's Error.
FilterFile ReadFilterFile(const std::string& path);

}  // namespace zv::cli

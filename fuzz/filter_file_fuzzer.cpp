// SPDX-License-Identifier: MIT
// Arbitrary bytes as a filter file: parsed and compiled, or refused with a
// message of one line naming the file and, for a formula, an excerpt of two
// short lines.
#include <algorithm>

#include "fuzz/host.h"
#include "zorvan/render.hpp"

using zvfuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const zv::FilterFile file =
            zv::ParseFilterFile(std::string_view(reinterpret_cast<const char*>(data), size), "f");
        Check(!file.formulas.empty(), "a filter without formulas was accepted");
        const zv::Filter filter(file);
    } catch (const zv::Error& error) {
        const std::string message = error.what(), detail = error.detail();
        Check(error.status() == zv::Status::kBadFilter || error.status() == zv::Status::kBadFormula,
              "unexpected status");
        Check(message.rfind("f:", 0) == 0, "the message does not name the file");
        Check(message.find_first_of(std::string("\n\0", 2)) == std::string::npos,
              "the message is not one line");
        Check(detail.find('\0') == std::string::npos, "the excerpt holds a zero byte");
        Check(detail.empty() || std::count(detail.begin(), detail.end(), '\n') == 2,
              "the excerpt is not two lines");
        Check(detail.size() <= 2 * (2 + 3 + 120 + 3) + 2, "the excerpt is too long");
    }
    return 0;
}

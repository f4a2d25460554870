/* SPDX-License-Identifier: MIT */
// The example filters of examples/*.zvf, compiled into every host that
// offers them (the tool, the Python module).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "zorvan/render.hpp"

namespace zv {

// One embedded file, as the build wrote it (embedded_examples.cpp).
struct RawExample {
    const char* name;  // the file's stem
    const unsigned char* bytes;
    size_t size;
};
extern const RawExample kRawExamples[];
extern const size_t kRawExampleCount;

struct Example {
    std::string name;
    FilterFile filter;
};

// Every example, parsed, in file-name order.
std::vector<Example> Examples();

// The example called name, as embedded and parsed; both throw
// Error(kBadArgument) naming the examples there are when there is none.
const RawExample& FindRawExample(const std::string& name);
Example FindExample(const std::string& name);

}  // namespace zv

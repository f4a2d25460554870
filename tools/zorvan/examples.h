// The example filters of examples/*.zvf, compiled into the tool.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/zorvan/filter_files.h"

namespace zv::cli {

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

// The example called name, as embedded and parsed; both fail with exit 2
// when there is none.
const RawExample& FindRawExample(const std::string& name);
Example FindExample(const std::string& name);

}  // namespace zv::cli

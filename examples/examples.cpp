// SPDX-License-Identifier: MIT
#include "examples/examples.h"

#include <string_view>

namespace zv {

namespace {

Example Parse(const RawExample& raw) {
    const std::string_view text(reinterpret_cast<const char*>(raw.bytes), raw.size);
    return {raw.name, ParseFilterFile(text, std::string("examples/") + raw.name + ".zvf")};
}

}  // namespace

std::vector<Example> Examples() {
    std::vector<Example> all;
    for (size_t i = 0; i < kRawExampleCount; ++i) all.push_back(Parse(kRawExamples[i]));
    return all;
}

const RawExample& FindRawExample(const std::string& name) {
    std::string names;
    for (size_t i = 0; i < kRawExampleCount; ++i) {
        if (name == kRawExamples[i].name) return kRawExamples[i];
        names += (i ? ", " : "") + std::string(kRawExamples[i].name);
    }
    throw Error(Status::kBadArgument,
                "no example called \"" + name + "\" (there are " + names + ")");
}

Example FindExample(const std::string& name) {
    return Parse(FindRawExample(name));
}

}  // namespace zv

// SPDX-License-Identifier: MIT
// zorvan examples: what the built-in example filters are, and their text.
#include "examples/examples.h"

#include <algorithm>
#include <cstdio>

#include "tools/zorvan/commands/commands.h"

namespace zv::cli {

int RunExamplesCommand(const std::optional<std::string>& name) {
    if (name) {
        const RawExample& raw = FindRawExample(*name);
        std::fwrite(raw.bytes, 1, raw.size, stdout);
        return 0;
    }
    const std::vector<Example> all = Examples();
    size_t width = 0;
    for (const Example& e : all) width = std::max(width, e.name.size());
    for (const Example& e : all) {
        std::printf("%-*s  %s\n", static_cast<int>(width), e.name.c_str(), e.filter.about.c_str());
    }
    return 0;
}

}  // namespace zv::cli

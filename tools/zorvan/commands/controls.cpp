// SPDX-License-Identifier: MIT
// zorvan controls: a filter's controls, one line each as its file would set
// them with their slider ranges, for knowing what --ctl can change.
#include <cstdio>

#include "tools/zorvan/commands/commands.h"
#include "tools/zorvan/filter_files.h"

namespace zv::cli {

int RunControlsCommand(const ControlsOptions& o) {
    const FilterFile filter = *LoadFilter(o.filterFile, o.example);
    bool any = false;
    for (size_t k = 0; k < filter.controls.size(); ++k) {
        const ControlDefault& c = filter.controls[k];
        if (!c.given && c.name.empty()) continue;
        any = true;
        const std::string name = c.name.empty() ? "" : c.name + " = ";
        std::printf("ctl%zu: %s%d (%d..%d)\n", k, name.c_str(), c.value, c.low, c.high);
    }
    if (!any) std::printf("no controls\n");
    return 0;
}

}  // namespace zv::cli

// SPDX-License-Identifier: MIT
#include "tools/zorvan/controls.h"

#include <algorithm>
#include <cctype>

#include "tools/zorvan/failure.h"

namespace zv::cli {

namespace {

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The control that setting names, by its number or, ignoring case, by name.
int IndexOf(const ControlSetting& setting, const FilterFile* file) {
    if (setting.index >= 0) return setting.index;
    std::string known;
    if (file) {
        for (size_t k = 0; k < file->controls.size(); ++k) {
            const std::string& name = file->controls[k].name;
            if (SameName(name, setting.name)) return static_cast<int>(k);
            if (!name.empty()) known += (known.empty() ? "" : ", ") + name;
        }
    }
    const std::string why = !file           ? "only a filter file (-f or -x) names controls"
                            : known.empty() ? "the filter names none of its controls"
                                            : "the filter's controls are " + known;
    throw Failure(kExitUsage, "--ctl " + setting.name + "=" + std::to_string(setting.value) +
                                  ": no control of that name; " + why);
}

}  // namespace

std::array<int32_t, 8> ControlsFor(const std::vector<ControlSetting>& settings,
                                   const FilterFile* file) {
    std::array<int32_t, 8> values{};
    if (file) values = ControlValues(*file);
    for (const ControlSetting& s : settings) values[IndexOf(s, file)] = s.value;
    return values;
}

}  // namespace zv::cli

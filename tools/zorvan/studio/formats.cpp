// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/formats.h"

#include <strings.h>

#include <filesystem>
#include <vector>

namespace zv::cli {

std::optional<photo::Format> ReadFormatForPath(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    if (extension.empty()) return std::nullopt;
    for (const photo::FormatInfo& f : photo::Formats()) {
        for (const char* const* n = f.names; *n; ++n) {
            if (strcasecmp(extension.c_str() + 1, *n) == 0) return f.format;
        }
    }
    return std::nullopt;
}

std::string FormatNames(bool written) {
    std::vector<std::string> names;
    for (const photo::FormatInfo& f : photo::Formats()) {
        if (!written) names.emplace_back(f.name);
        if (written && f.writes) names.emplace_back(f.names[0]);
    }
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    }
    return text;
}

nlohmann::json FormatsForPage() {
    nlohmann::json formats = nlohmann::json::array();
    for (const photo::FormatInfo& f : photo::Formats()) {
        nlohmann::json extensions = nlohmann::json::array();
        for (const char* const* n = f.names; *n; ++n) extensions.push_back(*n);
        formats.push_back({{"name", f.name},
                           {"extensions", extensions},
                           {"mediaType", f.mediaType},
                           {"writes", f.writes}});
    }
    return formats;
}

}  // namespace zv::cli

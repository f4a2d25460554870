// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/formats.h"

namespace zv::cli {

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

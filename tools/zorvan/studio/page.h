/* SPDX-License-Identifier: MIT */
// The studio's page, compiled in from tools/zorvan/studio/page/ by
// cmake/embed.cmake, so the tool serves it without files or a network.
#pragma once

#include <cstddef>
#include <string_view>

namespace zv::cli {

struct PageAsset {
    const char* path;  // "/studio.js"
    const unsigned char* bytes;
    size_t size;

    std::string_view text() const { return {reinterpret_cast<const char*>(bytes), size}; }
};
extern const PageAsset kPageAssets[];
extern const size_t kPageAssetCount;

}  // namespace zv::cli

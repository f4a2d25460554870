// SPDX-License-Identifier: MIT
// zorvan eval: the value of one formula, or a filter's, at one pixel,
// unclamped, for trying the language: on the built-in test picture, or on
// the user's own.
#include <cstdio>

#include "tools/zorvan/commands/commands.h"
#include "tools/zorvan/controls.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/filter_files.h"
#include "tools/zorvan/photos.h"
#include "tools/zorvan/rendered.h"
#include "tools/zorvan/test_image.h"

namespace zv::cli {

namespace {
constexpr int32_t kWidth = 64;
constexpr int32_t kHeight = 48;
}  // namespace

int RunEvalCommand(const EvalOptions& o) {
    const std::optional<FilterFile> file = LoadFilter(o.filterFile, o.example);
    const Filter filter = o.formula ? Filter(*o.formula, kAllChannels) : Filter(*file);
    Warn(filter);
    const Image image = o.image ? ReadPhoto(*o.image, true).image : TestImage(kWidth, kHeight);
    if (o.x < 0 || o.x >= image.width || o.y < 0 || o.y >= image.height) {
        const std::string size = std::to_string(image.width) + "x" + std::to_string(image.height);
        throw Failure(kExitUsage, "eval: --at " + std::to_string(o.x) + "," + std::to_string(o.y) +
                                      " lies outside the " + size +
                                      (o.image ? " image " + *o.image : " built-in image"));
    }
    RenderSettings settings;
    settings.controls = ControlsFor(o.controls, file ? &*file : nullptr);
    std::printf("%d\n", Evaluate(filter, View(image), o.x, o.y, o.channel, settings));
    return kExitOk;
}

}  // namespace zv::cli

// zorvan eval: the value of one formula at one pixel of the built-in test
// picture, unclamped, for trying the language.
#include <cstdio>

#include "tools/zorvan/commands/commands.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/test_image.h"

namespace zv::cli {

namespace {
constexpr int32_t kWidth = 64;
constexpr int32_t kHeight = 48;
}  // namespace

int RunEval(const EvalOptions& o) {
    const Filter filter(o.formula, kAllChannels);
    Warn(filter);
    if (o.x < 0 || o.x >= kWidth || o.y < 0 || o.y >= kHeight) {
        throw Failure(kExitUsage, "eval: --at " + std::to_string(o.x) + "," + std::to_string(o.y) +
                                      " lies outside the 64x48 built-in image");
    }
    const Image image = TestImage(kWidth, kHeight);
    RenderSettings settings;
    for (const ControlSetting& c : o.controls) settings.controls[c.index] = c.value;
    std::printf("%d\n", Evaluate(filter, image.View(), o.x, o.y, o.channel, settings));
    return kExitOk;
}

}  // namespace zv::cli

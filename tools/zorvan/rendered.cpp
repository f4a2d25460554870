// SPDX-License-Identifier: MIT
#include "tools/zorvan/rendered.h"

namespace zv::cli {

Image Rendered(const Filter& filter, const Image& source, const RenderSettings& settings) {
    Image out(source.width, source.height, filter.TargetChannels(source.channels));
    Render(filter, View(source), Writable(out), settings);
    return out;
}

}  // namespace zv::cli

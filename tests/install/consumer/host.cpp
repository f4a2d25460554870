// SPDX-License-Identifier: MIT
// A C++ host of the installed static render library and of libzorvan's
// three exports: one formula rendered with the C++ API and evaluated per
// pixel with ZvExec, which must agree.
#include <zorvan.h>

#include <cstdio>
#include <vector>
#include <zorvan/render.hpp>

int main() {
    const int32_t width = 32, height = 16;
    std::vector<uint8_t> source(width * height * 3), target(source.size());
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 7);
    const zv::Filter filter("(c * 3 + x) & 255", zv::kColourChannels);
    zv::Render(filter, {source.data(), width, height, 3, width * 3},
               {target.data(), width, height, 3, width * 3});
    int32_t status = -1;
    ExprNode* tree = ZvParse("(c * 3 + x) & 255", &status, 1);
    PixelContext c{};
    c.x = 5;
    c.current = source[5 * 3 + 1];
    const bool same = tree && ZvExec(tree, &c) == target[5 * 3 + 1];
    ZvFree(tree);
    std::printf("%d passed, %d failed\n", same ? 1 : 0, same ? 0 : 1);
    return same ? 0 : 1;
}

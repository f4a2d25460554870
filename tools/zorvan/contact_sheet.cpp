// SPDX-License-Identifier: MIT
#include "tools/zorvan/contact_sheet.h"

#include <algorithm>

#include "tools/zorvan/font.h"

namespace zv::cli {

namespace {

constexpr int32_t kMargin = 12;
constexpr int32_t kTextScale = 2;
constexpr int32_t kLabelHeight = kGlyphHeight * kTextScale + 10;
constexpr uint8_t kGround = 28;
constexpr std::array<uint8_t, 3> kLabelColour = {230, 230, 230};

uint8_t Checker(int32_t x, int32_t y) {
    return ((x / 8 + y / 8) % 2) ? 200 : 150;
}

void Place(Image& sheet, const Image& tile, int32_t left, int32_t top) {
    for (int32_t y = 0; y < tile.height; ++y) {
        const uint8_t* from = tile.Row(y);
        uint8_t* to = sheet.Row(top + y) + static_cast<size_t>(left) * 3;
        for (int32_t x = 0; x < tile.width; ++x, from += tile.channels, to += 3) {
            const int alpha = tile.channels == 4 ? from[3] : 255;
            const int back = Checker(x, y);
            for (int k = 0; k < 3; ++k) {
                to[k] = static_cast<uint8_t>((from[k] * alpha + back * (255 - alpha) + 127) / 255);
            }
        }
    }
}

// The label, cut with "..." to fit width.
std::string Fit(std::string label, int32_t width) {
    if (TextWidth(label, kTextScale) <= width) return label;
    while (!label.empty() && TextWidth(label + "...", kTextScale) > width) label.pop_back();
    return label + "...";
}

}  // namespace

Image ContactSheet(const std::vector<Tile>& tiles, int32_t columns) {
    if (tiles.empty()) return Image(1, 1, 3);
    const int32_t w = tiles.front().image->width, h = tiles.front().image->height;
    const int32_t count = static_cast<int32_t>(tiles.size());
    columns = std::clamp(columns, 1, count);
    const int32_t rows = (count + columns - 1) / columns;
    const int32_t cellW = w + kMargin, cellH = h + kLabelHeight + kMargin;
    Image sheet(columns * cellW + kMargin, rows * cellH + kMargin, 3);
    std::fill(sheet.pixels.begin(), sheet.pixels.end(), kGround);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t left = kMargin + (i % columns) * cellW;
        const int32_t top = kMargin + (i / columns) * cellH;
        Place(sheet, *tiles[i].image, left, top);
        const std::string label = Fit(tiles[i].label, w);
        DrawText(sheet, left + (w - TextWidth(label, kTextScale)) / 2, top + h + 6, label,
                 kTextScale, kLabelColour);
    }
    return sheet;
}

}  // namespace zv::cli

/* SPDX-License-Identifier: MIT */
// Text in a 5 x 7 pixel font, for the labels of the contact sheet: capitals,
// digits and a little punctuation; lower case is drawn in capitals and any
// other character as a space.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "tools/zorvan/photos.h"

namespace zv::cli {

constexpr int32_t kGlyphWidth = 5;
constexpr int32_t kGlyphHeight = 7;
constexpr int32_t kGlyphAdvance = 6;

// Width in pixels of text drawn at scale.
int32_t TextWidth(std::string_view text, int32_t scale);

// Draws text with its top left corner at (x, y), each font pixel a square of
// scale pixels; whatever falls outside the image is left out.
void DrawText(Image& image, int32_t x, int32_t y, std::string_view text, int32_t scale,
              const std::array<uint8_t, 3>& colour);

}  // namespace zv::cli

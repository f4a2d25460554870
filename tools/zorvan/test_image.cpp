// SPDX-License-Identifier: MIT
#include "tools/zorvan/test_image.h"

#include <array>

namespace zv::cli {

namespace {

using Rgb = std::array<uint8_t, 3>;

// White, yellow, cyan, green, magenta, red, blue, black.
constexpr Rgb kBars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                          {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};

uint8_t Byte(int64_t v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Hue h of 0..1535 at full saturation, scaled by value/255.
Rgb Hue(int64_t h, int64_t value) {
    const int64_t f = h % 256;
    int64_t r = 0, g = 0, b = 0;
    switch (h / 256) {
        case 0: r = 255, g = f; break;
        case 1: r = 255 - f, g = 255; break;
        case 2: g = 255, b = f; break;
        case 3: g = 255 - f, b = 255; break;
        case 4: r = f, b = 255; break;
        default: r = 255, b = 255 - f; break;
    }
    return {Byte(r * value / 255), Byte(g * value / 255), Byte(b * value / 255)};
}

uint8_t Triangle(int64_t phase) {
    const int64_t p = phase & 511;
    return Byte(p < 256 ? p : 511 - p);
}

// Vertical stripes 1, 2, 3 and 4 pixels wide in four runs, then a
// checkerboard of single pixels.
uint8_t Detail(int64_t x, int64_t y, int64_t width) {
    const int64_t run = width / 5 + 1;
    const int64_t stripe = x / run + 1;
    if (stripe <= 4) return (x / stripe) % 2 ? 255 : 0;
    return (x + y) % 2 ? 255 : 0;
}

Rgb Background(int64_t x, int64_t y, int64_t w, int64_t h) {
    const int64_t band = y * 5 / h;
    if (band == 0) return kBars[x * 8 / w];
    if (band == 1) {
        const int64_t top = h / 5, depth = h / 5 + 1;
        return Hue(x * 1536 / w, 255 - (y - top) * 128 / depth);
    }
    if (band == 2) {
        const int64_t half = w / 2;
        if (x < half) {
            const uint8_t grey = Byte(x * 255 / (half > 1 ? half - 1 : 1));
            return {grey, grey, grey};
        }
        const uint8_t v = Detail(x - half, y, w - half);
        return {v, v, v};
    }
    const int64_t dx = x - w / 2, dy = y - (h * 4) / 5;
    const uint8_t ring = Triangle((dx * dx + dy * dy) * 96 / w);
    return {ring, ring, Byte(ring / 2 + 64)};
}

}  // namespace

Image TestImage(int32_t width, int32_t height) {
    Image image(width, height, 3);
    const int64_t cx = width / 3, cy = height / 2, radius = height / 6 + 1;
    const int64_t edge = radius + radius / 8 + 1;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* p = image.Row(y);
        for (int32_t x = 0; x < width; ++x, p += 3) {
            const int64_t dx = x - cx, dy = y - cy, s = dx * dx + dy * dy;
            Rgb c = Background(x, y, width, height);
            if (s < radius * radius) {
                c = {255, 140, 20};
            } else if (s < edge * edge) {
                c = {40, 20, 10};
            }
            p[0] = c[0];
            p[1] = c[1];
            p[2] = c[2];
        }
    }
    return image;
}

}  // namespace zv::cli

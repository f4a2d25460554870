/* SPDX-License-Identifier: MIT */
// Pictures, example filters and refusals for the render library's tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zorvan/render.hpp"

namespace zv::test {

// An image with its own bytes, rows `stride` apart (pad bytes after each
// row hold 0xEE, which no render may change).
struct Picture {
    int32_t width = 0, height = 0, channels = 0;
    size_t stride = 0;
    std::vector<uint8_t> bytes;

    Picture(int32_t w, int32_t h, int32_t c, size_t pad = 0);
    ImageView View() const { return {bytes.data(), width, height, channels, stride}; }
    MutableImageView Writable() { return {bytes.data(), width, height, channels, stride}; }
    const uint8_t* Pixel(int32_t x, int32_t y) const {
        return bytes.data() + stride * y + static_cast<size_t>(x) * channels;
    }
    uint8_t At(int32_t x, int32_t y, int32_t k) const {
        return bytes[stride * y + static_cast<size_t>(x) * channels + k];
    }
    uint8_t& At(int32_t x, int32_t y, int32_t k) {
        return bytes[stride * y + static_cast<size_t>(x) * channels + k];
    }
};

// Varied bytes, the same for the same arguments: gradients, a ring and
// noise from a fixed hash, so that twirls, blurs and keys all have work.
Picture Pattern(int32_t width, int32_t height, int32_t channels, size_t pad = 0);

// filter over source, the settings' region and step of it, into a new
// picture with `pad` bytes after each row.
Picture RenderNew(const Filter& filter, const Picture& source, const RenderSettings& settings = {},
                  size_t pad = 0);
// The same per pixel in visiting order on one thread, whatever the filter.
Picture RenderOrderedNew(const Filter& filter, const Picture& source,
                         const RenderSettings& settings = {});
// The same through the per-pixel path for every channel.
Picture RenderPerPixelNew(const Filter& filter, const Picture& source,
                          const RenderSettings& settings = {});

struct Example {
    std::string name;
    FilterFile file;
    RenderSettings Settings() const;  // the file's controls, frame 1 of 5
};
// Every filter of examples/, parsed.
const std::vector<Example>& Examples();

// A text that must be refused, the message and, when not null, the detail.
struct Refusal {
    const char* text;
    const char* message;
    const char* detail = nullptr;
};
// Expects compile(text) to throw Error with the status and refusal's words.
void ExpectRefusal(const Refusal& refusal, Status status,
                   const std::function<void(const char*)>& compile);

}  // namespace zv::test

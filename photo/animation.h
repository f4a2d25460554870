/* SPDX-License-Identifier: MIT */
// Frames collected into one animated WebP, at 25 frames a second.
#pragma once

#include <cstdio>
#include <string>

#include "photo/image_io.h"

struct WebPAnimEncoder;

namespace zv::photo::detail {

class Animation {
   public:
    // Frames of width x height written with settings; path is for messages.
    Animation(int32_t width, int32_t height, const WriteSettings& settings, std::string path);
    ~Animation();
    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;

    void Add(const Image& frame);
    // Writes the animation to file.
    void Finish(std::FILE* file);

   private:
    WebPAnimEncoder* encoder_;
    WriteSettings settings_;
    std::string path_;
    int frames_ = 0;
};

}  // namespace zv::photo::detail

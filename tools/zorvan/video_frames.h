/* SPDX-License-Identifier: MIT */
// A video's frames by index, as the studio scrubs through them: each
// decoded on demand, the frames just after the last one read on, others
// from the keyframe before them.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "tools/zorvan/photos.h"

namespace zv::cli {

class VideoFrames {
   public:
    // Fails with exit 1 when path does not read as a video.
    explicit VideoFrames(const std::string& path);
    ~VideoFrames();
    VideoFrames(const VideoFrames&) = delete;
    VideoFrames& operator=(const VideoFrames&) = delete;

    int64_t count() const { return count_; }
    double fps() const { return fps_; }
    // Frame t (from 0), upright; fails with exit 1 past the end or when it
    // does not decode. Safe from any thread; the last one is kept.
    std::shared_ptr<const Photo> At(int64_t t);

    struct Impl;

   private:
    std::string path_;
    int64_t count_ = 0;
    double fps_ = 0;
    std::mutex mutex_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zv::cli

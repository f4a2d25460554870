/* SPDX-License-Identifier: MIT */
// Export of a video: every frame filtered with the filter and controls of
// the moment, as zorvan apply writes the video, into a subfolder made new
// for it beside the video (DIR/zorvan-N/NAME), so that no file is replaced.
// It runs on a thread of its own; a cancelled or failed export leaves
// nothing behind.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "zorvan/render.hpp"

namespace zv::cli {

class VideoExport {
   public:
    struct Progress {
        std::string file;  // the subfolder and name: "zorvan-1/clip.mp4"
        int64_t done = 0;  // frames written
        int64_t total = 0;
        bool running = false;
        bool cancelled = false;
        std::string error;  // why it failed, when it did
    };

    // Makes the subfolder and starts; throws a Failure when it cannot be made.
    VideoExport(const std::string& video, int64_t frames, const FilterFile& file,
                const std::array<int32_t, 8>& controls);
    // Cancels and waits for the export to stop.
    ~VideoExport();
    VideoExport(const VideoExport&) = delete;
    VideoExport& operator=(const VideoExport&) = delete;

    void Cancel() { cancel_ = true; }
    Progress Now() const;

   private:
    void Run(const std::string& video, const std::array<int32_t, 8>& controls);

    const Filter filter_;
    std::string subfolder_;
    std::atomic<bool> cancel_{false};
    mutable std::mutex mutex_;
    Progress progress_;
    std::jthread thread_;  // last, so that it stops before the rest goes
};

}  // namespace zv::cli

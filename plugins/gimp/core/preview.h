/* SPDX-License-Identifier: MIT */
// The live preview: the whole drawable shown at most `side` pixels across,
// rendered on a thread of its own with the render library's step, so only
// the pixels shown are computed. A newer request cancels the render under
// way; the host picks up finished frames on its own thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "plugins/gimp/core/pixels.h"

namespace zvgimp {

struct Frame {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;  // for the screen, 3 bytes a pixel
};

// The sampling step that shows width x height within side pixels.
int32_t PreviewStep(int32_t width, int32_t height, int32_t side);

class PreviewScheduler {
   public:
    // ready is called on the preview's thread each time a frame is done;
    // the host then calls Take on its own.
    PreviewScheduler(std::shared_ptr<const RenderSource> source, int32_t side,
                     std::function<void()> ready);
    ~PreviewScheduler();
    PreviewScheduler(const PreviewScheduler&) = delete;
    PreviewScheduler& operator=(const PreviewScheduler&) = delete;

    void Request(std::shared_ptr<const zv::Filter> filter, const zv::RenderSettings& settings);
    std::optional<Frame> Take();

   private:
    struct Job {
        std::shared_ptr<const zv::Filter> filter;
        zv::RenderSettings settings;
    };
    void Run();
    std::optional<Frame> Render(const Job& job);

    std::shared_ptr<const RenderSource> source_;
    int32_t step_;
    std::function<void()> ready_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> pending_;
    std::optional<Frame> done_;
    bool stopping_ = false;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace zvgimp

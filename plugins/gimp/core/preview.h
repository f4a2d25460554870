/* SPDX-License-Identifier: MIT */
// The live preview: the part of the drawable the host's preview shows,
// rendered on a thread of its own with the render library's region and
// step, so only the pixels shown are computed. A newer request cancels the
// render under way; the host picks up finished frames on its own thread.
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

// What the preview shows: a rectangle of the drawable, drawn width x height
// pixels on the screen (more when zoomed in, fewer when zoomed out).
struct PreviewView {
    zv::Rect region;
    int32_t width = 0, height = 0;
};

// The picture of a view, in the drawable's channels.
struct Frame {
    int32_t width = 0, height = 0;
    int channels = 0;
    std::vector<uint8_t> bytes;
};

// The sampling step that renders no more pixels of the region than the
// view shows, and at least as many: 1 at 1:1 and closer.
int32_t PreviewStep(const PreviewView& view);

// The view's frame: the region rendered at PreviewStep, then each screen
// pixel taken from the nearest rendered one. Nothing when cancelled.
std::optional<Frame> RenderView(const zv::Filter& filter, const RenderSource& source,
                                const PreviewView& view, const zv::RenderSettings& settings);

class PreviewScheduler {
   public:
    // ready is called on the preview's thread each time a frame is done;
    // the host then calls Take on its own.
    PreviewScheduler(std::shared_ptr<const RenderSource> source, std::function<void()> ready);
    ~PreviewScheduler();
    PreviewScheduler(const PreviewScheduler&) = delete;
    PreviewScheduler& operator=(const PreviewScheduler&) = delete;

    // Renders with settings as given but for their region, step and cancel.
    void Request(std::shared_ptr<const zv::Filter> filter, const zv::RenderSettings& settings,
                 const PreviewView& view);
    std::optional<Frame> Take();

   private:
    struct Job {
        std::shared_ptr<const zv::Filter> filter;
        zv::RenderSettings settings;
        PreviewView view;
    };
    void Run();

    std::shared_ptr<const RenderSource> source_;
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

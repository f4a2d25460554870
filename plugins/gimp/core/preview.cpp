// SPDX-License-Identifier: MIT
#include "plugins/gimp/core/preview.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zvgimp {

int32_t PreviewStep(const PreviewView& view) {
    return std::max<int32_t>(1, std::min(view.region.width / std::max(view.width, 1),
                                         view.region.height / std::max(view.height, 1)));
}

std::optional<Frame> RenderView(const zv::Filter& filter, const RenderSource& source,
                                const PreviewView& view, const zv::RenderSettings& settings) {
    const int32_t step = PreviewStep(view);
    Bytes rendered;
    if (RenderRect(filter, source, view.region, step, settings, rendered) != zv::Status::kOk) {
        return std::nullopt;
    }
    const int32_t width = (view.region.width + step - 1) / step;
    const int32_t height = (view.region.height + step - 1) / step;
    Frame frame{view.width, view.height, source.Channels(), {}};
    const size_t pixel = static_cast<size_t>(frame.channels);
    frame.bytes.resize(static_cast<size_t>(view.width) * static_cast<size_t>(view.height) * pixel);
    uint8_t* to = frame.bytes.data();
    for (int32_t y = 0; y < view.height; ++y) {
        const int64_t row = int64_t{y} * height / view.height;
        const uint8_t* from = rendered.data() + static_cast<size_t>(row * width) * pixel;
        for (int32_t x = 0; x < view.width; ++x, to += pixel) {
            std::memcpy(to, from + static_cast<size_t>(int64_t{x} * width / view.width) * pixel,
                        pixel);
        }
    }
    return frame;
}

PreviewScheduler::PreviewScheduler(std::shared_ptr<const RenderSource> source,
                                   std::function<void()> ready)
    : source_(std::move(source)), ready_(std::move(ready)), thread_([this] { Run(); }) {}

PreviewScheduler::~PreviewScheduler() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        cancel_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void PreviewScheduler::Request(std::shared_ptr<const zv::Filter> filter,
                               const zv::RenderSettings& settings, const PreviewView& view) {
    {
        const std::lock_guard lock(mutex_);
        pending_ = Job{std::move(filter), settings, view};
        done_.reset();  // a frame not yet taken is stale now
        cancel_ = true;
    }
    wake_.notify_one();
}

std::optional<Frame> PreviewScheduler::Take() {
    const std::lock_guard lock(mutex_);
    return std::exchange(done_, std::nullopt);
}

void PreviewScheduler::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || pending_; });
            if (stopping_) return;
            job = std::move(*std::exchange(pending_, std::nullopt));
            cancel_ = false;
        }
        job.settings.cancel = &cancel_;
        std::optional<Frame> frame;
        try {
            frame = RenderView(*job.filter, *source_, job.view, job.settings);
        } catch (const zv::Error&) {
            // a view outside the drawable; the host's own run reports bad filters
        }
        if (!frame) continue;
        {
            const std::lock_guard lock(mutex_);
            if (pending_ || stopping_) continue;  // already stale
            done_ = std::move(frame);
        }
        ready_();
    }
}

}  // namespace zvgimp

// SPDX-License-Identifier: MIT
#include "plugins/gimp/core/preview.h"

#include <algorithm>
#include <utility>

namespace zvgimp {

int32_t PreviewStep(int32_t width, int32_t height, int32_t side) {
    const int32_t longest = std::max(width, height);
    return std::max<int32_t>(1, (longest + side - 1) / side);
}

PreviewScheduler::PreviewScheduler(std::shared_ptr<const RenderSource> source, int32_t side,
                                   std::function<void()> ready)
    : source_(std::move(source)),
      step_(PreviewStep(source_->View().width, source_->View().height, side)),
      ready_(std::move(ready)),
      thread_([this] { Run(); }) {}

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
                               const zv::RenderSettings& settings) {
    {
        const std::lock_guard lock(mutex_);
        pending_ = Job{std::move(filter), settings};
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
        std::optional<Frame> frame = Render(job);
        if (!frame) continue;
        {
            const std::lock_guard lock(mutex_);
            if (pending_ || stopping_) continue;  // already stale
            done_ = std::move(frame);
        }
        ready_();
    }
}

std::optional<Frame> PreviewScheduler::Render(const Job& job) {
    const zv::ImageView& view = source_->View();
    const int32_t width = (view.width + step_ - 1) / step_;
    const int32_t height = (view.height + step_ - 1) / step_;
    const int32_t channels = job.filter->TargetChannels(view.channels);
    std::vector<uint8_t> target(static_cast<size_t>(width) * static_cast<size_t>(height) *
                                static_cast<size_t>(channels));
    zv::RenderSettings settings = job.settings;
    settings.step = step_;
    settings.region = {};
    settings.cancel = &cancel_;
    settings.progress = nullptr;
    const zv::MutableImageView out{target.data(), width, height, channels,
                                   static_cast<size_t>(width) * static_cast<size_t>(channels)};
    try {
        if (zv::Render(*job.filter, view, out, settings) != zv::Status::kOk) return std::nullopt;
    } catch (const zv::Error&) {
        return std::nullopt;  // the host's own run reports it
    }
    return Frame{width, height, ForScreen(target.data(), width, height, channels, source_->Grey())};
}

}  // namespace zvgimp

// SPDX-License-Identifier: MIT
#include "tools/zorvan/progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace zv::cli {

namespace {
constexpr auto kFirstDraw = std::chrono::milliseconds(300);
constexpr auto kRedraw = std::chrono::milliseconds(100);
}  // namespace

Progress::Progress(bool enabled, std::string label, int64_t total, ProgressStyle style)
    : label_(std::move(label)),
      total_(total > 0 || style == ProgressStyle::kFrames ? total : 1),
      style_(style) {
    if (enabled && isatty(STDERR_FILENO)) ticker_ = std::thread([this] { Tick(); });
}

Progress::~Progress() {
    if (!ticker_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    ticker_.join();
    if (drawn_) std::fprintf(stderr, "\r\033[K");
}

void Progress::Tick() {
    std::unique_lock lock(mutex_);
    auto wait = kFirstDraw;
    while (!wake_.wait_for(lock, wait, [this] { return stop_; })) {
        const auto done = static_cast<long long>(done_.load(std::memory_order_relaxed));
        if (style_ == ProgressStyle::kFrames) {
            DrawFrames(done);
        } else if (style_ == ProgressStyle::kCounted) {
            std::fprintf(stderr, "\rzorvan: %s %lld/%lld", label_.c_str(), done,
                         static_cast<long long>(total_));
        } else {
            std::fprintf(stderr, "\rzorvan: %s %3lld%%", label_.c_str(), done * 100 / total_);
        }
        std::fflush(stderr);
        drawn_ = true;
        wait = kRedraw;
    }
}

void Progress::DrawFrames(long long done) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double fps = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    std::fprintf(stderr, "\rzorvan: %s frame %lld", label_.c_str(), done);
    if (total_ > 0) std::fprintf(stderr, "/%lld", static_cast<long long>(total_));
    std::fprintf(stderr, ", %.1f fps", fps);
    if (total_ > 0 && fps > 0) {
        const auto left = static_cast<long long>(static_cast<double>(total_ - done) / fps);
        std::fprintf(stderr, ", %lld:%02lld left", left / 60, left % 60);
    }
    std::fprintf(stderr, "\033[K");
}

}  // namespace zv::cli

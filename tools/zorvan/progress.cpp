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

Progress::Progress(bool enabled, std::string label, int64_t total, bool counted)
    : label_(std::move(label)), total_(total > 0 ? total : 1), counted_(counted) {
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
        if (counted_) {
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

}  // namespace zv::cli

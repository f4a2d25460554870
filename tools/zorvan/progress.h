/* SPDX-License-Identifier: MIT */
// A progress line on stderr for long work: "zorvan: applying 42%" (or, counted,
// "zorvan: applying 3/20"; for frames, "zorvan: applying frame 120/300,
// 48.2 fps, 0:04 left"), redrawn a
// few times a second from a thread of its own and erased at the end. Silent
// unless enabled and stderr is a terminal; short work never shows it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zv::cli {

enum class ProgressStyle { kPercent, kCounted, kFrames };

class Progress {
   public:
    // A total of 0 or less with kFrames: unknown, so no time left is shown.
    Progress(bool enabled, std::string label, int64_t total,
             ProgressStyle style = ProgressStyle::kPercent);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // A render's progress callback: its rows count after `before` units.
    std::function<bool(int64_t, int64_t)> After(int64_t before) {
        return [this, before](int64_t done, int64_t) {
            done_.store(before + done, std::memory_order_relaxed);
            return true;
        };
    }

    // n more units done.
    void Add(int64_t n) { done_.fetch_add(n, std::memory_order_relaxed); }

   private:
    void Tick();
    void DrawFrames(long long done);

    std::string label_;
    int64_t total_;
    ProgressStyle style_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::atomic<int64_t> done_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool drawn_ = false;
    std::thread ticker_;
};

}  // namespace zv::cli

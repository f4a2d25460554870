/* SPDX-License-Identifier: MIT */
// Spreading a render's rows over threads: blocks of a few rows are handed
// out in turn, so a thread that finishes early takes the next block. Between
// blocks every thread looks for a cancel, and the calling thread reports
// progress.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "zorvan/render.hpp"

namespace zv {

inline constexpr int32_t kRowsPerBlock = 4;

// One render's cancellation and progress, counted in rows.
class JobControl {
   public:
    JobControl(const RenderSettings& settings, int64_t total)
        : cancel_(settings.cancel), progress_(settings.progress), total_(total) {}

    bool Stopped() const {
        return stopped_.load(std::memory_order_relaxed) ||
               (cancel_ && cancel_->load(std::memory_order_relaxed));
    }
    void Done(int64_t rows) { done_.fetch_add(rows, std::memory_order_relaxed); }
    void Stop() { stopped_.store(true, std::memory_order_relaxed); }

    // On the calling thread only: tells the progress callback, which may
    // stop the render.
    void Report() {
        if (progress_ && !progress_(done_.load(std::memory_order_relaxed), total_)) Stop();
    }

    Status Outcome() {
        if (Stopped()) return Status::kCancelled;
        if (progress_) progress_(total_, total_);
        return Status::kOk;
    }

   private:
    const std::atomic<bool>* cancel_;
    const std::function<bool(int64_t, int64_t)>& progress_;
    int64_t total_;
    std::atomic<int64_t> done_{0};
    std::atomic<bool> stopped_{false};
};

// Calls rows(state, from, to) for blocks covering 0..count on up to
// `threads` threads, the calling one included, until all are done or the
// render stops; each thread works on a state of its own from makeState().
// What a thread throws stops the others and is thrown again here.
template <class MakeState, class Rows>
void ForEachRowBlock(unsigned threads, int32_t count, JobControl& control,
                     const MakeState& makeState, const Rows& rows) {
    std::atomic<int32_t> next{0};
    std::mutex failing;
    std::exception_ptr failure;
    const auto work = [&](bool caller) {
        try {
            auto state = makeState();
            while (!control.Stopped()) {
                const int32_t from = next.fetch_add(kRowsPerBlock);
                if (from >= count) return;
                const int32_t to = std::min(count, from + kRowsPerBlock);
                rows(state, from, to);
                control.Done(to - from);
                if (caller) control.Report();
            }
        } catch (...) {
            control.Stop();
            const std::lock_guard lock(failing);
            if (!failure) failure = std::current_exception();
        }
    };
    const auto blocks = static_cast<unsigned>((count + kRowsPerBlock - 1) / kRowsPerBlock);
    {
        std::vector<std::jthread> helpers;  // joined however this block ends
        for (unsigned i = 1; i < std::min(threads, blocks); ++i) helpers.emplace_back(work, false);
        work(true);
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace zv

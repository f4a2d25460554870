/* SPDX-License-Identifier: MIT */
// A queue between two threads of at most `heavy` items that weigh (decoded
// frames) and `light` more that do not (packets copied beside them), so
// that the light ones never take the heavy ones' places. Close lets the
// reader drain what is left; Abort ends both sides at once.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace zv::video {

template <class T>
class BoundedQueue {
   public:
    BoundedQueue(size_t heavy, size_t light)
        : capacity_{heavy > 0 ? heavy : 1, light > 0 ? light : 1} {}

    // False once the queue is aborted.
    bool Push(T item, bool heavy = true) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return aborted_ || held_[heavy] < capacity_[heavy]; });
        if (aborted_) return false;
        items_.emplace_back(std::move(item), heavy);
        ++held_[heavy];
        changed_.notify_all();
        return true;
    }
    // Nothing once closed and empty, or aborted.
    std::optional<T> Pop() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return aborted_ || closed_ || !items_.empty(); });
        if (aborted_ || items_.empty()) return std::nullopt;
        auto [item, heavy] = std::move(items_.front());
        items_.pop_front();
        --held_[heavy];
        changed_.notify_all();
        return std::move(item);
    }
    void Close() { Set(closed_); }
    void Abort() { Set(aborted_); }

   private:
    void Set(bool& flag) {
        const std::lock_guard lock(mutex_);
        flag = true;
        changed_.notify_all();
    }

    size_t capacity_[2];  // light, heavy
    size_t held_[2] = {};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<T, bool>> items_;
    bool closed_ = false, aborted_ = false;
};

}  // namespace zv::video

/* SPDX-License-Identifier: MIT */
// A queue of at most `capacity` items between two threads. Close lets the
// reader drain what is left; Abort ends both sides at once.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace zv::video {

template <class T>
class BoundedQueue {
   public:
    explicit BoundedQueue(size_t capacity) : capacity_(capacity > 0 ? capacity : 1) {}

    // False once the queue is aborted.
    bool Push(T item) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return aborted_ || items_.size() < capacity_; });
        if (aborted_) return false;
        items_.push_back(std::move(item));
        changed_.notify_all();
        return true;
    }
    // Nothing once closed and empty, or aborted.
    std::optional<T> Pop() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return aborted_ || closed_ || !items_.empty(); });
        if (aborted_ || items_.empty()) return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        changed_.notify_all();
        return item;
    }
    void Close() { Set(closed_); }
    void Abort() { Set(aborted_); }

   private:
    void Set(bool& flag) {
        const std::lock_guard lock(mutex_);
        flag = true;
        changed_.notify_all();
    }

    size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<T> items_;
    bool closed_ = false, aborted_ = false;
};

}  // namespace zv::video

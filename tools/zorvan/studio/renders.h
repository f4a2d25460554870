/* SPDX-License-Identifier: MIT */
// The renders the studio runs at once: at most a few, and in each lane
// (the preview, the original beside it, a thumbnail, a download) a newer
// request cancels the older one, so the preview follows the hand.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zv::cli {

class Renders;

// A render's place while it runs; its cancel flag is set when a newer
// request in its lane arrives.
class Slot {
   public:
    Slot(Renders& renders, std::string lane, std::shared_ptr<std::atomic<bool>> cancel)
        : renders_(renders), lane_(std::move(lane)), cancel_(std::move(cancel)) {}
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
    ~Slot();
    const std::atomic<bool>* cancel() const { return cancel_.get(); }

   private:
    Renders& renders_;
    std::string lane_;
    std::shared_ptr<std::atomic<bool>> cancel_;
};

enum class Admission { kAdmitted, kBusy, kSuperseded };

class Renders {
   public:
    explicit Renders(int limit) : limit_(limit) {}

    // Admits request number seq of lane unless `limit` renders run or a
    // later one came while the lane was busy; cancels the lane's earlier
    // render.
    Admission Begin(const std::string& lane, int64_t seq, std::unique_ptr<Slot>& slot);

   private:
    friend class Slot;
    void End(const std::string& lane, const std::atomic<bool>* cancel);

    struct Lane {
        int64_t latest = -1;
        std::shared_ptr<std::atomic<bool>> running;
    };
    std::mutex mutex_;
    std::map<std::string, Lane> lanes_;
    int running_ = 0;
    const int limit_;
};

}  // namespace zv::cli

// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/renders.h"

namespace zv::cli {

Slot::~Slot() {
    renders_.End(lane_, cancel_.get());
}

Admission Renders::Begin(const std::string& lane, int64_t seq, std::unique_ptr<Slot>& slot) {
    const std::lock_guard lock(mutex_);
    Lane& l = lanes_[lane];
    if (seq < l.latest) return Admission::kSuperseded;
    // A number is kept only while the lane runs a render, whose end forgets
    // it: refused on an idle lane, it would hold the lane for nothing.
    if (l.running) {
        l.latest = seq;
        l.running->store(true);
    }
    if (running_ >= limit_) return Admission::kBusy;
    l.latest = seq;
    ++running_;
    l.running = std::make_shared<std::atomic<bool>>(false);
    slot = std::make_unique<Slot>(*this, lane, l.running);
    return Admission::kAdmitted;
}

void Renders::End(const std::string& lane, const std::atomic<bool>* cancel) {
    const std::lock_guard lock(mutex_);
    --running_;
    Lane& l = lanes_[lane];
    // An idle lane forgets its numbers, so that none, however large, locks
    // it: they only order the requests that overlap.
    if (l.running.get() == cancel) l = Lane{};
}

}  // namespace zv::cli

// SPDX-License-Identifier: MIT
// FilterFile: decoding ahead on one thread, the filter on the caller's (the
// render library spreads it over every core), encoding behind on another,
// with at most `ahead` frames and kPacketsAhead packets of the other
// streams waiting each way, so memory stays bounded however long the video.
#include <exception>
#include <thread>
#include <vector>

#include "video/guarded.h"
#include "video/queue.h"
#include "video/sink.h"
#include "video/source.h"

namespace zv::video {

namespace {

constexpr size_t kPacketsAhead = 64;
// The packets of other streams kept while the video has no frame yet, for
// the header that the first frame's size completes.
constexpr size_t kEarlyBytes = size_t{64} << 20;

// A frame's bytes handed back by a later stage for the decoder to reuse.
class Spares {
   public:
    std::vector<uint8_t> Take() {
        const std::lock_guard lock(mutex_);
        if (spares_.empty()) return {};
        std::vector<uint8_t> bytes = std::move(spares_.back());
        spares_.pop_back();
        return bytes;
    }
    void Give(std::vector<uint8_t> bytes) {
        const std::lock_guard lock(mutex_);
        if (spares_.size() < kKept) spares_.push_back(std::move(bytes));
    }

   private:
    static constexpr size_t kKept = 4;
    std::mutex mutex_;
    std::vector<std::vector<uint8_t>> spares_;
};

// A decoded or filtered frame, or a packet of another stream (when packet is set).
struct Item {
    Decoded frame;
    PacketPtr packet;
};

// The first failure of any stage; the others then stop.
class FirstFailure {
   public:
    void Catch() {
        const std::lock_guard lock(mutex_);
        if (!failure_) failure_ = std::current_exception();
    }
    void Rethrow() const {
        if (failure_) std::rethrow_exception(failure_);
    }

   private:
    std::mutex mutex_;
    std::exception_ptr failure_;
};

Timing TimingOf(const Source& source) {
    const AVStream& st = source.stream();
    Timing timing;
    timing.timeBase = st.time_base;
    timing.frameRate = st.avg_frame_rate.num > 0 ? st.avg_frame_rate : st.r_frame_rate;
    timing.aspect =
        st.sample_aspect_ratio.num > 0 ? st.sample_aspect_ratio : st.codecpar->sample_aspect_ratio;
    const int rotation = source.info().rotation;
    if ((rotation == 90 || rotation == 270) && timing.aspect.num > 0)
        timing.aspect = av_inv_q(timing.aspect);
    timing.tags = source.tags();
    return timing;
}

}  // namespace

int64_t FilterFile(const std::string& src, const std::string& dst, const FrameFilter& filter,
                   const FilterSettings& settings) {
    return Guarded([&] {
        Source source(src, true);
        Sink sink(dst, settings.write);
        const Timing timing = TimingOf(source);
        BoundedQueue<Item> decoded(settings.ahead, kPacketsAhead),
            filtered(settings.ahead, kPacketsAhead);
        FirstFailure failure;
        Spares spares;
        int64_t written = 0;
        const auto stop = [&] {
            failure.Catch();
            decoded.Abort();
            filtered.Abort();
        };

        std::jthread decoder([&] {
            try {
                for (;;) {
                    Decoded frame;
                    frame.frame.bytes = spares.Take();
                    PacketPtr packet = NewPacket();
                    const Source::Next next = source.Read(frame, *packet);
                    if (next == Source::Next::kEnd) break;
                    const bool isFrame = next == Source::Next::kFrame;
                    if (isFrame) packet.reset();
                    if (!decoded.Push({std::move(frame), std::move(packet)}, isFrame)) break;
                }
                decoded.Close();
            } catch (...) {
                stop();
            }
        });
        std::jthread encoder([&] {
            try {
                // Packets that come before the first frame wait for the header.
                std::vector<PacketPtr> early;
                size_t earlyBytes = 0;
                while (std::optional<Item> item = filtered.Pop()) {
                    if (item->packet) {
                        if (sink.opened()) {
                            sink.WritePacket(*item->packet);
                            continue;
                        }
                        earlyBytes += static_cast<size_t>(item->packet->size);
                        if (earlyBytes > kEarlyBytes) {
                            Fail(src, "its other streams run more than " +
                                          std::to_string(kEarlyBytes >> 20) +
                                          " MiB ahead of its first video frame");
                        }
                        early.push_back(std::move(item->packet));
                        continue;
                    }
                    Decoded& frame = item->frame;
                    if (!sink.opened()) {
                        sink.Open(frame.frame, timing, &source.format(), source.stream().index);
                        for (PacketPtr& p : early) sink.WritePacket(*p);
                        early.clear();
                    }
                    sink.WriteFrame(frame.frame, frame.pts);
                    spares.Give(std::move(frame.frame.bytes));
                    ++written;
                    if (settings.progress) settings.progress(written);
                }
            } catch (...) {
                stop();
            }
        });
        try {
            while (std::optional<Item> item = decoded.Pop()) {
                if (!item->packet) {
                    const Decoded* in = &item->frame;
                    Decoded out;
                    out.frame.bytes = spares.Take();
                    out.frame.index = in->frame.index;
                    out.pts = in->pts;
                    filter(in->frame, out.frame);
                    out.frame.index = in->frame.index;
                    spares.Give(std::move(item->frame.frame.bytes));
                    if (!filtered.Push({std::move(out), nullptr})) break;
                } else if (!filtered.Push(std::move(*item), false)) {
                    break;
                }
            }
            filtered.Close();
        } catch (...) {
            stop();
        }
        decoder.join();
        encoder.join();
        failure.Rethrow();
        sink.Finish();
        return written;
    });
}

}  // namespace zv::video

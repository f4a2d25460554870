// SPDX-License-Identifier: MIT
// The public API over the source and the sink.
#include "zorvan/video.hpp"

#include "video/guarded.h"
#include "video/sink.h"
#include "video/source.h"

namespace zv::video {

struct Reader::Impl {
    explicit Impl(const std::string& path) : source(path, false) {}
    Source source;
    Decoded decoded;
    PacketPtr packet = NewPacket();
};

Reader::Reader(const std::string& path)
    : impl_(Guarded([&] { return std::make_unique<Impl>(path); })) {}
Reader::~Reader() = default;

const StreamInfo& Reader::info() const {
    return impl_->source.info();
}

bool Reader::Read(Frame& frame) {
    return Guarded([&] {
        Decoded& d = impl_->decoded;
        d.frame.bytes = std::move(frame.bytes);
        const bool got = impl_->source.Read(d, *impl_->packet) == Source::Next::kFrame;
        frame = std::move(d.frame);
        return got;
    });
}

bool Reader::ReadAt(int64_t index, Frame& frame) {
    // Frames up to this far ahead are read on rather than sought: decoding
    // them costs less than going back to a keyframe.
    constexpr int64_t kReadOn = 12;
    if (index < 0) return false;
    const int64_t next = impl_->source.next();
    if (next < 0 || index < next || index > next + kReadOn) {
        Guarded([&] { impl_->source.SeekBefore(index); });
    }
    while (Read(frame)) {
        if (frame.index >= index) return true;
    }
    return false;
}

int64_t CountFrames(const std::string& path) {
    return Guarded([&] {
        Source source(path, false);
        return source.info().frames > 0 ? source.info().frames : source.CountVideoPackets();
    });
}

struct Writer::Impl {
    Impl(const std::string& path, const WriteSettings& settings, const Timing& t)
        : sink(path, settings), timing(t) {}
    Sink sink;
    Timing timing;
    int64_t next = 0;
};

Writer::Writer(const std::string& path, const WriteSettings& settings)
    : impl_(Guarded([&] {
          if (!(settings.fps > 0 && settings.fps <= 1000)) {
              throw std::invalid_argument("the frame rate must be above 0 and at most 1000");
          }
          Timing timing;
          timing.frameRate = av_d2q(settings.fps, 100000);
          timing.timeBase = av_inv_q(timing.frameRate);
          return std::make_unique<Impl>(path, settings, timing);
      })) {}
Writer::~Writer() = default;

void Writer::Write(const Frame& frame) {
    Guarded([&] {
        if (frame.width <= 0 || frame.height <= 0 || (frame.channels != 3 && frame.channels != 4) ||
            frame.bytes.size() !=
                static_cast<size_t>(frame.width) * frame.height * frame.channels) {
            throw std::invalid_argument("the frame is not width x height x 3 or 4 bytes");
        }
        if (!impl_->sink.opened()) impl_->sink.Open(frame, impl_->timing, nullptr, -1);
        impl_->sink.WriteFrame(frame, impl_->next++);
    });
}

void Writer::Finish() {
    Guarded([&] { impl_->sink.Finish(); });
}

}  // namespace zv::video

// SPDX-License-Identifier: MIT
#include "tools/zorvan/video_frames.h"

#include <cstring>

#include "tools/zorvan/failure.h"
#include "zorvan/video.hpp"

namespace zv::cli {

struct VideoFrames::Impl {
    explicit Impl(const std::string& path) : reader(path) {}
    video::Reader reader;
    video::Frame frame;
    std::shared_ptr<const Photo> last;
    int64_t lastIndex = -1;
};

namespace {

template <class Work>
auto Guarded(Work work) {
    try {
        return work();
    } catch (const video::Error& error) {
        throw Failure(kExitIo, error.what());
    }
}

}  // namespace

VideoFrames::VideoFrames(const std::string& path) : path_(path) {
    Guarded([&] {
        impl_ = std::make_unique<Impl>(path);
        count_ = video::CountFrames(path);
        fps_ = impl_->reader.info().fps;
    });
    if (count_ <= 0) FailFile(path, "the video has no frames");
}

VideoFrames::~VideoFrames() = default;

std::shared_ptr<const Photo> VideoFrames::At(int64_t t) {
    const std::lock_guard lock(mutex_);
    Impl& m = *impl_;
    if (t == m.lastIndex) return m.last;
    if (t < 0 || t >= count_ || !Guarded([&] { return m.reader.ReadAt(t, m.frame); })) {
        FailFile(path_,
                 "no frame " + std::to_string(t) + " (it has " + std::to_string(count_) + ")");
    }
    auto photo = std::make_shared<Photo>();
    photo->image = Image(m.frame.width, m.frame.height, m.frame.channels);
    std::memcpy(photo->image.pixels.data(), m.frame.bytes.data(), m.frame.bytes.size());
    m.last = std::move(photo);
    m.lastIndex = t;
    return m.last;
}

}  // namespace zv::cli

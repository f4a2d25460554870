// SPDX-License-Identifier: MIT
// A tool built without the video library: no path is a video, so the
// video commands are never reached.
#include "tools/zorvan/commands/apply_batch.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/video_frames.h"

namespace zv::cli {

bool IsVideo(const std::string&) {
    return false;
}

void ApplyVideo(const ApplyBatch&, const std::string& input, const std::string&, bool) {
    FailFile(input, "this zorvan was built without video");
}

int64_t CountVideoFrames(const ApplyBatch&, const std::string& input) {
    FailFile(input, "this zorvan was built without video");
}

int64_t FilterVideo(const ApplyBatch&, const std::string& input, const std::string&, int64_t,
                    const std::function<void(int64_t)>&, const std::atomic<bool>*) {
    FailFile(input, "this zorvan was built without video");
}

void ApplyStills(const ApplyBatch&, const std::vector<std::string>&, const std::string& output,
                 bool) {
    FailFile(output, "this zorvan was built without video");
}

struct VideoFrames::Impl {};

VideoFrames::VideoFrames(const std::string& path) : path_(path) {
    FailFile(path, "this zorvan was built without video");
}

VideoFrames::~VideoFrames() = default;

std::shared_ptr<const Photo> VideoFrames::At(int64_t) {
    FailFile(path_, "this zorvan was built without video");
}

}  // namespace zv::cli

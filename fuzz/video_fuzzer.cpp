// SPDX-License-Identifier: MIT
// Arbitrary bytes as a video file, as the tool reads one: MP4/MOV and
// Matroska/WebM only, with a capped probe. Frames of the size the reader
// announced, filling their bytes, read in order and by index, and counted,
// or a refusal that names the file on one line.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "fuzz/host.h"
#include "zorvan/video.hpp"

extern "C" {
#include <libavutil/log.h>
}

using zvfuzz::Check;

namespace {
constexpr int kFrames = 8;                     // read at most
constexpr int64_t kPixels = int64_t{1} << 20;  // larger frames are not decoded
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
    const int fd = memfd_create("video", MFD_CLOEXEC);
    Check(fd >= 0, "memfd_create failed");
    Check(write(fd, data, size) == static_cast<ssize_t>(size), "write failed");
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    try {
        zv::video::Reader reader(path);
        const zv::video::StreamInfo& info = reader.info();
        Check(info.width > 0 && info.height > 0, "a video of no size was opened");
        if (int64_t{info.width} * info.height <= kPixels) {
            zv::video::Frame frame;
            for (int k = 0; k < kFrames && reader.Read(frame); ++k) {
                Check(frame.width == info.width && frame.height == info.height,
                      "a frame is not the size announced");
                Check(frame.channels == (info.alpha ? 4 : 3), "a frame has the wrong channels");
                Check(frame.bytes.size() == static_cast<size_t>(frame.width) * frame.height *
                                                static_cast<size_t>(frame.channels),
                      "the bytes do not fill the frame");
                Check(frame.index == k, "frames are not numbered in order");
            }
            // Back to a frame by index, as the studio scrubs: that frame or a later one.
            const int64_t wanted = size > 0 ? data[size - 1] % kFrames : 0;
            if (reader.ReadAt(wanted, frame)) Check(frame.index >= wanted, "ReadAt went back");
        }
        Check(zv::video::CountFrames(path) >= 0, "a negative frame count");
    } catch (const zv::video::Error& error) {
        const std::string message = error.what();
        Check(message.rfind(path + ": ", 0) == 0, "the message does not name the file");
        Check(message.find_first_of(std::string("\n\0", 2)) == std::string::npos,
              "the message is not one line");
    }
    close(fd);
    return 0;
}

/* SPDX-License-Identifier: MIT */
// Zorvan's video library: the frames of a video file read as 8-bit RGB or
// RGBA, turned upright as the stream's rotation says, and written back
// with an encoder the output's extension picks; FilterFile runs a whole
// file through a per-frame filter, decoding ahead and encoding behind on
// threads of their own, copying the audio and subtitle streams untouched
// and keeping timestamps, frame rate and colour tags. Every output is
// written under a temporary name and renamed into place, so it is complete
// or untouched.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(ZORVAN_VIDEO_BUILDING) && !defined(ZORVAN_VIDEO_STATIC)
#define ZV_VIDEO_API __attribute__((visibility("default")))
#else
#define ZV_VIDEO_API
#endif

namespace zv::video {

// A video that cannot be read or written: "path: reason".
class ZV_VIDEO_API Error : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
};

// Whether path's extension names a container this library writes (and so
// the tool treats as a video): mp4, m4v, mov, mkv, webm, any case.
ZV_VIDEO_API bool IsVideoPath(const std::string& path);

// One frame, upright: rows top to bottom without padding, channels
// interleaved (3 RGB, 4 RGBA).
struct Frame {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 0;
    std::vector<uint8_t> bytes;
    int64_t index = 0;  // from 0, in presentation order
};

struct StreamInfo {
    int32_t width = 0, height = 0;  // upright
    bool alpha = false;             // the decoded pixels carry alpha
    int64_t frames = -1;            // as the container says; -1 when it does not
    double fps = 0;                 // average frame rate; 0 when unknown
    int rotation = 0;               // degrees clockwise turned on reading: 0, 90, 180, 270
    std::string codec;              // "h264"
};

// The frames of a file's first video stream, in order.
class ZV_VIDEO_API Reader {
   public:
    explicit Reader(const std::string& path);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    const StreamInfo& info() const;
    // The next frame into frame (its bytes reused); false at the end.
    bool Read(Frame& frame);
    // Frame index (from 0) into frame: read on when it lies a little ahead,
    // else decoded from the keyframe before it. False past the end. The
    // index is the frame's time over the average frame rate, which is
    // Read's count where the rate is constant.
    bool ReadAt(int64_t index, Frame& frame);

    struct Impl;

   private:
    std::unique_ptr<Impl> impl_;
};

// The number of frames of path's video stream: the container's count, or
// its video packets counted when it has none.
ZV_VIDEO_API int64_t CountFrames(const std::string& path);

struct WriteSettings {
    std::string codec;           // an encoder's name ("libx264"); empty: the extension's
    std::optional<int> crf;      // the codec's constant-quality scale
    std::optional<int> quality;  // 1..100 mapped onto that scale, when crf is not given
    bool force = false;          // replace a read-only file too
    // An interrupt (SIGINT, SIGTERM, SIGHUP) removes the temporary file
    // and ends the process: handlers for the whole process, which a
    // command-line host wants and others, with handlers of their own, not.
    bool handleSignals = false;
    double fps = 25;       // Writer's frame rate
    unsigned threads = 0;  // of the encoder; 0: every core
};

// New frames into a new video at settings.fps (stills into a video).
class ZV_VIDEO_API Writer {
   public:
    // Fails for an extension or codec it cannot write, or a path that
    // cannot be replaced; nothing is written before Finish.
    Writer(const std::string& path, const WriteSettings& settings);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Frames must all have the first one's size and channels.
    void Write(const Frame& frame);
    // Flushes the encoder and puts the file in place.
    void Finish();

    struct Impl;

   private:
    std::unique_ptr<Impl> impl_;
};

struct FilterSettings {
    WriteSettings write;
    // Called from the encoding thread with the frames written so far.
    std::function<void(int64_t written)> progress;
    size_t ahead = 4;  // frames decoded ahead and waiting to be encoded, each way
};

// Fills out from in (out's bytes may be reused); out's size and channels
// must be the same for every frame. Runs on the calling thread.
using FrameFilter = std::function<void(const Frame& in, Frame& out)>;

// src's video filtered frame by frame into dst, its other streams copied
// (those dst's container cannot hold are dropped with a warning on
// stderr). Returns the number of frames written. A filter's exception
// stops the run, leaves dst untouched and is rethrown.
ZV_VIDEO_API int64_t FilterFile(const std::string& src, const std::string& dst,
                                const FrameFilter& filter, const FilterSettings& settings = {});

}  // namespace zv::video

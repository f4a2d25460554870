/* SPDX-License-Identifier: MIT */
// A video file's frames decoded in order, as upright RGB or RGBA, and the
// packets of its other streams as they are, for copying.
#pragma once

#include <string>

#include "video/av.h"
#include "zorvan/video.hpp"

namespace zv::video {

// A frame with its presentation time in the video stream's time base.
struct Decoded {
    Frame frame;
    int64_t pts = 0;
};

class Source {
   public:
    // Only MP4/MOV and Matroska/WebM files are opened, from the file
    // system alone, with a capped probe; with copyOthers, Next also hands
    // out the packets of the other streams.
    Source(const std::string& path, bool copyOthers);

    enum class Next { kFrame, kPacket, kEnd };
    // The next frame into decoded (its bytes reused), or the next packet of
    // another stream into packet.
    Next Read(Decoded& decoded, AVPacket& packet);

    // Reading goes on from the keyframe at or before frame index (from
    // the start when the frame rate is unknown); the frames read then say
    // their index by their time.
    void SeekBefore(int64_t index);
    // The index of the next frame Read gives, where known (-1 right after
    // a seek).
    int64_t next() const { return resync_ ? -1 : next_; }

    // The video packets from here to the end, read and dropped: the frames
    // of a file whose container does not count them.
    int64_t CountVideoPackets();

    const StreamInfo& info() const { return info_; }
    const AVFormatContext& format() const { return *format_; }
    const AVStream& stream() const { return *format_->streams[video_]; }
    const ColourTags& tags() const { return tags_; }

   private:
    bool ReceiveFrame(Decoded& decoded);
    void Upright(Decoded& decoded);

    std::string path_;
    InputPtr format_;
    CodecPtr decoder_;
    int video_ = -1;
    bool copyOthers_;
    bool draining_ = false;
    StreamInfo info_;
    ColourTags tags_;
    FramePtr decodedFrame_ = NewFrame();
    FramePtr rgb_ = NewFrame();  // converted, padded as swscale reads and writes
    PacketPtr packet_ = NewPacket();
    Converter converter_;
    int64_t next_ = 0;     // index of the next frame
    bool resync_ = false;  // next_ from the next frame's time
    int64_t lastPts_ = AV_NOPTS_VALUE;
};

}  // namespace zv::video

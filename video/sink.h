/* SPDX-License-Identifier: MIT */
// A video file being written: the encoded frames and the copied packets of
// a source's other streams, muxed into a temporary file that Finish puts in
// place. Until then nothing but the temporary file exists.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "photo/output_file.h"
#include "video/av.h"
#include "video/codecs.h"

namespace zv::video {

// How the frames are timed and tagged.
struct Timing {
    AVRational timeBase{1, 25};  // of the frames' pts
    AVRational frameRate{25, 1};
    AVRational aspect{0, 1};  // of a sample; 0: unknown
    ColourTags tags;
};

class Sink {
   public:
    // Checks path, the container and the encoder, and creates the
    // temporary file.
    Sink(const std::string& path, const WriteSettings& settings);
    ~Sink();
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;

    bool opened() const { return encoder_ != nullptr; }
    // Adds the video stream for frames of first's size and channels, then a
    // copy of each stream of from but its video (when given), and writes
    // the header.
    void Open(const Frame& first, const Timing& timing, const AVFormatContext* from, int video);
    void WriteFrame(const Frame& frame, int64_t pts);
    // A packet of stream packet.stream_index of from, as read.
    void WritePacket(AVPacket& packet);
    // Flushes the encoder, writes the trailer and puts the file in place.
    void Finish();

   private:
    void Drain(bool flush);
    void Write(AVPacket& packet);

    std::string path_;
    WriteSettings settings_;
    const AVOutputFormat* container_;
    EncoderChoice choice_;
    std::unique_ptr<photo::detail::OutputFile> file_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* muxer_ = nullptr;
    CodecPtr encoder_;
    AVStream* videoOut_ = nullptr;
    std::map<int, std::pair<AVStream*, AVRational>>
        copies_;                 // input stream: output, input time base
    FramePtr rgb_ = NewFrame();  // the frame, padded as swscale reads it
    FramePtr coded_ = NewFrame();
    PacketPtr packet_ = NewPacket();
    Converter converter_;
    Timing timing_;
    int32_t width_ = 0, height_ = 0, channels_ = 0;  // of the frames
    int32_t codedWidth_ = 0, codedHeight_ = 0;       // of the encoder's, even where it must
};

}  // namespace zv::video

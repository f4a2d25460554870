/* SPDX-License-Identifier: MIT */
// FFmpeg's objects owned by unique_ptr, and its errors as the library's.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace zv::video {

struct InputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScalerFreer {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecCloser>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;

// FFmpeg keeps quiet: what goes wrong comes back as the library's errors
// (its default chats about every encoder's settings), unless the host has
// set a level of its own.
void QuietLibraries();

FramePtr NewFrame();
PacketPtr NewPacket();

// frame given buffers of format and size, with the padding swscale's
// vector loops read and write past a row's end, unless it has them already.
void Allocate(AVFrame& frame, AVPixelFormat format, int width, int height);

// FFmpeg's message for an AVERROR code.
std::string AvMessage(int error);
// Throws Error("path: what: FFmpeg's message").
[[noreturn]] void FailAv(const std::string& path, const std::string& what, int error);
// Throws Error("path: reason").
[[noreturn]] void Fail(const std::string& path, const std::string& reason);
// error unless it is negative, when it throws as FailAv does.
int Checked(int error, const std::string& path, const std::string& what);

// The colour tags that travel from the decoded stream to the encoded one.
struct ColourTags {
    AVColorRange range = AVCOL_RANGE_UNSPECIFIED;
    AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
    AVColorSpace space = AVCOL_SPC_UNSPECIFIED;
    AVChromaLocation chroma = AVCHROMA_LOC_UNSPECIFIED;
};

// A converter between two frames' formats: 8-bit RGB and YUV 4:2:0 by the
// library's own loops (yuv420.h), the rest through libswscale, set up
// again only when the formats change. RGB and YUV are converted with the matrix
// and range the tags give (BT.601, limited range where they say nothing).
class Converter {
   public:
    void Convert(const AVFrame& from, AVFrame& to, const ColourTags& tags);

   private:
    ScalerPtr scaler_;
};

}  // namespace zv::video

// SPDX-License-Identifier: MIT
#include "video/av.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <new>

#include "video/yuv420.h"
#include "zorvan/video.hpp"

namespace zv::video {

void QuietLibraries() {
    static const bool once = [] {
        if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_FATAL);
        return true;
    }();
    (void)once;
}

FramePtr NewFrame() {
    FramePtr frame(av_frame_alloc());
    if (!frame) throw std::bad_alloc();
    return frame;
}

PacketPtr NewPacket() {
    PacketPtr packet(av_packet_alloc());
    if (!packet) throw std::bad_alloc();
    return packet;
}

void Allocate(AVFrame& frame, AVPixelFormat format, int width, int height) {
    if (frame.data[0] && frame.format == format && frame.width == width && frame.height == height &&
        av_frame_is_writable(&frame)) {
        return;
    }
    av_frame_unref(&frame);
    frame.format = format;
    frame.width = width;
    frame.height = height;
    if (av_frame_get_buffer(&frame, 0) < 0) throw std::bad_alloc();
}

std::string AvMessage(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

void FailAv(const std::string& path, const std::string& what, int error) {
    Fail(path, what + ": " + AvMessage(error));
}

void Fail(const std::string& path, const std::string& reason) {
    throw Error(path + ": " + reason);
}

int Checked(int error, const std::string& path, const std::string& what) {
    if (error < 0) FailAv(path, what, error);
    return error;
}

namespace {

bool IsRgb(int format) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
    return d && (d->flags & AV_PIX_FMT_FLAG_RGB);
}

}  // namespace

void Converter::Convert(const AVFrame& from, AVFrame& to, const ColourTags& tags) {
    if (RgbToYuv420(from, to, tags) || Yuv420ToRgb(from, to, tags)) return;
    scaler_.reset(sws_getCachedContext(scaler_.release(), from.width, from.height,
                                       static_cast<AVPixelFormat>(from.format), to.width, to.height,
                                       static_cast<AVPixelFormat>(to.format), SWS_BICUBIC, nullptr,
                                       nullptr, nullptr));
    if (!scaler_) throw Error("cannot convert the frame's pixel format");
    const int space = tags.space == AVCOL_SPC_UNSPECIFIED || tags.space == AVCOL_SPC_RGB
                          ? SWS_CS_DEFAULT
                          : static_cast<int>(tags.space);
    const int* matrix = sws_getCoefficients(space);
    const int full = tags.range == AVCOL_RANGE_JPEG ? 1 : 0;
    // RGB is always full range; YUV as tagged.
    sws_setColorspaceDetails(scaler_.get(), matrix, IsRgb(from.format) ? 1 : full, matrix,
                             IsRgb(to.format) ? 1 : full, 0, 1 << 16, 1 << 16);
    sws_scale(scaler_.get(), from.data, from.linesize, 0, from.height, to.data, to.linesize);
}

}  // namespace zv::video

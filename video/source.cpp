// SPDX-License-Identifier: MIT
#include "video/source.h"

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <cerrno>
#include <cmath>
#include <cstring>

namespace zv::video {

namespace {

// The demuxers of the containers the library writes; others are refused,
// which also keeps untrusted files away from FFmpeg's rarer parsers.
constexpr const char* kDemuxers = "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm";
// The decoders of the video codecs those containers carry; no other
// decoder reads a byte of the file, not even while its streams are probed
// (copied streams are not decoded).
constexpr const char* kDecoders =
    "h264,hevc,vp8,vp9,libvpx,libvpx-vp9,av1,libdav1d,libaom-av1,mpeg4,mpeg2video,mjpeg,prores,"
    "dnxhd,theora,ffv1,huffyuv,ffvhuff,utvideo,png,qtrle,rawvideo";
constexpr int64_t kProbeBytes = 1 << 20;
constexpr int64_t kMaxPixels = 100'000'000;

// Degrees clockwise that turn the stored pixels upright.
int Rotation(const AVStream& stream) {
    const uint8_t* matrix = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!matrix) return 0;
    const double angle = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(angle)) return 0;
    const long quarter = std::lround(-angle / 90);
    return static_cast<int>(((quarter % 4) + 4) % 4) * 90;
}

// A colour tag as the file gives it, which may be a number no enumerator
// has: read as the int it is stored in, and unspecified when unknown.
template <class Tagged>
Tagged Tag(const Tagged& field, Tagged count, Tagged unspecified) {
    static_assert(sizeof(Tagged) == sizeof(int));
    int raw;
    std::memcpy(&raw, &field, sizeof raw);
    return raw >= 0 && raw < static_cast<int>(count) ? static_cast<Tagged>(raw) : unspecified;
}

bool HasAlpha(AVPixelFormat format) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    return d && (d->flags & AV_PIX_FMT_FLAG_ALPHA);
}

// from (w × h, c channels, rows stride bytes apart) turned degrees
// clockwise into to, without padding.
void Turn(const uint8_t* from, size_t stride, int32_t w, int32_t h, int32_t c, int degrees,
          uint8_t* to) {
    const int32_t outWidth = degrees == 180 ? w : h;
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            int32_t tx = x, ty = y;
            if (degrees == 90) tx = h - 1 - y, ty = x;
            if (degrees == 180) tx = w - 1 - x, ty = h - 1 - y;
            if (degrees == 270) tx = y, ty = w - 1 - x;
            std::memcpy(to + (static_cast<size_t>(ty) * outWidth + tx) * c,
                        from + stride * y + static_cast<size_t>(x) * c, c);
        }
    }
}

}  // namespace

Source::Source(const std::string& path, bool copyOthers) : path_(path), copyOthers_(copyOthers) {
    QuietLibraries();
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", kDemuxers, 0);
    av_dict_set_int(&options, "probesize", kProbeBytes, 0);
    av_dict_set(&options, "codec_whitelist", kDecoders, 0);
    AVFormatContext* opened = nullptr;
    const int error = avformat_open_input(&opened, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (error == AVERROR_INVALIDDATA) Fail(path, "not an MP4, MOV, MKV or WebM video");
    Checked(error, path, "cannot open");
    format_.reset(opened);
    Checked(avformat_find_stream_info(opened, nullptr), path, "cannot read");
    const AVCodec* codec = nullptr;
    video_ = av_find_best_stream(opened, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (video_ == AVERROR_DECODER_NOT_FOUND) Fail(path, "no decoder for its video");
    if (video_ < 0) Fail(path, "no video stream");
    const AVStream& st = stream();
    const AVCodecParameters& par = *st.codecpar;
    // FFmpeg's own VP9 decoder leaves out the alpha that WebM keeps beside
    // the picture; libvpx's reads it.
    const AVDictionaryEntry* alphaMode = av_dict_get(st.metadata, "alpha_mode", nullptr, 0);
    const bool sideAlpha =
        par.codec_id == AV_CODEC_ID_VP9 && alphaMode && std::strcmp(alphaMode->value, "1") == 0;
    if (const AVCodec* libvpx = sideAlpha ? avcodec_find_decoder_by_name("libvpx-vp9") : nullptr) {
        codec = libvpx;
    }
    if (av_match_list(codec->name, kDecoders, ',') <= 0) {
        Fail(path, std::string("its video is ") + codec->name + ", which is not read");
    }
    if (par.width <= 0 || par.height <= 0 || par.width > kMaxPixels / par.height) {
        Fail(path, "the video's frames are " + std::to_string(par.width) + "x" +
                       std::to_string(par.height) + ", not a usable size");
    }
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_) throw std::bad_alloc();
    Checked(avcodec_parameters_to_context(decoder_.get(), &par), path, "cannot decode");
    decoder_->thread_count = 0;
    decoder_->pkt_timebase = st.time_base;
    Checked(avcodec_open2(decoder_.get(), codec, nullptr), path, "cannot decode");
    for (unsigned k = 0; k < opened->nb_streams; ++k) {
        if (static_cast<int>(k) != video_ && !copyOthers)
            opened->streams[k]->discard = AVDISCARD_ALL;
    }

    info_.rotation = Rotation(st);
    const bool sideways = info_.rotation == 90 || info_.rotation == 270;
    info_.width = sideways ? par.height : par.width;
    info_.height = sideways ? par.width : par.height;
    info_.alpha = sideAlpha || HasAlpha(static_cast<AVPixelFormat>(par.format));
    info_.frames = st.nb_frames > 0 ? st.nb_frames : -1;
    const AVRational rate = st.avg_frame_rate.num > 0 ? st.avg_frame_rate : st.r_frame_rate;
    info_.fps = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
    info_.codec = avcodec_get_name(par.codec_id);
    tags_ = {Tag(par.color_range, AVCOL_RANGE_NB, AVCOL_RANGE_UNSPECIFIED),
             Tag(par.color_primaries, AVCOL_PRI_NB, AVCOL_PRI_UNSPECIFIED),
             Tag(par.color_trc, AVCOL_TRC_NB, AVCOL_TRC_UNSPECIFIED),
             Tag(par.color_space, AVCOL_SPC_NB, AVCOL_SPC_UNSPECIFIED),
             Tag(par.chroma_location, AVCHROMA_LOC_NB, AVCHROMA_LOC_UNSPECIFIED)};
}

namespace {

// The start of stream and the length of a frame in its time base, by its
// average frame rate; a length of 0 when that is unknown.
std::pair<int64_t, int64_t> FrameGrid(const AVStream& stream) {
    const int64_t start = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
    const AVRational rate = stream.avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) return {start, 0};
    return {start, av_rescale_q(1, av_inv_q(rate), stream.time_base)};
}

}  // namespace

void Source::SeekBefore(int64_t index) {
    const auto [start, step] = FrameGrid(stream());
    const int64_t target = step > 0 ? start + av_rescale_q(index, av_inv_q(stream().avg_frame_rate),
                                                           stream().time_base)
                                    : start;
    Checked(av_seek_frame(format_.get(), video_, target, AVSEEK_FLAG_BACKWARD), path_,
            "cannot seek");
    avcodec_flush_buffers(decoder_.get());
    draining_ = false;
    lastPts_ = AV_NOPTS_VALUE;
    next_ = 0;
    resync_ = step > 0;
}

int64_t Source::CountVideoPackets() {
    int64_t count = 0;
    for (int error; (error = av_read_frame(format_.get(), packet_.get())) != AVERROR_EOF;) {
        Checked(error, path_, "cannot read");
        count += packet_->stream_index == video_;
        av_packet_unref(packet_.get());
    }
    return count;
}

Source::Next Source::Read(Decoded& decoded, AVPacket& packet) {
    for (;;) {
        if (ReceiveFrame(decoded)) return Next::kFrame;
        if (draining_) return Next::kEnd;
        av_packet_unref(packet_.get());
        const int error = av_read_frame(format_.get(), packet_.get());
        if (error == AVERROR_EOF) {
            draining_ = true;
            Checked(avcodec_send_packet(decoder_.get(), nullptr), path_, "cannot decode");
            continue;
        }
        Checked(error, path_, "cannot read");
        if (packet_->stream_index != video_) {
            if (!copyOthers_) continue;
            av_packet_move_ref(&packet, packet_.get());
            return Next::kPacket;
        }
        const int sent = avcodec_send_packet(decoder_.get(), packet_.get());
        // A damaged packet is skipped, as players do; the frames go on.
        if (sent < 0 && sent != AVERROR_INVALIDDATA) FailAv(path_, "cannot decode", sent);
    }
}

bool Source::ReceiveFrame(Decoded& decoded) {
    AVFrame* f = decodedFrame_.get();
    const int error = avcodec_receive_frame(decoder_.get(), f);
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return false;
    if (error == AVERROR_INVALIDDATA) return false;
    Checked(error, path_, "cannot decode");
    const AVRational rate = stream().avg_frame_rate;
    int64_t pts = f->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
        const int64_t step = rate.num > 0 ? av_rescale_q(1, av_inv_q(rate), stream().time_base) : 1;
        pts = lastPts_ == AV_NOPTS_VALUE ? 0 : lastPts_ + std::max<int64_t>(step, 1);
    }
    lastPts_ = pts;
    decoded.pts = pts;
    if (resync_) {
        const auto [start, step] = FrameGrid(stream());
        next_ = std::max<int64_t>(0, (pts - start + step / 2) / step);
        resync_ = false;
    }
    if (f->width != stream().codecpar->width || f->height != stream().codecpar->height) {
        Fail(path_, "the frames change size, which is not supported");
    }
    Upright(decoded);
    av_frame_unref(f);
    return true;
}

void Source::Upright(Decoded& decoded) {
    const AVFrame& f = *decodedFrame_;
    Frame& out = decoded.frame;
    out.channels = info_.alpha ? 4 : 3;
    out.width = info_.width;
    out.height = info_.height;
    out.index = next_++;
    AVFrame& rgb = *rgb_;
    Allocate(rgb, out.channels == 4 ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24, f.width, f.height);
    ColourTags tags = tags_;
    const AVColorRange range = Tag(f.color_range, AVCOL_RANGE_NB, AVCOL_RANGE_UNSPECIFIED);
    if (range != AVCOL_RANGE_UNSPECIFIED) tags.range = range;
    converter_.Convert(f, rgb, tags);
    const size_t row = static_cast<size_t>(f.width) * out.channels;
    out.bytes.resize(row * f.height);
    if (info_.rotation == 0) {
        av_image_copy_plane(out.bytes.data(), static_cast<int>(row), rgb.data[0], rgb.linesize[0],
                            static_cast<int>(row), f.height);
    } else {
        Turn(rgb.data[0], static_cast<size_t>(rgb.linesize[0]), f.width, f.height, out.channels,
             info_.rotation, out.bytes.data());
    }
}

}  // namespace zv::video

// SPDX-License-Identifier: MIT
#include "video/sink.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zv::video {

namespace {

constexpr int kIoBuffer = 1 << 16;

int WriteBytes(void* opaque, uint8_t* bytes, int size) {
    std::FILE* file = static_cast<std::FILE*>(opaque);
    errno = 0;
    if (std::fwrite(bytes, 1, static_cast<size_t>(size), file) != static_cast<size_t>(size)) {
        return AVERROR(errno ? errno : EIO);
    }
    return size;
}

int64_t SeekBytes(void* opaque, int64_t offset, int whence) {
    std::FILE* file = static_cast<std::FILE*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat st;
        if (std::fflush(file) != 0 || fstat(fileno(file), &st) != 0) return AVERROR(errno);
        return st.st_size;
    }
    if (fseeko(file, offset, whence & ~AVSEEK_FORCE) != 0) return AVERROR(errno);
    return ftello(file);
}

void Warn(const std::string& path, const std::string& what) {
    std::fprintf(stderr, "zorvan: warning: %s: %s\n", path.c_str(), what.c_str());
}

}  // namespace

Sink::Sink(const std::string& path, const WriteSettings& settings)
    : path_(path), settings_(settings), container_((QuietLibraries(), ContainerFor(path))) {
    choice_ = ChooseEncoder(path, *container_, settings);
    file_ = std::make_unique<photo::detail::OutputFile>(path, settings.force,
                                                        settings.handleSignals);
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBuffer));
    if (buffer)
        io_ = avio_alloc_context(buffer, kIoBuffer, 1, file_->stream(), nullptr, WriteBytes,
                                 SeekBytes);
    if (!io_) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    Checked(avformat_alloc_output_context2(&muxer_, container_, nullptr, path.c_str()), path,
            "cannot write");
    muxer_->pb = io_;
    muxer_->flags |= AVFMT_FLAG_CUSTOM_IO;
    // Copied streams such as FLAC in MP4, which this FFmpeg still calls
    // experimental and later ones write as a matter of course.
    muxer_->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
}

Sink::~Sink() {
    if (muxer_) avformat_free_context(muxer_);
    if (io_) av_freep(&io_->buffer);
    avio_context_free(&io_);
}

void Sink::Open(const Frame& first, const Timing& timing, const AVFormatContext* from, int video) {
    timing_ = timing;
    width_ = first.width;
    height_ = first.height;
    channels_ = first.channels;
    AVPixelFormat format = channels_ == 4 ? choice_.alpha : choice_.opaque;
    if (format == AV_PIX_FMT_NONE) {
        Warn(path_, std::string(choice_.codec->name) + " keeps no alpha: it is left out");
        format = choice_.opaque;
    }
    // An encoder that takes even sizes alone gets the frames a column or
    // row larger, the last one repeated, rather than refusing them.
    codedWidth_ = choice_.evenSizes ? (width_ + 1) & ~1 : width_;
    codedHeight_ = choice_.evenSizes ? (height_ + 1) & ~1 : height_;
    if (codedWidth_ != width_ || codedHeight_ != height_) {
        Warn(path_, std::string(choice_.codec->name) + " takes even sizes only: the " +
                        std::to_string(width_) + "x" + std::to_string(height_) +
                        " frames are written as " + std::to_string(codedWidth_) + "x" +
                        std::to_string(codedHeight_) + ", their last column or row repeated");
    }
    encoder_.reset(avcodec_alloc_context3(choice_.codec));
    if (!encoder_) throw std::bad_alloc();
    AVCodecContext& e = *encoder_;
    e.width = codedWidth_;
    e.height = codedHeight_;
    e.pix_fmt = format;
    e.time_base = timing.timeBase;
    e.framerate = timing.frameRate;
    e.sample_aspect_ratio = timing.aspect;
    e.thread_count = static_cast<int>(settings_.threads);
    // RGB is stored full range; RGB made YUV gets BT.601's matrix, the
    // converter's, in limited range, and says so.
    ColourTags& tags = timing_.tags;
    if (av_pix_fmt_desc_get(format)->flags & AV_PIX_FMT_FLAG_RGB) {
        tags.space = AVCOL_SPC_RGB;
        tags.range = AVCOL_RANGE_JPEG;
    } else if (tags.space == AVCOL_SPC_RGB) {
        tags.space = AVCOL_SPC_SMPTE170M;
        tags.range = AVCOL_RANGE_MPEG;
    }
    e.color_range = tags.range;
    e.color_primaries = tags.primaries;
    e.color_trc = tags.transfer;
    e.colorspace = tags.space;
    e.chroma_sample_location = tags.chroma;
    if (container_->flags & AVFMT_GLOBALHEADER) e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    for (const auto& [key, value] : choice_.options)
        av_dict_set(&options, key.c_str(), value.c_str(), 0);
    const int opened = avcodec_open2(&e, choice_.codec, &options);
    av_dict_free(&options);
    Checked(opened, path_, std::string("cannot open the encoder ") + choice_.codec->name);

    videoOut_ = avformat_new_stream(muxer_, nullptr);
    if (!videoOut_) throw std::bad_alloc();
    Checked(avcodec_parameters_from_context(videoOut_->codecpar, &e), path_, "cannot write");
    videoOut_->time_base = e.time_base;
    videoOut_->avg_frame_rate = timing.frameRate;
    videoOut_->sample_aspect_ratio = timing.aspect;

    for (unsigned k = 0; from && k < from->nb_streams; ++k) {
        const AVStream& in = *from->streams[k];
        if (static_cast<int>(k) == video) continue;
        const char* kind = av_get_media_type_string(in.codecpar->codec_type);
        const std::string what = std::string(kind ? kind : "data") + " stream " +
                                 std::to_string(k) + " (" +
                                 avcodec_get_name(in.codecpar->codec_id) + ")";
        if (avformat_query_codec(container_, in.codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
            Warn(path_, "the input's " + what + " cannot go into " + container_->name +
                            " and is left out");
            continue;
        }
        AVStream* out = avformat_new_stream(muxer_, nullptr);
        if (!out) throw std::bad_alloc();
        Checked(avcodec_parameters_copy(out->codecpar, in.codecpar), path_, "cannot write");
        out->codecpar->codec_tag = 0;
        out->time_base = in.time_base;
        out->disposition = in.disposition;
        av_dict_copy(&out->metadata, in.metadata, 0);
        copies_[static_cast<int>(k)] = {out, in.time_base};
    }
    if (from) av_dict_copy(&muxer_->metadata, from->metadata, 0);
    Checked(avformat_write_header(muxer_, nullptr), path_, "cannot write");

    coded_->format = format;
    coded_->width = codedWidth_;
    coded_->height = codedHeight_;
    Checked(av_frame_get_buffer(coded_.get(), 0), path_, "cannot write");
}

void Sink::WriteFrame(const Frame& frame, int64_t pts) {
    if (frame.width != width_ || frame.height != height_ || frame.channels != channels_ ||
        frame.bytes.size() != static_cast<size_t>(width_) * height_ * channels_) {
        Fail(path_, "a frame of " + std::to_string(frame.width) + "x" +
                        std::to_string(frame.height) + " does not match the first one's size");
    }
    AVFrame& rgb = *rgb_;
    Allocate(rgb, channels_ == 4 ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24, codedWidth_, codedHeight_);
    const int row = width_ * channels_;
    av_image_copy_plane(rgb.data[0], rgb.linesize[0], frame.bytes.data(), row, row, height_);
    for (int y = 0; codedWidth_ > width_ && y < height_; ++y) {
        uint8_t* last = rgb.data[0] + static_cast<ptrdiff_t>(y) * rgb.linesize[0] + row;
        std::memcpy(last, last - channels_, static_cast<size_t>(channels_));
    }
    if (codedHeight_ > height_) {
        uint8_t* last = rgb.data[0] + static_cast<ptrdiff_t>(height_) * rgb.linesize[0];
        std::memcpy(last, last - rgb.linesize[0], static_cast<size_t>(codedWidth_) * channels_);
    }
    Checked(av_frame_make_writable(coded_.get()), path_, "cannot write");
    converter_.Convert(rgb, *coded_, timing_.tags);
    coded_->pts = pts;
    Checked(avcodec_send_frame(encoder_.get(), coded_.get()), path_, "cannot encode");
    Drain(false);
}

void Sink::Drain(bool flush) {
    if (flush) Checked(avcodec_send_frame(encoder_.get(), nullptr), path_, "cannot encode");
    for (;;) {
        const int error = avcodec_receive_packet(encoder_.get(), packet_.get());
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return;
        Checked(error, path_, "cannot encode");
        packet_->stream_index = videoOut_->index;
        av_packet_rescale_ts(packet_.get(), encoder_->time_base, videoOut_->time_base);
        Write(*packet_);
    }
}

void Sink::WritePacket(AVPacket& packet) {
    const auto copy = copies_.find(packet.stream_index);
    if (copy == copies_.end()) return;
    const auto [out, timeBase] = copy->second;
    packet.stream_index = out->index;
    packet.pos = -1;
    av_packet_rescale_ts(&packet, timeBase, out->time_base);
    Write(packet);
}

void Sink::Write(AVPacket& packet) {
    const int error = av_interleaved_write_frame(muxer_, &packet);
    if (error < 0) {
        // The stream's own errno, such as ENOSPC, says more than FFmpeg's.
        const int cause = std::ferror(file_->stream()) && errno ? AVERROR(errno) : error;
        FailAv(path_, "cannot write", cause);
    }
}

void Sink::Finish() {
    if (!opened()) Fail(path_, "no frames to write");
    Drain(true);
    Checked(av_write_trailer(muxer_), path_, "cannot write");
    avio_flush(io_);
    if (io_->error < 0) FailAv(path_, "cannot write", io_->error);
    file_->Commit();
}

}  // namespace zv::video

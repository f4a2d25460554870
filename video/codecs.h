/* SPDX-License-Identifier: MIT */
// Which encoder a video file gets, with what pixel format and options: the
// extension's default, or --codec's, and the quality settings mapped onto
// the encoder's own scale.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <string>
#include <vector>

#include "zorvan/video.hpp"

namespace zv::video {

struct EncoderChoice {
    const AVCodec* codec = nullptr;
    AVPixelFormat opaque = AV_PIX_FMT_NONE;  // for frames without alpha
    AVPixelFormat alpha = AV_PIX_FMT_NONE;   // with alpha; NONE: the codec drops it
    bool evenSizes = false;                  // the encoder refuses odd widths and heights
    std::vector<std::pair<std::string, std::string>> options;
};

// The container path's extension names; fails naming the extensions.
const AVOutputFormat* ContainerFor(const std::string& path);

// The encoder for path with settings; fails for an unknown --codec, one the
// container cannot hold, a quality out of the codec's range or one it
// takes none of.
EncoderChoice ChooseEncoder(const std::string& path, const AVOutputFormat& container,
                            const WriteSettings& settings);

}  // namespace zv::video

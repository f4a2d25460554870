// SPDX-License-Identifier: MIT
// Animated WebP through libwebpmux's animation encoder.
#include <webp/encode.h>
#include <webp/mux.h>

#include <cerrno>

#include "photo/animation.h"
#include "photo/failure.h"

namespace zv::photo::detail {

namespace {

constexpr int kFrameMilliseconds = 40;

WebPConfig Config(const WriteSettings& settings, const std::string& path) {
    WebPConfig config;
    if (!WebPConfigInit(&config)) FailFile(path, "cannot write WebP: library mismatch");
    if (settings.lossless && !WebPConfigLosslessPreset(&config, std::max(settings.level, 1))) {
        FailFile(path, "cannot write WebP: library mismatch");
    }
    if (!settings.lossless) config.quality = static_cast<float>(settings.quality);
    config.method = settings.lossless ? config.method : 2;
    return config;
}

}  // namespace

Animation::Animation(int32_t width, int32_t height, const WriteSettings& settings, std::string path)
    : encoder_(nullptr), settings_(settings), path_(std::move(path)) {
    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options))
        FailFile(path_, "cannot write WebP: library mismatch");
    encoder_ = WebPAnimEncoderNew(width, height, &options);
    if (!encoder_) FailFile(path_, "cannot write WebP: the image is too large for WebP");
}

Animation::~Animation() {
    WebPAnimEncoderDelete(encoder_);
}

void Animation::Add(const Image& frame) {
    const WebPConfig config = Config(settings_, path_);
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.use_argb = 1;
    picture.width = frame.width;
    picture.height = frame.height;
    const int stride = static_cast<int>(frame.RowBytes());
    const bool ok =
        (frame.channels == 4 ? WebPPictureImportRGBA(&picture, frame.pixels.data(), stride)
                             : WebPPictureImportRGB(&picture, frame.pixels.data(), stride)) &&
        WebPAnimEncoderAdd(encoder_, &picture, frames_ * kFrameMilliseconds, &config);
    WebPPictureFree(&picture);
    if (!ok)
        FailFile(path_, std::string("cannot write WebP: ") + WebPAnimEncoderGetError(encoder_));
    ++frames_;
}

void Animation::Finish(std::FILE* file) {
    WebPData data;
    WebPDataInit(&data);
    if (!WebPAnimEncoderAdd(encoder_, nullptr, frames_ * kFrameMilliseconds, nullptr) ||
        !WebPAnimEncoderAssemble(encoder_, &data)) {
        FailFile(path_, std::string("cannot write WebP: ") + WebPAnimEncoderGetError(encoder_));
    }
    errno = 0;
    const bool written = std::fwrite(data.bytes, 1, data.size, file) == data.size;
    WebPDataClear(&data);
    if (!written) FailIo(path_, "cannot write", errno ? errno : EIO);
}

}  // namespace zv::photo::detail

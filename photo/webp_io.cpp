// SPDX-License-Identifier: MIT
// WebP through libwebp: still pictures both ways, lossy at --quality or
// lossless.
#include <webp/decode.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cerrno>
#include <string>

#include "photo/failure.h"
#include "photo/image_io.h"

namespace zv::photo::detail {

namespace {

// libwebp's encoder errors, by WebPEncodingError.
const char* const kEncodeErrors[] = {
    "no error",
    "out of memory",
    "out of memory",
    "out of memory",
    "invalid settings",
    "the image is too large for WebP (at most 16383 pixels a side)",
    "the image is too large for WebP",
    "the image is too large for WebP",
    "write failed",
    "the file would be over 4 GiB",
    "stopped",
};

struct Picture {
    WebPPicture picture;
    WebPMemoryWriter writer;
    Picture() {
        WebPPictureInit(&picture);
        WebPMemoryWriterInit(&writer);
    }
    ~Picture() {
        WebPPictureFree(&picture);
        WebPMemoryWriterClear(&writer);
    }
};

struct Assembled {
    WebPData data{};
    ~Assembled() { WebPDataClear(&data); }
};

}  // namespace

Image ReadWebp(std::FILE* file, const std::string& path) {
    const std::string bytes = ReadAll(file, path);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, bytes.size(), &features) != VP8_STATUS_OK) {
        FailFile(path, "bad WebP: the file is damaged or truncated");
    }
    if (features.has_animation) FailFile(path, "an animated WebP cannot be read, only written");
    CheckImageSize(path, features.width, features.height);
    Image image(features.width, features.height, features.has_alpha ? 4 : 3);
    const auto decode = features.has_alpha ? WebPDecodeRGBAInto : WebPDecodeRGBInto;
    if (!decode(data, bytes.size(), image.pixels.data(), image.pixels.size(),
                static_cast<int>(image.RowBytes()))) {
        FailFile(path, "bad WebP: the file is damaged or truncated");
    }
    return image;
}

void WriteWebp(const Image& image, const WriteSettings& settings, std::FILE* file,
               const std::string& path) {
    WebPConfig config;
    if (!WebPConfigInit(&config)) FailFile(path, "cannot write WebP: library mismatch");
    // Lossless, the effort follows the deflate level (default: fast, 1 of 0..9).
    if (settings.lossless &&
        !WebPConfigLosslessPreset(&config, settings.level < 0 ? 1 : settings.level)) {
        FailFile(path, "cannot write WebP: library mismatch");
    }
    config.quality = settings.lossless ? config.quality : static_cast<float>(settings.quality);
    config.method = settings.lossless ? config.method : 2;  // of 0..6: speed first, as for PNG
    config.thread_level = 1;
    Picture p;
    p.picture.use_argb = config.lossless;
    p.picture.width = image.width;
    p.picture.height = image.height;
    p.picture.writer = WebPMemoryWrite;
    p.picture.custom_ptr = &p.writer;
    const int stride = static_cast<int>(image.RowBytes());
    const int imported = image.channels == 4
                             ? WebPPictureImportRGBA(&p.picture, image.pixels.data(), stride)
                             : WebPPictureImportRGB(&p.picture, image.pixels.data(), stride);
    if (!imported || !WebPEncode(&config, &p.picture)) {
        const size_t code = static_cast<size_t>(p.picture.error_code);
        FailFile(path, std::string("cannot write WebP: ") +
                           (code < std::size(kEncodeErrors) ? kEncodeErrors[code] : "failed"));
    }
    // exiv2 0.27 drops a WebP's colour profile when it writes, so the
    // metadata goes in through libwebpmux; its EXIF chunk is the TIFF
    // structure that Metadata holds.
    WebPData out{p.writer.mem, p.writer.size};
    Assembled withMetadata;
    if (settings.metadata && !settings.metadata->empty()) {
        const Metadata& m = *settings.metadata;
        WebPMux* mux = WebPMuxCreate(&out, 0);
        bool ok = mux != nullptr;
        for (const auto& [fourcc, bytes] :
             {std::pair{"ICCP", &m.icc}, std::pair{"EXIF", &m.exif}, std::pair{"XMP ", &m.xmp}}) {
            const WebPData chunk{reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()};
            if (ok && !bytes->empty()) ok = WebPMuxSetChunk(mux, fourcc, &chunk, 0) == WEBP_MUX_OK;
        }
        ok = ok && WebPMuxAssemble(mux, &withMetadata.data) == WEBP_MUX_OK;
        WebPMuxDelete(mux);
        if (!ok) FailFile(path, "cannot write WebP: the metadata does not fit");
        if (!m.comment.empty()) Warn(path, "WebP cannot keep the input's comment");
        out = withMetadata.data;
    }
    errno = 0;
    if (std::fwrite(out.bytes, 1, out.size, file) != out.size) {
        FailIo(path, "cannot write", errno ? errno : EIO);
    }
}

}  // namespace zv::photo::detail

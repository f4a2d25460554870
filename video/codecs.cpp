// SPDX-License-Identifier: MIT
#include "video/codecs.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "video/av.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace zv::video {

namespace {

struct Container {
    const char* extensions[3];
    const char* muxer;
    const char* encoder;  // the default
};

// mp4 and mov take H.264, which every player has; webm VP9, with alpha;
// mkv FFV1 over RGB, lossless, to keep or to edit on.
constexpr Container kContainers[] = {
    {{"mp4", "m4v", nullptr}, "mp4", "libx264"},
    {{"mov", nullptr, nullptr}, "mov", "libx264"},
    {{"webm", nullptr, nullptr}, "webm", "libvpx-vp9"},
    {{"mkv", nullptr, nullptr}, "matroska", "ffv1"},
};

struct Encoder {
    const char* name;
    const char* alias;  // for --codec
    AVPixelFormat opaque, alpha;
    const char* crfOption;  // null: lossless, no quality to set
    int crfMax;
    const char* options;  // key=value:...
    bool evenSizes;       // x264 takes 4:2:0 frames of even sizes only
};

// x264 at "fast" is about twice as quick as its default for a file a few
// per cent larger; VP9 at cpu-used 4 with row threads is the speed libvpx
// recommends for good-quality files.
constexpr Encoder kEncoders[] = {
    {"libx264", "h264", AV_PIX_FMT_YUV420P, AV_PIX_FMT_NONE, "crf", 51, "preset=fast", true},
    {"libx264rgb", "h264rgb", AV_PIX_FMT_RGB24, AV_PIX_FMT_NONE, "crf", 51, "preset=fast", false},
    {"libvpx-vp9", "vp9", AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVA420P, "crf", 63,
     "deadline=good:cpu-used=4:row-mt=1:b=0", false},
    {"ffv1", nullptr, AV_PIX_FMT_BGR0, AV_PIX_FMT_BGRA, nullptr, 0, "level=3:slicecrc=1", false},
};

std::string Extension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return ext;
}

const Container* ContainerNamed(const std::string& path) {
    const std::string ext = Extension(path);
    for (const Container& c : kContainers) {
        for (const char* e : c.extensions) {
            if (e && ext == e) return &c;
        }
    }
    return nullptr;
}

void AddOptions(const char* text, EncoderChoice& choice) {
    std::string rest = text;
    while (!rest.empty()) {
        const size_t colon = std::min(rest.find(':'), rest.size());
        const std::string item = rest.substr(0, colon);
        const size_t equals = item.find('=');
        choice.options.emplace_back(item.substr(0, equals), item.substr(equals + 1));
        rest.erase(0, colon + 1);
    }
}

}  // namespace

bool IsVideoPath(const std::string& path) {
    return ContainerNamed(path) != nullptr;
}

const AVOutputFormat* ContainerFor(const std::string& path) {
    const Container* c = ContainerNamed(path);
    if (!c) Fail(path, "unsupported video extension (use .mp4, .m4v, .mov, .mkv or .webm)");
    const AVOutputFormat* format = av_guess_format(c->muxer, nullptr, nullptr);
    if (!format) Fail(path, std::string("this FFmpeg cannot write ") + c->muxer);
    return format;
}

EncoderChoice ChooseEncoder(const std::string& path, const AVOutputFormat& container,
                            const WriteSettings& settings) {
    std::string name = settings.codec.empty() ? ContainerNamed(path)->encoder : settings.codec;
    const Encoder* known = nullptr;
    for (const Encoder& e : kEncoders) {
        if (name == e.name || (e.alias && name == e.alias)) known = &e, name = e.name;
    }
    EncoderChoice choice;
    choice.codec = avcodec_find_encoder_by_name(name.c_str());
    if (!choice.codec) {
        const AVCodecDescriptor* d = avcodec_descriptor_get_by_name(name.c_str());
        if (d) choice.codec = avcodec_find_encoder(d->id);
    }
    if (!choice.codec || choice.codec->type != AVMEDIA_TYPE_VIDEO) {
        throw std::invalid_argument("--codec " + name + ": no such video encoder");
    }
    if (avformat_query_codec(&container, choice.codec->id, FF_COMPLIANCE_NORMAL) != 1) {
        throw std::invalid_argument("--codec " + name + ": " + container.name + " (" + path +
                                    ") cannot hold " + avcodec_get_name(choice.codec->id));
    }
    if (known) {
        choice.opaque = known->opaque;
        choice.alpha = known->alpha;
        choice.evenSizes = known->evenSizes;
        AddOptions(known->options, choice);
    } else {
        choice.opaque = choice.codec->pix_fmts
                            ? avcodec_find_best_pix_fmt_of_list(choice.codec->pix_fmts,
                                                                AV_PIX_FMT_RGB24, 0, nullptr)
                            : AV_PIX_FMT_YUV420P;
        const AVPixelFormat withAlpha =
            choice.codec->pix_fmts ? avcodec_find_best_pix_fmt_of_list(choice.codec->pix_fmts,
                                                                       AV_PIX_FMT_RGBA, 1, nullptr)
                                   : AV_PIX_FMT_NONE;
        const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(withAlpha);
        if (d && (d->flags & AV_PIX_FMT_FLAG_ALPHA)) choice.alpha = withAlpha;
        // Other encoders that subsample chroma are taken to need even sizes.
        const AVPixFmtDescriptor* opaque = av_pix_fmt_desc_get(choice.opaque);
        choice.evenSizes = opaque && (opaque->log2_chroma_w || opaque->log2_chroma_h);
    }
    // --crf is the encoder's own scale, where it has one: the table's, or
    // another encoder's crf option; --quality maps onto the table's alone.
    const AVClass* options = choice.codec->priv_class;
    const char* crfOption =
        known
            ? known->crfOption
            : (av_opt_find(&options, "crf", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ) ? "crf" : nullptr);
    const int crfMax = known ? known->crfMax : 0;
    const std::string asked = settings.crf       ? "--crf " + std::to_string(*settings.crf)
                              : settings.quality ? "--quality " + std::to_string(*settings.quality)
                                                 : "";
    if (!asked.empty() && !crfOption) {
        throw std::invalid_argument(
            asked + ": " + name +
            (known ? " is lossless and takes no quality setting" : " takes no quality setting"));
    }
    std::optional<int> crf = settings.crf;
    if (!crf && settings.quality) {
        if (crfMax == 0) {
            throw std::invalid_argument(asked + ": " + name +
                                        "'s scale is its own; give --crf instead");
        }
        crf = (100 - *settings.quality) * crfMax / 99;
    }
    if (crf) {
        if (known && (*crf < 0 || *crf > crfMax)) {
            throw std::invalid_argument("--crf " + std::to_string(*crf) + ": " + name +
                                        " takes 0 to " + std::to_string(crfMax));
        }
        choice.options.emplace_back(crfOption, std::to_string(*crf));
    }
    return choice;
}

}  // namespace zv::video

// SPDX-License-Identifier: MIT
// zorvan apply on videos: a video filtered into a video or into numbered
// stills, and stills made into a video, each frame with t its index.
#include <algorithm>
#include <climits>
#include <memory>
#include <stdexcept>

#include "tools/zorvan/commands/apply_batch.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/photos.h"
#include "tools/zorvan/progress.h"
#include "tools/zorvan/rendered.h"
#include "zorvan/video.hpp"

namespace zv::cli {

namespace {

// The video library's errors as the tool's: a file's fault is exit 1, a
// setting the encoder refuses is the user's (exit 2).
template <class Work>
void Guarded(Work work) {
    try {
        work();
    } catch (const video::Error& error) {
        throw Failure(kExitIo, error.what());
    } catch (const std::invalid_argument& error) {
        throw Failure(kExitUsage, error.what());
    }
}

video::WriteSettings VideoSettings(const ApplyOptions& o) {
    video::WriteSettings settings;
    settings.codec = o.codec.value_or("");
    settings.crf = o.crf;
    if (o.qualityGiven) settings.quality = o.quality;
    settings.force = o.force;
    settings.fps = o.fps;
    settings.handleSignals = true;
    return settings;
}

// t and total for every frame of a file of frames frames.
RenderSettings FrameSettings(const ApplyBatch& run, int64_t frames, uint32_t* random) {
    RenderSettings settings = run.settings;
    settings.random = random;
    settings.total = static_cast<int32_t>(std::clamp<int64_t>(frames - 1, 0, INT32_MAX));
    return settings;
}

void RenderFrame(const Filter& filter, const uint8_t* pixels, int32_t width, int32_t height,
                 int32_t channels, uint8_t* out, const RenderSettings& settings) {
    const int32_t target = filter.TargetChannels(channels);
    Render(filter, {pixels, width, height, channels, static_cast<size_t>(width) * channels},
           {out, width, height, target, static_cast<size_t>(width) * target}, settings);
}

void VideoToVideo(const ApplyBatch& run, const std::string& input, const std::string& output,
                  bool showProgress) {
    const int64_t frames = CountVideoFrames(run, input);
    Progress progress(showProgress, "applying", frames, ProgressStyle::kFrames);
    const int64_t written = FilterVideo(
        run, input, output, frames, [&](int64_t) { progress.Add(1); }, nullptr);
    if (run.options.run.verbose) {
        std::fprintf(stderr, "zorvan: wrote %lld frames to %s\n", static_cast<long long>(written),
                     OneLine(output).c_str());
    }
}

// Every still is complete under its temporary name before the first one is
// put in place, as --frames writes them.
void VideoToStills(const ApplyBatch& run, const std::string& input, const std::string& output,
                   bool showProgress) {
    const OutputTarget target =
        ParseOutput(output, run.options.format ? FormatNamed(*run.options.format) : std::nullopt);
    if (target.toStdout())
        throw Failure(kExitUsage, "a video's frames go into numbered files, not standard output");
    uint32_t random = ZV_RANDOM_START;
    const int64_t frames = CountVideoFrames(run, input);
    RenderSettings settings = FrameSettings(run, frames, &random);
    video::Reader reader(input);
    const WriteSettings write{
        target.format, run.options.quality, run.options.compression, run.options.lossless,
        nullptr,       settings.threads};
    Progress progress(showProgress, "applying", frames, ProgressStyle::kFrames);
    std::vector<std::unique_ptr<OutputFile>> files;
    for (video::Frame frame; reader.Read(frame);) {
        settings.t = static_cast<int32_t>(frame.index);
        Image out(frame.width, frame.height, run.filter.TargetChannels(frame.channels));
        RenderFrame(run.filter, frame.bytes.data(), frame.width, frame.height, frame.channels,
                    out.pixels.data(), settings);
        const std::string path =
            FramePath(target.path, static_cast<int>(frame.index + 1),
                      static_cast<int>(std::max<int64_t>(frames, frame.index + 1)));
        files.push_back(std::make_unique<OutputFile>(path, OutputsMeet(run.options)));
        WriteImage(out, write, files.back()->stream(), path);
        files.back()->Finish();
        progress.Add(1);
    }
    for (const auto& file : files) file->Commit();
}

}  // namespace

bool IsVideo(const std::string& path) {
    return video::IsVideoPath(path);
}

int64_t CountVideoFrames(const ApplyBatch& run, const std::string& input) {
    int64_t frames = 0;
    Guarded([&] {
        frames = run.options.total ? int64_t{*run.options.total} + 1 : video::CountFrames(input);
    });
    return frames;
}

int64_t FilterVideo(const ApplyBatch& run, const std::string& input, const std::string& output,
                    int64_t frames, const std::function<void(int64_t)>& progress,
                    const std::atomic<bool>* cancel) {
    uint32_t random = ZV_RANDOM_START;  // rnd's draws run on from frame to frame
    RenderSettings settings = FrameSettings(run, frames, &random);
    settings.cancel = cancel;
    video::FilterSettings filtering;
    filtering.write = VideoSettings(run.options);
    filtering.progress = progress;
    const auto filter = [&](const video::Frame& in, video::Frame& out) {
        settings.t = static_cast<int32_t>(in.index);
        out.width = in.width;
        out.height = in.height;
        out.channels = run.filter.TargetChannels(in.channels);
        out.bytes.resize(static_cast<size_t>(out.width) * out.height * out.channels);
        RenderFrame(run.filter, in.bytes.data(), in.width, in.height, in.channels, out.bytes.data(),
                    settings);
        if (cancel && *cancel) throw Failure(kExitIo, OneLine(output) + ": cancelled");
    };
    int64_t written = 0;
    Guarded([&] { written = video::FilterFile(input, output, filter, filtering); });
    return written;
}

void ApplyVideo(const ApplyBatch& run, const std::string& input, const std::string& output,
                bool showProgress) {
    Guarded([&] {
        if (IsVideo(output)) {
            VideoToVideo(run, input, output, showProgress);
        } else {
            VideoToStills(run, input, output, showProgress);
        }
    });
}

void ApplyStills(const ApplyBatch& run, const std::vector<std::string>& inputs,
                 const std::string& output, bool showProgress) {
    const ApplyOptions& o = run.options;
    const bool animated = inputs.size() == 1 && o.frames > 0;
    const int64_t frames = animated ? o.frames : static_cast<int64_t>(inputs.size());
    Guarded([&] {
        video::Writer writer(output, VideoSettings(o));
        uint32_t random = ZV_RANDOM_START;
        RenderSettings settings = run.settings;
        settings.random = &random;
        settings.total = o.total ? *o.total : static_cast<int32_t>(frames - 1);
        Progress progress(showProgress, "applying", frames, ProgressStyle::kFrames);
        std::optional<Photo> still;
        video::Frame frame;
        for (int64_t f = 0; f < frames; ++f) {
            if (!animated || !still)
                still = ReadPhoto(inputs[animated ? 0 : f], !o.keepOrientation);
            const Image& source = still->image;
            settings.t = static_cast<int32_t>(f);
            frame.width = source.width;
            frame.height = source.height;
            frame.channels = run.filter.TargetChannels(source.channels);
            frame.index = f;
            frame.bytes.resize(static_cast<size_t>(frame.width) * frame.height * frame.channels);
            RenderFrame(run.filter, source.pixels.data(), source.width, source.height,
                        source.channels, frame.bytes.data(), settings);
            writer.Write(frame);
            progress.Add(1);
        }
        writer.Finish();
    });
}

}  // namespace zv::cli

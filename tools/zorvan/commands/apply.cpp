// SPDX-License-Identifier: MIT
// zorvan apply: one formula per channel over every pixel of an image file.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>

#include "tools/zorvan/commands/apply_batch.h"
#include "tools/zorvan/controls.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/filter_files.h"
#include "tools/zorvan/photos.h"
#include "tools/zorvan/progress.h"
#include "tools/zorvan/rendered.h"

namespace zv::cli {

namespace {

using Clock = std::chrono::steady_clock;

const char* const kChannelNames[4] = {"red", "green", "blue", "alpha"};
const char* const kChannelFlags[4] = {"-r", "-g", "-b", "-a"};

long long Milliseconds(Clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

FormulaText CommandLineFormula(const std::string& text, const std::string& what) {
    return {text, "formula for " + what, {}, {}};
}

std::vector<FormulaOffer> Offers(const ApplyOptions& o, const std::optional<FilterFile>& filter) {
    std::vector<FormulaOffer> offers;
    if (filter) offers = filter->formulas;
    if (o.every)
        offers.push_back({kAllChannels, CommandLineFormula(*o.every, "every channel (-e)"), 1});
    for (int k = 0; k < 4; ++k) {
        if (!o.channels[k]) continue;
        const std::string what = std::string(kChannelNames[k]) + " (" + kChannelFlags[k] + ")";
        offers.push_back({1u << k, CommandLineFormula(*o.channels[k], what), 1});
    }
    if (offers.empty()) {
        throw Failure(kExitUsage, "apply: no formula; give -e, -r, -g, -b, -a, -f or -x");
    }
    return offers;
}

void Describe(const Filter& filter, int32_t channels, unsigned threads) {
    for (int k = 0; k < 4; ++k) {
        const std::string path = filter.Path(k, channels, threads);
        if (filter.Computes(k) && k < channels) {
            std::fprintf(stderr, "zorvan: %s: %s: %s\n", kChannelNames[k], filter.Origin(k).c_str(),
                         path.c_str());
        } else {
            std::fprintf(stderr, "zorvan: %s: %s\n", kChannelNames[k], path.c_str());
        }
    }
}

}  // namespace

Existing OutputsMeet(const ApplyOptions& options) {
    if (options.keepExisting) return Existing::kKeep;
    return options.force ? Existing::kReplace : Existing::kReplaceWritable;
}

void ApplyFile(const ApplyBatch& run, const std::string& input, const std::string& output,
               bool showProgress) {
    if (IsVideo(input)) return ApplyVideo(run, input, output, showProgress);
    const Clock::time_point start = Clock::now();
    const ApplyOptions& o = run.options;
    RenderSettings settings = run.settings;
    const OutputTarget target =
        ParseOutput(output, o.format ? FormatNamed(*o.format) : std::nullopt);
    // Frames go into one file when its format holds an animation.
    const bool animated = WritesAnimation(o, target);
    if (target.toStdout() && o.frames > 0 && !animated) {
        throw Failure(kExitUsage,
                      "--frames writes numbered files; standard output takes one image or an "
                      "animated " +
                          FormatNames([](const photo::FormatInfo& f) { return f.animates; }));
    }

    const Clock::time_point readStart = Clock::now();
    const Photo photo = ReadPhoto(input, !o.keepOrientation);
    const Image& source = photo.image;
    const WriteSettings write{target.format, o.quality,       o.compression,
                              o.lossless,    &photo.metadata, settings.threads};
    const int32_t channels = run.filter.TargetChannels(source.channels);
    if (o.run.verbose) {
        std::fprintf(stderr, "zorvan: read %s: %dx%d %s in %lld ms\n", input.c_str(), source.width,
                     source.height, source.channels == 4 ? "RGBA" : "RGB", Milliseconds(readStart));
    }
    if (o.run.verbose) Describe(run.filter, channels, settings.threads);
    // rnd's draws run on from one frame to the next.
    uint32_t random = ZV_RANDOM_START;
    settings.random = &random;

    const int frames = o.frames > 0 ? o.frames : 1;
    // Every frame is complete under its temporary name before the first one
    // replaces anything, so a failed run leaves the files as they were.
    std::vector<std::unique_ptr<OutputFile>> files;
    std::optional<Animation> animation;
    if (animated) animation.emplace(source.width, source.height, write, target.path);
    Clock::duration computing{}, writing{};
    const auto newFile = [&](const std::string& path) -> std::FILE* {
        if (target.toStdout()) return nullptr;
        return files.emplace_back(std::make_unique<OutputFile>(path, OutputsMeet(o)))->stream();
    };
    {
        Progress progress(showProgress, "applying", int64_t{frames} * source.height);
        for (int f = 0; f < frames; ++f) {
            // Without --frames, the run's own t and total.
            if (o.frames > 0) {
                settings.t = f;
                settings.total = frames - 1;
            }
            const Clock::time_point renderStart = Clock::now();
            settings.progress = progress.After(int64_t{f} * source.height);
            const Image result = Rendered(run.filter, source, settings);
            const Clock::time_point writeStart = Clock::now();
            computing += writeStart - renderStart;
            if (animation) {
                animation->Add(result);
            } else {
                const std::string path =
                    o.frames > 0 ? FramePath(target.path, f + 1, frames) : target.path;
                if (std::FILE* file = newFile(path)) {
                    WriteImage(result, write, file, path);
                    files.back()->Finish();
                } else {
                    WriteStdout(result, write);
                }
            }
            writing += Clock::now() - writeStart;
        }
    }
    const Clock::time_point commitStart = Clock::now();
    if (animation) {
        if (std::FILE* file = newFile(target.path)) {
            animation->Finish(file);
            files.back()->Finish();
        } else {
            animation->Finish(stdout);
            errno = 0;
            if (std::fflush(stdout) != 0) FailIo("-", "cannot write", errno ? errno : EIO);
        }
    }
    for (const auto& file : files) file->Commit();
    writing += Clock::now() - commitStart;
    if (o.run.verbose) {
        using std::chrono::duration_cast;
        using std::chrono::milliseconds;
        const std::string what =
            files.size() <= 1 ? target.path : files.front()->path() + " to " + files.back()->path();
        std::fprintf(stderr, "zorvan: computed %d frame%s in %lld ms\n", frames,
                     frames == 1 ? "" : "s",
                     static_cast<long long>(duration_cast<milliseconds>(computing).count()));
        std::fprintf(stderr, "zorvan: wrote %s in %lld ms; %lld ms in all\n", what.c_str(),
                     static_cast<long long>(duration_cast<milliseconds>(writing).count()),
                     Milliseconds(start));
    }
}

int RunApplyCommand(const ApplyOptions& o) {
    const std::optional<FilterFile> filter = LoadFilter(o.filterFile, o.example);
    const Filter compiled(Offers(o, filter));
    Warn(compiled);
    ApplyBatch run{o, compiled, {}};
    run.settings.threads = o.run.threads;
    run.settings.controls = ControlsFor(o.controls, filter ? &*filter : nullptr);
    if (!o.outDir && IsVideo(o.output) && !IsVideo(o.inputs.front())) {
        for (const std::string& input : o.inputs) CheckJobs({{input, o.output}}, o);
        ApplyStills(run, o.inputs, o.output, !o.run.quiet);
        return kExitOk;
    }
    const std::vector<Job> jobs = o.outDir ? JobsInto(o.inputs, *o.outDir, o.format)
                                           : std::vector<Job>{{o.inputs.front(), o.output}};
    CheckJobs(jobs, o);
    if (o.outDir) return ApplyFiles(run, jobs, *o.outDir);
    ApplyFile(run, o.inputs.front(), o.output, !o.run.quiet);
    return kExitOk;
}

}  // namespace zv::cli

/* SPDX-License-Identifier: MIT */
// zorvan apply's work on one file, and on many.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "tools/zorvan/commands/commands.h"
#include "tools/zorvan/photos.h"
#include "zorvan/render.hpp"

namespace zv::cli {

// What every file of a run shares.
struct ApplyBatch {
    const ApplyOptions& options;
    const Filter& filter;
    RenderSettings settings;
};

// One input and the output it is written to.
struct Job {
    std::string input;
    std::string output;
};

// Fails before anything is written when two jobs write one file (exit 2)
// or an output is an input, also through a symlink or hard link (exit 1):
// allowed only for a job's own input, with --in-place. A video written as
// stills writes every OUTPUT-NNNN name, however many frames it has.
void CheckJobs(const std::vector<Job>& jobs, const ApplyOptions& options);

// What the outputs do to files in their way.
Existing OutputsMeet(const ApplyOptions& options);

// Whether the frames go into one animated file.
bool WritesAnimation(const ApplyOptions& options, const OutputTarget& target);
// The frame-th of frames numbered files for output (OUTPUT-0001.png).
std::string FramePath(const std::string& output, int frame, int frames);

// Reads input ("-": standard input), renders it (each of the frames asked
// for) and writes output ("-" or "png:-": standard output); throws a Failure.
void ApplyFile(const ApplyBatch& run, const std::string& input, const std::string& output,
               bool showProgress);

// Whether path names a video (by its extension): mp4, m4v, mov, mkv, webm.
bool IsVideo(const std::string& path);
// A video input filtered into output: a video, or numbered stills
// (OUTPUT-0001.png ...), each frame with t its index.
void ApplyVideo(const ApplyBatch& run, const std::string& input, const std::string& output,
                bool showProgress);
// The frames of a video input: --total's count and one, or else the
// container's count, or its packets counted.
int64_t CountVideoFrames(const ApplyBatch& run, const std::string& input);
// input filtered into the video output as zorvan apply writes it, t each
// frame's index and total frames less one; progress(written) after each
// frame, from another thread. Setting *cancel (when given) stops it with a
// Failure and leaves output as it was. Returns the frames written.
int64_t FilterVideo(const ApplyBatch& run, const std::string& input, const std::string& output,
                    int64_t frames, const std::function<void(int64_t)>& progress,
                    const std::atomic<bool>* cancel);
// Stills in order (or one still, --frames times) rendered with t their
// index into the video output.
void ApplyStills(const ApplyBatch& run, const std::vector<std::string>& inputs,
                 const std::string& output, bool showProgress);

// The jobs of inputs written into folder under their own names (with the
// extension of --format, when given).
std::vector<Job> JobsInto(const std::vector<std::string>& inputs, const std::string& folder,
                          const std::optional<std::string>& format);

// The jobs, each into a file of folder (made, with its parents, when
// missing), spread over the run's threads. A failure is reported and the
// rest still written; returns the exit status.
int ApplyFiles(const ApplyBatch& run, const std::vector<Job>& jobs, const std::string& folder);

}  // namespace zv::cli

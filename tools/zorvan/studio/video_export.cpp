// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/video_export.h"

#include <unistd.h>

#include <filesystem>

#include "tools/zorvan/commands/apply_batch.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/studio/batch.h"

namespace zv::cli {

namespace fs = std::filesystem;

VideoExport::VideoExport(const std::string& video, int64_t frames, const FilterFile& file,
                         const std::array<int32_t, 8>& controls)
    : filter_(file),
      subfolder_(NewSubfolder(
          fs::path(video).has_parent_path() ? fs::path(video).parent_path().string() : ".")) {
    const fs::path subfolder(subfolder_);
    progress_.file = (subfolder.filename() / fs::path(video).filename()).string();
    progress_.total = frames;
    progress_.running = true;
    thread_ = std::jthread([this, video, controls] { Run(video, controls); });
}

VideoExport::~VideoExport() {
    Cancel();
}

VideoExport::Progress VideoExport::Now() const {
    const std::lock_guard lock(mutex_);
    return progress_;
}

void VideoExport::Run(const std::string& video, const std::array<int32_t, 8>& controls) {
    ApplyOptions options;
    options.run.quiet = true;
    ApplyBatch run{options, filter_, {}};
    run.settings.controls = controls;
    const std::string output = (fs::path(subfolder_) / fs::path(video).filename()).string();
    std::string error;
    try {
        FilterVideo(
            run, video, output, progress_.total,
            [this](int64_t written) {
                const std::lock_guard lock(mutex_);
                progress_.done = written;
            },
            &cancel_);
    } catch (const Failure& f) {
        error = f.what();
    } catch (const std::exception& e) {  // the render library's, or out of memory
        error = OneLine(video + ": " + e.what());
    }
    // Nothing is left of an export that did not finish, not even its folder.
    if (!error.empty()) rmdir(subfolder_.c_str());
    const std::lock_guard lock(mutex_);
    progress_.running = false;
    progress_.cancelled = cancel_ && !error.empty();
    if (!progress_.cancelled) progress_.error = error;
}

}  // namespace zv::cli

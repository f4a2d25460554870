// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/batch.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "tools/zorvan/commands/apply_batch.h"
#include "tools/zorvan/failure.h"

namespace zv::cli {

namespace fs = std::filesystem;

std::string NewSubfolder(const std::string& folder) {
    constexpr int kMostTaken = 100000;
    for (int n = 1; n <= kMostTaken; ++n) {
        // Absolute, so no part of it reads as a "png:" prefix of an output.
        const std::string path =
            (fs::absolute(folder) / ("zorvan-" + std::to_string(n))).lexically_normal().string();
        // mkdir, not a check then a mkdir: it fails rather than share a folder made meanwhile.
        if (mkdir(path.c_str(), 0777) == 0) return path;
        if (errno != EEXIST) FailIo(path, "cannot make the folder", errno);
    }
    FailFile(folder, "zorvan-1 to zorvan-" + std::to_string(kMostTaken) + " are all taken");
}

Batch::Batch(const std::string& folder, std::vector<std::string> photos, const FilterFile& file,
             const RenderSettings& settings)
    : filter_(file), subfolder_(NewSubfolder(folder)) {
    progress_ = {fs::path(subfolder_).filename().string(), 0, photos.size(), {}, true, false};
    RenderSettings own;
    own.controls = settings.controls;
    own.t = settings.t;
    own.total = settings.total;
    thread_ = std::jthread([this, photos = std::move(photos), own] { Run(photos, own); });
}

Batch::~Batch() {
    Cancel();
}

Batch::Progress Batch::Now() const {
    const std::lock_guard lock(mutex_);
    return progress_;
}

void Batch::Run(const std::vector<std::string>& photos, const RenderSettings& settings) {
    ApplyOptions options;
    options.run.quiet = true;
    options.keepExisting = true;
    const ApplyBatch run{options, filter_, settings};
    for (const std::string& photo : photos) {
        if (cancel_) break;
        fs::path output = fs::path(subfolder_) / fs::path(photo).filename();
        // Formats that are read only are written as PNG, as Export does.
        if (!FormatForPath(output.string())) output.replace_extension(".png");
        std::string error;
        try {
            ApplyFile(run, photo, output.string(), false);
        } catch (const Failure& f) {
            error = f.what();
        } catch (const std::exception& e) {  // the render library's, or out of memory
            error = OneLine(photo + ": " + e.what());
        }
        const std::lock_guard lock(mutex_);
        ++progress_.done;
        if (!error.empty())
            progress_.failed.push_back({fs::path(photo).filename().string(), error});
    }
    const std::lock_guard lock(mutex_);
    progress_.running = false;
    progress_.cancelled = cancel_ && progress_.done < progress_.total;
}

}  // namespace zv::cli

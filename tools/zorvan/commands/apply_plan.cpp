// SPDX-License-Identifier: MIT
// What a run of apply will write, checked before anything is read or written.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <utility>

#include "tools/zorvan/commands/apply_batch.h"
#include "tools/zorvan/failure.h"

namespace zv::cli {

namespace {

namespace fs = std::filesystem;
using Identity = std::pair<dev_t, ino_t>;

// Device and inode, so symlinks and hard links to one file compare equal.
std::optional<Identity> IdentityOf(const std::string& path) {
    struct stat st;
    if (path == "-" || stat(path.c_str(), &st) != 0) return std::nullopt;
    return Identity{st.st_dev, st.st_ino};
}

std::string Over(const std::string& output, const std::string& input) {
    return output == input ? "would write over this input" : "would write over the input " + input;
}

// The extension of path's file name (".png"), or "".
std::string ExtensionOf(const std::string& path) {
    return fs::path(path).extension().string();
}

// Whether name is one of the numbered files FramePath makes of output:
// their count, and so their digits, is known only once a video is read.
bool IsFrameOf(const std::string& name, const std::string& output) {
    const std::string extension = ExtensionOf(output);
    const std::string stem = output.substr(0, output.size() - extension.size()) + "-";
    if (name.size() < stem.size() + 4 + extension.size() || !name.starts_with(stem) ||
        !name.ends_with(extension)) {
        return false;
    }
    const auto digits =
        std::string_view(name).substr(stem.size(), name.size() - stem.size() - extension.size());
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// What a job writes, by names as lexically normal paths: files, or a
// video's frames numbered after output.
struct Written {
    std::vector<std::string> files;
    std::optional<std::string> framesOf;
    size_t job;
};

std::string Normal(const std::string& path) {
    return fs::path(path).lexically_normal().string();
}

Written WrittenBy(const Job& job, size_t index, const ApplyOptions& o,
                  const std::optional<FileFormat>& format) {
    if (IsVideo(job.output)) return {{Normal(job.output)}, std::nullopt, index};
    const OutputTarget target = ParseOutput(job.output, format);
    if (target.toStdout()) return {{}, std::nullopt, index};
    if (IsVideo(job.input)) return {{}, Normal(target.path), index};
    if (o.frames == 0 || WritesAnimation(o, target)) return {{Normal(target.path)}, {}, index};
    Written written{{}, std::nullopt, index};
    for (int f = 1; f <= o.frames; ++f) {
        written.files.push_back(Normal(FramePath(target.path, f, o.frames)));
    }
    return written;
}

[[noreturn]] void FailBoth(const std::vector<Job>& jobs, size_t first, size_t second,
                           const std::string& path) {
    throw Failure(kExitUsage, jobs[first].input + " and " + jobs[second].input +
                                  " would both be written to " + path +
                                  "; give them different names or folders");
}

// Fails when two jobs write one file; by name, since none exists yet.
void CheckApart(const std::vector<Job>& jobs, const std::vector<Written>& all) {
    std::map<std::string, size_t> files, frames;
    for (const Written& w : all) {
        for (const std::string& file : w.files) {
            const auto [first, fresh] = files.emplace(file, w.job);
            if (!fresh) FailBoth(jobs, first->second, w.job, file);
        }
        if (!w.framesOf) continue;
        const auto [first, fresh] = frames.emplace(*w.framesOf, w.job);
        if (!fresh) FailBoth(jobs, first->second, w.job, FramePath(*w.framesOf, 1, 1));
    }
    for (const auto& [file, job] : files) {
        for (const auto& [output, video] : frames) {
            if (IsFrameOf(file, output))
                FailBoth(jobs, std::min(job, video), std::max(job, video), file);
        }
    }
}

// The files of w that exist now: a video's numbered frames are looked for
// in their folder.
std::vector<std::string> ExistingFiles(const Written& w) {
    std::vector<std::string> found = w.files;
    if (!w.framesOf) return found;
    const fs::path folder = fs::path(*w.framesOf).parent_path();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : folder, error)) {
        const std::string name = (folder / entry.path().filename()).string();
        if (IsFrameOf(name, *w.framesOf)) found.push_back(name);
    }
    std::sort(found.begin() + static_cast<ptrdiff_t>(w.files.size()), found.end());
    return found;
}

// Fails when an output is an input, but a job's own with --in-place.
void CheckInputsKept(const std::vector<Job>& jobs, const std::vector<Written>& all,
                     const ApplyOptions& o) {
    std::map<Identity, size_t> inputs;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (const auto id = IdentityOf(jobs[i].input)) inputs.emplace(*id, i);
    }
    for (const Written& w : all) {
        for (const std::string& path : ExistingFiles(w)) {
            const auto id = IdentityOf(path);
            const auto input = id ? inputs.find(*id) : inputs.end();
            if (input == inputs.end() || (input->second == w.job && o.inPlace)) continue;
            const std::string& over = jobs[input->second].input;
            if (input->second != w.job) {
                FailFile(path, "the output of " + jobs[w.job].input + " " + Over(path, over) +
                                   "; write elsewhere");
            }
            FailFile(path,
                     Over(path, over) + "; write elsewhere, or give --in-place to replace it");
        }
    }
}

}  // namespace

// OUTPUT-0001.png for frame 1 of OUTPUT.png, with at least four digits.
std::string FramePath(const std::string& output, int frame, int frames) {
    const std::string extension = ExtensionOf(output);
    const int digits = std::max<int>(4, static_cast<int>(std::to_string(frames).size()));
    std::string number = std::to_string(frame);
    number.insert(0, static_cast<size_t>(digits) - number.size(), '0');
    return output.substr(0, output.size() - extension.size()) + "-" + number + extension;
}

bool WritesAnimation(const ApplyOptions& o, const OutputTarget& target) {
    return o.frames > 0 && photo::Info(target.format).animates;
}

void CheckJobs(const std::vector<Job>& jobs, const ApplyOptions& o) {
    const auto format = o.format ? FormatNamed(*o.format) : std::nullopt;
    std::vector<Written> all;
    for (size_t i = 0; i < jobs.size(); ++i) {
        try {
            all.push_back(WrittenBy(jobs[i], i, o, format));
        } catch (const Failure&) {
            // reported when this file's turn comes
        }
    }
    CheckApart(jobs, all);
    CheckInputsKept(jobs, all, o);
}

}  // namespace zv::cli

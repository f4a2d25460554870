// SPDX-License-Identifier: MIT
// What a run of apply will write, checked before anything is read or written.
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <utility>

#include "tools/zorvan/commands/apply_batch.h"
#include "tools/zorvan/failure.h"

namespace zv::cli {

namespace {

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

}  // namespace

// OUTPUT-0001.png for frame 1 of OUTPUT.png, with at least four digits.
std::string FramePath(const std::string& output, int frame, int frames) {
    const size_t dot = output.find_last_of('.');
    const int digits = std::max<int>(4, static_cast<int>(std::to_string(frames).size()));
    std::string number = std::to_string(frame);
    number.insert(0, static_cast<size_t>(digits) - number.size(), '0');
    return output.substr(0, dot) + "-" + number + output.substr(dot);
}

bool WritesAnimation(const ApplyOptions& o, const OutputTarget& target) {
    return o.frames > 0 && photo::Info(target.format).animates;
}

std::vector<std::string> FilesWritten(const ApplyOptions& o, const OutputTarget& target) {
    if (IsVideo(target.path)) return {target.path};
    if (target.toStdout()) return {};
    if (o.frames == 0 || WritesAnimation(o, target)) return {target.path};
    std::vector<std::string> paths;
    for (int f = 1; f <= o.frames; ++f) paths.push_back(FramePath(target.path, f, o.frames));
    return paths;
}

void CheckJobs(const std::vector<Job>& jobs, const ApplyOptions& o) {
    std::map<Identity, size_t> inputs;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (const auto id = IdentityOf(jobs[i].input)) inputs.emplace(*id, i);
    }
    std::map<std::string, size_t> written;
    const auto format = o.format ? FormatNamed(*o.format) : std::nullopt;
    for (size_t i = 0; i < jobs.size(); ++i) {
        std::optional<OutputTarget> target;
        try {
            target = IsVideo(jobs[i].output) ? OutputTarget{jobs[i].output, FileFormat::kPng}
                                             : ParseOutput(jobs[i].output, format);
        } catch (const Failure&) {
            continue;  // reported when this file's turn comes
        }
        for (const std::string& path : FilesWritten(o, *target)) {
            const std::string name = std::filesystem::path(path).lexically_normal().string();
            const auto [first, fresh] = written.emplace(name, i);
            if (!fresh) {
                throw Failure(kExitUsage, jobs[first->second].input + " and " + jobs[i].input +
                                              " would both be written to " + path +
                                              "; give them different names or folders");
            }
            const auto id = IdentityOf(path);
            const auto input = id ? inputs.find(*id) : inputs.end();
            if (input == inputs.end() || (input->second == i && o.inPlace)) continue;
            const std::string& over = jobs[input->second].input;
            if (input->second != i) {
                FailFile(path, "the output of " + jobs[i].input + " " + Over(path, over) +
                                   "; write elsewhere");
            }
            FailFile(path,
                     Over(path, over) + "; write elsewhere, or give --in-place to replace it");
        }
    }
}

}  // namespace zv::cli

// SPDX-License-Identifier: MIT
#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "tools/zorvan/commands/apply_batch.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/progress.h"

namespace zv::cli {

std::vector<Job> JobsInto(const std::vector<std::string>& inputs, const std::string& folder,
                          const std::optional<std::string>& format) {
    std::vector<Job> jobs;
    for (const std::string& input : inputs) {
        std::filesystem::path name = std::filesystem::path(input).filename();
        if (input == "-" || name.empty()) throw Failure(kExitUsage, "-o: give files, not " + input);
        if (format) name.replace_extension(*format);
        jobs.push_back({input, (std::filesystem::path(folder) / name).string()});
    }
    return jobs;
}

int ApplyFiles(const ApplyBatch& run, const std::vector<Job>& jobs, const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::exists(folder, error) && !fs::create_directories(folder, error) && error) {
        FailIo(folder, "cannot make the folder", error.value());
    }
    if (!fs::is_directory(folder, error)) {
        FailFile(folder, "not a folder (-o takes the folder to write into)");
    }
    // Files share the threads, each rendered on one: small images gain
    // most, and a large one still keeps every core busy with another.
    const unsigned workers =
        std::min<unsigned>(run.settings.threads, static_cast<unsigned>(jobs.size()));
    ApplyBatch each = run;
    each.settings.threads = 1;
    std::atomic<size_t> next{0};
    std::atomic<int> failed{0};
    std::mutex reporting;
    Progress progress(!run.options.run.quiet, "applying", static_cast<int64_t>(jobs.size()),
                      ProgressStyle::kCounted);
    const auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < jobs.size();) {
            try {
                ApplyFile(each, jobs[i].input, jobs[i].output, false);
            } catch (const Failure& failure) {
                const std::lock_guard lock(reporting);
                Report(failure);
                ++failed;
            }
            progress.Add(1);
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (unsigned k = 1; k < workers; ++k) helpers.emplace_back(work);
        work();
    }
    const int total = static_cast<int>(jobs.size());
    if (!run.options.run.quiet || failed > 0) {
        const std::string failures = failed > 0 ? ", " + std::to_string(failed) + " failed" : "";
        std::fprintf(stderr, "zorvan: %d of %d written to %s%s\n", total - failed, total,
                     OneLine(folder).c_str(), failures.c_str());
    }
    return failed > 0 ? kExitIo : kExitOk;
}

}  // namespace zv::cli

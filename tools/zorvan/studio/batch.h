/* SPDX-License-Identifier: MIT */
// Apply to all: every photo of the studio's folder filtered, as zorvan apply
// writes it, into a subfolder made new for the run (FOLDER/zorvan-N, the
// first free N). No file there or anywhere else is replaced: an output
// whose name is taken (by another photo's, or by a file made meanwhile)
// fails. It runs on a thread of its own, one photo after another.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "zorvan/render.hpp"

namespace zv::cli {

class Batch {
   public:
    struct Failed {
        std::string name;
        std::string error;
    };
    struct Progress {
        std::string folder;  // the subfolder's name
        size_t done = 0;     // photos written or failed
        size_t total = 0;
        std::vector<Failed> failed;
        bool running = false;
        bool cancelled = false;
    };

    // Makes the subfolder of folder and starts writing photos (paths in
    // folder) into it, rendered with the controls, t and total of settings;
    // throws a Failure when the subfolder cannot be made.
    Batch(const std::string& folder, std::vector<std::string> photos, const FilterFile& file,
          const RenderSettings& settings);
    // Cancels and waits for the photo being written.
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // Stops after the photo being written; the written ones stay.
    void Cancel() { cancel_ = true; }
    Progress Now() const;

   private:
    void Run(const std::vector<std::string>& photos, const RenderSettings& settings);

    const Filter filter_;
    std::string subfolder_;
    std::atomic<bool> cancel_{false};
    mutable std::mutex mutex_;
    Progress progress_;
    std::jthread thread_;  // last, so that it stops before the rest goes
};

// Makes folder/zorvan-N for the first N not taken and returns its path;
// fails with exit 1.
std::string NewSubfolder(const std::string& folder);

}  // namespace zv::cli

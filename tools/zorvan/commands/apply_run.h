// zorvan apply's work on one file, and on many.
#pragma once

#include <string>
#include <vector>

#include "tools/zorvan/commands/commands.h"
#include "zorvan/render.hpp"

namespace zv::cli {

// What every file of a run shares.
struct ApplyRun {
    const ApplyOptions& options;
    const Filter& filter;
    RenderSettings settings;
};

// Reads input ("-": standard input), renders it (each of the frames asked
// for) and writes output ("-" or "png:-": standard output); throws a Failure.
void ApplyFile(const ApplyRun& run, const std::string& input, const std::string& output,
               bool showProgress);

// Each of inputs into folder under its own name (with the extension of
// --format, when given), files spread over the run's threads. A failure is
// reported and the rest still written; returns the exit status.
int ApplyFiles(const ApplyRun& run, const std::vector<std::string>& inputs,
               const std::string& folder);

}  // namespace zv::cli

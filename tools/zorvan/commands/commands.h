/* SPDX-License-Identifier: MIT */
// The tool's commands, each run with its parsed options. Each returns the
// exit status or throws a Failure.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zv::cli {

// --ctl N=V or NAME=V.
struct ControlSetting {
    int index;         // 0..7, or -1 for a control given by name
    std::string name;  // the name a filter file gives it
    int32_t value;
};

struct ThreadsAndProgress {
    unsigned threads = 1;
    bool quiet = false;    // no progress line
    bool verbose = false;  // say what was done and how long it took
};

struct ApplyOptions {
    std::vector<std::string> inputs;
    std::string output;                                  // without outDir
    std::optional<std::string> outDir;                   // -o: every input into this folder
    std::array<std::optional<std::string>, 4> channels;  // -r, -g, -b, -a
    std::optional<std::string> every;                    // -e
    std::optional<std::string> filterFile;               // -f
    std::optional<std::string> example;                  // -x
    std::vector<ControlSetting> controls;
    int quality = 90;
    bool qualityGiven = false;          // a video's quality then follows it
    int compression = -1;               // PNG and TIFF deflate level; -1: fast default
    bool lossless = false;              // WebP
    std::optional<std::string> format;  // of the output, over its extension
    bool keepOrientation = false;       // pixels in stored order, EXIF orientation kept
    int frames = 0;                     // 0: one image without numbering
    bool force = false;                 // replace read-only outputs too
    bool keepExisting = false;          // replace no file: one in the way fails the output
    bool inPlace = false;               // an output may be its own input
    std::optional<std::string> codec;   // a video's encoder, over its extension's
    std::optional<int> crf;             // a video encoder's constant quality
    std::optional<int32_t> total;       // total for a video, over its frame count less one
    double fps = 25;                    // of a video made of stills
    ThreadsAndProgress run;
};

struct CheckOptions {
    std::vector<std::string> formulas;
    std::vector<std::string> filterFiles;
};

struct EvalOptions {
    std::optional<std::string> formula;     // else the filter's formulas
    std::optional<std::string> filterFile;  // -f
    std::optional<std::string> example;     // -x
    int32_t x = 0;
    int32_t y = 0;
    int32_t channel = 0;
    std::vector<ControlSetting> controls;
    std::optional<std::string> image;  // instead of the built-in test image
};

struct ControlsOptions {
    std::optional<std::string> filterFile;  // -f
    std::optional<std::string> example;     // -x
};

struct DemoOptions {
    std::string directory = ".";
    ThreadsAndProgress run;
};

struct StudioOptions {
    std::optional<std::string> image;  // the built-in test picture without
    std::optional<std::string> filterFile;
    std::optional<std::string> example;
    std::string address = "127.0.0.1";
    int port = 0;  // 0: any free port
};

int RunApplyCommand(const ApplyOptions& options);
int RunCheckCommand(const CheckOptions& options);
int RunEvalCommand(const EvalOptions& options);
int RunDemoCommand(const DemoOptions& options);
// Lists a filter's controls as its file would set them.
int RunControlsCommand(const ControlsOptions& options);
// Lists the examples, or prints the text of the one named.
int RunExamplesCommand(const std::optional<std::string>& name);

// Serves the studio until the process is stopped.
int RunStudioCommand(const StudioOptions& options);

enum class Command { kPrinted, kApply, kCheck, kEval, kDemo, kExamples, kControls, kStudio };

// A parsed command line: the command and its options, or, for --help and
// --version, the text to print and the exit status.
struct CommandLine {
    Command command = Command::kPrinted;
    ApplyOptions apply;
    CheckOptions check;
    EvalOptions eval;
    DemoOptions demo;
    ControlsOptions controls;
    StudioOptions studio;
    std::optional<std::string> shownExample;  // examples NAME
    std::string printed;
    int status = 0;
};

// Parses argv without touching a file or printing; usage errors throw a
// Failure with exit 2.
CommandLine ParseCommandLine(int argc, const char* const* argv);

// Parses the command line and runs the command it names.
int RunCommandLine(int argc, char** argv);

}  // namespace zv::cli

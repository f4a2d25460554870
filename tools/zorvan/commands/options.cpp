// SPDX-License-Identifier: MIT
// The command line: subcommands and options (CLI11), turned into each
// command's options. Every usage error exits with status 2.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <thread>

#include "tools/zorvan/commands/apply_batch.h"
#include "tools/zorvan/commands/commands.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/photos.h"

namespace zv::cli {

namespace {

// The names --format takes, and its help: the usual name of each format
// the table writes.
std::vector<std::string> WrittenNames() {
    std::vector<std::string> names;
    for (const photo::FormatInfo& f : photo::Formats()) {
        for (const char* const* n = f.names; f.writes && *n; ++n) names.emplace_back(*n);
    }
    return names;
}
std::string FormatHelp() {
    std::string help = "Output format:";
    for (const photo::FormatInfo& f : photo::Formats()) {
        if (f.writes) help += std::string(help.back() == ':' ? " " : ", ") + f.names[0];
    }
    return help;
}
// "(PNG, JPEG or BMP)": every format read.
std::string FormatsRead() {
    return "(" + FormatNames([](const photo::FormatInfo&) { return true; }) + ")";
}

[[noreturn]] void FailUsage(const std::string& message) {
    throw Failure(kExitUsage, message);
}

bool ParseInt(std::string_view text, int32_t& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

// "N=V" with N of 0..7, or "NAME=V" with a control's name from the filter
// file; V any 32-bit integer.
ControlSetting ParseControl(const std::string& text) {
    const size_t equals = text.find('=');
    const std::string_view which = std::string_view(text).substr(0, std::min(equals, text.size()));
    int32_t index = -1, value = 0;
    if (equals == std::string::npos || which.empty() ||
        !ParseInt(std::string_view(text).substr(equals + 1), value)) {
        FailUsage("--ctl " + text + ": expected N=V or NAME=V, V an integer");
    }
    if (!std::isdigit(static_cast<unsigned char>(which[0]))) return {-1, std::string(which), value};
    if (!ParseInt(which, index) || index < 0 || index > 7) {
        FailUsage("--ctl " + text + ": the control number must be 0 to 7");
    }
    return {index, {}, value};
}

std::vector<ControlSetting> ParseControls(const std::vector<std::string>& texts) {
    std::vector<ControlSetting> controls;
    for (const std::string& t : texts) controls.push_back(ParseControl(t));
    return controls;
}

void ParsePosition(const std::string& text, EvalOptions& o) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos || !ParseInt(std::string_view(text).substr(0, comma), o.x) ||
        !ParseInt(std::string_view(text).substr(comma + 1), o.y)) {
        FailUsage("--at " + text + ": expected X,Y, two integers");
    }
}

void AddThreadsAndProgress(CLI::App& command, ThreadsAndProgress& run) {
    command.add_option("--threads", run.threads, "Threads to compute with (default: all cores)")
        ->check(CLI::Range(1u, 1024u));
    command.add_flag("-q,--quiet", run.quiet, "Show no progress");
    command.add_flag("-v,--verbose", run.verbose, "Say what was done and how long it took");
}

std::optional<std::string> Given(const CLI::Option* option, const std::string& value) {
    if (option->count() == 0) return std::nullopt;
    return value;
}

// Letters to insert, delete or change to turn a into b.
size_t Distance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0]++;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Fails for a first argument that names no command, with the nearest one
// when it is a slip of a letter or two away.
void CheckCommandName(const CLI::App& app, int argc, const char* const* argv) {
    if (argc < 2 || argv[1][0] == '-') return;
    const std::string typed = argv[1];
    std::string names, nearest;
    size_t best = 3;  // more is no slip
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        const std::string& name = command->get_name();
        if (name == typed) return;
        names += (names.empty() ? "" : ", ") + name;
        if (const size_t d = Distance(typed, name); d < best) best = d, nearest = name;
    }
    FailUsage("\"" + typed + "\" is not a command; " +
              (nearest.empty() ? "the commands are " + names : "did you mean " + nearest + "?"));
}

constexpr const char* kLanguageHint =
    "Formulas see r, g, b (the pixel), c (the channel's value), z (its number), x, y, X, Y "
    "and more; see zorvan-language(7).";
constexpr const char* kManual = "See zorvan(1).";

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CLI::App app{"zorvan: filters images with per-pixel formulas.", "zorvan"};
    app.require_subcommand(1, 1);
    app.set_version_flag("--version", "zorvan " ZORVAN_VERSION);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());

    CommandLine line;
    ApplyOptions& apply = line.apply;
    apply.run.threads = cores;
    std::array<std::string, 4> channelTexts;
    std::string everyText, filterPath, exampleName;
    std::vector<std::string> applyControls;
    std::string outFolder;
    CLI::App* applyCommand =
        app.add_subcommand("apply", "Run formulas over an image or video file");
    applyCommand->footer(kLanguageHint);
    applyCommand
        ->add_option("FILES", apply.inputs,
                     "INPUT OUTPUT, with -o the inputs, or stills then a video; - is standard "
                     "input or output")
        ->required();
    const CLI::Option* outDir = applyCommand->add_option(
        "-o,--out-dir", outFolder,
        "Write each input into this folder (made if missing), under its own name; two "
        "inputs of one name are refused");
    const CLI::Option* channelOptions[4] = {
        applyCommand->add_option("-r", channelTexts[0], "Formula for red"),
        applyCommand->add_option("-g", channelTexts[1], "Formula for green"),
        applyCommand->add_option("-b", channelTexts[2], "Formula for blue"),
        applyCommand->add_option("-a", channelTexts[3], "Formula for alpha (adds alpha if needed)"),
    };
    const CLI::Option* every =
        applyCommand->add_option("-e", everyText, "Formula for every channel");
    CLI::Option* file = applyCommand->add_option("-f,--filter", filterPath, "Filter file (.zvf)");
    const CLI::Option* example =
        applyCommand->add_option("-x,--example", exampleName, "Built-in example filter by name")
            ->excludes(file);
    applyCommand
        ->add_option(
            "--ctl", applyControls,
            "Control value N=V (N of 0..7) or NAME=V by the filter's name for it (repeatable)")
        ->allow_extra_args(false);
    const CLI::Option* quality =
        applyCommand
            ->add_option("--quality", apply.quality,
                         "JPEG and WebP quality (default 90); for a video, 1..100 onto its CRF")
            ->check(CLI::Range(1, 100));
    std::string codecName;
    int crf = 0, total = 0;
    const CLI::Option* codec = applyCommand->add_option(
        "--codec", codecName, "A video's encoder: h264, vp9, ffv1, h264rgb or another of FFmpeg's");
    const CLI::Option* crfOption =
        applyCommand
            ->add_option("--crf", crf,
                         "A video encoder's constant quality (H.264 0..51, VP9 0..63)")
            ->check(CLI::Range(0, 63));
    const CLI::Option* totalOption =
        applyCommand
            ->add_option("--total", total,
                         "total for a video whose frame count is unknown: the last frame's index")
            ->check(CLI::NonNegativeNumber);
    applyCommand
        ->add_option("--fps", apply.fps, "Frame rate of a video made of stills (default 25)")
        ->check(CLI::Range(0.001, 1000.0));
    applyCommand
        ->add_option("--compression,--png-level", apply.compression,
                     "0..9: PNG and TIFF deflate level, lossless WebP effort (default: fast)")
        ->check(CLI::Range(0, 9));
    applyCommand->add_flag("--lossless", apply.lossless, "Write WebP lossless");
    applyCommand->add_option("--format", apply.format, FormatHelp())
        ->check(CLI::IsMember(WrittenNames(), CLI::ignore_case));
    applyCommand->add_flag("--no-auto-orient", apply.keepOrientation,
                           "Keep the stored pixel order; do not turn by EXIF orientation");
    applyCommand
        ->add_option("--frames", apply.frames, "Render N frames OUTPUT-0001 ... with t = 0 .. N-1")
        ->check(CLI::Range(1, 100000));
    applyCommand->add_flag("--force", apply.force, "Replace outputs that are read-only too");
    applyCommand->add_flag("--in-place", apply.inPlace,
                           "Let an output be its own input, and replace it");
    AddThreadsAndProgress(*applyCommand, apply.run);

    CheckOptions& check = line.check;
    CLI::App* checkCommand =
        app.add_subcommand("check", "Check the syntax of formulas and filters");
    checkCommand->add_option("FORMULA", check.formulas, "Formulas to check");
    checkCommand->add_option("-f,--filter", check.filterFiles,
                             "Filter files to check: every argument after it");

    EvalOptions& eval = line.eval;
    std::string position = "0,0";
    std::vector<std::string> evalControls;
    std::string evalFormulaText, evalFilter, evalExampleName;
    CLI::App* evalCommand = app.add_subcommand(
        "eval",
        "Print a formula's or a filter's value at a pixel of the built-in 64x48 test image");
    evalCommand->footer(kLanguageHint);
    const CLI::Option* evalFormula =
        evalCommand->add_option("FORMULA", evalFormulaText, "The formula (default: the filter's)");
    CLI::Option* evalFile = evalCommand->add_option(
        "-f,--filter", evalFilter, "Filter file (.zvf): its formulas, or its controls' names");
    const CLI::Option* evalExample =
        evalCommand->add_option("-x,--example", evalExampleName, "Built-in example filter by name")
            ->excludes(evalFile);
    evalCommand->add_option("--at", position, "Pixel X,Y (default 0,0)");
    evalCommand->add_option("--channel", eval.channel, "Channel z, 0..3 (default 0)")
        ->check(CLI::Range(0, 3));
    evalCommand
        ->add_option("--ctl", evalControls,
                     "Control value N=V (N of 0..7) or NAME=V by the filter's name for it "
                     "(repeatable)")
        ->allow_extra_args(false);
    std::string evalImage;
    const CLI::Option* evalImageOption = evalCommand->add_option(
        "--image", evalImage, "Image to use instead of the test image " + FormatsRead());

    DemoOptions& demo = line.demo;
    demo.run.threads = cores;
    CLI::App* demoCommand = app.add_subcommand(
        "demo", "Apply every example to a built-in picture; write DIR/demo.png and DIR/demo/");
    demoCommand->add_option("-o,--out", demo.directory, "Folder to write into (default: .)");
    AddThreadsAndProgress(*demoCommand, demo.run);

    std::string controlsFile, controlsExample;
    CLI::App* controlsCommand = app.add_subcommand(
        "controls", "List a filter's controls: number, name and default, as its file sets them");
    CLI::Option* controlsFileOption =
        controlsCommand->add_option("-f,--filter", controlsFile, "Filter file (.zvf)");
    const CLI::Option* controlsExampleOption =
        controlsCommand
            ->add_option("-x,--example", controlsExample, "Built-in example filter by name")
            ->excludes(controlsFileOption);

    StudioOptions& studio = line.studio;
    std::string studioImage, studioFilter, studioExample;
    CLI::App* studioCommand =
        app.add_subcommand("studio", "Design a filter live in the browser: serve the studio page");
    const CLI::Option* studioImageOption = studioCommand->add_option(
        "IMAGE", studioImage,
        "Image to start with " + FormatsRead() +
            ", a folder of them to switch between, or a video (MP4, MOV, MKV, WebM) to scrub");
    CLI::Option* studioFile =
        studioCommand->add_option("-f,--filter", studioFilter, "Filter file to start with");
    const CLI::Option* studioExampleOption =
        studioCommand->add_option("-x,--example", studioExample, "Example to start with")
            ->excludes(studioFile);
    studioCommand->add_option("--port", studio.port, "Port to listen on (default: any free one)")
        ->check(CLI::Range(0, 65535));
    studioCommand->add_option("--address", studio.address,
                              "Address to listen on (default 127.0.0.1, this machine only)");

    std::string shownExample;
    CLI::App* examplesCommand =
        app.add_subcommand("examples", "List the example filters, or print one's filter file");
    const CLI::Option* shown =
        examplesCommand->add_option("NAME", shownExample, "Example to print");

    app.footer(kManual);
    for (CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        const std::string hint = command->get_footer();
        command->footer(hint + (hint.empty() ? "" : "\n") + kManual);
    }

    // Help and the version are printed by the caller, so parsing has no
    // effect but its result.
    const auto printed = [&line, &app](const CLI::Error& e) {
        std::ostringstream out;
        line.status = app.exit(e, out, out);
        line.printed = out.str();
        line.command = Command::kPrinted;
        return line;
    };
    CheckCommandName(app, argc, argv);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return printed(e);
    } catch (const CLI::CallForAllHelp& e) {
        return printed(e);
    } catch (const CLI::CallForVersion& e) {
        return printed(e);
    } catch (const CLI::ParseError& e) {
        std::string where;
        for (const CLI::App* sub : app.get_subcommands()) where = sub->get_name() + ": ";
        FailUsage(where + e.what() + " (see zorvan --help)");
    }

    if (*applyCommand) {
        for (int k = 0; k < 4; ++k) apply.channels[k] = Given(channelOptions[k], channelTexts[k]);
        apply.every = Given(every, everyText);
        apply.filterFile = Given(file, filterPath);
        apply.example = Given(example, exampleName);
        apply.controls = ParseControls(applyControls);
        apply.outDir = Given(outDir, outFolder);
        apply.qualityGiven = quality->count() > 0;
        apply.codec = Given(codec, codecName);
        if (crfOption->count() > 0) apply.crf = crf;
        if (totalOption->count() > 0) apply.total = total;
        if (!apply.outDir) {
            // Stills, in order, become the frames of a video.
            if (apply.inputs.size() < 2 ||
                (apply.inputs.size() > 2 && !IsVideo(apply.inputs.back()))) {
                FailUsage("apply: give INPUT OUTPUT, inputs and -o FOLDER, or stills and a video");
            }
            apply.output = apply.inputs.back();
            apply.inputs.pop_back();
        }
        line.command = Command::kApply;
    } else if (*checkCommand) {
        if (check.formulas.empty() && check.filterFiles.empty()) {
            FailUsage("check: give formulas or -f FILE");
        }
        line.command = Command::kCheck;
    } else if (*evalCommand) {
        ParsePosition(position, eval);
        eval.controls = ParseControls(evalControls);
        eval.image = Given(evalImageOption, evalImage);
        eval.formula = Given(evalFormula, evalFormulaText);
        eval.filterFile = Given(evalFile, evalFilter);
        eval.example = Given(evalExample, evalExampleName);
        if (!eval.formula && !eval.filterFile && !eval.example) {
            FailUsage("eval: give a formula, -f FILE or -x EXAMPLE");
        }
        line.command = Command::kEval;
    } else if (*demoCommand) {
        line.command = Command::kDemo;
    } else if (*controlsCommand) {
        line.controls = {Given(controlsFileOption, controlsFile),
                         Given(controlsExampleOption, controlsExample)};
        if (!line.controls.filterFile && !line.controls.example)
            FailUsage("controls: give -f FILE or -x EXAMPLE");
        line.command = Command::kControls;
    } else if (*studioCommand) {
        studio.image = Given(studioImageOption, studioImage);
        studio.filterFile = Given(studioFile, studioFilter);
        studio.example = Given(studioExampleOption, studioExample);
        line.command = Command::kStudio;
    } else {
        line.shownExample = Given(shown, shownExample);
        line.command = Command::kExamples;
    }
    return line;
}

int RunCommandLine(int argc, char** argv) {
    const CommandLine line = ParseCommandLine(argc, argv);
    switch (line.command) {
        case Command::kPrinted:
            std::fputs(line.printed.c_str(), line.status == 0 ? stdout : stderr);
            return line.status;
        case Command::kApply: return RunApplyCommand(line.apply);
        case Command::kCheck: return RunCheckCommand(line.check);
        case Command::kEval: return RunEvalCommand(line.eval);
        case Command::kDemo: return RunDemoCommand(line.demo);
        case Command::kControls: return RunControlsCommand(line.controls);
        case Command::kStudio: return RunStudioCommand(line.studio);
        case Command::kExamples: break;
    }
    return RunExamplesCommand(line.shownExample);
}

}  // namespace zv::cli

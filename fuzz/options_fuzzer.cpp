// SPDX-License-Identifier: MIT
// Arbitrary bytes as the tool's command line, split at zero bytes into
// arguments: parsed into a command within its ranges, or refused as a usage
// error (exit 2); nothing is read, written or run.
#include <vector>

#include "fuzz/host.h"
#include "tools/zorvan/commands/commands.h"
#include "tools/zorvan/failure.h"

using zvfuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kMaxArguments = 64;
    std::vector<std::string> args = {"zorvan", ""};
    for (size_t i = 0; i < size && args.size() <= kMaxArguments; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    if (size == 0) args.pop_back();
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    using namespace zv::cli;
    try {
        const CommandLine line = ParseCommandLine(static_cast<int>(args.size()), argv.data());
        const ApplyOptions& o = line.apply;
        Check(o.run.threads >= 1 && o.run.threads <= 1024, "threads out of range");
        Check(o.quality >= 1 && o.quality <= 100, "quality out of range");
        Check(o.frames >= 0 && o.frames <= 100000, "frames out of range");
        for (const ControlSetting& c : o.controls) {
            // By number 0..7, or by a name the filter file is asked for.
            Check(c.index == -1 ? !c.name.empty() : c.index >= 0 && c.index <= 7,
                  "control out of range");
        }
        Check(line.eval.channel >= 0 && line.eval.channel <= 3, "channel out of range");
    } catch (const Failure& failure) {
        Check(failure.status() == kExitUsage, "a bad command line is not exit 2");
        Check(std::string(failure.what()).find('\n') == std::string::npos,
              "the message is not one line");
    }
    return 0;
}

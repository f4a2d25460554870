// SPDX-License-Identifier: MIT
// zorvan check: syntax checks of formulas and filter files, reporting every
// fault rather than stopping at the first.
#include <cstdio>

#include "tools/zorvan/commands/commands.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/filter_files.h"

namespace zv::cli {

namespace {

// Runs check; prints "ok: what" and returns 0 on success, reports the
// failure and returns its exit status otherwise.
template <typename Check>
int Outcome(const std::string& what, const Check& check) {
    try {
        check();
    } catch (const Failure& failure) {
        Report(failure);
        return failure.status();
    } catch (const Error& error) {
        Report(AsFailure(error));
        return kExitUsage;
    }
    std::printf("ok: %s\n", what.c_str());
    return kExitOk;
}

}  // namespace

int RunCheckCommand(const CheckOptions& o) {
    int status = kExitOk;
    const auto note = [&status](int outcome) {
        if (status == kExitOk) status = outcome;
    };
    for (size_t i = 0; i < o.formulas.size(); ++i) {
        const std::string label = "formula " + std::to_string(i + 1);
        const FormulaText text{o.formulas[i], label, {}, {}};
        note(Outcome(label, [&] {
            Warn(Filter(std::vector<FormulaOffer>{{kAllChannels, text}}));
        }));
    }
    for (const std::string& path : o.filterFiles) {
        note(Outcome(path, [&] { Warn(Filter(ReadFilterFile(path))); }));
    }
    return status;
}

}  // namespace zv::cli

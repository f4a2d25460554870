// SPDX-License-Identifier: MIT
#include "tools/zorvan/failure.h"

#include <cstdio>

namespace zv::cli {

void Report(const Failure& failure) {
    std::fprintf(stderr, "zorvan: %s\n%s", failure.what(), failure.detail().c_str());
}

void Warn(const Filter& filter) {
    for (const Warning& w : filter.Warnings()) {
        std::fprintf(stderr, "zorvan: warning: %s\n%s", OneLine(w.message).c_str(),
                     w.detail.c_str());
    }
}

Failure AsFailure(const Error& error) {
    return Failure(kExitUsage, error.what(), error.detail());
}

}  // namespace zv::cli

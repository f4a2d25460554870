#include "tools/zorvan/failure.h"

#include <cstdio>
#include <cstring>

namespace zv::cli {

void Report(const Failure& failure) {
    std::fprintf(stderr, "zorvan: %s\n%s", failure.what(), failure.detail().c_str());
}

Failure AsFailure(const Error& error) {
    return Failure(kExitUsage, error.what(), error.detail());
}

void FailIo(const std::string& path, const std::string& what, int error) {
    FailFile(path, what + ": " + std::strerror(error));
}

void FailFile(const std::string& path, const std::string& reason) {
    throw Failure(kExitIo, path + ": " + reason);
}

}  // namespace zv::cli

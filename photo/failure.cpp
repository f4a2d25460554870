// SPDX-License-Identifier: MIT
#include "photo/failure.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

namespace zv::photo::detail {

std::string OneLine(const std::string& text) {
    std::string line;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '\n') {
            line += "\\n";
        } else if (ch == '\r') {
            line += "\\r";
        } else if ((byte < 0x20 && ch != '\t') || byte == 0x7f) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            line += escape;
        } else {
            line += ch;
        }
    }
    return line;
}

void FailIo(const std::string& path, const std::string& what, int error) {
    FailFile(path, what + ": " + std::strerror(error));
}

void FailFile(const std::string& path, const std::string& reason) {
    throw Failure(kExitIo, path + ": " + reason);
}

void Warn(const std::string& path, const std::string& what) {
    static std::mutex mutex;
    static std::set<std::string> said;
    const std::lock_guard lock(mutex);
    if (said.insert(what).second) {
        std::fprintf(stderr, "zorvan: warning: %s\n", OneLine(path + ": " + what).c_str());
    }
}

}  // namespace zv::photo::detail

/* SPDX-License-Identifier: MIT */
// How reading and writing photos fails: a message naming the file, and the
// exit status a command-line host gives it.
#pragma once

#include <stdexcept>
#include <string>

namespace zv::photo::detail {

enum ExitStatus : int {
    kExitOk = 0,
    kExitIo = 1,     // a file cannot be read or written, or is no usable image
    kExitUsage = 2,  // bad options, formulas or filter files
};

// text with line feeds, carriage returns and other control characters but
// tabs written as \n, \r or \xNN.
std::string OneLine(const std::string& text);

class Failure : public std::runtime_error {
   public:
    // Control characters in message (from arguments or file names) are
    // written as escapes, so it stays one line.
    Failure(int status, const std::string& message, std::string detail = {})
        : std::runtime_error(OneLine(message)), status_(status), detail_(std::move(detail)) {}
    int status() const { return status_; }
    // Lines printed after the message, each ending in a line feed; may be empty.
    const std::string& detail() const { return detail_; }

   private:
    int status_;
    std::string detail_;
};

// A failure to read or write path, with the system's reason for errno.
[[noreturn]] void FailIo(const std::string& path, const std::string& what, int error);

// "path: reason", the form of every I/O message.
[[noreturn]] void FailFile(const std::string& path, const std::string& reason);

// Prints "zorvan: warning: path: what" on stderr, once per run for each
// what, so a run of many frames or files says it once.
void Warn(const std::string& path, const std::string& what);

}  // namespace zv::photo::detail

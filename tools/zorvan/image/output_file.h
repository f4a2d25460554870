// An output file that appears complete or not at all: it is written under a
// temporary name in the target's directory and renamed into place by Commit.
// Until then, destruction, a failure or an interrupt (SIGINT, SIGTERM,
// SIGHUP) removes the temporary file.
#pragma once

#include <cstdio>
#include <string>

namespace zv::cli {

class OutputFile {
   public:
    // Creates the temporary file; fails with exit 1 when the directory of
    // path cannot take it.
    explicit OutputFile(std::string path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* stream() { return stream_; }
    const std::string& path() const { return path_; }

    // Flushes, closes and renames the file to its path; fails with exit 1.
    void Commit();

   private:
    void Discard();

    std::string path_;
    std::string temporary_;
    std::FILE* stream_ = nullptr;
    int slot_ = -1;
};

}  // namespace zv::cli

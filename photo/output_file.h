/* SPDX-License-Identifier: MIT */
// An output file that appears complete or not at all: it is written under a
// temporary name in the target's directory and put in place by Commit. Until
// then, destruction, a failure or an interrupt (SIGINT, SIGTERM, SIGHUP)
// removes the temporary file.
//
// Replacing a file keeps its permission bits. A symlink is followed and its
// target replaced. A file without write permission is refused unless forced.
// A file with more than one hard link is rewritten in place, so every link
// sees the new image: the copy starts only once the whole image is ready,
// its space is reserved first and the handled signals wait until it is done.
// Told to keep what exists, it replaces nothing at all (below).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "zorvan/photo.hpp"

// Exported for the video library and the tool, so that a process has one
// set of pending names and one signal handler.
namespace zv::photo::detail {

// What becomes of a file that is at the output's path already.
enum class Existing {
    kReplaceWritable,  // replaced, unless it is read-only
    kReplace,          // replaced, read-only too (--force)
    // Kept: the output fails when anything has the name, at the start or
    // when it is put in place, and no symlink is followed.
    kKeep,
};

class ZV_PHOTO_API OutputFile {
   public:
    // Checks what path names and creates the temporary file; fails with
    // exit 1 when path cannot be replaced or its directory cannot take it.
    // A host with signal handlers of its own (Python's) leaves them be.
    OutputFile(std::string path, Existing existing, bool handleSignals = true);
    OutputFile(std::string path, bool force, bool handleSignals = true)
        : OutputFile(std::move(path), force ? Existing::kReplace : Existing::kReplaceWritable,
                     handleSignals) {}
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* stream() { return stream_; }
    const std::string& path() const { return path_; }

    // Flushes and closes the temporary file, which stays until Commit or
    // destruction; fails with exit 1.
    void Finish();
    // Finishes the file if needed and puts it in place; fails with exit 1.
    void Commit();

   private:
    void Discard();

    std::string path_;    // as given, for messages
    std::string target_;  // path_ with symlinks followed
    std::string temporary_;
    std::FILE* stream_ = nullptr;
    std::atomic<const char*>* slot_ = nullptr;
    mode_t mode_ = 0;
    bool inPlace_ = false;
    bool keep_ = false;  // Existing::kKeep
};

}  // namespace zv::photo::detail

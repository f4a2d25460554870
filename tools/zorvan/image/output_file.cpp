#include "tools/zorvan/image/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "tools/zorvan/failure.h"

namespace zv::cli {

namespace {

// Temporary names alive right now, for the interrupt handler. A handler may
// only read them, so each slot holds a heap copy that stays valid until
// the slot is cleared.
constexpr int kSlots = 8;
std::atomic<const char*> g_pending[kSlots];

void RemovePendingAndReraise(int signal) {
    for (auto& slot : g_pending) {
        const char* name = slot.exchange(nullptr);
        if (name) unlink(name);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void InstallHandlersOnce() {
    static const bool installed = [] {
        for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, RemovePendingAndReraise);
        return true;
    }();
    (void)installed;
}

int Claim(const char* name) {
    for (int i = 0; i < kSlots; ++i) {
        const char* empty = nullptr;
        if (g_pending[i].compare_exchange_strong(empty, name)) return i;
    }
    return -1;  // more than kSlots at once: still removed on failure, not on interrupt
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    InstallHandlersOnce();
    const std::string directory = DirectoryOf(path_);
    const size_t slash = path_.find_last_of('/');
    const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    std::vector<char> pattern(directory.begin(), directory.end());
    const std::string suffix = "/." + name + ".zorvan-XXXXXX";
    pattern.insert(pattern.end(), suffix.begin(), suffix.end());
    pattern.push_back(0);
    const int fd = mkstemp(pattern.data());
    if (fd < 0) FailIo(directory, "cannot create a file there", errno);
    temporary_ = pattern.data();
    slot_ = Claim(temporary_.c_str());
    fchmod(fd, 0666 & ~CurrentUmask());
    stream_ = fdopen(fd, "wb");
    if (!stream_) {
        const int error = errno;
        close(fd);
        Discard();
        FailIo(path_, "cannot write", error);
    }
}

OutputFile::~OutputFile() {
    Discard();
}

void OutputFile::Commit() {
    int error = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_)) error = errno ? errno : EIO;
    if (std::fclose(stream_) != 0 && error == 0) error = errno;
    stream_ = nullptr;
    if (error == 0 && std::rename(temporary_.c_str(), path_.c_str()) != 0) error = errno;
    if (error != 0) {
        Discard();
        FailIo(path_, "cannot write", error);
    }
    if (slot_ >= 0) g_pending[slot_].store(nullptr);
    slot_ = -1;
    temporary_.clear();
}

void OutputFile::Discard() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    if (slot_ >= 0) g_pending[slot_].store(nullptr);
    slot_ = -1;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace zv::cli

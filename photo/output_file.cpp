// SPDX-License-Identifier: MIT
#include "photo/output_file.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "photo/failure.h"

namespace zv::photo::detail {

namespace {

constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Temporary names alive right now, for the interrupt handler. A handler may
// only read them, so each slot holds a heap copy that stays valid until the
// slot is cleared, and chunks are never freed: --frames keeps every frame
// pending until the last one is written.
struct Chunk {
    std::atomic<const char*> names[64] = {};
    std::atomic<Chunk*> next = nullptr;
};
Chunk g_first;
std::atomic<Chunk*> g_hint = &g_first;  // where the search for a free slot starts

void RemovePendingAndReraise(int signal) {
    for (Chunk* c = &g_first; c; c = c->next.load()) {
        for (auto& slot : c->names) {
            if (const char* name = slot.exchange(nullptr)) unlink(name);
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void InstallHandlersOnce() {
    static const bool installed = [] {
        for (int s : kHandledSignals) std::signal(s, RemovePendingAndReraise);
        // Past ulimit -f a write fails with EFBIG and is reported like any other.
        std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)installed;
}

std::atomic<const char*>* Claim(const char* name) {
    for (Chunk* c = g_hint.load();;) {
        for (auto& slot : c->names) {
            const char* empty = nullptr;
            if (slot.compare_exchange_strong(empty, name)) {
                g_hint.store(c);
                return &slot;
            }
        }
        Chunk* next = c->next.load();
        if (!next) {
            auto* grown = new Chunk;  // reachable from g_first for good
            if (c->next.compare_exchange_strong(next, grown)) {
                next = grown;
            } else {
                delete grown;
            }
        }
        c = next;
    }
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// path with the symlinks of its last component followed; a dangling link
// gives the path it points at, so the file appears there.
std::string FollowLinks(const std::string& path) {
    namespace fs = std::filesystem;
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(current, error)) return current;
        const fs::path target = fs::read_symlink(current, error);
        if (error) FailIo(path, "cannot follow the link", error.value());
        current = target.is_absolute() ? target.string()
                                       : (fs::path(DirectoryOf(current)) / target).string();
    }
    FailIo(path, "cannot write", ELOOP);
}

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// Holds the handled signals for its lifetime.
class HeldSignals {
   public:
    HeldSignals() {
        sigset_t held;
        sigemptyset(&held);
        for (int s : kHandledSignals) sigaddset(&held, s);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

   private:
    sigset_t previous_;
};

// Copies from over the content of to through to's own inode; 0 or an errno.
int CopyOver(const std::string& from, const std::string& to) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    const int out = open(to.c_str(), O_WRONLY | O_CLOEXEC);
    struct stat st;
    int error = out < 0 || fstat(in, &st) != 0 ? errno : 0;
    // Reserving the space first means a full disk fails before a byte changes.
    if (error == 0 && st.st_size > 0 && fallocate(out, FALLOC_FL_KEEP_SIZE, 0, st.st_size) != 0 &&
        errno != EOPNOTSUPP) {
        error = errno;
    }
    if (error == 0) {
        const HeldSignals held;
        off_t offset = 0;
        while (error == 0 && offset < st.st_size) {
            if (sendfile(out, in, &offset, static_cast<size_t>(st.st_size - offset)) < 0) {
                error = errno;
            }
        }
        if (error == 0 && ftruncate(out, st.st_size) != 0) error = errno;
    }
    if (out >= 0 && close(out) != 0 && error == 0) error = errno;
    close(in);
    return error;
}

// Puts from in place at to unless anything has that name, a symlink too;
// 0 or an errno. Where the file system cannot rename so, a hard link fails
// the same way, and from is left for the caller to remove.
int PutNew(const std::string& from, const std::string& to, bool& moved) {
    moved = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
    if (moved) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    return link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

constexpr const char* kKept = "a file of this name exists, and it is kept";

}  // namespace

OutputFile::OutputFile(std::string path, Existing existing, bool handleSignals)
    : path_(std::move(path)), keep_(existing == Existing::kKeep) {
    if (handleSignals) InstallHandlersOnce();
    target_ = keep_ ? path_ : FollowLinks(path_);
    struct stat old;
    if ((keep_ ? lstat(target_.c_str(), &old) : stat(target_.c_str(), &old)) == 0) {
        if (keep_) FailFile(path_, kKept);
        if (S_ISDIR(old.st_mode)) FailIo(path_, "cannot write", EISDIR);
        if (!S_ISREG(old.st_mode)) FailFile(path_, "not a regular file, so it is not replaced");
        const bool writable = (old.st_mode & 0222) != 0 &&
                              faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) == 0;
        if (!writable && existing != Existing::kReplace) {
            FailFile(path_, "the file is read-only (--force replaces it)");
        }
        mode_ = old.st_mode & 0777;
        inPlace_ = old.st_nlink > 1;
    } else {
        mode_ = 0666 & ~CurrentUmask();
    }

    const std::string directory = DirectoryOf(target_);
    const size_t slash = target_.find_last_of('/');
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    // Cut so that the temporary name fits where the name itself fits.
    constexpr size_t kNameMax = 255, kAdded = sizeof("..zorvan-XXXXXX") - 1;
    std::string pattern = directory + "/." + name.substr(0, kNameMax - kAdded) + ".zorvan-XXXXXX";
    int fd = -1, error = 0;
    {
        const HeldSignals held;  // no interrupt between creating the file and noting it
        fd = mkstemp(pattern.data());
        if (fd >= 0) {
            temporary_ = pattern;
            slot_ = Claim(temporary_.c_str());
        } else {
            error = errno;
        }
    }
    if (fd < 0) FailIo(directory, "cannot create a file there", error);
    fchmod(fd, mode_);
    stream_ = fdopen(fd, "wb");
    if (!stream_) {
        error = errno;
        close(fd);
        Discard();
        FailIo(path_, "cannot write", error);
    }
}

OutputFile::~OutputFile() {
    Discard();
}

void OutputFile::Finish() {
    if (!stream_) return;
    int error = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_)) error = errno ? errno : EIO;
    if (std::fclose(stream_) != 0 && error == 0) error = errno;
    stream_ = nullptr;
    if (error != 0) {
        Discard();
        FailIo(path_, "cannot write", error);
    }
}

void OutputFile::Commit() {
    Finish();
    int error = 0;
    bool moved = false;
    if (keep_) {
        error = PutNew(temporary_, target_, moved);
        if (moved) temporary_.clear();
    } else if (inPlace_) {
        error = CopyOver(temporary_, target_);
    } else if (std::rename(temporary_.c_str(), target_.c_str()) == 0) {
        temporary_.clear();  // the name may be taken anew by now
    } else {
        error = errno;
    }
    Discard();
    if (keep_ && error == EEXIST) FailFile(path_, kKept);
    if (error != 0) FailIo(path_, "cannot write", error);
}

void OutputFile::Discard() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    if (slot_) slot_->store(nullptr);
    slot_ = nullptr;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace zv::photo::detail

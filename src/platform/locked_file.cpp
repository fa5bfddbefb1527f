#include "platform/locked_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace morvik {
namespace {

BeforeReplaceHook beforeReplace = nullptr;

// Takes the exclusive lock without waiting; closes fd and returns -1 when
// another open holds it, or when fd is not a regular file (a folder or a
// device by that name is never the settings file).
int LockOrClose(int fd) {
    if (fd < 0) return -1;
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// A symbolic link is followed, so that saving through one keeps the link
// and replaces the file it points to.
std::string ResolvedTarget(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string resolved = real;
    std::free(real);
    return resolved;
}

// Opens an existing file just to hold its lock. A file this process may
// write but not read can still be locked through a write-only open.
int OpenExistingLocked(const std::string& path, bool& exists) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    exists = !(fd < 0 && errno == ENOENT);
    return LockOrClose(fd);
}

// Creates a fresh file next to target under a name nobody else uses. It is
// created with the same rights a new file would get (0644 under the umask).
int CreateTemporary(const std::string& target, std::string& name) {
    static uint64_t counter = 0;
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t seed = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(getpid()) << 32);
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t x = seed + 0x9E3779B97F4A7C15ull * ++counter;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        name = target + ".";
        for (int i = 0; i < 6; ++i, x /= 36) name += digits[x % 36];
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

LockedFile::~LockedFile() { Close(); }

bool LockedFile::Open(const std::string& path, Mode mode) {
    Close();
    const int fd = mode == Mode::Read
                       ? open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                       : open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC,
                              0644);
    fd_ = LockOrClose(fd);
    if (fd_ < 0) return false;
    // Non-blocking only guarded the open itself against a FIFO by that name.
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    return true;
}

bool LockedFile::ReadAll(std::string& out) {
    if (fd_ < 0) return false;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
}

bool LockedFile::Write(const std::string& bytes) { return fd_ >= 0 && WriteAll(fd_, bytes); }

void LockedFile::Close() {
    if (fd_ < 0) return;
    close(fd_);  // releases the lock with the last descriptor of this open
    fd_ = -1;
}

bool ReplaceFileWhole(const std::string& path, const std::string& content) {
    const std::string target = ResolvedTarget(path);
    bool exists = false;
    const int old = OpenExistingLocked(target, exists);
    if (exists && old < 0) return false;  // held elsewhere, or not ours to open

    mode_t rights = 0;
    if (old >= 0) {
        struct stat st{};
        const bool readOnly = fstat(old, &st) != 0 || access(target.c_str(), W_OK) != 0 ||
                              (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
        if (readOnly) {
            close(old);
            return false;
        }
        rights = st.st_mode & 07777;
    }

    std::string temporary;
    const int fd = CreateTemporary(target, temporary);
    bool ok = fd >= 0;
    if (ok && old >= 0) ok = fchmod(fd, rights) == 0;
    ok = ok && WriteAll(fd, content) && fsync(fd) == 0;
    if (fd >= 0 && close(fd) != 0) ok = false;
    ok = ok && (beforeReplace == nullptr || beforeReplace(temporary));
    ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
    if (ok) {
        SyncFolder(FolderOf(target));
    } else if (fd >= 0) {
        unlink(temporary.c_str());
    }
    if (old >= 0) close(old);
    return ok;
}

BeforeReplaceHook SetBeforeReplaceHook(BeforeReplaceHook hook) {
    const BeforeReplaceHook previous = beforeReplace;
    beforeReplace = hook;
    return previous;
}

}  // namespace morvik

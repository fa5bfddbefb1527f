#include "support/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace morvik::test {

namespace {

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) return;
    slave_path_ = name;
    // Opened once and closed again, the master reports a hang-up whenever
    // nobody holds the slave.
    const int slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) close(slave);
}

PseudoTerminal::~PseudoTerminal() {
    if (master_ >= 0) close(master_);
}

bool PseudoTerminal::HungUp() const {
    pollfd p{master_, POLLIN, 0};
    return poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) != 0;
}

ssize_t PseudoTerminal::PendingBytes() const {
    char buf[64];
    const ssize_t n = read(master_, buf, sizeof buf);
    if (n < 0 && (errno == EAGAIN || errno == EIO)) return 0;
    return n;
}

KeyLineWatch::KeyLineWatch(const std::string& path) {
    fd_ = inotify_init1(IN_CLOEXEC);
    if (fd_ < 0 || pipe2(stopPipe_, O_CLOEXEC) != 0 ||
        inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        return;
    }
    thread_ = std::thread([this] { Run(); });
}

KeyLineWatch::~KeyLineWatch() {
    if (thread_.joinable()) {
        const char stop = 1;
        (void)!write(stopPipe_[1], &stop, 1);
        thread_.join();
    }
    for (int fd : {fd_, stopPipe_[0], stopPipe_[1]}) {
        if (fd >= 0) close(fd);
    }
}

void KeyLineWatch::Run() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        pollfd p[2] = {{fd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        const int64_t at = MonotonicNs();
        if (p[1].revents != 0) return;
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        for (ssize_t i = 0; i < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + i);
            if (e->mask & IN_OPEN) edges_.push_back({at, true});
            if (e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) edges_.push_back({at, false});
            i += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
}

std::vector<KeyLineWatch::Edge> KeyLineWatch::Edges() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return edges_;
}

std::vector<std::pair<int64_t, int64_t>> KeyLineWatch::Spans() const {
    std::vector<std::pair<int64_t, int64_t>> spans;
    for (const Edge& e : Edges()) {
        if (e.open) {
            spans.push_back({e.atNs, -1});
        } else if (!spans.empty() && spans.back().second < 0) {
            spans.back().second = e.atNs;
        }
    }
    return spans;
}

}  // namespace morvik::test

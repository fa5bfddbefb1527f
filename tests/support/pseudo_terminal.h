#pragma once
// A kernel pseudo-terminal standing in for the transmitter's serial port.
// The test keeps only the master; the slave's path is what the keyer opens,
// so the slave coming and going is the key line rising and falling.
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace morvik::test {

class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool Ok() const { return master_ >= 0 && !slave_path_.empty(); }
    int master() const { return master_; }
    const std::string& slave_path() const { return slave_path_; }
    // True while no one has the slave open.
    bool HungUp() const;
    // Bytes the slave side has sent; a hung-up master answers EIO instead of
    // EAGAIN when it has none, and both mean nothing arrived.
    ssize_t PendingBytes() const;

private:
    int master_ = -1;
    std::string slave_path_;
};

// Every open and close of a device path, timed on the monotonic clock as
// the kernel reports them (inotify), without polling.
class KeyLineWatch {
public:
    struct Edge {
        int64_t atNs;
        bool open;  // true: the line rose (the port was opened)
    };
    explicit KeyLineWatch(const std::string& path);
    ~KeyLineWatch();
    KeyLineWatch(const KeyLineWatch&) = delete;
    KeyLineWatch& operator=(const KeyLineWatch&) = delete;
    bool Ok() const { return fd_ >= 0; }
    std::vector<Edge> Edges() const;
    // The [open, close) spans of the key line seen so far.
    std::vector<std::pair<int64_t, int64_t>> Spans() const;

private:
    void Run();
    int fd_ = -1;
    int stopPipe_[2] = {-1, -1};
    mutable std::mutex mutex_;
    std::vector<Edge> edges_;
    std::thread thread_;
};

}  // namespace morvik::test

#pragma once
// What the kernel and the X server tell about a running program: its
// processor time, its peak memory, the moment its window is mapped.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>

namespace morvik::bench {

// utime + stime of every thread, in clock ticks (/proc/<pid>/stat); -1 when
// unreadable.
int64_t CpuTicks(pid_t pid);
// Time on a processor of every live thread, in ns (/proc/<pid>/task/*/schedstat),
// which is not rounded to ticks; -1 when unreadable.
int64_t CpuNs(pid_t pid);
// The same per thread: thread id -> (name, ns).
std::map<pid_t, std::pair<std::string, int64_t>> CpuNsByThread(pid_t pid);
// A field of /proc/<pid>/status in kB, e.g. "VmHWM"; -1 when missing.
int64_t StatusKb(pid_t pid, const std::string& field);

// Watches the root window for top-level windows being mapped. Construct it
// before starting the program, so that no map can be missed.
class MapWatch {
public:
    MapWatch();
    ~MapWatch();
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;
    bool Ok() const { return display_ != nullptr; }
    // The monotonic time (ns) at which a window with the title prefix was
    // reported mapped, waiting up to the timeout; -1 when none was.
    int64_t WaitForMapped(const std::string& titlePrefix, int timeoutMs, Window* mapped);

private:
    Display* display_ = nullptr;
};

}  // namespace morvik::bench

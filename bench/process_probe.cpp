#include "process_probe.h"

#include <dirent.h>
#include <poll.h>

#include <fstream>
#include <sstream>

#include "support/sound_recording.h"
#include "support/x_session.h"

namespace morvik::bench {

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

int64_t CpuTicks(pid_t pid) {
    const std::string stat = Slurp("/proc/" + std::to_string(pid) + "/stat");
    // The command name may hold spaces; the fields after it start past ')'.
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    int64_t utime = -1, stime = -1;
    // Field 3 (state) is the first after the name; utime is 14, stime 15.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoll(field);
        if (i == 15) stime = std::stoll(field);
    }
    return utime < 0 || stime < 0 ? -1 : utime + stime;
}

int64_t CpuNs(pid_t pid) {
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* tasks = opendir(dir.c_str());
    if (tasks == nullptr) return -1;
    int64_t total = 0;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::istringstream line(Slurp(dir + "/" + entry->d_name + "/schedstat"));
        int64_t ns = 0;
        if (line >> ns) total += ns;
    }
    closedir(tasks);
    return total;
}

std::map<pid_t, std::pair<std::string, int64_t>> CpuNsByThread(pid_t pid) {
    std::map<pid_t, std::pair<std::string, int64_t>> threads;
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* tasks = opendir(dir.c_str());
    if (tasks == nullptr) return threads;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        const std::string task = dir + "/" + entry->d_name;
        std::istringstream line(Slurp(task + "/schedstat"));
        int64_t ns = 0;
        if (!(line >> ns)) continue;
        std::string name = Slurp(task + "/comm");
        while (!name.empty() && name.back() == '\n') name.pop_back();
        threads[static_cast<pid_t>(std::stol(entry->d_name))] = {name, ns};
    }
    closedir(tasks);
    return threads;
}

int64_t StatusKb(pid_t pid, const std::string& field) {
    std::istringstream status(Slurp("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            std::istringstream value(line.substr(field.size() + 1));
            int64_t kb = -1;
            value >> kb;
            return kb;
        }
    }
    return -1;
}

MapWatch::MapWatch() : display_(XOpenDisplay(nullptr)) {
    if (display_ == nullptr) return;
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
}

MapWatch::~MapWatch() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

int64_t MapWatch::WaitForMapped(const std::string& titlePrefix, int timeoutMs, Window* mapped) {
    if (display_ == nullptr) return -1;
    const int64_t end = test::NowNs() + static_cast<int64_t>(timeoutMs) * 1'000'000;
    for (;;) {
        while (XPending(display_) > 0) {
            XEvent e{};
            XNextEvent(display_, &e);
            if (e.type != MapNotify) continue;
            // Taken when the event is read, before the title round trip.
            const int64_t at = test::NowNs();
            if (test::WindowTitle(display_, e.xmap.window).rfind(titlePrefix, 0) == 0) {
                if (mapped != nullptr) *mapped = e.xmap.window;
                return at;
            }
        }
        const int64_t left = end - test::NowNs();
        if (left <= 0) return -1;
        pollfd p{ConnectionNumber(display_), POLLIN, 0};
        poll(&p, 1, static_cast<int>(left / 1'000'000) + 1);
    }
}

}  // namespace morvik::bench

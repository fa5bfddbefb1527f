#include "support/x_session.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace morvik::test {

namespace {

using Clock = std::chrono::steady_clock;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

XErrorsIgnored::XErrorsIgnored(Display* display) : display_(display) {
    XSync(display_, False);
    previous_ = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
}

XErrorsIgnored::~XErrorsIgnored() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
}

std::string WindowTitle(Display* display, Window w) {
    const XErrorsIgnored ignored(display);
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, w, netName, 0, 1 << 16, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(display, w, &name) && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

ChildProcess::ChildProcess(const std::string& program, const std::string& workDir,
                           const std::vector<std::string>& extraEnv) {
    errorFile_ = workDir + "/.stderr";
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        if (chdir(workDir.c_str()) != 0) _exit(127);
        const int err = open(errorFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0) dup2(err, STDERR_FILENO);
        for (const std::string& e : extraEnv) {
            const auto eq = e.find('=');
            if (eq == std::string::npos) {
                unsetenv(e.c_str());
            } else {
                setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
            }
        }
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

ChildProcess::~ChildProcess() {
    if (Running()) {
        kill(pid_, SIGKILL);
        WaitForExit(5000);
    }
}

std::optional<int> ChildProcess::WaitForExit(int timeoutMs) {
    if (exitCode_) return exitCode_;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return exitCode_;
        }
        if (Clock::now() >= end) return std::nullopt;
        Pause(10);
    }
}

bool ChildProcess::Running() { return !WaitForExit(0).has_value(); }

std::string ChildProcess::ErrorOutput() const {
    std::ifstream in(errorFile_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

XConnection::XConnection() : display_(XOpenDisplay(nullptr)) {}

XConnection::~XConnection() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

std::string XConnection::Title(Window w) { return WindowTitle(display_, w); }

Window XConnection::WaitForWindow(const std::string& titlePrefix, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int n = 0;
        XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &n);
        Window found = 0;
        for (unsigned int i = 0; i < n && found == 0; ++i) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(display_, children[i], &a) && a.map_state == IsViewable &&
                Title(children[i]).rfind(titlePrefix, 0) == 0) {
                found = children[i];
            }
        }
        if (children != nullptr) XFree(children);
        if (found != 0) return found;
        Pause(20);
    }
    return 0;
}

XConnection::Geometry XConnection::GeometryOf(Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(display_, w, &a);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display_, w, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    return {x, y, a.width, a.height};
}

void XConnection::RequestClose(Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, w, False, NoEventMask, &e);
    XFlush(display_);
}

unsigned long XConnection::Pixel(Window w, int x, int y) {
    XImage* image = nullptr;
    {
        // The window may be gone for a moment while the program rebuilds it.
        const XErrorsIgnored ignored(display_);
        image = XGetImage(display_, w, x, y, 1, 1, AllPlanes, ZPixmap);
    }
    if (image == nullptr) return ~0UL;
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return p & 0xFFFFFF;
}

bool XConnection::Exists(Window w) {
    XWindowAttributes a{};
    const XErrorsIgnored ignored(display_);
    return XGetWindowAttributes(display_, w, &a) != 0 && a.map_state == IsViewable;
}

bool XDoTool(const std::string& arguments) {
    const std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "morvik-test.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace morvik::test

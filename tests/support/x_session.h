#pragma once
// Helpers for tests that run the real program in a real X session.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvik::test {

// A child process started in a given working directory.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::string& workDir,
                 const std::vector<std::string>& extraEnv = {});
    ~ChildProcess();
    // The exit code once the process has ended within the time; nothing when
    // it is still running then.
    std::optional<int> WaitForExit(int timeoutMs);
    bool Running();
    pid_t Pid() const { return pid_; }
    // Everything the process wrote to standard error so far.
    std::string ErrorOutput() const;

private:
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
    std::string errorFile_;
};

// X errors (a window that is already gone) are ignored while one of these
// lives; the requests made meanwhile simply fail.
class XErrorsIgnored {
public:
    explicit XErrorsIgnored(Display* display);
    ~XErrorsIgnored();
    XErrorsIgnored(const XErrorsIgnored&) = delete;
    XErrorsIgnored& operator=(const XErrorsIgnored&) = delete;

private:
    Display* display_;
    XErrorHandler previous_;
};

// A window's title (UTF-8); empty when it has none or is gone.
std::string WindowTitle(Display* display, Window w);

// A connection to the test session's X server.
class XConnection {
public:
    XConnection();
    ~XConnection();
    Display* display() const { return display_; }
    // The top-level window whose title starts with the text, waiting for it
    // to be mapped; 0 when none appears in time.
    Window WaitForWindow(const std::string& titlePrefix, int timeoutMs);
    std::string Title(Window w);
    // Client size and position on the root window.
    struct Geometry {
        int x = 0, y = 0, width = 0, height = 0;
    };
    Geometry GeometryOf(Window w);
    // Asks the window to close, as a window manager's close box does.
    void RequestClose(Window w);
    // The colour of one pixel of the window's client area.
    unsigned long Pixel(Window w, int x, int y);
    bool Exists(Window w);

private:
    Display* display_ = nullptr;
};

// Runs xdotool with the arguments; true on success.
bool XDoTool(const std::string& arguments);

// A fresh temporary folder, removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace morvik::test

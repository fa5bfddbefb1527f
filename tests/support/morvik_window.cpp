#include "support/morvik_window.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace morvik::test {

namespace {

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

bool Click(Window w, Spot spot) {
    return XDoTool("mousemove --window " + std::to_string(w) + " " + std::to_string(spot.x) + " " +
                   std::to_string(spot.y) + " click 1");
}

bool TypeInto(Window w, Spot spot, const std::string& text) {
    return Click(w, spot) && XDoTool("key ctrl+a") &&
           XDoTool("type --delay 20 '" + text + "'");
}

bool WaitForPixel(XConnection& x, Window w, int px, int py, unsigned long colour, bool equal) {
    for (int i = 0; i < 200; ++i) {
        if ((x.Pixel(w, px, py) == colour) == equal) return true;
        Pause(25);
    }
    return false;
}

bool AnyPixelIs(XConnection& x, Window w, int x0, int y0, int width, int height,
                unsigned long colour) {
    for (int yy = y0; yy < y0 + height; ++yy) {
        for (int xx = x0; xx < x0 + width; ++xx) {
            if (x.Pixel(w, xx, yy) == colour) return true;
        }
    }
    return false;
}

bool WaitUntilBuilt(XConnection& x, Window w) { return WaitForPixel(x, w, 1080, 642, ButtonFace); }

Window WaitForRebuiltWindow(XConnection& x) {
    for (int i = 0; i < 200; ++i) {
        const Window w = x.WaitForWindow(TitlePrefix, 100);
        if (w != 0 && x.Pixel(w, 135, 625) == White && x.Pixel(w, 1080, 642) == ButtonFace) {
            return w;
        }
        Pause(25);
    }
    return 0;
}

Window FindInformationWindow(XConnection& x) {
    for (int i = 0; i < 100; ++i) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int n = 0;
        XQueryTree(x.display(), DefaultRootWindow(x.display()), &root, &parent, &children, &n);
        Window found = 0;
        for (unsigned int k = 0; k < n && found == 0; ++k) {
            if (x.Exists(children[k]) && x.Title(children[k]).rfind(TitlePrefix, 0) == 0 &&
                x.GeometryOf(children[k]).width == 600) {
                found = children[k];
            }
        }
        if (children != nullptr) XFree(children);
        if (found != 0) return found;
        Pause(50);
    }
    return 0;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string SettingsFile(const std::map<std::string, std::string>& values) {
    std::map<std::string, std::string> v = {
        {"MV001", "800"},  {"MV002", "50"}, {"MV003", "73 CUAGN + "}, {"MV004", "2000"},
        {"MV005", "2000"}, {"MV006", "73"}, {"MV007", "1000"},        {"MV008", ""},
        {"MV009", "2025-11-27 15:21"},      {"MV010", "2025-11-30 09:30"}};
    for (const auto& [key, value] : values) v[key] = value;
    std::string out;
    for (const auto& [key, value] : v) out += key + "    " + value + "\r\n";
    return out;
}

RunningMorvik::RunningMorvik(const std::string& executable, XConnection& x,
                             const std::string& settings)
    : x_(x) {
    if (!settings.empty()) WriteFile(dir_.path() + "/morvik.cnf", settings);
    process_ = std::make_unique<ChildProcess>(executable, dir_.path());
    const Window w = x.WaitForWindow(TitlePrefix, 10000);
    // Keys count from the event loop on, once the window is built; without
    // a window manager the test gives it the focus itself.
    if (w != 0 && WaitUntilBuilt(x, w)) {
        Refocus(w);
        window_ = w;
    }
}

void RunningMorvik::Refocus(Window w) { XDoTool("windowfocus --sync " + std::to_string(w)); }

}  // namespace morvik::test

#pragma once
// Operating the real program's main window as an operator would, through
// the test session's X server and xdotool.
#include <map>
#include <string>

#include "support/x_session.h"

namespace morvik::test {

inline const std::string TitlePrefix = "Morvik version QX7ZZB-052";
inline constexpr unsigned long White = 0xFFFFFF;
inline constexpr unsigned long ButtonFace = 0xC0C0C0;

// Centres of the main window's buttons and fields, in client coordinates.
struct Spot {
    int x, y;
};
inline constexpr Spot SaveSpot{170, 650}, TestSpot{300, 650}, RunCountSpot{430, 650},
    RunTimedSpot{560, 650}, InfoSpot{690, 650}, QuitSpot{1080, 650};
inline constexpr Spot PortSpot{345, 260}, ToneSpot{345, 290}, UnitSpot{345, 320},
    TextSpot{700, 350}, CarrierSpot{345, 410}, CarrierPauseSpot{345, 440},
    TransmissionPauseSpot{345, 470}, CountSpot{345, 500}, StartSpot{370, 560},
    StopSpot{370, 590};

// Clicks at a point of a window's client area.
bool Click(Window w, Spot spot);
// Replaces a field's text: click, select all, type.
bool TypeInto(Window w, Spot spot, const std::string& text);
// Waits (up to 5 s) for a pixel to take, or with equal false to leave, a colour.
bool WaitForPixel(XConnection& x, Window w, int px, int py, unsigned long colour,
                  bool equal = true);
bool AnyPixelIs(XConnection& x, Window w, int x0, int y0, int width, int height,
                unsigned long colour);
// Waits until the last control of the layout, "Avsluta", is drawn.
bool WaitUntilBuilt(XConnection& x, Window w);
// The main window once it has been built afresh after a save ("Data är
// sparad" gone). A rebuilt window may or may not get the X id of the old one.
Window WaitForRebuiltWindow(XConnection& x);

// The information window among the mapped windows: the one 600 wide.
Window FindInformationWindow(XConnection& x);

std::string ReadFile(const std::string& path);
// A settings file as the program writes it, with some values replaced
// (keys "MV001" to "MV010").
std::string SettingsFile(const std::map<std::string, std::string>& values = {});
void WriteFile(const std::string& path, const std::string& bytes);

// The real program started in a fresh folder, its main window built and in
// front.
class RunningMorvik {
public:
    // `settings` is written as morvik.cnf first unless it is empty.
    RunningMorvik(const std::string& executable, XConnection& x, const std::string& settings = {});
    Window window() const { return window_; }
    ChildProcess& process() { return *process_; }
    const std::string& folder() const { return dir_.path(); }
    // Focuses the window again (after a rebuild, say).
    void Refocus(Window w);

private:
    TempDir dir_;
    XConnection& x_;
    std::unique_ptr<ChildProcess> process_;
    Window window_ = 0;
};

}  // namespace morvik::test

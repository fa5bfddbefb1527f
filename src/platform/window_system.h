#pragma once
#include <string>

namespace morvik {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

enum class ControlKind { PlainLabel, BorderedLabel, TextField, UpperCaseField, PushButton };

enum class EventKind { Control, Timer, CloseRequest, Other };

struct WindowEvent {
    EventKind kind = EventKind::Other;
    int control = 0;  // the control's number for a control event
};

// Windows, their controls, the white drawing surface behind the controls,
// fonts and the window events. Windows and controls are known by number;
// controls share one number space across all windows.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // Connects to the display and prepares the drawing surface; false when
    // there is no display to draw on.
    virtual bool StartSurface() = 0;
    // The display's vertical resolution in dots per inch; 0 when unknown.
    virtual double VerticalDpi() = 0;
    // Font number `font`: the family at the given pixel height.
    virtual void CreateFont(int font, const std::string& family, int pixelSize, bool bold) = 0;

    // Opens a fixed-size window with the given client size, centred on the
    // primary screen; a window of that number is closed first.
    virtual void OpenWindow(int window, const std::u16string& title, int clientWidth,
                            int clientHeight) = 0;
    virtual void CloseWindow(int window) = 0;
    // A repeating timer on the window; each tick is a Timer event.
    virtual void StartTimer(int window, int timer, int periodMs) = 0;

    // The drawing surface over the window's client area, behind the controls.
    virtual void OpenSurface(int window, int width, int height) = 0;
    virtual void ClearSurface(Rgb colour) = 0;
    virtual void BeginDraw() = 0;
    virtual void EndDraw() = 0;
    virtual void Present() = 0;

    // Places a control; a control of that number is removed first, so the
    // new one has the default font and text colour.
    virtual void Place(int window, int control, ControlKind kind, Rect rect,
                       const std::u16string& text) = 0;
    virtual void SetFont(int control, int font) = 0;
    virtual void SetTextColor(int control, Rgb colour) = 0;
    virtual std::u16string FieldText(int control) = 0;

    // Blocks until the next event of any of the program's windows.
    virtual WindowEvent WaitEvent() = 0;
    // Handles at most one pending event without waiting; its result is
    // dropped. Returns whether one was there.
    virtual bool TakeEvent() = 0;
    // Brings what was placed onto the screen without taking input events.
    virtual void Flush() = 0;
    // Handles window events for at most the given time, or until one has
    // been handled, and drops every control event: nothing pressed while a
    // run waits is carried out.
    virtual void ServiceFor(int maxWaitMs) = 0;
    // Handles what is pending and drops every control event still queued, so
    // that nothing pressed during a run is carried out after it.
    virtual void DiscardPendingInput() = 0;

    // Closes every window and the connection to the display.
    virtual void Shutdown() = 0;
};

}  // namespace morvik

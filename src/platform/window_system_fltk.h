#pragma once
#include <deque>
#include <map>
#include <string>

#include "platform/window_system.h"

class Fl_Window;
class Fl_Widget;

namespace morvik {

// Windows and controls on FLTK over X11.
class FltkWindowSystem : public WindowSystem {
public:
    ~FltkWindowSystem() override;

    bool StartSurface() override;
    double VerticalDpi() override;
    void CreateFont(int font, const std::string& family, int pixelSize, bool bold) override;
    void OpenWindow(int window, const std::u16string& title, int clientWidth,
                    int clientHeight) override;
    void CloseWindow(int window) override;
    void StartTimer(int window, int timer, int periodMs) override;
    void OpenSurface(int window, int width, int height) override;
    void ClearSurface(Rgb colour) override;
    void BeginDraw() override;
    void EndDraw() override;
    void Present() override;
    void Place(int window, int control, ControlKind kind, Rect rect,
               const std::u16string& text) override;
    void SetFont(int control, int font) override;
    void SetTextColor(int control, Rgb colour) override;
    std::u16string FieldText(int control) override;
    WindowEvent WaitEvent() override;
    bool TakeEvent() override;
    void Flush() override;
    void ServiceFor(int maxWaitMs) override;
    void DiscardPendingInput() override;
    void Shutdown() override;

    // Called from FLTK callbacks.
    void Post(WindowEvent event) { events_.push_back(event); }

private:
    struct Control {
        Fl_Widget* widget = nullptr;
        int window = 0;
    };
    struct Timer {
        int window = 0;
        double period = 0.0;
        FltkWindowSystem* owner = nullptr;
    };
    struct Font {
        int face = 0;
        int pixelSize = 0;
    };

    static void TimerTick(void* data);
    void RemoveControl(int control);
    void StopTimers(int window);

    bool started_ = false;
    std::map<int, Fl_Window*> windows_;
    std::map<int, Control> controls_;
    std::map<int, Font> fonts_;
    std::map<int, Timer*> timers_;
    std::deque<WindowEvent> events_;
    int surfaceWindow_ = 0;
};

}  // namespace morvik

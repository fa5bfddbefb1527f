#include "ui/main_window.h"

#include "app/startup.h"
#include "platform/window_system.h"
#include "ui/escape_poll.h"

namespace morvik {

std::u16string WindowTitle() { return u"Morvik version QX7ZZB-052" + std::u16string(90, u' '); }

void MainWindowSequence(Program& program) {
    WindowSystem& w = *program.platform.window;
    w.OpenWindow(MainWindow, WindowTitle(), program.MainWindowWidth, program.MainWindowHeight);
    w.StartTimer(MainWindow, MainWindowTimer, 250);
    w.OpenSurface(MainWindow, program.MainWindowWidth, program.MainWindowHeight);
    w.ClearSurface({255, 255, 255});
    w.BeginDraw();
    RunMainLoop(program);
}

void RunMainLoop(Program& program) {
    WindowSystem& w = *program.platform.window;
    for (;;) {
        w.WaitEvent();
        if (EscapeReleased(program)) Shutdown(program);
    }
}

}  // namespace morvik

#include "ui/main_loop.h"

#include "app/startup.h"
#include "platform/window_system.h"
#include "ui/clock_label.h"
#include "ui/commands.h"
#include "ui/controls.h"
#include "ui/escape_poll.h"
#include "ui/info_window.h"

namespace morvik {

namespace {

// Carries out a button's command; returns whether the program is to end.
bool CarryOut(Program& program, int control) {
    WindowSystem& w = *program.platform.window;
    switch (control) {
        case SaveButton: SaveCommand(program); break;
        case TestButton:
            TestRun(program);
            w.DiscardPendingInput();
            break;
        case RunCountButton:
            CountedRun(program);
            w.DiscardPendingInput();
            break;
        case RunTimedButton:
            TimedRun(program);
            w.DiscardPendingInput();
            break;
        case InfoButton: ShowInformationWindow(program); break;
        case QuitButton: return true;
        default: break;  // fields and other controls start nothing
    }
    return false;
}

}  // namespace

void RunMainLoop(Program& program) {
    WindowSystem& w = *program.platform.window;
    for (;;) {
        RefreshClock(program);
        const WindowEvent event = w.WaitEvent();
        // Escape comes before the event: a button pressed in the same pass
        // is not carried out.
        if (EscapeReleased(program)) Shutdown(program);
        const bool quit = event.kind == EventKind::Control && CarryOut(program, event.control);
        if (quit) {
            w.CloseWindow(MainWindow);
            Shutdown(program);
        }
    }
}

}  // namespace morvik

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
    switch (control) {
        case SaveButton: SaveCommand(program); return false;
        case TestButton: TestRun(program); break;
        case RunCountButton: CountedRun(program); break;
        case RunTimedButton: TimedRun(program); break;
        case InfoButton: ShowInformationWindow(program);  // ends in a restart
        case QuitButton: return true;
        default: return false;  // fields and other controls start nothing
    }
    // Nothing pressed during the run is carried out after it.
    program.platform.window->DiscardPendingInput();
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

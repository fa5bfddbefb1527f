#include "app/startup.h"

#include <clocale>

#include "app/fonts.h"
#include "platform/audio_out.h"
#include "platform/keyboard.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/window_system.h"
#include "ui/main_window.h"

namespace morvik {

namespace {

// The user's locale for text, the neutral "C" conventions for numbers.
void SetLocale() {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
}

// Releases every facility, in order: sound, serial port, then the windows
// with the drawing surface, keyboard polling and fonts.
void ReleaseFacilities(Program& program) {
    Platform& p = program.platform;
    p.audio->Shutdown();
    p.port->Close();
    p.window->Shutdown();
}

}  // namespace

void CheckInit(Program& program, int result, const std::u16string& message) {
    if (result != 0) return;
    program.platform.box->Show(u"Error", message);
    Shutdown(program);
}

void PrepareFacilities(Program& program) {
    CheckInit(program, program.platform.window->StartSurface() ? 1 : 0,
              u"InitSprite() command failed.");
    CheckInit(program, program.platform.keyboard->Start() ? 1 : 0,
              u"InitKeyboard() command failed.");
    CreateFonts(program);
}

void Restart(Program& program) {
    program.platform.window->EndDraw();
    throw RestartRequest{};
}

void Shutdown(Program&) { throw ShutdownRequest{}; }

int StartUp(Program& program) {
    SetLocale();
    program.MainWindowWidth = 1280;
    program.MainWindowHeight = 700;
    program.SettingsTable.assign(11, {});
    try {
        PrepareFacilities(program);
        for (;;) {
            try {
                MainWindowSequence(program);
            } catch (const RestartRequest&) {
                // The abandoned work has unwound; build the main window afresh.
            }
        }
    } catch (const ShutdownRequest&) {
        ReleaseFacilities(program);
    }
    return 0;
}

}  // namespace morvik

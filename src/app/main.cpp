// Morvik: a Morse-code keyer. Takes no arguments; the settings file lives in
// the working directory.
#include "app/program.h"
#include "app/startup.h"
#include "platform/audio_out_miniaudio.h"
#include "platform/clock_posix.h"
#include "platform/keyboard_x11.h"
#include "platform/message_box_fltk.h"
#include "platform/serial_port_termios.h"
#include "platform/window_system_fltk.h"

int main() {
    morvik::FltkWindowSystem window;
    morvik::X11Keyboard keyboard;
    morvik::PosixClock clock;
    morvik::MiniaudioOut audio;
    morvik::TermiosSerialPort port;
    morvik::FltkMessageBox box;

    morvik::Program program;
    program.platform = {&window, &keyboard, &clock, &audio, &port, &box};
    return morvik::StartUp(program);
}

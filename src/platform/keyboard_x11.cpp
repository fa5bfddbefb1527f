#include "platform/keyboard_x11.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/keysym.h>

namespace morvik {

namespace {

// Whether the X input focus is on one of the program's windows: the
// keyboard counts only while the program is in the foreground.
bool ProgramHasFocus() {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(fl_display, &focus, &revert);
    if (focus == None || focus == PointerRoot) return false;
    return fl_find(focus) != nullptr;
}

}  // namespace

bool X11Keyboard::Start() {
    if (fl_display == nullptr) return false;
    if (XKeysymToKeycode(fl_display, XK_Escape) == 0) return false;
    char keys[32];
    return XQueryKeymap(fl_display, keys) != 0;
}

bool X11Keyboard::EscapeDown() {
    if (fl_display == nullptr || !ProgramHasFocus()) return false;
    // Fl::get_key asks the X server for the keys held right now.
    return Fl::get_key(FL_Escape) != 0;
}

}  // namespace morvik

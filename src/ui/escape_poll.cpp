#include "ui/escape_poll.h"

#include "platform/keyboard.h"

namespace morvik {

bool EscapeReleased(Program& program) {
    const bool down = program.platform.keyboard->EscapeDown();
    const bool released = program.EscapeWasDown && !down;
    program.EscapeWasDown = down;
    return released;
}

}  // namespace morvik

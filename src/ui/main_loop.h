#pragma once
#include "app/program.h"

namespace morvik {

// The idle loop of the main window: refreshes the clock, waits for the next
// window event, polls Escape and carries out the pressed button's command.
// Left only through Restart or Shutdown.
void RunMainLoop(Program& program);

}  // namespace morvik

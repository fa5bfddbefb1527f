#pragma once
#include "app/program.h"

namespace morvik {

// Ends drawing, presents the surface, lets the window handle at most one
// pending event (whose result is dropped) and begins drawing again.
void PresentSurface(Program& program);
// PresentSurface twice: the window catches up at the end of a message.
void ServiceWindow(Program& program);

}  // namespace morvik

#include "ui/present_surface.h"

#include "platform/window_system.h"

namespace morvik {

void PresentSurface(Program& program) {
    WindowSystem& w = *program.platform.window;
    w.EndDraw();
    w.Present();
    w.TakeEvent();
    w.BeginDraw();
}

void ServiceWindow(Program& program) {
    PresentSurface(program);
    PresentSurface(program);
}

}  // namespace morvik

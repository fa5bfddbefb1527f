#pragma once
#include <string>

#include "app/program.h"
#include "platform/window_system.h"

namespace morvik {

// Places a label of the main window during a run and brings it onto the
// screen at once, without taking input events, so the operator follows
// the run as it goes.
void ShowStatus(Program& program, int label, Rect rect, const std::u16string& text,
                ControlKind kind = ControlKind::PlainLabel);

}  // namespace morvik

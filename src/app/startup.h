#pragma once
#include <string>

#include "app/program.h"

namespace morvik {

// Thrown by Restart and caught at the top of the program, so that the
// abandoned work unwinds completely before the main window is built again.
struct RestartRequest {};
// Thrown by Shutdown and caught at the top of the program.
struct ShutdownRequest {};

// The entry of the program: prepares everything and runs the main window
// until Shutdown. Returns the exit code, which is always 0.
int StartUp(Program& program);

void PrepareFacilities(Program& program);
// Shows the "Error" box and shuts down when a facility's start failed.
void CheckInit(Program& program, int result, const std::u16string& message);
[[noreturn]] void Restart(Program& program);
[[noreturn]] void Shutdown(Program& program);

}  // namespace morvik

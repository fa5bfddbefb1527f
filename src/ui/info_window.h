#pragma once
#include "app/program.h"

namespace morvik {

// Shows the Morse table and the wiring notes until "Avsluta Info" is
// pressed, then builds the main window afresh. Never returns.
[[noreturn]] void ShowInformationWindow(Program& program);

}  // namespace morvik

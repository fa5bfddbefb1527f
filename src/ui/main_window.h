#pragma once
#include <string>

#include "app/program.h"

namespace morvik {

// "Morvik version QX7ZZB-052" followed by 90 spaces.
std::u16string WindowTitle();

// Builds the main window from scratch, filled from the settings file, and
// runs its event loop; left only through Restart or Shutdown.
void MainWindowSequence(Program& program);
void BuildMainWindow(Program& program);

}  // namespace morvik

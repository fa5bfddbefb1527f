#pragma once
#include "app/program.h"

namespace morvik {

// Saves the fields and builds the main window afresh; a save that could not
// be written is reported and changes nothing.
void SaveCommand(Program& program);
// One message.
void TestRun(Program& program);
// TransmissionCount messages.
void CountedRun(Program& program);
// Waits for the saved start time, then sends until the saved stop time.
void TimedRun(Program& program);

}  // namespace morvik

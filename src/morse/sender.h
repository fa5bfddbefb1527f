#pragma once
#include "app/program.h"
#include "ui/controls.h"

namespace morvik {

// The keying times of a unit: 1, 3, 1, 3 and 7 units, saturating.
ElementTimes KeyingTimesFor(int64_t unitMs);

// Sends the run's message once as Morse: the optional carrier, every
// character with its gaps, then the pause between transmissions. Does not
// return when Escape aborts the run at a dot.
void SendMorseMessage(Program& program);

}  // namespace morvik

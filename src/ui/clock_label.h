#pragma once
#include <string>

#include "app/program.h"
#include "platform/clock.h"
#include "ui/controls.h"

namespace morvik {

// "%hh:%ii:%ss", "%yyyy-%mm-%dd" and "%yyyy-%mm-%dd %hh:%ii" of a local time.
std::u16string TimeOfDayText(const LocalTime& t);
std::u16string DateText(const LocalTime& t);
std::u16string MinuteText(const LocalTime& t);

// Places the clock in the main window when the seconds text has changed
// since it was last placed; does nothing otherwise.
void RefreshClock(Program& program);

}  // namespace morvik

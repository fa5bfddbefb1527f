#include "ui/clock_label.h"

#include <cstdio>

#include "platform/text_encoding.h"
#include "platform/window_system.h"

namespace morvik {

namespace {

std::u16string Digits(int value, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    return FromUtf8(text);
}

}  // namespace

std::u16string TimeOfDayText(const LocalTime& t) {
    return Digits(t.hour, 2) + u":" + Digits(t.minute, 2) + u":" + Digits(t.second, 2);
}

std::u16string DateText(const LocalTime& t) {
    return Digits(t.year, 4) + u"-" + Digits(t.month, 2) + u"-" + Digits(t.day, 2);
}

std::u16string MinuteText(const LocalTime& t) {
    return DateText(t) + u" " + Digits(t.hour, 2) + u":" + Digits(t.minute, 2);
}

void RefreshClock(Program& program) {
    Clock& clock = *program.platform.clock;
    if (TimeOfDayText(clock.Now()) == program.LastClockTime) return;
    const std::u16string time = TimeOfDayText(clock.Now());
    const std::u16string date = DateText(clock.Now());
    WindowSystem& w = *program.platform.window;
    // The clock always belongs to the main window, also while the
    // information window is open.
    w.Place(MainWindow, ClockLabel, ControlKind::PlainLabel, {950, 30, 300, 40},
            date + u" " + time);
    w.SetFont(ClockLabel, 4);
    w.SetTextColor(ClockLabel, {100, 100, 100});
    w.Flush();
    program.LastClockTime = time;
}

}  // namespace morvik

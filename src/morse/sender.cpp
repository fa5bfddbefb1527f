#include "morse/sender.h"

#include "morse/keying.h"
#include "morse/morse_table.h"
#include "platform/clock.h"
#include "platform/text_encoding.h"
#include "ui/clock_label.h"
#include "ui/present_surface.h"
#include "ui/status_label.h"

namespace morvik {

namespace {

constexpr Rect MessageNumberRect{390, 490, 200, 20};
constexpr Rect TransmissionPauseRect{390, 460, 200, 20};
// Narrower than the 900 the main window first gives this label; it keeps
// this width until the window is built again.
constexpr Rect SentTextRect{320, 370, 800, 20};

}  // namespace

ElementTimes KeyingTimesFor(int64_t u) {
    const int64_t three = SaturatingMultiply(3, u);
    return {u, three, u, three, SaturatingMultiply(7, u)};
}

void SendMorseMessage(Program& program) {
    Clock& clock = *program.platform.clock;
    const RunValues& run = program.RunParameters;
    program.KeyingTimes = KeyingTimesFor(run.UnitMs);

    std::u16string sent = u" ";
    if (run.CarrierMs > 0) KeyCarrier(program);

    const std::u16string text = run.MessageText;
    const std::u16string number =
        u"Meddelande nr " + DecimalText(program.MessageCounter) + u" sänds ut";
    for (const char16_t c : text) {
        // Shown before the character is keyed, so the operator sees it from
        // its first element on.
        ShowStatus(program, RunStatusLabel, MessageNumberRect, number);
        RefreshClock(program);
        sent += c;
        ShowStatus(program, SentTextLabel, SentTextRect, sent, ControlKind::BorderedLabel);
        const char* elements = MorseElements(c);
        if (elements == nullptr) continue;  // no entry: takes no time
        if (*elements == '\0') {
            clock.SleepMs(program.KeyingTimes.WordSpace);
            continue;
        }
        for (const char* e = elements; *e != '\0'; ++e) {
            if (*e == '.') {
                KeyDot(program);
            } else {
                KeyDash(program);
            }
        }
        clock.SleepMs(program.KeyingTimes.CharacterGap);
    }

    ShowStatus(program, RunStatusLabel, MessageNumberRect, u"");
    ShowStatus(program, RunStatusLabel, TransmissionPauseRect, u"Pause mellan utsändningarna");
    clock.SleepMs(run.TransmissionPauseMs);
    ShowStatus(program, RunStatusLabel, TransmissionPauseRect, u"");
    ServiceWindow(program);
}

}  // namespace morvik

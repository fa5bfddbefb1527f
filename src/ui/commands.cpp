#include "ui/commands.h"

#include "app/startup.h"
#include "morse/sender.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "platform/window_system.h"
#include "settings/settings_file.h"
#include "ui/clock_label.h"
#include "ui/controls.h"
#include "ui/escape_poll.h"
#include "ui/field_number.h"
#include "ui/present_surface.h"
#include "ui/sound_beep.h"
#include "ui/status_label.h"

namespace morvik {

namespace {

constexpr Rect KlartRect{390, 520, 200, 20};
// The start wait pauses this long at most between its passes, so that a
// wait of hours costs next to no processor time.
constexpr int StartWaitPassMs = 20;

SettingTexts FieldTexts(WindowSystem& w) {
    SettingTexts t;
    t.Tone = w.FieldText(ToneField);
    t.Unit = w.FieldText(UnitField);
    t.Text = w.FieldText(TextField);
    t.Carrier = w.FieldText(CarrierField);
    t.CarrierPause = w.FieldText(CarrierPauseField);
    t.TransmissionPause = w.FieldText(TransmissionPauseField);
    t.Count = w.FieldText(CountField);
    t.Port = w.FieldText(PortField);
    t.StartTime = w.FieldText(StartField);
    t.StopTime = w.FieldText(StopField);
    return t;
}

void ShowSentCount(Program& program) {
    program.SentCountText = u" " + DecimalText(program.MessageCounter);
    ShowStatus(program, SentCountLabel, {320, 520, 50, 20}, program.SentCountText,
               ControlKind::BorderedLabel);
}

std::u16string CurrentMinuteText(Program& program) {
    return MinuteText(program.platform.clock->Now());
}

}  // namespace

void SaveCommand(Program& program) {
    const SettingTexts loaded = program.LoadedSettings;
    program.LoadedSettings = FieldTexts(*program.platform.window);
    if (!SaveSettings(program)) {
        // Nothing was written: say so, and leave the fields as they are so
        // that nothing typed is lost.
        program.LoadedSettings = loaded;
        program.platform.box->Show(u"Information", u"Couldn't save the file");
        return;
    }
    ShowStatus(program, SavedLabel, {130, 620, 200, 20}, u"Data är sparad");
    SoundBeep(program, 800, 300);
    SoundBeep(program, 600, 300);
    ShowStatus(program, SavedLabel, {125, 680, 200, 20}, u" ");
    Restart(program);
}

void TestRun(Program& program) {
    ShowStatus(program, TestRunLabel, {255, 620, 200, 20}, u"Testkörning pågår");
    ReadRunParameters(program);
    program.MessageCounter = 1;
    SendMorseMessage(program);
    ShowStatus(program, RunStatusLabel, KlartRect, u"Klart");
    ShowStatus(program, TestRunLabel, {255, 680, 200, 20}, u" ");
}

void CountedRun(Program& program) {
    ShowStatus(program, CountRunLabel, {385, 620, 200, 20}, u"Nu körs n antal TX");
    ReadRunParameters(program);
    program.MessageCounter = 1;
    while (program.MessageCounter <= program.RunParameters.TransmissionCount) {
        PresentSurface(program);
        SendMorseMessage(program);
        ShowSentCount(program);
        ++program.MessageCounter;
    }
    ShowStatus(program, RunStatusLabel, KlartRect, u"Klart");
    ShowStatus(program, CountRunLabel, {385, 680, 200, 20}, u" ");
}

void TimedRun(Program& program) {
    WindowSystem& w = *program.platform.window;
    SoundBeep(program, 800, 500);
    ReadRunParameters(program);
    ShowStatus(program, RunStatusLabel, {515, 620, 200, 20}, u"Inväntar starttid");

    // The saved times count, not what the fields show now. Times compare as
    // UTF-16 code units, which for this form is their order in time.
    const std::u16string start = program.LoadedSettings.StartTime;
    const std::u16string stop = program.LoadedSettings.StopTime;
    for (;;) {
        if (EscapeReleased(program)) Restart(program);
        RefreshClock(program);
        if (!(start > CurrentMinuteText(program))) break;
        w.ServiceFor(StartWaitPassMs);
    }
    ShowStatus(program, RunStatusLabel, {515, 680, 200, 20}, std::u16string(17, u' '));

    // Counted like the counted run: message k is shown as number k while it
    // is sent, and the sent count shows k after it.
    program.MessageCounter = 1;
    for (;;) {
        const std::u16string minute = CurrentMinuteText(program);
        PresentSurface(program);
        SendMorseMessage(program);
        ShowSentCount(program);
        ++program.MessageCounter;
        if (!(stop > minute)) break;
    }
    ShowStatus(program, RunStatusLabel, KlartRect, u"Klart");
}

}  // namespace morvik

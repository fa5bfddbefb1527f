#include "ui/main_window.h"

#include "platform/window_system.h"
#include "settings/settings_file.h"
#include "ui/controls.h"
#include "ui/main_loop.h"
#include "ui/status_label.h"

namespace morvik {

namespace {

using K = ControlKind;

struct Row {
    int number;
    ControlKind kind;
    Rect rect;
    const char16_t* text;               // the initial text, when fixed
    std::u16string SettingTexts::*setting;  // or the setting it shows
};

// Rows 4 to 34 of the layout, in the order they are created.
const Row LayoutRows[] = {
    {PortCaptionLabel, K::PlainLabel, {120, 250, 200, 20}, u"Comport", nullptr},
    {PortField, K::UpperCaseField, {320, 250, 50, 20}, nullptr, &SettingTexts::Port},
    {ToneCaptionLabel, K::PlainLabel, {120, 280, 200, 20}, u"Ton i Hertz", nullptr},
    {ToneField, K::TextField, {320, 280, 50, 20}, nullptr, &SettingTexts::Tone},
    {UnitCaptionLabel, K::PlainLabel, {120, 310, 200, 20}, u"Teckenlängd i mS", nullptr},
    {UnitField, K::TextField, {320, 310, 50, 20}, nullptr, &SettingTexts::Unit},
    {TextCaptionLabel, K::PlainLabel, {120, 340, 200, 20}, u"Text du vill sända", nullptr},
    {TextField, K::UpperCaseField, {320, 340, 900, 20}, nullptr, &SettingTexts::Text},
    {SentTextCaptionLabel, K::PlainLabel, {120, 370, 200, 20}, u"Aktuell text som sänds just nu", nullptr},
    {SentTextLabel, K::BorderedLabel, {320, 370, 900, 20}, u"", nullptr},
    {CarrierCaptionLabel, K::PlainLabel, {120, 400, 200, 20}, u"Ev. bärvåg i mS före texten", nullptr},
    {CarrierField, K::TextField, {320, 400, 50, 20}, nullptr, &SettingTexts::Carrier},
    {CarrierPauseCaptionLabel, K::PlainLabel, {120, 430, 200, 20}, u"Pause i mS mellan bärvåg och text", nullptr},
    {CarrierPauseField, K::TextField, {320, 430, 50, 20}, nullptr, &SettingTexts::CarrierPause},
    {TransmissionPauseCaptionLabel, K::PlainLabel, {120, 460, 200, 20}, u"Pause i mS mellan sändningarna", nullptr},
    {TransmissionPauseField, K::TextField, {320, 460, 50, 20}, nullptr, &SettingTexts::TransmissionPause},
    {CountCaptionLabel, K::PlainLabel, {120, 490, 200, 20}, u"Antal utsändningar du vill köra", nullptr},
    {CountField, K::TextField, {320, 490, 50, 20}, nullptr, &SettingTexts::Count},
    {SentCountCaptionLabel, K::PlainLabel, {120, 520, 200, 20}, u"Antal körda utsändningar ", nullptr},
    {SentCountLabel, K::BorderedLabel, {320, 520, 50, 20}, nullptr, nullptr},  // SentCountText
    {RunStatusLabel, K::PlainLabel, {420, 520, 200, 20}, u"", nullptr},
    {StartCaptionLabel, K::PlainLabel, {120, 550, 200, 20}, u"Start     åååå-mm-dd tt:mm", nullptr},
    {StartField, K::TextField, {320, 550, 100, 20}, nullptr, &SettingTexts::StartTime},
    {StopCaptionLabel, K::PlainLabel, {120, 580, 200, 20}, u"Stopp   åååå-mm-dd tt:mm", nullptr},
    {StopField, K::TextField, {320, 580, 100, 20}, nullptr, &SettingTexts::StopTime},
    {SaveButton, K::PushButton, {120, 640, 100, 20}, u"Spara", nullptr},
    {TestButton, K::PushButton, {250, 640, 100, 20}, u"Testa slingan", nullptr},
    {RunCountButton, K::PushButton, {380, 640, 100, 20}, u"Kör n antal TX", nullptr},
    {RunTimedButton, K::PushButton, {510, 640, 100, 20}, u"Tid från/till", nullptr},
    {InfoButton, K::PushButton, {640, 640, 100, 20}, u"Information", nullptr},
    {QuitButton, K::PushButton, {1030, 640, 100, 20}, u"Avsluta", nullptr},
};

constexpr Rgb HeadingColour{100, 100, 255};
constexpr Rgb HintColour{100, 100, 100};

}  // namespace

std::u16string WindowTitle() { return u"Morvik version QX7ZZB-052" + std::u16string(90, u' '); }

void BuildMainWindow(Program& program) {
    WindowSystem& w = *program.platform.window;
    // Opening window 7 again closes the earlier one with all its controls.
    w.OpenWindow(MainWindow, WindowTitle(), program.MainWindowWidth, program.MainWindowHeight);
    w.StartTimer(MainWindow, MainWindowTimer, 250);
    w.OpenSurface(MainWindow, program.MainWindowWidth, program.MainWindowHeight);
    w.ClearSurface({255, 255, 255});
    w.BeginDraw();

    w.Place(MainWindow, HeadingLabel, K::PlainLabel, {400, 30, 600, 30}, u"MORVIK by SOLVARP");
    w.SetFont(HeadingLabel, 4);
    w.SetTextColor(HeadingLabel, HeadingColour);
    // Any box of the settings store shows while the window holds only the
    // heading.
    w.Flush();
    LoadSettings(program);

    w.Place(MainWindow, FillInHintLabel, K::PlainLabel, {120, 140, 600, 20},
            u"Fyll i alla fält med relevant information!");
    w.SetFont(FillInHintLabel, 1);
    w.SetTextColor(FillInHintLabel, HintColour);
    w.Place(MainWindow, EscapeHintLabel, K::PlainLabel, {120, 170, 600, 20},
            u"Avbryt ej färdig utsändning med Escape!");
    w.SetFont(EscapeHintLabel, 1);
    w.SetTextColor(EscapeHintLabel, HintColour);

    for (const Row& row : LayoutRows) {
        std::u16string text;
        if (row.setting != nullptr) {
            text = program.LoadedSettings.*row.setting;
        } else if (row.text != nullptr) {
            text = row.text;
        } else {
            text = program.SentCountText;
        }
        w.Place(MainWindow, row.number, row.kind, row.rect, text);
    }
}

void MainWindowSequence(Program& program) {
    BuildMainWindow(program);
    RunMainLoop(program);
}

}  // namespace morvik

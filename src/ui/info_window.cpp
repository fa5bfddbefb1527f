#include "ui/info_window.h"

#include "app/startup.h"
#include "platform/window_system.h"
#include "ui/clock_label.h"
#include "ui/controls.h"
#include "ui/main_window.h"

namespace morvik {

namespace {

struct InfoLine {
    int number;
    int y;
    const char16_t* text;
};

// Labels 54 to 64 at x 40, 550 by 20; the runs of spaces are part of the
// texts.
const InfoLine InfoLines[] = {
    {54, 70, u"Följande morsetecken hanteras av programmet."},
    {55, 100, u"A .-   B -...   C -.-.   D -..   E .     F ..-.   G --.   H ....   I ..   J .---   K -.-   L .-..   M --   N -.   O ---   P .--."},
    {56, 120, u"Q --.-   R .-.   S ...   T -   U ..-   V ...-   W .--   X -..-   Y -.--   Z --..   Å .--.-   Ä .-.-   Ö ---.   @ .--.-."},
    {57, 140, u"1 .----   2 ..---   3 ...--   4 ....-    5 .....   6 -....   7 --...   8 ---..   9 ----.   0 -----"},
    {58, 160, u"(.) .-.-.-   (,) --..--   (-) -....-   (=) -...-   (+) .-.-.   (*) ...-.-   (/) -..-.   (?) ..--.."},
    {59, 190, u"För att styra en sändare används pin 4 och pin 5 i det seriella uttaget."},
    {60, 210, u"Pin 5 är jord och pin 4 är DTR. DTR sätts hög när ett tecken skall sändas och lite beroende på ditt "},
    {61, 230, u"RS-232 kort kan antal volt skilja. Du behöver förmodligen en diod för att hantera den positiva delen"},
    {62, 250, u"av signalen. Din nycklingsenhet bygger du runt en lite kraftigare transistor, inga konstigheter där!"},
    {63, 270, u"Lämna fältet för kommunikationsporten tomt om du inte vill nyckla via den!"},
    {MakerLabel, 400, u""},
};

}  // namespace

void ShowInformationWindow(Program& program) {
    WindowSystem& w = *program.platform.window;
    w.OpenWindow(InfoWindow, WindowTitle(), 600, 600);
    w.Place(InfoWindow, InfoHeadingLabel, ControlKind::PlainLabel, {230, 30, 300, 30},
            u"Information");
    w.SetFont(InfoHeadingLabel, 3);
    w.SetTextColor(InfoHeadingLabel, {100, 100, 255});
    for (const InfoLine& line : InfoLines) {
        w.Place(InfoWindow, line.number, ControlKind::PlainLabel, {40, line.y, 550, 20}, line.text);
    }
    w.SetFont(MakerLabel, 1);
    w.SetTextColor(MakerLabel, {100, 100, 100});
    w.Place(InfoWindow, InfoCloseButton, ControlKind::PushButton, {250, 550, 100, 20},
            u"Avsluta Info");

    // Everything but "Avsluta Info" is taken and dropped: presses on the
    // main window start nothing, then or later. Escape is not polled here.
    bool closing = false;
    while (!closing) {
        RefreshClock(program);
        const WindowEvent event = w.WaitEvent();
        closing = event.kind == EventKind::Control && event.control == InfoCloseButton;
    }
    w.CloseWindow(InfoWindow);
    w.DiscardPendingInput();
    Restart(program);
}

}  // namespace morvik

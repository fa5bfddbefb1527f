#include "morse/keying.h"

#include "app/startup.h"
#include "platform/text_encoding.h"
#include "morse/tone_image.h"
#include "platform/audio_out.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "ui/controls.h"
#include "ui/escape_poll.h"
#include "ui/status_label.h"

namespace morvik {

namespace {

constexpr Rect CarrierTextRect{390, 400, 200, 20};
constexpr Rect CarrierPauseRect{390, 430, 200, 20};

enum class Element { Dot, Dash, Carrier };

// Every port name that sorts after a single space is opened: an empty name
// or one space means "no port".
bool PortWanted(const std::u16string& port) { return port > std::u16string(u" "); }

int64_t OnTime(const Program& program, Element element) {
    switch (element) {
        case Element::Dot: return program.KeyingTimes.DotLength;
        case Element::Dash: return program.KeyingTimes.DashLength;
        case Element::Carrier: return program.RunParameters.CarrierMs;
    }
    return 0;
}

void ClosingPart(Program& program, Element element) {
    Clock& clock = *program.platform.clock;
    if (element != Element::Carrier) {
        clock.SleepMs(program.KeyingTimes.ElementGap);
        return;
    }
    ShowStatus(program, CarrierStatusLabel, CarrierTextRect, u"");
    ShowStatus(program, CarrierStatusLabel, CarrierPauseRect, u"Paus mellan bärvåg och text");
    clock.SleepMs(program.RunParameters.CarrierPauseMs);
    ShowStatus(program, CarrierStatusLabel, CarrierPauseRect, u"");
}

// The keying sequence shared by the three elements. The tone is started
// before the port is opened and stopped before it is closed, and the port
// is opened per element so that DTR follows the key.
void KeyElement(Program& program, Element element) {
    AudioOut& audio = *program.platform.audio;
    SerialPort& port = *program.platform.port;

    if (!audio.EnsureStarted()) return;

    // A frequency outside 1..48000 Hz has no sine period to loop: the
    // element keys and times as usual but sounds nothing.
    const int64_t tone = program.RunParameters.ToneHz;
    const bool audible = tone >= LowestToneHz && tone <= HighestToneHz;
    bool sounding = false;
    if (audible) {
        const auto image = BuildToneBuffer(ToneSampleRate, tone);
        if (!image) return;
        sounding = audio.MakeSound(*image);
        // The image is released here; the sound holds its own samples.
    }
    if (audible && !sounding) {
        ClosingPart(program, element);
        return;
    }

    if (sounding) audio.PlayLooped();
    const std::u16string& portName = program.LoadedSettings.Port;
    const bool opened = PortWanted(portName) && port.Open(ToUtf8(portName));
    program.platform.clock->SleepMs(OnTime(program, element));
    if (sounding) audio.Stop();
    if (opened) port.Close();
    ClosingPart(program, element);
    if (sounding) audio.ReleaseSound();
}

}  // namespace

void KeyDot(Program& program) {
    // At this point no tone plays and no port is open, so a restart needs
    // nothing stopped or closed.
    if (EscapeReleased(program)) Restart(program);
    KeyElement(program, Element::Dot);
}

void KeyDash(Program& program) { KeyElement(program, Element::Dash); }

void KeyCarrier(Program& program) {
    ShowStatus(program, CarrierStatusLabel, CarrierTextRect,
               u"Bärvåg i " + DecimalText(program.RunParameters.CarrierMs) + u" millisekunder");
    KeyElement(program, Element::Carrier);
}

}  // namespace morvik

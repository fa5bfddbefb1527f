#pragma once
// A fake world for the core: every facility records what it is asked to do
// on one timeline, against a virtual clock that only sleeps move.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/audio_out.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/window_system.h"

namespace morvik::fake {

struct Entry {
    int64_t at = 0;     // virtual milliseconds
    std::string what;   // e.g. "tone on 800", "port open COM3", "sleep 50"
};

struct Timeline {
    int64_t now = 0;
    std::vector<Entry> entries;
    void Add(std::string what) { entries.push_back({now, std::move(what)}); }
    // "at what" lines, for readable comparisons.
    std::vector<std::string> Lines() const;
    // Only the entries whose text starts with one of the prefixes.
    std::vector<std::string> Lines(const std::vector<std::string>& prefixes) const;
    // The tone's on and off times as [start, end) spans.
    std::vector<std::pair<int64_t, int64_t>> ToneSpans() const;
};

class FakeClock : public Clock {
public:
    explicit FakeClock(Timeline& t) : t_(t) {}
    int64_t MonotonicMs() override { return t_.now; }
    void SleepMs(int64_t ms) override;
    // The local time at virtual time 0 plus the virtual time passed.
    LocalTime Now() override;
    LocalTime start{2025, 11, 27, 15, 21, 7};

private:
    Timeline& t_;
};

class FakeAudio : public AudioOut {
public:
    explicit FakeAudio(Timeline& t) : t_(t) {}
    bool EnsureStarted() override;
    bool MakeSound(const std::vector<uint8_t>& image) override;
    void PlayLooped() override;
    void Stop() override;
    void ReleaseSound() override;
    void Beep(int64_t frequencyHz, int64_t milliseconds) override;
    void Shutdown() override { t_.Add("audio shutdown"); }

    bool startSucceeds = true;
    bool makeSucceeds = true;
    int startAttempts = 0;
    int soundsAlive = 0;  // made and not yet released

private:
    Timeline& t_;
    bool settled_ = false, started_ = false;
    int64_t hz_ = 0;
};

class FakePort : public SerialPort {
public:
    explicit FakePort(Timeline& t) : t_(t) {}
    bool Open(const std::string& name) override;
    void Close() override;
    bool openSucceeds = true;
    bool isOpen = false;

private:
    Timeline& t_;
};

class FakeKeyboard : public Keyboard {
public:
    explicit FakeKeyboard(Timeline& t) : t_(t) {}
    bool Start() override { return startSucceeds; }
    // Escape's state at each poll: from escapeAt when it is set, otherwise
    // from the script of polls, and up once that is used up.
    bool EscapeDown() override;
    std::function<bool(int64_t now)> escapeAt;
    bool startSucceeds = true;
    std::deque<bool> escapeAtPoll;
    int polls = 0;

private:
    Timeline& t_;
};

class FakeBox : public MessageBox {
public:
    explicit FakeBox(Timeline& t) : t_(t) {}
    void Show(const std::u16string& title, const std::u16string& text) override;

private:
    Timeline& t_;
};

// Thrown by the fake window when its script of events is used up, so that a
// test can end an event loop that would otherwise wait for ever.
struct ScriptEnded {};

class FakeWindow : public WindowSystem {
public:
    explicit FakeWindow(Timeline& t) : t_(t) {}
    bool StartSurface() override;
    double VerticalDpi() override { return dpi; }
    void CreateFont(int font, const std::string& family, int pixelSize, bool bold) override;
    void OpenWindow(int window, const std::u16string& title, int w, int h) override;
    void CloseWindow(int window) override;
    void StartTimer(int window, int timer, int periodMs) override;
    void OpenSurface(int window, int width, int height) override;
    void ClearSurface(Rgb colour) override;
    void BeginDraw() override { t_.Add("begin draw"); }
    void EndDraw() override { t_.Add("end draw"); }
    void Present() override { t_.Add("present"); }
    void Place(int window, int control, ControlKind kind, Rect rect,
               const std::u16string& text) override;
    void SetFont(int control, int font) override;
    void SetTextColor(int control, Rgb colour) override;
    std::u16string FieldText(int control) override;
    WindowEvent WaitEvent() override;
    bool TakeEvent() override;
    void Flush() override { t_.Add("flush"); }
    // Waits the whole time on the virtual clock: no events come.
    void ServiceFor(int maxWaitMs) override;
    void DiscardPendingInput() override { t_.Add("discard input"); }
    void Shutdown() override { t_.Add("window shutdown"); }

    bool surfaceStarts = true;
    double dpi = 96.0;
    int openWindows = 0;
    // Each step of the script is run by one WaitEvent; it may act (press
    // Escape, call Restart) and returns the event to deliver.
    std::deque<std::function<WindowEvent()>> script;
    // The text each control was last placed with, or typed into it.
    std::map<int, std::u16string> texts;
    void Type(int control, const std::u16string& text) { texts[control] = text; }
    std::vector<uintptr_t> waitStackMarks;  // stack depth at each wait
    // Off for very long messages: placements then record the text's length
    // instead of the text.
    bool recordTexts = true;
    int servicePasses = 0;

private:
    Timeline& t_;
};

// Everything wired into one Program, as main() does with the real world.
struct FakeWorld {
    FakeWorld();
    Timeline timeline;
    FakeClock clock{timeline};
    FakeAudio audio{timeline};
    FakePort port{timeline};
    FakeKeyboard keyboard{timeline};
    FakeBox box{timeline};
    FakeWindow window{timeline};
    Program program;
};

}  // namespace morvik::fake

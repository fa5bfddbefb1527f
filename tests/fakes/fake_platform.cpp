#include "fakes/fake_platform.h"

#include <ctime>

#include "platform/text_encoding.h"

namespace morvik::fake {

namespace {

std::string RectText(Rect r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.w) + "," +
           std::to_string(r.h);
}

const char* KindText(ControlKind kind) {
    switch (kind) {
        case ControlKind::PlainLabel: return "label";
        case ControlKind::BorderedLabel: return "bordered";
        case ControlKind::TextField: return "field";
        case ControlKind::UpperCaseField: return "upperfield";
        case ControlKind::PushButton: return "button";
    }
    return "?";
}

}  // namespace

std::vector<std::string> Timeline::Lines() const { return Lines({""}); }

std::vector<std::string> Timeline::Lines(const std::vector<std::string>& prefixes) const {
    std::vector<std::string> out;
    for (const Entry& e : entries) {
        for (const std::string& p : prefixes) {
            if (e.what.rfind(p, 0) == 0) {
                out.push_back(std::to_string(e.at) + " " + e.what);
                break;
            }
        }
    }
    return out;
}

std::vector<std::pair<int64_t, int64_t>> Timeline::ToneSpans() const {
    std::vector<std::pair<int64_t, int64_t>> spans;
    for (const Entry& e : entries) {
        if (e.what.rfind("tone on", 0) == 0) spans.push_back({e.at, -1});
        if (e.what == "tone off" && !spans.empty()) spans.back().second = e.at;
    }
    return spans;
}

void FakeClock::SleepMs(int64_t ms) {
    const int64_t waited = ClampSleep(ms);
    if (waited == 0) return;
    t_.Add("sleep " + std::to_string(waited));
    t_.now += waited;
}

LocalTime FakeClock::Now() {
    tm t{};
    t.tm_year = start.year - 1900;
    t.tm_mon = start.month - 1;
    t.tm_mday = start.day;
    t.tm_hour = start.hour;
    t.tm_min = start.minute;
    t.tm_sec = start.second;
    const time_t at = timegm(&t) + static_cast<time_t>(t_.now / 1000);
    tm now{};
    gmtime_r(&at, &now);
    return {now.tm_year + 1900, now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec};
}

bool FakeAudio::EnsureStarted() {
    if (!settled_) {
        ++startAttempts;
        settled_ = true;
        started_ = startSucceeds;
    }
    return started_;
}

bool FakeAudio::MakeSound(const std::vector<uint8_t>& image) {
    if (!makeSucceeds || image.size() < 44) return false;
    // The tone heard is the sample rate over the samples in one period.
    const uint32_t rate = image[24] | image[25] << 8 | image[26] << 16 | uint32_t(image[27]) << 24;
    const uint32_t data = image[40] | image[41] << 8 | image[42] << 16 | uint32_t(image[43]) << 24;
    hz_ = data >= 3 ? rate / (data / 3) : 0;
    ++soundsAlive;
    return true;
}

void FakeAudio::PlayLooped() { t_.Add("tone on " + std::to_string(hz_)); }
void FakeAudio::Stop() { t_.Add("tone off"); }
void FakeAudio::ReleaseSound() { --soundsAlive; }

void FakeAudio::Beep(int64_t frequencyHz, int64_t milliseconds) {
    if (!started_ && settled_) return;
    t_.Add("beep " + std::to_string(frequencyHz) + " " + std::to_string(milliseconds));
    t_.now += milliseconds > 0 ? milliseconds : 0;
}

bool FakePort::Open(const std::string& name) {
    t_.Add("port open " + name + (openSucceeds ? "" : " failed"));
    isOpen = openSucceeds;
    return openSucceeds;
}

void FakePort::Close() {
    if (!isOpen) return;
    isOpen = false;
    t_.Add("port close");
}

bool FakeKeyboard::EscapeDown() {
    ++polls;
    if (escapeAt) return escapeAt(t_.now);
    bool down = false;
    if (!escapeAtPoll.empty()) {
        down = escapeAtPoll.front();
        escapeAtPoll.pop_front();
    }
    return down;
}

void FakeBox::Show(const std::u16string& title, const std::u16string& text) {
    t_.Add("box " + ToUtf8(title) + ": " + ToUtf8(text));
}

bool FakeWindow::StartSurface() {
    t_.Add(std::string("start surface") + (surfaceStarts ? "" : " failed"));
    return surfaceStarts;
}

void FakeWindow::CreateFont(int font, const std::string& family, int pixelSize, bool bold) {
    t_.Add("font " + std::to_string(font) + " " + family + " " + std::to_string(pixelSize) +
           (bold ? " bold" : ""));
}

void FakeWindow::OpenWindow(int window, const std::u16string& title, int w, int h) {
    t_.Add("open window " + std::to_string(window) + " " + std::to_string(w) + "x" +
           std::to_string(h) + " \"" + ToUtf8(title) + "\"");
    ++openWindows;
}

void FakeWindow::CloseWindow(int window) {
    t_.Add("close window " + std::to_string(window));
    --openWindows;
}

void FakeWindow::StartTimer(int window, int timer, int periodMs) {
    t_.Add("timer " + std::to_string(timer) + " on " + std::to_string(window) + " every " +
           std::to_string(periodMs));
}

void FakeWindow::OpenSurface(int window, int width, int height) {
    t_.Add("surface on " + std::to_string(window) + " " + std::to_string(width) + "x" +
           std::to_string(height));
}

void FakeWindow::ClearSurface(Rgb c) {
    t_.Add("clear " + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b));
}

void FakeWindow::Place(int window, int control, ControlKind kind, Rect rect,
                       const std::u16string& text) {
    t_.Add("place " + std::to_string(control) + " " + KindText(kind) + " in " +
           std::to_string(window) + " at " + RectText(rect) + " " +
           (recordTexts ? "\"" + ToUtf8(text) + "\"" : std::to_string(text.size())));
    texts[control] = text;
}

void FakeWindow::SetFont(int control, int font) {
    t_.Add("font of " + std::to_string(control) + " = " + std::to_string(font));
}

void FakeWindow::SetTextColor(int control, Rgb c) {
    t_.Add("colour of " + std::to_string(control) + " = " + std::to_string(c.r) + "," +
           std::to_string(c.g) + "," + std::to_string(c.b));
}

std::u16string FakeWindow::FieldText(int control) {
    const auto it = texts.find(control);
    return it == texts.end() ? std::u16string{} : it->second;
}

WindowEvent FakeWindow::WaitEvent() {
    int mark = 0;
    waitStackMarks.push_back(reinterpret_cast<uintptr_t>(&mark));
    if (script.empty()) throw ScriptEnded{};
    auto step = std::move(script.front());
    script.pop_front();
    return step();
}

void FakeWindow::ServiceFor(int maxWaitMs) {
    ++servicePasses;
    t_.now += maxWaitMs > 0 ? maxWaitMs : 0;
}

bool FakeWindow::TakeEvent() {
    t_.Add("take event");
    return false;
}

FakeWorld::FakeWorld() {
    program.platform = {&window, &keyboard, &clock, &audio, &port, &box};
    program.MainWindowWidth = 1280;
    program.MainWindowHeight = 700;
    program.SettingsTable.assign(11, {});
}

}  // namespace morvik::fake

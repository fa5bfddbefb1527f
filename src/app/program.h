#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace morvik {

class WindowSystem;
class Keyboard;
class Clock;
class AudioOut;
class SerialPort;
class MessageBox;

// The outside world, as the core sees it.
struct Platform {
    WindowSystem* window = nullptr;
    Keyboard* keyboard = nullptr;
    Clock* clock = nullptr;
    AudioOut* audio = nullptr;
    SerialPort* port = nullptr;
    MessageBox* box = nullptr;
};

// The ten settings as texts, in slot order.
struct SettingTexts {
    std::u16string Tone, Unit, Text, Carrier, TransmissionPause, Count, CarrierPause, Port,
        StartTime, StopTime;
};

// What a run reads from the fields when it starts.
struct RunValues {
    int64_t ToneHz = 0;
    int64_t UnitMs = 0;
    std::u16string MessageText;
    int64_t CarrierMs = 0;
    int64_t CarrierPauseMs = 0;
    int64_t TransmissionPauseMs = 0;
    int64_t TransmissionCount = 0;
};

// Element and gap lengths in milliseconds, derived from the unit per message.
struct ElementTimes {
    int64_t DotLength = 0, DashLength = 0, ElementGap = 0, CharacterGap = 0, WordSpace = 0;
};

// Window and timer numbers.
inline constexpr int MainWindow = 7;
inline constexpr int InfoWindow = 52;
inline constexpr int MainWindowTimer = 123;

// Every program-wide value, in one place. They live as long as the process
// and survive a restart unless the main window's build renews them.
struct Program {
    Platform platform;

    int MainWindowWidth = 0;
    int MainWindowHeight = 0;
    // Rows 0 to 10 by columns 0 to 2; only a staging area for writing.
    std::vector<std::array<std::u16string, 3>> SettingsTable;
    SettingTexts LoadedSettings;
    std::u16string LookupResult;
    RunValues RunParameters;
    ElementTimes KeyingTimes;
    int64_t MessageCounter = 0;
    std::u16string SentCountText;
    std::u16string LastClockTime;

    // Whether the previous keyboard poll, wherever it was made, saw Escape down.
    bool EscapeWasDown = false;
};

}  // namespace morvik

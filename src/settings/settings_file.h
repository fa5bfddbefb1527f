#pragma once
// The ten settings outlive the process in "morvik.cnf", in the working
// directory: one line per slot, the key padded to 9 characters, then the
// value exactly as entered.
#include <array>
#include <string>
#include <string_view>

#include "app/program.h"

namespace morvik {

class LockedFile;

inline constexpr char SettingsFileName[] = "morvik.cnf";
// The width of the key column; values start in the column after it.
inline constexpr size_t SettingsKeyWidth = 9;

struct SettingSlot {
    std::u16string_view key;
    std::u16string SettingTexts::*field;
    std::u16string_view defaultValue;
};

// Slots 1 to 10, in file order.
inline constexpr std::array<SettingSlot, 10> SettingSlots = {{
    {u"MV001", &SettingTexts::Tone, u"800"},
    {u"MV002", &SettingTexts::Unit, u"50"},
    {u"MV003", &SettingTexts::Text, u"73 CUAGN + "},
    {u"MV004", &SettingTexts::Carrier, u"2000"},
    {u"MV005", &SettingTexts::TransmissionPause, u"2000"},
    {u"MV006", &SettingTexts::Count, u"73"},
    {u"MV007", &SettingTexts::CarrierPause, u"1000"},
    {u"MV008", &SettingTexts::Port, u""},
    {u"MV009", &SettingTexts::StartTime, u"2025-11-27 15:21"},
    {u"MV010", &SettingTexts::StopTime, u"2025-11-30 09:30"},
}};

// Fills every field of LoadedSettings from the file, first creating the file
// with the defaults when it cannot be opened. A slot without a matching line,
// or whose lookup could not open the file, gets its default.
void LoadSettings(Program& program);

// Replaces the file by one holding LoadedSettings. The old file stays whole
// unless the new one is complete; returns whether the file now holds the
// new values.
bool SaveSettings(Program& program);

// Sets LookupResult to the value of the last line that counts for key and
// returns whether one did. When the file cannot be opened, shows the
// "Information" box (with the file already closed) and returns false.
// Without a match LookupResult keeps its previous value.
bool LookupSetting(Program& program, const std::u16string& key);

// The file's bytes for slots 1 to 10 of SettingsTable.
std::string SettingsFileContent(const Program& program);

// Writes slots 1 to 10 of SettingsTable to file, just opened for writing,
// then closes it. Does nothing when file is not open.
void WriteSettingsFile(const Program& program, LockedFile& file);

}  // namespace morvik

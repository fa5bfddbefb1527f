#include "settings/settings_file.h"

#include "platform/locked_file.h"
#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "settings/settings_lines.h"

namespace morvik {

namespace {

// Rows 1 to 10 of the staging table, one per slot.
void FillSettingsTable(Program& program, bool withDefaults) {
    auto& table = program.SettingsTable;
    if (table.size() <= SettingSlots.size()) table.resize(SettingSlots.size() + 1);
    for (size_t i = 0; i < SettingSlots.size(); ++i) {
        const SettingSlot& slot = SettingSlots[i];
        table[i + 1][1] = slot.key;
        table[i + 1][2] = withDefaults ? std::u16string(slot.defaultValue)
                                       : program.LoadedSettings.*slot.field;
    }
}

void EmptySettingsTable(Program& program) {
    for (auto& row : program.SettingsTable) {
        for (auto& cell : row) cell.clear();
    }
}

}  // namespace

std::string SettingsFileContent(const Program& program) {
    std::string bytes;
    for (size_t row = 1; row <= SettingSlots.size() && row < program.SettingsTable.size(); ++row) {
        std::u16string keyColumn = program.SettingsTable[row][1];
        if (keyColumn.size() < SettingsKeyWidth) keyColumn.resize(SettingsKeyWidth, u' ');
        bytes += ToUtf8(keyColumn);
        bytes += ToUtf8(program.SettingsTable[row][2]);
        bytes += "\r\n";
    }
    return bytes;
}

void WriteSettingsFile(const Program& program, LockedFile& file) {
    file.Write(SettingsFileContent(program));
    file.Close();
}

bool LookupSetting(Program& program, const std::u16string& key) {
    std::string bytes;
    {
        LockedFile file;
        if (!file.Open(SettingsFileName, LockedFile::Mode::Read)) {
            program.platform.box->Show(u"Information", u"Couldn't open the file");
            return false;
        }
        // A read error ends the file early; the lines read so far still count.
        file.ReadAll(bytes);
    }  // closed before anything else happens
    bool matched = false;
    std::u16string value;
    for (const std::string& line : SplitSettingsLines(bytes)) {
        if (MatchSettingsLine(FromUtf8(line), key, value)) {
            program.LookupResult = value;
            matched = true;
        }
    }
    return matched;
}

void LoadSettings(Program& program) {
    LockedFile file;
    if (file.Open(SettingsFileName, LockedFile::Mode::Read)) {
        file.Close();
    } else {
        // First start, or the file is unreadable or held elsewhere just now.
        // Appending never destroys whatever is there; when this open fails
        // too, nothing is written and the lookups below report it.
        FillSettingsTable(program, true);
        file.Open(SettingsFileName, LockedFile::Mode::AppendCreate);
        WriteSettingsFile(program, file);
        EmptySettingsTable(program);
    }
    for (const SettingSlot& slot : SettingSlots) {
        // LookupResult still holds the last match of any slot; a slot
        // without its own line must not inherit it.
        const bool found = LookupSetting(program, std::u16string(slot.key));
        program.LoadedSettings.*slot.field =
            found ? program.LookupResult : std::u16string(slot.defaultValue);
    }
}

bool SaveSettings(Program& program) {
    FillSettingsTable(program, false);
    const bool saved = ReplaceFileWhole(SettingsFileName, SettingsFileContent(program));
    EmptySettingsTable(program);
    return saved;
}

}  // namespace morvik

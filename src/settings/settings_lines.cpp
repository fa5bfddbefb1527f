#include "settings/settings_lines.h"

#include <algorithm>
#include <string_view>

#include "settings/settings_file.h"

namespace morvik {

std::vector<std::string> SplitSettingsLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n' && c != '\0') {
            ++i;
            continue;
        }
        lines.push_back(bytes.substr(start, i - start));
        const bool crlf = c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
        i += crlf ? 2 : 1;
        start = i;
    }
    if (start < bytes.size()) lines.push_back(bytes.substr(start));
    return lines;
}

bool MatchSettingsLine(const std::u16string& line, const std::u16string& key,
                       std::u16string& value) {
    // Only the space pads the key column; a tab or any other blank belongs
    // to the key and keeps the line from counting.
    std::u16string_view keyPart(line.data(), std::min(line.size(), SettingsKeyWidth));
    while (!keyPart.empty() && keyPart.back() == u' ') keyPart.remove_suffix(1);
    if (keyPart != key) return false;
    value = line.size() > SettingsKeyWidth ? line.substr(SettingsKeyWidth) : std::u16string();
    return true;
}

}  // namespace morvik

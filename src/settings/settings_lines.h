#pragma once
// How a settings file is read back: lines of UTF-8, each perhaps holding a
// key column and a value.
#include <string>
#include <vector>

namespace morvik {

// The lines of a file's bytes, still undecoded. A line ends at CR, LF, CR LF
// taken together, a zero byte or the end of the bytes; a last line without
// an end counts, and nothing follows a final line end.
std::vector<std::string> SplitSettingsLines(const std::string& bytes);

// Whether a decoded line counts for key: its first 9 characters (all of a
// shorter line), without trailing spaces, equal key exactly. If so, value
// receives what follows the key column.
bool MatchSettingsLine(const std::u16string& line, const std::u16string& key,
                       std::u16string& value);

}  // namespace morvik

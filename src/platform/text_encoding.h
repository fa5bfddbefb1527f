#pragma once
#include <cstdint>
#include <string>

namespace morvik {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const std::u16string& text);
// UTF-8 to UTF-16. A byte that cannot begin a sequence reads as "?", any
// other malformed sequence as U+FFFD.
std::u16string FromUtf8(const std::string& text);
// An integer in plain decimal, without separators.
std::u16string DecimalText(int64_t value);

}  // namespace morvik

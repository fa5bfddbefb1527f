#pragma once
#include <string>

namespace morvik {

// The text with every letter in upper case, Unicode-aware ("å" becomes
// "Å"), whatever the process's own locale is. UTF-8 in and out.
std::string UpperCaseUtf8(const std::string& text);

}  // namespace morvik

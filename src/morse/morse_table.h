#pragma once

namespace morvik {

// The elements of a character, "." for a dot and "-" for a dash, keyed left
// to right. The space has an entry without elements (it is a word space);
// nullptr means the character has no entry and is not keyed. Lookup is by
// exact code unit: upper case only, no folding.
const char* MorseElements(char16_t c);

struct MorseEntry {
    char16_t character;
    const char* elements;
};
extern const MorseEntry MorseTable[49];

}  // namespace morvik

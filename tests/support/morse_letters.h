#pragma once
// The letters' Morse codes, written out here on their own so that the tests
// and the bench judge the program against a table of their own rather than
// against the program's.

namespace morvik::test {

// ".-" for A: "." a dot, "-" a dash; either case. nullptr for anything but
// a letter A to Z.
inline const char* LetterElements(char c) {
    static const char* const Letters[26] = {
        ".-",   "-...", "-.-.", "-..",  ".",   "..-.", "--.",  "....", "..",
        ".---", "-.-",  ".-..", "--",   "-.",  "---",  ".--.", "--.-", ".-.",
        "...",  "-",    "..-",  "...-", ".--", "-..-", "-.--", "--.."};
    if (c >= 'A' && c <= 'Z') return Letters[c - 'A'];
    if (c >= 'a' && c <= 'z') return Letters[c - 'a'];
    return nullptr;
}

}  // namespace morvik::test

#include "platform/upper_case.h"

#include <gtest/gtest.h>

#include <clocale>

namespace morvik {
namespace {

// Upper-case fields turn every letter into its capital, Unicode-aware and
// whatever the operator's locale is.
TEST(UpperCase, EveryLetterBecomesItsCapital) {
    std::setlocale(LC_ALL, "C");
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"com3", "COM3"},
        {"/dev/ttyusb0", "/DEV/TTYUSB0"},
        {"\xC3\xA5\xC3\xA4\xC3\xB6", "\xC3\x85\xC3\x84\xC3\x96"},  // åäö
        {"\xC3\xBC\xC3\xA9", "\xC3\x9C\xC3\x89"},                  // üé
        {"\xCE\xB1\xD0\xB6", "\xCE\x91\xD0\x96"},                  // Greek alpha, Cyrillic zhe
        {"\xC3\x9F", "\xC3\x9F"},                                  // ß has no one-letter capital
        {"73 cuagn + @&!", "73 CUAGN + @&!"},
        {"\xF0\x9F\x93\xBB x", "\xF0\x9F\x93\xBB X"},              // outside the BMP: kept
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(UpperCaseUtf8(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace morvik

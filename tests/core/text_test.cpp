#include <gtest/gtest.h>

#include "platform/text_encoding.h"

namespace morvik {
namespace {

TEST(TextEncoding, Utf8Decoding) {
    struct Case {
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {"MV001    800", u"MV001    800"},
        {"\xC3\x85\xC3\x84\xC3\x96", u"ÅÄÖ"},
        {"\xEF\xBB\xBFMV001", u"\uFEFFMV001"},        // a byte-order mark is a character
        {"\xF0\x9F\x93\xBB", u"\U0001F4FB"},          // outside the BMP: two code units
        {"a\x80z", u"a?z"},                           // a stray continuation byte
        {"a\xFFz", u"a?z"},                           // never begins a sequence
        {"a\xC0\xAFz", u"a??z"},                      // overlong lead byte cannot begin one
        {"a\xC3z", u"a\uFFFDz"},                      // truncated by an ASCII byte
        {"a\xE2\x82", u"a\uFFFD"},                    // truncated by the end
        {"\xED\xA0\x80", u"\uFFFD"},                  // an encoded surrogate
        {"\xE0\x80\x80", u"\uFFFD"},                  // overlong three-byte form
        {"\xF4\x90\x80\x80", u"\uFFFD"},              // beyond U+10FFFF
    };
    for (const Case& c : cases) EXPECT_EQ(FromUtf8(c.bytes), c.text) << c.bytes;
}

TEST(TextEncoding, Utf16ToUtf8RoundTripsAndReplacesLoneSurrogates) {
    const std::u16string text = u"Bärvåg i 2000 millisekunder \U0001F4FB";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(u"a\xD800z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");
}

TEST(TextEncoding, DecimalText) {
    EXPECT_EQ(DecimalText(2000), u"2000");
    EXPECT_EQ(DecimalText(-3), u"-3");
    EXPECT_EQ(DecimalText(INT64_MAX), u"9223372036854775807");
}

}  // namespace
}  // namespace morvik

#include <gtest/gtest.h>

#include "morse/tone_image.h"

namespace morvik {
namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
std::string Tag(const std::vector<uint8_t>& b, size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

int32_t Sample(const std::vector<uint8_t>& b, int k) {
    const size_t at = 44 + 3 * k;
    int32_t v = b[at] | b[at + 1] << 8 | b[at + 2] << 16;
    return v & 0x800000 ? v - 0x1000000 : v;
}

TEST(ToneImage, HeaderAt800Hz) {
    const auto image = BuildToneBuffer(48000, 800);
    ASSERT_TRUE(image);
    const auto& b = *image;
    ASSERT_EQ(b.size(), 224u);
    EXPECT_EQ(Tag(b, 0), "RIFF");
    EXPECT_EQ(U32(b, 4), 216u);
    EXPECT_EQ(Tag(b, 8), "WAVE");
    EXPECT_EQ(Tag(b, 12), "fmt ");
    EXPECT_EQ(U32(b, 16), 16u);
    EXPECT_EQ(U16(b, 20), 1);       // integer PCM
    EXPECT_EQ(U16(b, 22), 1);       // mono
    EXPECT_EQ(U32(b, 24), 48000u);
    EXPECT_EQ(U32(b, 28), 144000u);
    EXPECT_EQ(U16(b, 32), 3);
    EXPECT_EQ(U16(b, 34), 24);
    EXPECT_EQ(Tag(b, 36), "data");
    EXPECT_EQ(U32(b, 40), 180u);
}

TEST(ToneImage, SamplesAt800HzByteForByte) {
    const auto image = BuildToneBuffer(48000, 800);
    ASSERT_TRUE(image);
    struct Case {
        int k;
        int32_t value;
        uint8_t bytes[3];
    };
    const Case cases[] = {
        {0, 0, {0x00, 0x00, 0x00}},
        {1, 701478, {0x26, 0xB4, 0x0A}},
        {15, 6710880, {0x60, 0x66, 0x66}},
        {30, 0, {0x00, 0x00, 0x00}},
        {45, -6710880, {0xA0, 0x99, 0x99}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.k);
        EXPECT_EQ(Sample(*image, c.k), c.value);
        for (int i = 0; i < 3; ++i) EXPECT_EQ((*image)[44 + 3 * c.k + i], c.bytes[i]);
    }
}

// One whole period: the loop joins without a click, and the tone heard is
// 48000 / n Hz.
TEST(ToneImage, SampleCountIsOnePeriod) {
    struct Case {
        int64_t hz;
        size_t samples;
    };
    for (const Case& c : {Case{800, 60}, Case{700, 68}, Case{1000, 48}, Case{1, 48000},
                          Case{16001, 2}, Case{24001, 1}, Case{48000, 1}}) {
        SCOPED_TRACE(c.hz);
        const auto image = BuildToneBuffer(48000, c.hz);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), 44 + 3 * c.samples);
        EXPECT_EQ(U32(*image, 40), 3 * c.samples);
    }
}

TEST(ToneImage, AboveSixteenKilohertzThePeriodIsSilent) {
    for (int64_t hz : {16001, 20000, 24000, 30000, 48000}) {
        const auto image = BuildToneBuffer(48000, hz);
        ASSERT_TRUE(image);
        for (size_t i = 44; i < image->size(); ++i) EXPECT_EQ((*image)[i], 0) << hz;
    }
}

TEST(ToneImage, FrequenciesWithoutAPeriod) {
    // Zero would divide by zero; a negative count leaves no room for the
    // header. Neither gives an image.
    for (int64_t hz : {INT64_C(0), INT64_C(-1), INT64_C(-800), INT64_C(-48000)}) {
        EXPECT_FALSE(BuildToneBuffer(48000, hz)) << hz;
    }
    // Beyond the sample rate either way the period has no samples: a bare
    // header.
    for (int64_t hz : {INT64_C(48001), INT64_C(-48001), INT64_MAX, INT64_MIN}) {
        const auto empty = BuildToneBuffer(48000, hz);
        ASSERT_TRUE(empty) << hz;
        EXPECT_EQ(empty->size(), 44u);
        EXPECT_EQ(U32(*empty, 4), 36u);
        EXPECT_EQ(U32(*empty, 40), 0u);
    }
}

}  // namespace
}  // namespace morvik

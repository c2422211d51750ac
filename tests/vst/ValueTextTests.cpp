#include "vst/AudioEffect.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace
{
class TextEffect : public AudioEffect
{
public:
    TextEffect() : AudioEffect(nullptr, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

constexpr VstInt32 kLength = 8;
} // namespace

TEST(ValueTexts, Float2String)
{
    TextEffect effect;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case
    {
        float value;
        const char* text;
    };
    const Case cases[] = {
        { 1.5f, "1.500000" },     { 0.0f, "0.000000" },       { -2.25f, "-2.25000" },
        { 123.456f, "123.4560" }, { 1234567.0f, "1234567." }, { 9999999.0f, "9999999." },
        { -999999.0f, "-999999." }, { -10000000.0f, "Huge!" }, { 100000000.0f, "Huge!" },
        // Integer parts wider than the field: "Huge!" rather than cut digits.
        { 10000000.0f, "Huge!" }, { 99999990.0f, "Huge!" },  { -1000000.0f, "Huge!" },
        { -9999999.0f, "Huge!" }, { nan, "Huge!" },           { inf, "Huge!" },
        { -inf, "Huge!" },
    };
    for (const auto& c : cases)
    {
        char text[kLength + 1];
        std::memset(text, 'x', sizeof(text));
        effect.float2string(c.value, text, kLength);
        EXPECT_STREQ(text, c.text) << c.value;
    }
}

TEST(ValueTexts, Int2String)
{
    TextEffect effect;
    struct Case
    {
        VstInt32 value;
        const char* text;
    };
    const Case cases[] = {
        { 42, "42" },
        { -7, "-7" },
        { 0, "0" },
        { 99999999, "99999999" },
        { 100000000, "Huge!" },
        { -99999999, "-99999999" },
        // Below -99999999 the leading quotient would not be one digit.
        { -100000000, "Huge!" },
        { std::numeric_limits<VstInt32>::min(), "Huge!" },
        { std::numeric_limits<VstInt32>::max(), "Huge!" },
    };
    for (const auto& c : cases)
    {
        char text[16];
        std::memset(text, 'x', sizeof(text));
        effect.int2string(c.value, text, 15);
        EXPECT_STREQ(text, c.text) << c.value;
    }
}

TEST(ValueTexts, DecibelsHertzAndMilliseconds)
{
    TextEffect effect;
    effect.setSampleRate(48000.0f);
    struct Case
    {
        void (TextEffect::*op)(float, char*, VstInt32);
        float value;
        const char* text;
    };
    const Case cases[] = {
        { &TextEffect::dB2string, 0.0f, "-oo" },     { &TextEffect::dB2string, -1.0f, "-oo" },
        { &TextEffect::dB2string, 1.0f, "0.000000" }, { &TextEffect::dB2string, 10.0f, "20.00000" },
        { &TextEffect::Hz2string, 0.0f, "0.000000" }, { &TextEffect::Hz2string, 480.0f, "100.0000" },
        { &TextEffect::ms2string, 480.0f, "10.00000" }, { &TextEffect::ms2string, 0.0f, "0.000000" },
    };
    for (const auto& c : cases)
    {
        char text[kLength + 1];
        std::memset(text, 'x', sizeof(text));
        (effect.*c.op)(c.value, text, kLength);
        EXPECT_STREQ(text, c.text) << c.value;
    }
}

TEST(ValueTexts, ShortBuffersAreCutAndTerminatedAtMaxLen)
{
    TextEffect effect;
    char text[8];
    std::memset(text, 'x', sizeof(text));
    effect.float2string(1.5f, text, 3);
    EXPECT_STREQ(text, "1.5");
    EXPECT_EQ(text[3], 0);
    EXPECT_EQ(text[4], 'x');

    std::memset(text, 'x', sizeof(text));
    effect.int2string(-12345, text, 4);
    EXPECT_STREQ(text, "-123");
    EXPECT_EQ(text[5], 'x');

    std::memset(text, 'x', sizeof(text));
    effect.dB2string(0.0f, text, 2);
    EXPECT_STREQ(text, "-o");
    EXPECT_EQ(text[3], 'x');
}

#include <gtest/gtest.h>

#include "core/CompareNatural.h"

namespace
{
int sign(int v)
{
    return (v > 0) - (v < 0);
}

const char* const kSampleNames[] = {
    "",        "a",         "A",        "Pad",         "pad",          "Pad 1",      "Pad 2",      "Pad 10",
    "Pad 02",  "Pad 2 Dark", "Pad 2 Bright", "Bass",  "Bass 1",       "13",         "123",        "007",
    "7",       "x00",       "x0",       "x0a",         "a05",          "a0b",        "a06",        "a5",
    "ab",      "Ümlaut",    "Zebra",    "v1",          "v1.5",         "1a",         "1b",         "Pad A",
    // Taken as equal when a number ends after its zeros, these three would order
    // in a circle: 'a05' < 'a006' < 'a00b' < 'a05'.
    "a006",    "a00b",      "a0 ",
};
} // namespace

TEST(CompareNaturalTest, OrdersNamesAsPeopleRead)
{
    struct Case
    {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        { "Pad 1", "Pad 2", -1 },
        { "Pad 2", "Pad 10", -1 },
        { "Pad 10", "Pad 1", 1 },
        { "Pad", "pad", -1 }, // upper case first
        { "Bass", "Bass 1", -1 },
        { "13", "123", -1 },
        { "Pad A", "Pad 1", -1 }, // a letter before a digit
        { "x00", "x0", -1 },
        { "007", "7", -1 },
        { "Pad 02", "Pad 2", -1 },
        { "Pad 02", "Pad 3", -1 },
        { "a0b", "a05", -1 }, // zero is less than five whatever follows
        { "a05", "a06", -1 },
        { "a00b", "a05", -1 },
        { "a05", "a006", -1 },
        { "a00b", "a006", -1 },
        // Equal up to the end of the first number: ordered by the full text.
        { "Pad 2 Bright", "Pad 2 Dark", -1 },
        { "", "", 0 },
        { "", "a", -1 },
        { "a", "", 1 },
        { "Pad 2", "Pad 2", 0 },
        { "Zebra", "Ümlaut", -1 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(juce::String(c.a) + " vs " + c.b);
        EXPECT_EQ(sign(compareNatural(juce::String::fromUTF8(c.a), juce::String::fromUTF8(c.b))), c.expected);
    }
}

// Sorting needs a strict weak ordering; check its laws over every pair and triple.
TEST(CompareNaturalTest, IsAStrictOrdering)
{
    juce::StringArray names;
    for (auto* n : kSampleNames)
        names.add(juce::String::fromUTF8(n));

    for (const auto& a : names)
    {
        for (const auto& b : names)
        {
            const int ab = sign(compareNatural(a, b));
            EXPECT_EQ(ab, -sign(compareNatural(b, a))) << a << " / " << b;
            EXPECT_EQ(ab == 0, a == b) << a << " / " << b;
            for (const auto& c : names)
                if (ab < 0 && compareNatural(b, c) < 0)
                    EXPECT_LT(compareNatural(a, c), 0) << a << " < " << b << " < " << c;
        }
    }
}

#include "core/CompareNatural.h"

namespace
{
bool isDigit(juce::juce_wchar c)
{
    return c >= '0' && c <= '9';
}

int sign(int v)
{
    return (v > 0) - (v < 0);
}

// Compares the numbers starting at a and b (both at a digit) by value; of two
// equal values the one written with more leading zeros comes first ('x00' before
// 'x0', '007' before '7').
int compareNumbers(juce::String::CharPointerType a, juce::String::CharPointerType b)
{
    int zerosA = 0, zerosB = 0;
    while (*a == '0') { ++a; ++zerosA; }
    while (*b == '0') { ++b; ++zerosB; }

    int firstDifference = 0;
    for (;;)
    {
        const bool digitA = isDigit(*a), digitB = isDigit(*b);
        if (!digitA || !digitB)
        {
            if (digitA != digitB)
                return digitA ? 1 : -1; // the longer number is greater
            break;
        }
        if (firstDifference == 0)
            firstDifference = sign(static_cast<int>(*a) - static_cast<int>(*b));
        ++a;
        ++b;
    }
    if (firstDifference != 0)
        return firstDifference;
    return sign(zerosB - zerosA);
}

int compareNaturalKeys(const juce::String& textA, const juce::String& textB)
{
    auto a = textA.getCharPointer();
    auto b = textB.getCharPointer();

    while (!a.isEmpty() && !b.isEmpty() && !isDigit(*a) && *a == *b)
    {
        ++a;
        ++b;
    }
    if (a.isEmpty())
        return b.isEmpty() ? 0 : -1;
    if (b.isEmpty())
        return 1;

    const juce::juce_wchar ca = *a, cb = *b;
    if (!isDigit(ca))
        return isDigit(cb) ? -1 : static_cast<int>(ca) - static_cast<int>(cb);
    if (!isDigit(cb))
        return 1;
    // The comparison ends with the first number: what follows is left to the
    // full-text tie-break.
    return compareNumbers(a, b);
}
} // namespace

int compareNatural(const juce::String& a, const juce::String& b)
{
    if (const int byKey = compareNaturalKeys(a, b); byKey != 0)
        return byKey;
    return a.compare(b);
}

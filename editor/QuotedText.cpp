#include "editor/QuotedText.h"

juce::String quoteForAlert(const juce::String& text, int maxLength)
{
    juce::String line;
    for (auto p = text.getCharPointer(); !p.isEmpty(); ++p)
    {
        const auto c = *p;
        line += juce::CharacterFunctions::isWhitespace(c) || c < 0x20 || c == 0x7f ? (juce::juce_wchar) ' ' : c;
    }
    if (line.length() > maxLength)
        line = line.substring(0, juce::jmax(0, maxLength - 3)) + "...";
    return line.quoted();
}

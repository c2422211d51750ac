#pragma once

#include <juce_core/juce_core.h>
#include <juce_graphics/juce_graphics.h>

// Readers of skin attributes. A skin is input from outside the program, so every
// number it gives is read without overflow and limited to what a control can
// sensibly be: sizes are never negative nor larger than any screen, positions
// stay within a range whose sums cannot overflow.
namespace SkinXml
{
constexpr int kMaxLength = 8192;
constexpr int kMaxCoordinate = 16384;

// The attribute's leading integer (0 when it has none), or fallback when the
// attribute is absent; a number beyond int range saturates instead of wrapping.
int readInt(const juce::XmlElement& element, juce::StringRef attribute, int fallback = 0);

// A width or height: 0 to kMaxLength.
int readLength(const juce::XmlElement& element, juce::StringRef attribute, int fallback = 0);

// A position or offset: -kMaxCoordinate to kMaxCoordinate.
int readCoordinate(const juce::XmlElement& element, juce::StringRef attribute, int fallback = 0);

// Hexadecimal ARGB text ("FF202020"); fallbackText when the attribute is absent.
juce::Colour readColour(const juce::XmlElement& element, juce::StringRef attribute,
                        const juce::String& fallbackText = "0");
} // namespace SkinXml

#pragma once

#include <juce_graphics/juce_graphics.h>

#include <functional>

// Small helpers shared by the picture kinds.
namespace Drawing
{
// A transparent ARGB image in plain memory (no native surface, so the same
// pixels on every machine).
juce::Image newImage(int width, int height);

// An image strip: `frames` frames of width x height stacked from the top, as
// the skin's controls cut them. drawFrame gets a context whose origin is the
// frame's top-left corner, clipped to the frame.
juce::Image makeStrip(int width, int height, int frames,
                      const std::function<void(juce::Graphics&, int frame)>& drawFrame);

// One line of text in a box, never wider than the box: it is squeezed
// horizontally down to 85 %; a text that still does not fit is recorded as a
// problem (and cut), so the build stops instead of shipping a clipped label.
void drawText(juce::Graphics& g, const juce::String& text, const juce::Font& font,
              juce::Colour colour, juce::Rectangle<float> area,
              juce::Justification justification = juce::Justification::centred);

// The width a text takes in a font.
float textWidth(const juce::String& text, const juce::Font& font);

// Texts that drawText had to cut, so the generator can stop with a message.
juce::StringArray getProblems();
}

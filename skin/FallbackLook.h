#pragma once

#include <juce_graphics/juce_graphics.h>

// Plain drawings that skinned controls show when the skin gives them no image,
// so that a control without pictures is still visible and usable.
namespace FallbackLook
{
// In black: topText centred at the top and bottomText centred at the bottom of
// the bounds, each fitted into at most two lines, squeezed down to 0.7.
void drawCaptions(juce::Graphics& g, juce::Rectangle<int> bounds, const juce::String& topText,
                  const juce::String& bottomText);

// A 16 x 16 lamp centred in a frame of the given size (its corner never left of or
// above the frame's), filled with fill and outlined black, with a black dot of the
// given diameter in its middle.
void drawLamp(juce::Graphics& g, int frameWidth, int frameHeight, juce::Colour fill, float dotDiameter);

// One line of text centred in the bounds, squeezed down to 0.7 to fit.
void drawCellText(juce::Graphics& g, const juce::String& text, juce::Rectangle<int> bounds);
} // namespace FallbackLook

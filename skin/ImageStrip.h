#pragma once

#include <juce_graphics/juce_graphics.h>

// Skin images are strips of equal frames stacked vertically: frame k of n is
// the rectangle (0, k * h, width, h) with h = image height / n.
namespace ImageStrip
{
// The height of one of n frames (0 for an invalid image or n below 1).
int getFrameHeight(const juce::Image& image, int frames);

// Draws frame k of n unscaled with its top-left corner at (x, y). A frame number
// the strip does not have draws its nearest end.
void drawFrame(juce::Graphics& g, const juce::Image& image, int frames, int frame, int x = 0, int y = 0);
} // namespace ImageStrip

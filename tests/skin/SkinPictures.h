#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Pictures of skinned controls drawn by the tests. A test asserts only that a
// picture is not blank; people look at them when TAVINOR_PICTURES names a
// folder, where each is written as NAME.png.
namespace SkinPictures
{
// The component drawn as its window would draw it.
juce::Image draw(juce::Component& component);

// How many distinct colours the picture holds (1 for a blank one).
int countColours(const juce::Image& image);

// Writes the picture when TAVINOR_PICTURES is set; true when it was written.
bool keep(const juce::Image& image, const juce::String& name);
} // namespace SkinPictures

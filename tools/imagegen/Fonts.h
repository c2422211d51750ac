#pragma once

#include <juce_graphics/juce_graphics.h>

// The generator's text faces, read from fixed font files (DejaVu Sans and
// DejaVu Sans Mono) rather than asked of the system, so that every machine
// with those files draws the same pixels. Load once at start; the accessors
// give fonts of a JUCE height (ascent plus descent) in pixels.
class Fonts
{
public:
    // No text of the face is smaller: 10.5 px from ascent to descent is a
    // 9 px em in these faces. A smaller request is recorded as an error.
    static constexpr float smallest = 10.5f;

    // Reads the four faces from the folder; false (with the missing file's
    // name in `error`) when one is not there.
    static bool load(const juce::File& folder, juce::String& error);
    // Drops the faces; called before the program ends.
    static void release();

    static juce::Font sans(float height);
    static juce::Font sansBold(float height);
    static juce::Font mono(float height);
    static juce::Font monoBold(float height);

    // Requests below `smallest` since the faces were loaded.
    static juce::StringArray getErrors();

    // The folder the build names, where the set-up installs the faces.
    static juce::File getDefaultFolder();
};

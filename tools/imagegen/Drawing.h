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
// Returns the bounds of the ink drawn. Inside legibility checks, the text must
// stand out from what is behind it by a contrast of at least 4.5:1.
juce::Rectangle<float> drawText(juce::Graphics& g, const juce::String& text, const juce::Font& font,
                                juce::Colour colour, juce::Rectangle<float> area,
                                juce::Justification justification = juce::Justification::centred);

// Inside legibility checks: a text inside a control keeps at least 3 px of
// room between its ink and the edges of `space` (the control inside its
// border, beside its lamp).
void requireRoom(const juce::String& text, juce::Rectangle<float> ink, juce::Rectangle<float> space);

// The width a text takes in a font.
float textWidth(const juce::String& text, const juce::Font& font);

// Texts that drawText had to cut, and illegible texts, so the generator can
// stop with a message.
juce::StringArray getProblems();

// While one lives, the texts drawn into pictures are measured: their contrast
// against what they are drawn on (a transparent background counts as the
// panel it will sit on) and, where requireRoom is asked, their room.
class LegibilityChecks
{
public:
    explicit LegibilityChecks(juce::Colour behindTransparent);
    ~LegibilityChecks();
    JUCE_DECLARE_NON_COPYABLE(LegibilityChecks)
};

// Names the picture being drawn, for the report and the problems.
class PictureName
{
public:
    explicit PictureName(const juce::String& name);
    ~PictureName();

private:
    juce::String previous;
    JUCE_DECLARE_NON_COPYABLE(PictureName)
};

// The image that texts are drawn into now (makeStrip's frame, a panel), so that
// drawText can read what lies behind a text. Contexts must not be transformed.
class Canvas
{
public:
    explicit Canvas(const juce::Image& image);
    ~Canvas();

private:
    juce::Image previous;
    JUCE_DECLARE_NON_COPYABLE(Canvas)
};

// One line per measured text and picture, worst case over its frames:
// "contrast<TAB>picture<TAB>text<TAB>ratio" and "room<TAB>picture<TAB>text<TAB>pixels".
juce::StringArray getLegibilityReport();

// WCAG contrast ratio of two opaque colours.
double contrastRatio(juce::Colour a, juce::Colour b);
}

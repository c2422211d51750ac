#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

namespace EditorTest
{
// How far the texts a component draws stand out from what they are drawn on,
// measured as the image generator measures the skin's: every text the
// component paints (labels, buttons, tabs, alerts, whatever draws glyphs) is
// caught glyph by glyph on its way to the image; the pixels a run of glyphs
// changed are compared with those pixels before, and the run stands out as far
// as at least a quarter of them do. A text is as legible as its stems, not as
// its single best pixel. Disabled controls count as any other: a user reads
// what a greyed button would do.
class LegibilityProbe
{
public:
    // One run of glyphs drawn in one go, in one fill and font.
    struct Text
    {
        juce::Rectangle<int> area; // in the component's coordinates
        juce::Colour colour;
        double contrast = 0.0;
        // What the glyphs spell, read back from the font.
        juce::String text;
        // The innermost component under the text, named for messages.
        juce::String where;

        // One line: contrast, text, colour and where.
        juce::String describe() const;
    };

    static constexpr double kMinimumContrast = 4.5;

    // Paints the component as createComponentSnapshot does and measures its
    // texts; with an area, only the texts drawn inside it.
    explicit LegibilityProbe(juce::Component& component, juce::Rectangle<int> area = {});

    const std::vector<Text>& getTexts() const { return texts; }
    const juce::Image& getImage() const { return image; }

private:
    juce::Component& component;
    juce::Image image;
    std::vector<Text> texts;
};
} // namespace EditorTest

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
// its single best pixel.
class LegibilityProbe
{
public:
    // One run of glyphs drawn in one go, in one fill and font.
    struct Text
    {
        juce::Rectangle<int> area; // in the component's coordinates
        juce::Colour colour;
        double contrast = 0.0;
        // The innermost component under the text, named for messages.
        juce::String where;
    };

    static constexpr double kMinimumContrast = 4.5;

    // Paints the component as createComponentSnapshot does and measures its texts.
    explicit LegibilityProbe(juce::Component& component);

    const std::vector<Text>& getTexts() const { return texts; }
    const juce::Image& getImage() const { return image; }

    // The texts that stand out by less than the minimum, one line each; texts
    // of controls that are disabled (not to be read as working) are left out,
    // as the guidelines leave out inactive controls.
    juce::StringArray findFaintTexts() const;

private:
    juce::Component& component;
    juce::Image image;
    std::vector<Text> texts;
};
} // namespace EditorTest

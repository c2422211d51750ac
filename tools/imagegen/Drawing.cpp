#include "Drawing.h"

namespace Drawing
{
namespace
{
juce::StringArray& problems()
{
    static juce::StringArray list;
    return list;
}
}

juce::StringArray getProblems()
{
    return problems();
}

juce::Image newImage(int width, int height)
{
    return juce::Image(juce::Image::ARGB, juce::jmax(1, width), juce::jmax(1, height), true,
                       juce::SoftwareImageType());
}

juce::Image makeStrip(int width, int height, int frames,
                      const std::function<void(juce::Graphics&, int frame)>& drawFrame)
{
    auto strip = newImage(width, height * frames);
    juce::Graphics g(strip);
    for (int frame = 0; frame < frames; ++frame)
    {
        juce::Graphics::ScopedSaveState state(g);
        g.reduceClipRegion(0, frame * height, width, height);
        g.setOrigin(0, frame * height);
        drawFrame(g, frame);
    }
    return strip;
}

void drawText(juce::Graphics& g, const juce::String& text, const juce::Font& font,
              juce::Colour colour, juce::Rectangle<float> area, juce::Justification justification)
{
    constexpr float squeeze = 0.85f;
    if (textWidth(text, font) * squeeze > area.getWidth() + 0.5f)
        problems().addIfNotAlreadyThere("\"" + text + "\" does not fit in " + juce::String(area.getWidth()) + " px");
    g.setColour(colour);
    g.setFont(font);
    g.drawFittedText(text, area.getSmallestIntegerContainer(), justification, 1, squeeze);
}

float textWidth(const juce::String& text, const juce::Font& font)
{
    return font.getStringWidthFloat(text);
}
}

#include "Drawing.h"

namespace Drawing
{
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
    g.setColour(colour);
    g.setFont(font);
    g.drawFittedText(text, area.getSmallestIntegerContainer(), justification, 1, 0.85f);
}

float textWidth(const juce::String& text, const juce::Font& font)
{
    return font.getStringWidthFloat(text);
}
}

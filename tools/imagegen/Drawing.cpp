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
    // Each frame is drawn on its own and copied in, so that a frame's pixels do
    // not depend on how far down the strip it sits (edges are rasterised in
    // float, and a large offset changes their coverage in the last bits).
    auto strip = newImage(width, height * frames);
    juce::Graphics g(strip);
    for (int frame = 0; frame < frames; ++frame)
    {
        auto single = newImage(width, height);
        {
            juce::Graphics frameGraphics(single);
            drawFrame(frameGraphics, frame);
        }
        g.drawImageAt(single, 0, frame * height);
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

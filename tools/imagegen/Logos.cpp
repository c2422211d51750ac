#include "Logos.h"

#include "Drawing.h"
#include "Fonts.h"
#include "GeneratedFiles.h"
#include "ImageSet.h"
#include "Palette.h"

namespace Logos
{
void drawPluginLogo(juce::Graphics& g, juce::Point<float> topLeft)
{
    // Four taps fading out, a delay drawn as what it does, then the name.
    const float x = topLeft.x, y = topLeft.y;
    const float h = (float) pluginLogoHeight;
    for (int tap = 0; tap < 4; ++tap)
    {
        const float barHeight = h * (0.78f - 0.15f * (float) tap);
        g.setColour(Palette::accent.withAlpha(1.0f - 0.22f * (float) tap));
        g.fillRoundedRectangle(x + 2.0f + 7.0f * (float) tap, y + (h - barHeight) * 0.5f, 4.0f, barHeight, 2.0f);
    }
    const auto nameFont = Fonts::sansBold(24.0f).withExtraKerningFactor(0.12f);
    Drawing::drawText(g, "TAVINOR", nameFont, Palette::text,
                      { x + 34.0f, y - 1.0f, (float) pluginLogoWidth - 34.0f, 26.0f },
                      juce::Justification::centredLeft);
    Drawing::drawText(g, "FLEXIBLE DELAY", Fonts::sans(Fonts::smallest).withExtraKerningFactor(0.2f), Palette::label,
                      { x + 35.0f, y + 23.0f, (float) pluginLogoWidth - 35.0f, 12.0f },
                      juce::Justification::centredLeft);
}

void drawMakerLogo(juce::Graphics& g, juce::Point<float> topLeft)
{
    const float x = topLeft.x, y = topLeft.y;
    const float d = (float) makerLogoHeight - 4.0f;
    g.setColour(Palette::title);
    g.drawEllipse(x + 2.0f, y + 2.0f, d, d, 2.0f);
    g.setColour(Palette::accent);
    g.fillEllipse(x + 2.0f + d * 0.5f - 3.0f, y + 2.0f + d * 0.5f - 3.0f, 6.0f, 6.0f);
    Drawing::drawText(g, "ORV", Fonts::sansBold(13.0f).withExtraKerningFactor(0.15f), Palette::title,
                      { x + d + 8.0f, y, 40.0f, 14.0f }, juce::Justification::centredLeft);
    Drawing::drawText(g, "GROUP AUDIO", Fonts::sans(Fonts::smallest).withExtraKerningFactor(0.05f), Palette::label,
                      { x + d + 8.0f, y + 13.0f, (float) makerLogoWidth - d - 8.0f, 11.0f },
                      juce::Justification::centredLeft);
}
}

namespace
{
void produceLogos(GeneratedFiles& out)
{
    auto plugin = Drawing::newImage(Logos::pluginLogoWidth, Logos::pluginLogoHeight);
    {
        juce::Graphics g(plugin);
        Logos::drawPluginLogo(g, {});
    }
    out.addImage("PluginLogo.png", plugin);

    auto maker = Drawing::newImage(Logos::makerLogoWidth, Logos::makerLogoHeight);
    {
        juce::Graphics g(maker);
        Logos::drawMakerLogo(g, {});
    }
    out.addImage("OrvLogo.png", maker);

    // The face checks the logos it prints; these files are shown elsewhere,
    // and each text of theirs must stand out there too.
    const struct
    {
        juce::Colour colour;
        const char* name;
    } backgrounds[] = { { Palette::aboutBox, "the about box" }, { Palette::editorBackground, "the editor" } };
    for (const auto& background : backgrounds)
    {
        const Drawing::LegibilityChecks checks(background.colour);
        const auto measure = [&](const juce::String& name, int width, int height,
                                 void (*draw)(juce::Graphics&, juce::Point<float>)) {
            const Drawing::PictureName picture(name + " on " + background.name);
            auto scratch = Drawing::newImage(width, height);
            const Drawing::Canvas canvas(scratch);
            juce::Graphics g(scratch);
            draw(g, {});
        };
        measure("PluginLogo.png", Logos::pluginLogoWidth, Logos::pluginLogoHeight, Logos::drawPluginLogo);
        measure("OrvLogo.png", Logos::makerLogoWidth, Logos::makerLogoHeight, Logos::drawMakerLogo);
    }
}

const ImageSet logos("logos", produceLogos);
}

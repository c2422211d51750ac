#include "skin/FallbackLook.h"

namespace FallbackLook
{
namespace
{
constexpr int kLampSize = 16;
constexpr int kMaxCaptionLines = 2;
constexpr float kMinimumHorizontalScale = 0.7f;
} // namespace

void drawCaptions(juce::Graphics& g, juce::Rectangle<int> bounds, const juce::String& topText,
                  const juce::String& bottomText)
{
    g.setColour(juce::Colours::black);
    g.drawFittedText(topText, bounds, juce::Justification::centredTop, kMaxCaptionLines, kMinimumHorizontalScale);
    g.drawFittedText(bottomText, bounds, juce::Justification::centredBottom, kMaxCaptionLines,
                     kMinimumHorizontalScale);
}

void drawLamp(juce::Graphics& g, int frameWidth, int frameHeight, juce::Colour fill, float dotDiameter)
{
    const juce::Rectangle<int> lamp(juce::jmax((frameWidth - kLampSize) / 2, 0),
                                    juce::jmax((frameHeight - kLampSize) / 2, 0), kLampSize, kLampSize);
    g.setColour(fill);
    g.fillRect(lamp);
    g.setColour(juce::Colours::black);
    g.drawRect(lamp, 1);
    if (dotDiameter > 0.0f)
        g.fillEllipse(juce::Rectangle<float>(dotDiameter, dotDiameter).withCentre(lamp.toFloat().getCentre()));
}

void drawCellText(juce::Graphics& g, const juce::String& text, juce::Rectangle<int> bounds)
{
    g.drawFittedText(text, bounds, juce::Justification::centred, 1, kMinimumHorizontalScale);
}
} // namespace FallbackLook

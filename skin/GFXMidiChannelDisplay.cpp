#include "skin/GFXMidiChannelDisplay.h"
#include "skin/FallbackLook.h"
#include <cmath>

namespace
{
constexpr int kNumChannels = 16;
constexpr float kFallbackFontShare = 0.75f;
constexpr int kFallbackTextInset = 3;
} // namespace

GFXMidiChannelDisplay::GFXMidiChannelDisplay(const juce::String& name)
    : BaseGFXSlider(name)
{
}

void GFXMidiChannelDisplay::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    BaseGFXSlider::loadFromSkin(element, loader);
    placeComponent(*this);
    repaint();
}

int GFXMidiChannelDisplay::getChannel() const
{
    return juce::jlimit(0, kNumChannels, (int) std::floor(getValue() * kNumChannels + 0.5));
}

juce::String GFXMidiChannelDisplay::getChannelText() const
{
    const int channel = getChannel();
    return channel == 0 ? juce::String("ALL") : juce::String(channel);
}

int GFXMidiChannelDisplay::getCurrentFrame() const
{
    if (! isEnabled())
        return 0;
    return (int) std::floor(getValue() * (getFramesNum() - 2) + 0.5) + 1;
}

void GFXMidiChannelDisplay::paint(juce::Graphics& g)
{
    if (hasImageStrip())
    {
        drawFrame(g, getCurrentFrame());
        return;
    }

    g.setFont(juce::Font("Tahoma", kFallbackFontShare * (float) getHeight(), juce::Font::plain));
    g.setColour(isEnabled() ? juce::Colours::black : juce::Colour::greyLevel(0.7f));
    g.drawRect(getLocalBounds(), 1);
    FallbackLook::drawCellText(g, getChannelText(), getLocalBounds().reduced(kFallbackTextInset, 0));
}

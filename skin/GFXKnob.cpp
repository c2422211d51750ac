#include "skin/GFXKnob.h"

GFXKnob::GFXKnob(const juce::String& name)
    : BaseGFXSlider(name)
{
}

void GFXKnob::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    BaseGFXSlider::loadFromSkin(element, loader);
    placeComponent(*this);
    repaint();
}

int GFXKnob::getCurrentFrame() const
{
    if (! isEnabled())
        return 0;
    const float span = (float) (getMaximum() - getMinimum());
    const float proportion = span > 0.0f ? (float) (getValue() - getMinimum()) / span : 0.0f;
    return frameForProportion(getFramesNum(), proportion);
}

void GFXKnob::paint(juce::Graphics& g)
{
    if (hasImageStrip())
        drawFrame(g, getCurrentFrame());
    else
        paintFallback(g, juce::String::formatted("%f", getValue()));
}

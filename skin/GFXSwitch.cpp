#include "skin/GFXSwitch.h"

namespace
{
constexpr double kSwitchStep = 0.005;

juce::Slider::SliderStyle toSliderStyle(int style)
{
    switch (style)
    {
        case GFXSwitch::vertical:
            return juce::Slider::LinearVertical;
        case GFXSwitch::horizontal:
            return juce::Slider::LinearHorizontal;
        default:
            return juce::Slider::RotaryVerticalDrag;
    }
}
} // namespace

GFXSwitch::GFXSwitch(const juce::String& name)
    : BaseGFXSlider(name)
{
    setRange(0.0, 1.0, kSwitchStep);
    setLookAndFeel(&lf);
}

GFXSwitch::~GFXSwitch()
{
    setLookAndFeel(nullptr);
}

juce::Slider::SliderLayout GFXSwitch::LF::getSliderLayout(juce::Slider& slider)
{
    juce::Slider::SliderLayout layout;
    layout.sliderBounds = slider.getLocalBounds();
    return layout;
}

void GFXSwitch::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    BaseGFXSlider::loadFromSkin(element, loader);
    placeComponent(*this);

    const auto styleText = element.getStringAttribute("style");
    if (styleText.equalsIgnoreCase("Rotary"))
        style = rotary;
    else if (styleText.equalsIgnoreCase("Horizontal"))
        style = horizontal;
    else if (styleText.equalsIgnoreCase("Vertical"))
        style = vertical;
    setSliderStyle(toSliderStyle(style));
    repaint();
}

int GFXSwitch::getCurrentFrame() const
{
    return isEnabled() ? frameForProportion(getFramesNum(), (float) getValue()) : 0;
}

void GFXSwitch::paint(juce::Graphics& g)
{
    if (hasImageStrip())
        drawFrame(g, getCurrentFrame());
    else
        paintFallback(g, juce::String(getValue()));
}

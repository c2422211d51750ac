#pragma once

#include "skin/BaseGFXSlider.h"
#include "toolkit/DefaultLookAndFeel.h"

// A stepped slider drawn from an image strip: rotary, or a vertical or
// horizontal linear slider as the skin's "style" says.
class GFXSwitch : public BaseGFXSlider
{
public:
    enum Style
    {
        vertical = 0,
        horizontal = 1,
        rotary = 2
    };

    explicit GFXSwitch(const juce::String& name);
    ~GFXSwitch() override;

    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void paint(juce::Graphics& g) override;

    int getStyle() const noexcept { return style; }
    // The strip frame for the switch's value; 0 while disabled.
    int getCurrentFrame() const;

private:
    // The skin's picture is the whole switch, thumb and all: the slider's length
    // is the whole frame. The look-and-feel's own layout keeps room at both ends
    // for a drawn thumb, which would leave dead ends on a pictured switch and no
    // length at all on one 20 pixels long.
    class LF : public DefaultLookAndFeel
    {
    public:
        juce::Slider::SliderLayout getSliderLayout(juce::Slider& slider) override;
    };

    LF lf;
    int style = rotary;

    JUCE_DECLARE_NON_COPYABLE(GFXSwitch)
};

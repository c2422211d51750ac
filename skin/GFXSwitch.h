#pragma once

#include "skin/BaseGFXSlider.h"

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

    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void paint(juce::Graphics& g) override;

    int getStyle() const noexcept { return style; }
    // The strip frame for the switch's value; 0 while disabled.
    int getCurrentFrame() const;

private:
    int style = rotary;

    JUCE_DECLARE_NON_COPYABLE(GFXSwitch)
};

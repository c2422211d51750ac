#pragma once

#include "skin/BaseGFXSlider.h"

// A rotary knob drawn from an image strip; vertical mouse movement turns it.
class GFXKnob : public BaseGFXSlider
{
public:
    explicit GFXKnob(const juce::String& name);

    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void paint(juce::Graphics& g) override;

    // The strip frame for the knob's value; 0 while disabled.
    int getCurrentFrame() const;

    JUCE_DECLARE_NON_COPYABLE(GFXKnob)
};

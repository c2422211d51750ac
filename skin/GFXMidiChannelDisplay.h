#pragma once

#include "skin/BaseGFXSlider.h"

// Shows and drags a MIDI channel: "ALL" or 1 to 16, from the slider's 0..1.
// Strip: frame 0 disabled, then one frame per channel from "ALL".
class GFXMidiChannelDisplay : public BaseGFXSlider
{
public:
    explicit GFXMidiChannelDisplay(const juce::String& name);

    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void paint(juce::Graphics& g) override;

    // 0 for all channels, else 1 to 16.
    int getChannel() const;
    juce::String getChannelText() const;
    int getCurrentFrame() const;

    JUCE_DECLARE_NON_COPYABLE(GFXMidiChannelDisplay)
};

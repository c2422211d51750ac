#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class BasePlugin;

// One of the plug-in's fixed generic host parameters. It holds no value of its
// own: every call goes to the plug-in base's host-parameter operations, which
// answer from the mapped parameter or from the value the host last wrote.
class HostParameter : public juce::AudioProcessorParameter
{
public:
    HostParameter(BasePlugin& owner, int hostIndex);

    int getHostIndex() const { return index; }

    float getValue() const override;
    void setValue(float newValue) override;
    float getDefaultValue() const override;
    juce::String getName(int maximumStringLength) const override;
    juce::String getLabel() const override { return {}; }
    juce::String getText(float value, int maximumStringLength) const override;
    float getValueForText(const juce::String& text) const override;
    bool isAutomatable() const override;

private:
    BasePlugin& plugin;
    const int index;

    JUCE_DECLARE_NON_COPYABLE(HostParameter)
};

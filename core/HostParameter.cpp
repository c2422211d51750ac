#include "core/HostParameter.h"
#include "core/BasePlugin.h"

HostParameter::HostParameter(BasePlugin& owner, int hostIndex) : plugin(owner), index(hostIndex)
{
}

float HostParameter::getValue() const
{
    return plugin.getParameter(index);
}

void HostParameter::setValue(float newValue)
{
    plugin.setParameter(index, newValue);
}

float HostParameter::getDefaultValue() const
{
    return plugin.getParameterDefaultValue(index);
}

juce::String HostParameter::getName(int maximumStringLength) const
{
    return plugin.getParameterName(index).substring(0, juce::jmax(0, maximumStringLength));
}

juce::String HostParameter::getText(float value, int maximumStringLength) const
{
    return plugin.getHostParameterTextForValue(index, value)
        .substring(0, juce::jmax(0, maximumStringLength));
}

float HostParameter::getValueForText(const juce::String& text) const
{
    return plugin.getHostParameterValueForText(index, text);
}

bool HostParameter::isAutomatable() const
{
    return plugin.isParameterAutomatable(index);
}

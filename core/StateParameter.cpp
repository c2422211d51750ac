#include "core/StateParameter.h"

StateParameter::StateParameter(int idToUse, const juce::String& nameToUse, const juce::String& valueText)
    : BoolParameter(idToUse, nameToUse, juce::String())
{
    StateParameter::setText(valueText, false);
}

StateParameter::StateParameter(const StateParameter& source, int newId, const juce::String& newName)
    : BoolParameter(source, newId, newName)
{
}

std::unique_ptr<Parameter> StateParameter::clone(int newId, const juce::String& newName) const
{
    return std::unique_ptr<Parameter>(new StateParameter(*this, newId, newName));
}

juce::String StateParameter::getText() const
{
    return getBoolValue() ? "on" : "off";
}

void StateParameter::setText(const juce::String& text, bool notify)
{
    if (text.equalsIgnoreCase("on"))
        setBoolValue(true, notify);
    else if (text.equalsIgnoreCase("off"))
        setBoolValue(false, notify);
    else
        BoolParameter::setText(text, notify);
}

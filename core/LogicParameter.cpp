#include "core/LogicParameter.h"

LogicParameter::LogicParameter(int idToUse, const juce::String& nameToUse, const juce::String& valueText)
    : BoolParameter(idToUse, nameToUse, valueText)
{
}

LogicParameter::LogicParameter(const LogicParameter& source, int newId, const juce::String& newName)
    : BoolParameter(source, newId, newName)
{
}

std::unique_ptr<Parameter> LogicParameter::clone(int newId, const juce::String& newName) const
{
    return std::unique_ptr<Parameter>(new LogicParameter(*this, newId, newName));
}

juce::String LogicParameter::getText() const
{
    return getBoolValue() ? "1" : "0";
}

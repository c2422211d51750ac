#include "core/BoolParameter.h"

#include <cmath>

BoolParameter::BoolParameter(int idToUse, const juce::String& nameToUse, const juce::String& valueText)
    : Parameter(idToUse, nameToUse)
{
    // Nobody listens yet, so there is nobody to notify.
    BoolParameter::setText(valueText, false);
}

BoolParameter::BoolParameter(const BoolParameter& source, int newId, const juce::String& newName)
    : Parameter(source, newId, newName), current(source.current.load())
{
}

std::unique_ptr<Parameter> BoolParameter::clone(int newId, const juce::String& newName) const
{
    return std::unique_ptr<Parameter>(new BoolParameter(*this, newId, newName));
}

float BoolParameter::getValue() const
{
    return current.load() == 1 ? 1.0f : 0.0f;
}

float BoolParameter::getNormalisedValue() const
{
    return getValue();
}

int BoolParameter::getIntValue() const
{
    return current.load();
}

bool BoolParameter::getBoolValue() const
{
    return current.load() == 1;
}

juce::String BoolParameter::getText() const
{
    return getBoolValue() ? "true" : "false";
}

void BoolParameter::setValue(float value, bool notify)
{
    if (! std::isfinite(value))
        return;
    setBoolValue(value != 0.0f, notify);
}

void BoolParameter::setNormalisedValue(float value, bool notify)
{
    if (! std::isfinite(value))
        return;
    setBoolValue(juce::jlimit(0.0f, 1.0f, value) >= 0.5f, notify);
}

void BoolParameter::setIntValue(int value, bool notify)
{
    setBoolValue(value != 0, notify);
}

void BoolParameter::setBoolValue(bool value, bool notify)
{
    if (ParameterValues::storeIfDifferent(current, value ? 1 : 0))
        valueChanged(notify);
}

void BoolParameter::setText(const juce::String& text, bool notify)
{
    if (text == "true" || text == "1" || text == "on" || text == "yes")
        setBoolValue(true, notify);
    else if (text == "false" || text == "0" || text == "off" || text == "no")
        setBoolValue(false, notify);
    else
        setNormalisedValue(parseFloatText(text), notify);
}

void BoolParameter::setFromParameter(const Parameter& source, bool notify)
{
    setBoolValue(source.getBoolValue(), notify);
}

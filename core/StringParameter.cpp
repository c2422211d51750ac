#include "core/StringParameter.h"

#include <cmath>

StringParameter::StringParameter(int idToUse, const juce::String& nameToUse, const juce::String& valueText)
    : Parameter(idToUse, nameToUse), text(valueText)
{
}

StringParameter::StringParameter(const StringParameter& source, int newId, const juce::String& newName)
    : Parameter(source, newId, newName), text(source.getText())
{
}

std::unique_ptr<Parameter> StringParameter::clone(int newId, const juce::String& newName) const
{
    return std::unique_ptr<Parameter>(new StringParameter(*this, newId, newName));
}

float StringParameter::getValue() const
{
    const float value = parseFloatText(getText());
    return std::isfinite(value) ? value : 0.0f;
}

float StringParameter::getNormalisedValue() const
{
    return juce::jlimit(0.0f, 1.0f, getValue());
}

int StringParameter::getIntValue() const
{
    return parseIntText(getText());
}

bool StringParameter::getBoolValue() const
{
    const juce::String current = getText();
    return current.trim().equalsIgnoreCase("true") || getValue() != 0.0f;
}

juce::String StringParameter::getText() const
{
    const juce::ScopedReadLock sl(textLock);
    return text;
}

void StringParameter::setValue(float value, bool notify)
{
    if (std::isfinite(value))
        setText(juce::String(value), notify);
}

void StringParameter::setNormalisedValue(float value, bool notify)
{
    if (std::isfinite(value))
        setText(juce::String(value), notify);
}

void StringParameter::setIntValue(int value, bool notify)
{
    setText(juce::String(value), notify);
}

void StringParameter::setBoolValue(bool value, bool notify)
{
    setText(value ? "true" : "false", notify);
}

void StringParameter::setText(const juce::String& newText, bool notify)
{
    {
        const juce::ScopedWriteLock sl(textLock);
        if (text == newText)
            return;
        text = newText;
    }
    valueChanged(notify);
}

void StringParameter::setFromParameter(const Parameter& source, bool notify)
{
    setText(source.getText(), notify);
}

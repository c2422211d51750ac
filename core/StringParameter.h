#pragma once

#include "core/Parameter.h"

// A free text. Numbers written to it are stored as their text; the numeric
// getters read the leading number of the text.
class StringParameter : public Parameter
{
public:
    StringParameter(int id, const juce::String& name, const juce::String& valueText);

    std::unique_ptr<Parameter> clone(int newId, const juce::String& newName) const override;

    // The leading number of the text; 0 when it has none or it is not finite.
    float getValue() const override;
    float getNormalisedValue() const override;
    int getIntValue() const override;
    // True when the text reads "true" (ignoring case) or its leading number is not 0.
    bool getBoolValue() const override;
    juce::String getText() const override;

    void setValue(float value, bool notify) override;
    void setNormalisedValue(float value, bool notify) override;
    void setIntValue(int value, bool notify) override;
    void setBoolValue(bool value, bool notify) override;
    void setText(const juce::String& text, bool notify) override;
    void setFromParameter(const Parameter& source, bool notify) override;

private:
    StringParameter(const StringParameter& source, int newId, const juce::String& newName);

    mutable juce::ReadWriteLock textLock;
    juce::String text;
};

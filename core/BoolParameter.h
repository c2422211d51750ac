#pragma once

#include "core/Parameter.h"

// A switch, stored as 0 or 1. Its text is "true" / "false"; reading a text also
// takes "1", "on", "yes" and "0", "off", "no" (exactly), and reads any other text
// as a normalised number (on from 0.5).
class BoolParameter : public Parameter
{
public:
    BoolParameter(int id, const juce::String& name, const juce::String& valueText);

    std::unique_ptr<Parameter> clone(int newId, const juce::String& newName) const override;

    float getValue() const override;
    float getNormalisedValue() const override;
    int getIntValue() const override;
    bool getBoolValue() const override;
    juce::String getText() const override;

    void setValue(float value, bool notify) override;
    void setNormalisedValue(float value, bool notify) override;
    void setIntValue(int value, bool notify) override;
    void setBoolValue(bool value, bool notify) override;
    void setText(const juce::String& text, bool notify) override;
    void setFromParameter(const Parameter& source, bool notify) override;

protected:
    BoolParameter(const BoolParameter& source, int newId, const juce::String& newName);

private:
    std::atomic<int> current { 0 };
};

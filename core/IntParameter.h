#pragma once

#include "core/Parameter.h"

// An integer in [min, max]. The normalised form maps the range onto 0..1, rounding
// to the nearest step, so a host sees evenly spaced steps.
class IntParameter : public Parameter
{
public:
    IntParameter(int id, const juce::String& name, int minimum, int maximum, int value);

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

    // Change one end of the range (never past the other end); the value is clamped
    // into the new range and stored with notification.
    void setMinimum(int newMinimum);
    void setMaximum(int newMaximum);

    int getMinimum() const noexcept { return minimum.load(); }
    int getMaximum() const noexcept { return maximum.load(); }

protected:
    IntParameter(const IntParameter& source, int newId, const juce::String& newName);

    int clamp(int value) const noexcept;
    // Clamps and stores under the store rule.
    void store(int value, bool notify);

private:
    std::atomic<int> minimum;
    std::atomic<int> maximum;
    std::atomic<int> current;
};

#pragma once

#include "core/Parameter.h"

// A float in [min, max]. Its text has up to 9 significant digits and no trailing
// zeros ("0.5", "0.123456791", "20000"), the same under every locale, so preset
// files and state chunks read back to the very same value.
class FloatParameter : public Parameter
{
public:
    FloatParameter(int id, const juce::String& name, float minimum, float maximum, float value);

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

    float getMinimum() const noexcept { return minimum; }
    float getMaximum() const noexcept { return maximum; }

    // The 9-significant-digit text of any float.
    static juce::String formatValue(float value);

private:
    FloatParameter(const FloatParameter& source, int newId, const juce::String& newName);

    float clamp(float value) const noexcept;
    void store(float value, bool notify);

    const float minimum;
    const float maximum;
    std::atomic<std::uint32_t> currentBits;
};

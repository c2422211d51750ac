#include "core/FloatParameter.h"

#include <charconv>
#include <cmath>

namespace
{
constexpr int kSignificantDigits = 9;

float finiteOr(float value, float fallback)
{
    return std::isfinite(value) ? value : fallback;
}
} // namespace

FloatParameter::FloatParameter(int idToUse, const juce::String& nameToUse, float minimumToUse, float maximumToUse,
                               float value)
    : Parameter(idToUse, nameToUse),
      minimum(finiteOr(minimumToUse, 0.0f)),
      maximum(finiteOr(maximumToUse, 1.0f)),
      currentBits(0)
{
    currentBits.store(ParameterValues::bitsFromFloat(clamp(finiteOr(value, minimum))));
}

FloatParameter::FloatParameter(const FloatParameter& source, int newId, const juce::String& newName)
    : Parameter(source, newId, newName),
      minimum(source.minimum),
      maximum(source.maximum),
      currentBits(source.currentBits.load())
{
}

std::unique_ptr<Parameter> FloatParameter::clone(int newId, const juce::String& newName) const
{
    return std::unique_ptr<Parameter>(new FloatParameter(*this, newId, newName));
}

float FloatParameter::clamp(float value) const noexcept
{
    // Adding zero turns -0 into 0, so the text never shows "-0".
    return (value < minimum ? minimum : juce::jmin(value, maximum)) + 0.0f;
}

void FloatParameter::store(float value, bool notify)
{
    if (! std::isfinite(value))
        return;
    if (ParameterValues::storeIfDifferent(currentBits, clamp(value)))
        valueChanged(notify);
}

juce::String FloatParameter::formatValue(float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::general,
                                      kSignificantDigits);
    if (result.ec != std::errc())
        return "0";
    return juce::String(buffer, (size_t) (result.ptr - buffer));
}

float FloatParameter::getValue() const
{
    return ParameterValues::floatFromBits(currentBits.load());
}

float FloatParameter::getNormalisedValue() const
{
    const float width = maximum - minimum;
    if (width == 0.0f)
        return 0.0f;
    return (getValue() - minimum) / width;
}

int FloatParameter::getIntValue() const
{
    return truncateToInt(getValue());
}

bool FloatParameter::getBoolValue() const
{
    const float value = getValue();
    return (value - minimum) >= (maximum - value);
}

juce::String FloatParameter::getText() const
{
    return formatValue(getValue());
}

void FloatParameter::setValue(float value, bool notify)
{
    store(value, notify);
}

void FloatParameter::setNormalisedValue(float value, bool notify)
{
    if (! std::isfinite(value))
        return;
    store(minimum + (maximum - minimum) * juce::jlimit(0.0f, 1.0f, value), notify);
}

void FloatParameter::setIntValue(int value, bool notify)
{
    store((float) value, notify);
}

void FloatParameter::setBoolValue(bool value, bool notify)
{
    store(value ? maximum : minimum, notify);
}

void FloatParameter::setText(const juce::String& text, bool notify)
{
    store(parseFloatText(text), notify);
}

void FloatParameter::setFromParameter(const Parameter& source, bool notify)
{
    store(source.getValue(), notify);
}

#include "core/IntParameter.h"

#include <cmath>

IntParameter::IntParameter(int idToUse, const juce::String& nameToUse, int minimumToUse, int maximumToUse, int value)
    : Parameter(idToUse, nameToUse), minimum(minimumToUse), maximum(maximumToUse), current(0)
{
    current.store(clamp(value));
}

IntParameter::IntParameter(const IntParameter& source, int newId, const juce::String& newName)
    : Parameter(source, newId, newName),
      minimum(source.minimum.load()),
      maximum(source.maximum.load()),
      current(source.current.load())
{
}

std::unique_ptr<Parameter> IntParameter::clone(int newId, const juce::String& newName) const
{
    return std::unique_ptr<Parameter>(new IntParameter(*this, newId, newName));
}

int IntParameter::clamp(int value) const noexcept
{
    const int lo = minimum.load();
    return value < lo ? lo : juce::jmin(value, maximum.load());
}

void IntParameter::store(int value, bool notify)
{
    if (ParameterValues::storeIfDifferent(current, clamp(value)))
        valueChanged(notify);
}

float IntParameter::getValue() const
{
    return (float) current.load();
}

float IntParameter::getNormalisedValue() const
{
    const std::int64_t lo = minimum.load();
    const std::int64_t width = (std::int64_t) maximum.load() - lo;
    if (width == 0)
        return 0.0f;
    return (float) ((std::int64_t) current.load() - lo) / (float) width;
}

int IntParameter::getIntValue() const
{
    return current.load();
}

bool IntParameter::getBoolValue() const
{
    return current.load() != minimum.load();
}

juce::String IntParameter::getText() const
{
    return juce::String(current.load());
}

void IntParameter::setValue(float value, bool notify)
{
    if (! std::isfinite(value))
        return;
    store(truncateToInt(value), notify);
}

void IntParameter::setNormalisedValue(float value, bool notify)
{
    if (! std::isfinite(value))
        return;
    const float x = juce::jlimit(0.0f, 1.0f, value);
    const int lo = minimum.load();
    // The product in single precision and the sum in double, so that 0.5 of a
    // range of three steps lands on 2 as it always has.
    const float product = (float) ((std::int64_t) maximum.load() - lo) * x;
    store(truncateToInt((double) lo + std::floor((double) product + 0.5)), notify);
}

void IntParameter::setIntValue(int value, bool notify)
{
    store(value, notify);
}

void IntParameter::setBoolValue(bool value, bool notify)
{
    store(value ? maximum.load() : minimum.load(), notify);
}

void IntParameter::setText(const juce::String& text, bool notify)
{
    store(parseIntText(text), notify);
}

void IntParameter::setFromParameter(const Parameter& source, bool notify)
{
    store(source.getIntValue(), notify);
}

void IntParameter::setMinimum(int newMinimum)
{
    if (newMinimum > maximum.load() || newMinimum == minimum.load())
        return;
    minimum.store(newMinimum);
    store(current.load(), true);
}

void IntParameter::setMaximum(int newMaximum)
{
    if (newMaximum < minimum.load() || newMaximum == maximum.load())
        return;
    maximum.store(newMaximum);
    store(current.load(), true);
}

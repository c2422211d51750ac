#include "core/KeyValueListMap.h"

namespace
{
constexpr const char* kEntrySeparator = ";";
constexpr const char* kKeySeparator = ":";
constexpr const char* kValueSeparator = "|";
} // namespace

const juce::StringArray* KeyValueListMap::getValues(int index) const
{
    return juce::isPositiveAndBelow(index, values.size()) ? &values.getReference(index) : nullptr;
}

void KeyValueListMap::clear()
{
    keys.clear();
    values.clear();
}

bool KeyValueListMap::isValidKey(const juce::String& key)
{
    return !key.containsAnyOf(juce::String(kEntrySeparator) + kKeySeparator);
}

bool KeyValueListMap::isValidValue(const juce::String& value)
{
    return !value.containsAnyOf(juce::String(kEntrySeparator) + kValueSeparator);
}

bool KeyValueListMap::valuesAreValid(const juce::StringArray& keyValues) const
{
    for (const auto& v : keyValues)
        if (!isValidValue(v))
            return false;
    return true;
}

bool KeyValueListMap::add(const juce::String& key, const juce::StringArray& keyValues)
{
    if (!isValidKey(key) || !valuesAreValid(keyValues))
        return false;
    keys.add(key);
    values.add(keyValues);
    return true;
}

bool KeyValueListMap::set(const juce::String& key, const juce::StringArray& keyValues)
{
    const int index = keys.indexOf(key);
    if (index < 0)
        return add(key, keyValues);
    if (!valuesAreValid(keyValues))
        return false;
    values.setUnchecked(index, keyValues);
    return true;
}

bool KeyValueListMap::remove(const juce::String& key)
{
    const int index = keys.indexOf(key);
    if (index < 0)
        return false;
    keys.remove(index);
    values.remove(index);
    return true;
}

juce::String KeyValueListMap::toText() const
{
    juce::String text;
    for (int i = 0; i < keys.size(); ++i)
    {
        if (i > 0)
            text << kEntrySeparator;
        text << keys[i] << kKeySeparator << values.getReference(i).joinIntoString(kValueSeparator);
    }
    return text;
}

void KeyValueListMap::setFromText(const juce::String& text)
{
    clear();
    // JUCE's tokens keep the empty pieces between separators, and an empty text
    // gives none.
    for (const auto& piece : juce::StringArray::fromTokens(text, kEntrySeparator, ""))
    {
        const int colon = piece.indexOf(kKeySeparator);
        // A piece without a key separator is all values under an empty key.
        const juce::String key = colon < 0 ? juce::String() : piece.substring(0, colon);
        const juce::String rest = colon < 0 ? piece : piece.substring(colon + 1);
        keys.add(key);
        values.add(juce::StringArray::fromTokens(rest, kValueSeparator, ""));
    }
}

KeyValueListMap KeyValueListMap::fromText(const juce::String& text)
{
    KeyValueListMap map;
    map.setFromText(text);
    return map;
}

bool KeyValueListMap::operator==(const KeyValueListMap& other) const
{
    return keys == other.keys && values == other.values;
}

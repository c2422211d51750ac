#pragma once

#include <juce_core/juce_core.h>

// The tags of a preset: an ordered list of keys, each with its own list of values.
// Text form: 'key:value1|value2;key2:value'. The text has no escaping, so keys and
// values that contain the separators are refused rather than silently corrupted.
class KeyValueListMap
{
public:
    void clear();

    int getNumKeys() const { return keys.size(); }
    juce::String getKey(int index) const { return keys[index]; }
    // The values of the key at index, or null when index is out of range.
    const juce::StringArray* getValues(int index) const;
    int indexOfKey(const juce::String& key) const { return keys.indexOf(key); }

    // Appends a key with its values. Refused (false) when the key holds ";" or ":",
    // or a value holds ";" or "|": the text form could not carry them.
    bool add(const juce::String& key, const juce::StringArray& keyValues);
    // Replaces the values of the first entry with this key, or appends a new entry.
    bool set(const juce::String& key, const juce::StringArray& keyValues);
    // Removes the first entry with this key; false when there is none.
    bool remove(const juce::String& key);

    static bool isValidKey(const juce::String& key);
    static bool isValidValue(const juce::String& value);

    juce::String toText() const;
    // Replaces the whole map with the entries read from text (an empty text gives none).
    void setFromText(const juce::String& text);
    static KeyValueListMap fromText(const juce::String& text);

    bool operator==(const KeyValueListMap& other) const;
    bool operator!=(const KeyValueListMap& other) const { return !operator==(other); }

private:
    bool valuesAreValid(const juce::StringArray& keyValues) const;

    juce::StringArray keys;
    juce::Array<juce::StringArray> values; // one list per key, in the keys' order
};

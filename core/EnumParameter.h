#pragma once

#include "core/IntParameter.h"

// A choice among named items, stored as the item's index 0 .. items - 1. Its text
// is the item's name; reading a text takes an item name (exactly) or else a
// normalised number.
class EnumParameter : public IntParameter
{
public:
    EnumParameter(int id, const juce::String& name, const juce::String& itemsText, const juce::String& valueText);

    std::unique_ptr<Parameter> clone(int newId, const juce::String& newName) const override;

    juce::String getText() const override;
    void setText(const juce::String& text, bool notify) override;

    // Items separated by ";" (empty pieces kept; an empty text gives no items). The
    // range becomes 0 .. items - 1; with no items the range stays as it was.
    void setItems(const juce::String& itemsText);

    juce::String getItemsText() const;
    juce::StringArray getItems() const;

private:
    EnumParameter(const EnumParameter& source, int newId, const juce::String& newName);

    mutable juce::ReadWriteLock itemsLock;
    juce::String itemsText;
    juce::StringArray items;
};

#include "core/EnumParameter.h"

EnumParameter::EnumParameter(int idToUse, const juce::String& nameToUse, const juce::String& itemsTextToUse,
                             const juce::String& valueText)
    : IntParameter(idToUse, nameToUse, 0, 1, 0)
{
    setItems(itemsTextToUse);
    EnumParameter::setText(valueText, false);
}

EnumParameter::EnumParameter(const EnumParameter& source, int newId, const juce::String& newName)
    : IntParameter(source, newId, newName), itemsText(source.getItemsText()), items(source.getItems())
{
}

std::unique_ptr<Parameter> EnumParameter::clone(int newId, const juce::String& newName) const
{
    return std::unique_ptr<Parameter>(new EnumParameter(*this, newId, newName));
}

juce::String EnumParameter::getText() const
{
    const juce::ScopedReadLock sl(itemsLock);
    return items[getIntValue()];
}

void EnumParameter::setText(const juce::String& text, bool notify)
{
    int index = -1;
    {
        const juce::ScopedReadLock sl(itemsLock);
        index = items.indexOf(text, false);
    }
    if (index >= 0)
        setIntValue(index, notify);
    else
        setNormalisedValue(parseFloatText(text), notify);
}

void EnumParameter::setItems(const juce::String& newItemsText)
{
    int count = 0;
    {
        const juce::ScopedWriteLock sl(itemsLock);
        if (newItemsText == itemsText)
            return;
        itemsText = newItemsText;
        items.clear();
        items.addTokens(newItemsText, ";", "");
        count = items.size();
    }
    setMinimum(0);
    setMaximum(count - 1);
}

juce::String EnumParameter::getItemsText() const
{
    const juce::ScopedReadLock sl(itemsLock);
    return itemsText;
}

juce::StringArray EnumParameter::getItems() const
{
    const juce::ScopedReadLock sl(itemsLock);
    return items;
}

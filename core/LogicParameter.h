#pragma once

#include "core/BoolParameter.h"

// A switch whose text is "1" / "0". It reads texts as BoolParameter does,
// which takes exactly "1" and "0" among its words.
class LogicParameter : public BoolParameter
{
public:
    LogicParameter(int id, const juce::String& name, const juce::String& valueText);

    std::unique_ptr<Parameter> clone(int newId, const juce::String& newName) const override;

    juce::String getText() const override;

private:
    LogicParameter(const LogicParameter& source, int newId, const juce::String& newName);
};

#pragma once

#include "core/BoolParameter.h"

// A switch whose text is "1" / "0".
class LogicParameter : public BoolParameter
{
public:
    LogicParameter(int id, const juce::String& name, const juce::String& valueText);

    std::unique_ptr<Parameter> clone(int newId, const juce::String& newName) const override;

    juce::String getText() const override;
    void setText(const juce::String& text, bool notify) override;

private:
    LogicParameter(const LogicParameter& source, int newId, const juce::String& newName);
};

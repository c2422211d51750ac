#pragma once

#include "core/BoolParameter.h"

// A switch whose text is "on" / "off"; reading takes those words in any case ("ON").
class StateParameter : public BoolParameter
{
public:
    StateParameter(int id, const juce::String& name, const juce::String& valueText);

    std::unique_ptr<Parameter> clone(int newId, const juce::String& newName) const override;

    juce::String getText() const override;
    void setText(const juce::String& text, bool notify) override;

private:
    StateParameter(const StateParameter& source, int newId, const juce::String& newName);
};

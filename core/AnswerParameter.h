#pragma once

#include "core/BoolParameter.h"

// A switch whose text is "yes" / "no". It reads texts as BoolParameter does,
// which takes exactly "yes" and "no" among its words.
class AnswerParameter : public BoolParameter
{
public:
    AnswerParameter(int id, const juce::String& name, const juce::String& valueText);

    std::unique_ptr<Parameter> clone(int newId, const juce::String& newName) const override;

    juce::String getText() const override;

private:
    AnswerParameter(const AnswerParameter& source, int newId, const juce::String& newName);
};

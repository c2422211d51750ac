#include "core/AnswerParameter.h"

AnswerParameter::AnswerParameter(int idToUse, const juce::String& nameToUse, const juce::String& valueText)
    : BoolParameter(idToUse, nameToUse, valueText)
{
}

AnswerParameter::AnswerParameter(const AnswerParameter& source, int newId, const juce::String& newName)
    : BoolParameter(source, newId, newName)
{
}

std::unique_ptr<Parameter> AnswerParameter::clone(int newId, const juce::String& newName) const
{
    return std::unique_ptr<Parameter>(new AnswerParameter(*this, newId, newName));
}

juce::String AnswerParameter::getText() const
{
    return getBoolValue() ? "yes" : "no";
}

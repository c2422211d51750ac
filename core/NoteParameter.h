#pragma once

#include "core/IntParameter.h"

// A MIDI note 0..127 whose text is the three-character note name ("C-5" is 60).
// Reading a text takes a note name or else a normalised number.
class NoteParameter : public IntParameter
{
public:
    // A text that is no note name gives note 0.
    NoteParameter(int id, const juce::String& name, const juce::String& valueText);

    std::unique_ptr<Parameter> clone(int newId, const juce::String& newName) const override;

    juce::String getText() const override;
    void setText(const juce::String& text, bool notify) override;

private:
    NoteParameter(const NoteParameter& source, int newId, const juce::String& newName);
};

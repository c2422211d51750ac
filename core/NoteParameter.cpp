#include "core/NoteParameter.h"

#include "core/MidiNoteNames.h"

namespace
{
constexpr int kLowestNote = 0;
constexpr int kHighestNote = 127;

int initialNote(const juce::String& text)
{
    const int note = parseMidiNoteText(text);
    return note >= 0 ? note : 0;
}
} // namespace

NoteParameter::NoteParameter(int idToUse, const juce::String& nameToUse, const juce::String& valueText)
    : IntParameter(idToUse, nameToUse, kLowestNote, kHighestNote, initialNote(valueText))
{
}

NoteParameter::NoteParameter(const NoteParameter& source, int newId, const juce::String& newName)
    : IntParameter(source, newId, newName)
{
}

std::unique_ptr<Parameter> NoteParameter::clone(int newId, const juce::String& newName) const
{
    return std::unique_ptr<Parameter>(new NoteParameter(*this, newId, newName));
}

juce::String NoteParameter::getText() const
{
    return getMidiNoteText(getIntValue());
}

void NoteParameter::setText(const juce::String& text, bool notify)
{
    const int note = parseMidiNoteText(text);
    if (note >= 0)
        setIntValue(note, notify);
    else
        setNormalisedValue(parseFloatText(text), notify);
}

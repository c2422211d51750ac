#include "core/MidiNoteNames.h"

namespace
{
constexpr int kNotesPerOctave = 12;
constexpr int kHighestNote = 127;
constexpr int kOctaveH = 10;

const char* const kLetters[kNotesPerOctave] = { "C", "C", "D", "D", "E", "F", "F", "G", "G", "A", "A", "B" };
const bool kSharp[kNotesPerOctave] = { false, true, false, true, false, false, true, false, true, false, true, false };
const int kLetterIndex[kNotesPerOctave] = { 0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6 };
} // namespace

juce::String getMidiNoteText(int note)
{
    if (note < 0 || note > kHighestNote)
        return {};
    return getMidiNoteLetter(note) + (isMidiNoteSharp(note) ? "#" : "-") + getMidiNoteOctaveText(note);
}

int parseMidiNoteText(const juce::String& text)
{
    if (text.length() != 3)
        return -1;

    const juce::juce_wchar letter = text[0];
    const juce::juce_wchar sign = text[1];
    const juce::juce_wchar octave = text[2];

    if (sign != '-' && sign != '#')
        return -1;
    const bool sharp = sign == '#';

    int pitchClass = 0;
    switch (letter)
    {
        case 'C': pitchClass = sharp ? 1 : 0; break;
        case 'D': pitchClass = sharp ? 3 : 2; break;
        case 'E': pitchClass = 4; break;
        case 'F': pitchClass = sharp ? 6 : 5; break;
        case 'G': pitchClass = sharp ? 8 : 7; break;
        case 'A': pitchClass = sharp ? 10 : 9; break;
        case 'B': pitchClass = 11; break;
        default: return -1;
    }

    int base = 0;
    if (octave >= '0' && octave <= '9')
        base = (int) (octave - '0') * kNotesPerOctave;
    else if (octave == 'H')
        base = kOctaveH * kNotesPerOctave;
    else
        return -1;

    return juce::jmin(base + pitchClass, kHighestNote);
}

juce::String getMidiNoteLetter(int note)
{
    const int pitchClass = note % kNotesPerOctave;
    if (pitchClass < 0)
        return {};
    return kLetters[pitchClass];
}

bool isMidiNoteNatural(int note)
{
    const int pitchClass = note % kNotesPerOctave;
    return pitchClass >= 0 && ! kSharp[pitchClass];
}

bool isMidiNoteSharp(int note)
{
    const int pitchClass = note % kNotesPerOctave;
    return pitchClass >= 0 && kSharp[pitchClass];
}

int getMidiNoteOctave(int note)
{
    return note / kNotesPerOctave;
}

juce::String getMidiNoteOctaveText(int note)
{
    const int octave = getMidiNoteOctave(note);
    if (octave < 0 || octave > kOctaveH)
        return {};
    if (octave == kOctaveH)
        return "H";
    return juce::String::charToString((juce::juce_wchar) ('0' + octave));
}

int getMidiNoteLetterIndex(int note)
{
    const int pitchClass = note % kNotesPerOctave;
    return pitchClass < 0 ? 0 : kLetterIndex[pitchClass];
}

#include <gtest/gtest.h>

#include "core/MidiNoteNames.h"

TEST(MidiNoteNames, NamesOfNotes)
{
    const std::pair<int, const char*> cases[] = {
        { 0, "C-0" },  { 1, "C#0" },  { 4, "E-0" },   { 5, "F-0" },   { 11, "B-0" }, { 59, "B-4" },
        { 60, "C-5" }, { 61, "C#5" }, { 116, "G#9" }, { 120, "C-H" }, { 127, "G-H" }, { 128, "" },
        { -1, "" },
    };
    for (const auto& [note, text] : cases)
        EXPECT_EQ(getMidiNoteText(note), juce::String(text)) << note;
}

TEST(MidiNoteNames, EveryNoteNameReadsBack)
{
    for (int n = 0; n < 128; ++n)
        EXPECT_EQ(parseMidiNoteText(getMidiNoteText(n)), n);
}

TEST(MidiNoteNames, ParsingNames)
{
    const std::pair<const char*, int> cases[] = {
        { "C-5", 60 }, { "G#9", 116 }, { "C-H", 120 }, { "G-H", 127 }, { "A-H", 127 }, { "E#2", 28 },
        { "B#0", 11 }, { "c-5", -1 },  { "C5", -1 },   { "C-55", -1 }, { "C+5", -1 }, { "H-5", -1 },
        { "C-h", -1 }, { "C-X", -1 },  { "", -1 },
    };
    for (const auto& [text, note] : cases)
        EXPECT_EQ(parseMidiNoteText(text), note) << text;
}

TEST(MidiNoteNames, LettersOctavesAndIndexes)
{
    struct Case
    {
        int note;
        const char* letter;
        bool natural;
        bool sharp;
        int octave;
        const char* octaveText;
        int letterIndex;
    };
    const Case cases[] = {
        { 0, "C", true, false, 0, "0", 0 },     { 1, "C", false, true, 0, "0", 0 },
        { 3, "D", false, true, 0, "0", 1 },     { 4, "E", true, false, 0, "0", 2 },
        { 6, "F", false, true, 0, "0", 3 },     { 10, "A", false, true, 0, "0", 5 },
        { 71, "B", true, false, 5, "5", 6 },    { 127, "G", true, false, 10, "H", 4 },
        { 132, "C", true, false, 11, "", 0 },   { -1, "", false, false, 0, "0", 0 },
        { -13, "", false, false, -1, "", 0 },
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(getMidiNoteLetter(c.note), juce::String(c.letter)) << c.note;
        EXPECT_EQ(isMidiNoteNatural(c.note), c.natural) << c.note;
        EXPECT_EQ(isMidiNoteSharp(c.note), c.sharp) << c.note;
        EXPECT_EQ(getMidiNoteOctave(c.note), c.octave) << c.note;
        EXPECT_EQ(getMidiNoteOctaveText(c.note), juce::String(c.octaveText)) << c.note;
        EXPECT_EQ(getMidiNoteLetterIndex(c.note), c.letterIndex) << c.note;
    }
}

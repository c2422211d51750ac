#pragma once

#include <juce_core/juce_core.h>

// Three-character note names as the displays and preset files show them: letter,
// "-" for a natural or "#" for a sharp, octave digit ("H" for octave 10).
// Note 0 is "C-0", 60 is "C-5", 61 "C#5", 127 "G-H".

// The name of notes 0..127; empty text for any other number.
juce::String getMidiNoteText(int note);

// The note of a three-character name, or -1 when the text is no note name.
// "E#" and "B#" read as E and B; results above 127 are capped at 127.
int parseMidiNoteText(const juce::String& text);

// The letter alone ("C" for 0 and 1, ...); empty when note mod 12 is negative.
juce::String getMidiNoteLetter(int note);

bool isMidiNoteNatural(int note);
bool isMidiNoteSharp(int note);

// note / 12, truncated toward zero.
int getMidiNoteOctave(int note);

// The octave character "0".."9" or "H"; empty outside octaves 0 to 10.
juce::String getMidiNoteOctaveText(int note);

// 0 (C) to 6 (B) of the natural letter, a sharp taking the letter below it;
// 0 for a negative pitch class.
int getMidiNoteLetterIndex(int note);

#pragma once

#include <juce_core/juce_core.h>

// Natural order of preset and folder names: digit runs compare by their value
// ('Pad 2' before 'Pad 10'), other characters by code point (upper case first), a
// character before a digit, a shorter text before a longer one it begins. The
// comparison stops after the first number; names that are equal up to there are
// ordered by their full text, so only identical texts compare equal and the
// function is a strict weak ordering fit for sorting.
// Returns a negative, zero or positive value.
int compareNatural(const juce::String& a, const juce::String& b);

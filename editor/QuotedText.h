#pragma once

#include <juce_core/juce_core.h>

// A name as an alert quotes it: in double quotes, on one line (line breaks and
// other control characters become spaces) and shortened with "..." past
// maxLength characters. An alert is one line as wide as its message, so a long
// name from a file or typed by the user would otherwise push it past the editor.
juce::String quoteForAlert(const juce::String& text, int maxLength = 40);

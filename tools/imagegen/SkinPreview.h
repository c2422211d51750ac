#pragma once

#include "GeneratedFiles.h"

// Composes the whole face from the generated "skin.xml" and its images, the
// way the skin engine and the product editor will show it: panel backgrounds,
// then each visible control's frame for the parameter values of a state
// (defaults from parameters.xml plus the state's changes), with the editor's
// rules for which panels show and which switches light. For people to look at;
// nothing in the plug-in uses it.
namespace SkinPreview
{
// The states that can be drawn ("default", "free", "predelay", ...).
juce::StringArray getStateNames();

// The face (with a status bar strip below) in one state; a null image with an
// error text when the skin or the parameters cannot be read.
juce::Image render(const GeneratedFiles& files, const juce::File& parametersFile, const juce::String& state,
                   juce::String& error);
}

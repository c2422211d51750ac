#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The skin keys that the skinned buttons share.
namespace SkinButtonKeys
{
enum Style
{
    style2D = 0,
    style3D = 1
};

// "clickEvent": "onRelease" (also when absent) fires on mouse up, "onPress" on
// mouse down; other texts keep the button's mode.
void readClickMode(const juce::XmlElement& element, juce::Button& button);

// "style": exactly "2D" or "3D"; other texts keep the style.
int readStyle(const juce::XmlElement& element, int style);

// "radioGroupId", 0 when absent, applied with notification.
void readRadioGroup(const juce::XmlElement& element, juce::Button& button);
} // namespace SkinButtonKeys

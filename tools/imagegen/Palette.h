#pragma once

#include <juce_graphics/juce_graphics.h>

// The face's colours: graphite greys with the look-and-feel's orange accent
// (0xFFFF6C00 and its brighter(0.3) 0xFFFF8D3A), which marks only what is
// active: value arcs, lit switches, lamps, the selected line.
namespace Palette
{
inline const juce::Colour background { 0xFF1E2023 };
inline const juce::Colour panel { 0xFF2A2D31 };
inline const juce::Colour panelBorder { 0xFF3A3E44 };
inline const juce::Colour inset { 0xFF111315 };
inline const juce::Colour insetBorder { 0xFF070809 };
// Every text stands out from the panels by at least 4.5:1 where its strokes
// are (the generator measures it): the small labels are a light grey.
inline const juce::Colour title { 0xFFB8BDC4 };
inline const juce::Colour label { 0xFFC8CDD3 };
inline const juce::Colour caption { 0xFFAAB0B8 };
inline const juce::Colour buttonText { 0xFFD4D8DD };
inline const juce::Colour text { 0xFFE4E7EB };
inline const juce::Colour dimText { 0xFF6C727A };
inline const juce::Colour accent { 0xFFFF6C00 };
inline const juce::Colour accentLight { 0xFFFF8D3A };
inline const juce::Colour accentPale { 0xFFFFA35F };
inline const juce::Colour onAccent { 0xFF1A1208 };
inline const juce::Colour control { 0xFF3A3E44 };
inline const juce::Colour controlLight { 0xFF4A4F56 };
inline const juce::Colour controlDark { 0xFF24272B };
inline const juce::Colour meterGreen { 0xFF4CC864 };
inline const juce::Colour meterAmber { 0xFFF0B43C };
inline const juce::Colour meterRed { 0xFFF03C32 };
// A line copied and waiting to be pasted: not the selection's orange.
inline const juce::Colour copied { 0xFF4CB4F0 };
// Where else the logos are shown: the about box's info box (the orange of the
// about box darkened until every text of the logos stands out by 4.5:1) and
// the editor's own black behind the face.
inline const juce::Colour aboutBox = juce::Colour(0xFFFFA500).darker(2.0f);
inline const juce::Colour editorBackground { 0xFF000000 };
}

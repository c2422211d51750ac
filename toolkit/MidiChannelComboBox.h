#pragma once

#include "toolkit/ComboBoxButton.h"
#include "toolkit/HardLabel.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The label "MIDI channel" beside a choice of "All" (id 0) or one channel
// 1 to 16 (ids 1 to 16).
class MidiChannelComboBox : public juce::Component
{
public:
    MidiChannelComboBox();

    // Both parts fit their contents at this height (negative: the current one).
    void setComboHeight(int height);

    ComboBoxButton& getComboBoxButton() noexcept { return chooser; }
    HardLabel& getLabel() noexcept { return label; }

    void lookAndFeelChanged() override;

private:
    HardLabel label { juce::String(), "MIDI channel" };
    ComboBoxButton chooser;

    JUCE_DECLARE_NON_COPYABLE(MidiChannelComboBox)
};

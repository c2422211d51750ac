#pragma once

#include "core/BoolParameter.h"
#include "core/EnumParameter.h"
#include "core/NoteParameter.h"
#include "toolkit/HardLabel.h"
#include "toolkit/MidiChannelComboBox.h"
#include "toolkit/MidiNoteSelectKeyboard.h"
#include "toolkit/ToolbarDrawableButton.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The MIDI note and channel that restart a modulator: the channel chooser, the
// one-octave note keyboard, a MIDI-learn toggle and the chosen note's name.
class MidiNoteAndChannelComponent : public juce::Component,
                                    private ComboBoxButton::Listener,
                                    private MidiNoteSelectKeyboard::Listener
{
public:
    MidiNoteAndChannelComponent();
    ~MidiNoteAndChannelComponent() override;

    void setParameters(EnumParameter* channel, NoteParameter* note, BoolParameter* learn);

    MidiChannelComboBox& getChannelChooser() noexcept { return channelChooser; }
    MidiNoteSelectKeyboard& getKeyboard() noexcept { return keyboard; }
    ToolbarDrawableButton& getLearnButton() noexcept { return learnButton; }
    HardLabel& getNoteLabel() noexcept { return noteLabel; }
    // The box the note name is drawn in.
    juce::Rectangle<int> getNoteNameArea() const;

    void lookAndFeelChanged() override;
    void paint(juce::Graphics& g) override;

private:
    void noteChanged(MidiNoteSelectKeyboard*) override;
    void comboBoxButtonChanged(ComboBoxButton*) override {}
    void layout();

    MidiChannelComboBox channelChooser;
    MidiNoteSelectKeyboard keyboard;
    ToolbarDrawableButton learnButton { juce::String() };
    HardLabel noteLabel { juce::String(), "Note:" };
    juce::Font noteFont { 13.0f, juce::Font::bold };

    JUCE_DECLARE_NON_COPYABLE(MidiNoteAndChannelComponent)
};

#include "editor/NoteLearn.h"

void stopNoteLearning(MidiNoteAndChannelComponent& chooser)
{
    auto& button = chooser.getLearnButton();
    button.setToggleState(false, juce::dontSendNotification);
    if (auto* learn = button.getParameter(); learn != nullptr && learn->getBoolValue())
        learn->setBoolValue(false, true);
}

#pragma once

#include <juce_audio_utils/juce_audio_utils.h>

// Keeps a widget's timer running only while the widget is on a screen (in a
// window of its own or of a parent). The editor root lives as long as its
// instance: without this, the timers of its hidden widgets would wake every
// idle instance's message thread many times a second.
class OnScreenTimer
{
public:
    // Starts the timer at intervalMs when the component is on a screen and
    // the timer is not running, stops it when the component is not. Called
    // after construction and from parentHierarchyChanged, which JUCE calls
    // down the whole tree when it enters or leaves a window.
    static void follow(const juce::Component& component, juce::Timer& timer, int intervalMs);

    // The same for the repaint timer that juce::MidiKeyboardComponent keeps
    // to itself (a private base), at the rate it starts it with.
    static void follow(juce::MidiKeyboardComponent& keyboard);
};

#include "toolkit/OnScreenTimer.h"

namespace
{
// juce::MidiKeyboardComponent's own: startTimerHz(20).
constexpr int kKeyboardTimerMs = 50;
} // namespace

void OnScreenTimer::follow(const juce::Component& component, juce::Timer& timer, int intervalMs)
{
    if (component.getPeer() == nullptr)
        timer.stopTimer();
    else if (! timer.isTimerRunning())
        timer.startTimer(intervalMs);
}

void OnScreenTimer::follow(juce::MidiKeyboardComponent& keyboard)
{
    // The C-style cast reaches the private base, as no other cast may.
    follow(keyboard, (juce::Timer&) keyboard, kKeyboardTimerMs);
}

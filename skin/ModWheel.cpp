#include "skin/ModWheel.h"

ModWheel::ModWheel(const juce::String& name)
    : GFXKnob(name)
{
}

void ModWheel::stoppedDragging()
{
    GFXKnob::stoppedDragging();
    setValue(0.0, juce::sendNotificationAsync);
}

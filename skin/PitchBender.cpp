#include "skin/PitchBender.h"

PitchBender::PitchBender(const juce::String& name)
    : GFXKnob(name)
{
    setRange(-1.0, 1.0, 0.0);
    setValue(0.0, juce::dontSendNotification);
}

void PitchBender::parameterValueChanged(Parameter* p)
{
    setValue(2.0 * p->getNormalisedValue() - 1.0, juce::dontSendNotification);
}

void PitchBender::valueChanged()
{
    if (auto* p = getParameter())
    {
        p->setNormalisedValue((float) ((getValue() + 1.0) * 0.5), true);
        sendValueChanged();
    }
}

void PitchBender::stoppedDragging()
{
    GFXKnob::stoppedDragging();
    // The return to rest is a notified change, written after the gesture ends.
    setValue(0.0, juce::sendNotificationAsync);
}

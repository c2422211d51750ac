#pragma once

#include "skin/GFXKnob.h"

// A knob for -1 to 1 (its parameter's normalised 0 to 1) that springs back to
// the middle when released.
class PitchBender : public GFXKnob
{
public:
    explicit PitchBender(const juce::String& name);

    void parameterValueChanged(Parameter* p) override;
    void stoppedDragging() override;
    void valueChanged() override;

    JUCE_DECLARE_NON_COPYABLE(PitchBender)
};

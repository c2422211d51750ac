#pragma once

#include "skin/GFXKnob.h"

// A knob for 0 to 1 that falls back to 0 when released.
class ModWheel : public GFXKnob
{
public:
    explicit ModWheel(const juce::String& name);

    void stoppedDragging() override;

    JUCE_DECLARE_NON_COPYABLE(ModWheel)
};

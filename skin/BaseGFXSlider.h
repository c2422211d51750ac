#pragma once

#include "skin/BaseGFXController.h"
#include <juce_gui_basics/juce_gui_basics.h>

// The bitmap controls that are sliders (knobs, switches, the MIDI channel
// display): the slider shows the linked parameter's normalised value and writes
// it back only when the user moves it, inside a change gesture.
class BaseGFXSlider : public BaseGFXController,
                      public juce::Slider
{
public:
    explicit BaseGFXSlider(const juce::String& name);

    // Sets the slider without notification, so a refresh never echoes back.
    void parameterValueChanged(Parameter* p) override;

    void valueChanged() override;
    void startedDragging() override;
    void stoppedDragging() override;

protected:
    // The fallback look of the knob family and the switch: a frame, the slider's
    // own drawing, the parameter's text (or the given text without a parameter)
    // at the top and its name at the bottom.
    void paintFallback(juce::Graphics& g, const juce::String& valueTextWithoutParameter);

    JUCE_DECLARE_NON_COPYABLE(BaseGFXSlider)
};

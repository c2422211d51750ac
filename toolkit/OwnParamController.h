#pragma once

#include "core/FloatParameter.h"
#include "core/ParameterController.h"

#include <juce_gui_basics/juce_gui_basics.h>

// Binds one thumb of a two-value slider (0 minimum, 1 maximum) to one float
// parameter. It writes only when its own thumb moved, and brackets only drags
// of its own thumb as a change gesture, so moving one thumb never writes or
// touches the other thumb's parameter.
class OwnParamController : public ParameterController, public juce::Slider::Listener
{
public:
    OwnParamController(juce::Slider* slider, int thumb);
    ~OwnParamController() override;

    void updateFromParameter(Parameter* p) override;
    void sliderValueChanged(juce::Slider*) override;
    void sliderDragStarted(juce::Slider*) override;
    void sliderDragEnded(juce::Slider*) override;

private:
    double getThumbValue() const;
    void writeIfMoved();
    bool isOwnThumbDragged() const;

    juce::Slider* slider;
    const int thumb;
    // The thumb's value as last shown or written.
    double lastValue = 0.0;
    bool inGesture = false;

    JUCE_DECLARE_NON_COPYABLE(OwnParamController)
};

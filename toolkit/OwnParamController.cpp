#include "toolkit/OwnParamController.h"

OwnParamController::OwnParamController(juce::Slider* sliderToUse, int thumbIndex)
    : slider(sliderToUse), thumb(thumbIndex)
{
    slider->addListener(this);
    lastValue = getThumbValue();
}

OwnParamController::~OwnParamController()
{
    slider->removeListener(this);
}

double OwnParamController::getThumbValue() const
{
    return thumb == 0 ? slider->getMinValue() : slider->getMaxValue();
}

bool OwnParamController::isOwnThumbDragged() const
{
    // JUCE numbers the thumbs of a two-value slider 1 (minimum) and 2 (maximum).
    return slider->getThumbBeingDragged() == thumb + 1;
}

void OwnParamController::updateFromParameter(Parameter* p)
{
    if (thumb == 0)
        slider->setMinValue(p->getValue(), juce::dontSendNotification, false);
    else
        slider->setMaxValue(p->getValue(), juce::dontSendNotification, false);
    lastValue = getThumbValue();
}

void OwnParamController::sliderValueChanged(juce::Slider*)
{
    writeIfMoved();
}

void OwnParamController::writeIfMoved()
{
    const double value = getThumbValue();
    if (value == lastValue)
        return;
    lastValue = value;
    setParameterValue((float) value);
}

void OwnParamController::sliderDragStarted(juce::Slider*)
{
    if (!isOwnThumbDragged())
        return;
    inGesture = true;
    beginParameterChange();
}

void OwnParamController::sliderDragEnded(juce::Slider*)
{
    // JUCE reports thumb moves asynchronously: the last one is written now,
    // inside the gesture, rather than after the host was told it ended.
    writeIfMoved();
    if (!inGesture)
        return;
    inGesture = false;
    endParameterChange();
}

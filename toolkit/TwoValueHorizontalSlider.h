#pragma once

#include "toolkit/HorizontalSlider.h"
#include "toolkit/OwnParamController.h"

// A minimum/maximum pair of float parameters on one two-thumb slider.
class TwoValueHorizontalSlider : public HorizontalSlider
{
public:
    TwoValueHorizontalSlider();
    ~TwoValueHorizontalSlider() override;

    // Range from minParam's minimum to maxParam's maximum, continuous.
    void setParameters(FloatParameter* minParam, FloatParameter* maxParam);
    void setUserTouchCallback(std::function<void(Parameter*)> callback) override;

    // The thumbs are bound through their own controllers, never through the
    // inherited single-parameter binding.
    void sliderValueChanged(juce::Slider*) override {}
    void sliderDragStarted(juce::Slider*) override {}
    void sliderDragEnded(juce::Slider*) override {}
    void updateFromParameter(Parameter*) override {}

protected:
    using HorizontalSlider::getMaximumX;
    using HorizontalSlider::getMinimumX;

private:
    std::unique_ptr<OwnParamController> minController;
    std::unique_ptr<OwnParamController> maxController;

    JUCE_DECLARE_NON_COPYABLE(TwoValueHorizontalSlider)
};

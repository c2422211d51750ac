#include "toolkit/TwoValueHorizontalSlider.h"

TwoValueHorizontalSlider::TwoValueHorizontalSlider()
{
    slider->setSliderStyle(juce::Slider::TwoValueHorizontal);
    minController = std::make_unique<OwnParamController>(slider.get(), 0);
    maxController = std::make_unique<OwnParamController>(slider.get(), 1);
}

TwoValueHorizontalSlider::~TwoValueHorizontalSlider() = default;

void TwoValueHorizontalSlider::setUserTouchCallback(std::function<void(Parameter*)> callback)
{
    minController->onUserTouch = callback;
    maxController->onUserTouch = std::move(callback);
}

void TwoValueHorizontalSlider::setParameters(FloatParameter* minParam, FloatParameter* maxParam)
{
    if (minParam == nullptr || maxParam == nullptr)
        return;
    slider->setRange(minParam->getMinimum(), maxParam->getMaximum(), 0.0);
    // The thumbs never push each other, so the maximum goes first: the
    // minimum is then placed below it rather than clamped to the old one.
    maxController->setParameter(maxParam);
    minController->setParameter(minParam);
}

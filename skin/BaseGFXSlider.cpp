#include "skin/BaseGFXSlider.h"
#include "skin/FallbackLook.h"

BaseGFXSlider::BaseGFXSlider(const juce::String& name)
    : juce::Slider(name)
{
    setTextBoxStyle(juce::Slider::NoTextBox, true, 0, 0);
    setSliderStyle(juce::Slider::RotaryVerticalDrag);
    setRange(0.0, 1.0, 0.0);
    setValue(0.0, juce::dontSendNotification);
}

void BaseGFXSlider::parameterValueChanged(Parameter* p)
{
    setValue(p->getNormalisedValue(), juce::dontSendNotification);
}

void BaseGFXSlider::valueChanged()
{
    if (auto* p = getParameter())
    {
        p->setNormalisedValue((float) getValue(), true);
        sendValueChanged();
    }
}

void BaseGFXSlider::startedDragging()
{
    beginUserGesture();
}

void BaseGFXSlider::stoppedDragging()
{
    endUserGesture();
}

void BaseGFXSlider::paintFallback(juce::Graphics& g, const juce::String& valueTextWithoutParameter)
{
    g.setColour(juce::Colour::greyLevel(0.7f));
    g.drawRect(getLocalBounds(), 1);
    juce::Slider::paint(g);

    auto* p = getParameter();
    FallbackLook::drawCaptions(g, getLocalBounds(), p != nullptr ? p->getText() : valueTextWithoutParameter,
                               p != nullptr ? p->getName() : juce::String());
}

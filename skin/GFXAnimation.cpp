#include "skin/GFXAnimation.h"
#include "skin/FallbackLook.h"

namespace
{
constexpr float kFallbackDotDiameter = 10.0f;
} // namespace

GFXAnimation::GFXAnimation(const juce::String& name)
    : juce::Component(name)
{
    keepInStep(*this);
    setInterceptsMouseClicks(false, false);
}

void GFXAnimation::parameterValueChanged(Parameter* p)
{
    setFrameFromValue(p->getNormalisedValue());
}

void GFXAnimation::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    BaseGFXController::loadFromSkin(element, loader);
    frame = 0;
    repaint();
}

void GFXAnimation::blinkStateChanged()
{
    repaint();
}

void GFXAnimation::setFrame(int newFrame)
{
    newFrame = juce::jlimit(0, juce::jmax(0, getFramesNum() - 1), newFrame);
    if (newFrame == frame)
        return;
    frame = newFrame;
    repaint();
}

void GFXAnimation::setFrameFromValue(float value)
{
    setFrame(frameForProportion(getFramesNum(), juce::jlimit(0.0f, 1.0f, value)));
}

void GFXAnimation::blink(int newFrame, int milliseconds)
{
    setFrame(newFrame);
    startTimer(milliseconds);
}

void GFXAnimation::timerCallback()
{
    stopTimer();
    setFrame(restFrame);
}

void GFXAnimation::paint(juce::Graphics& g)
{
    if (hasImageStrip())
        drawFrame(g, isBlinkHidden() ? 0 : frame);
    else
        paintFallback(g);
}

void GFXAnimation::paintFallback(juce::Graphics& g)
{
    const float diameter = getFramesNum() > 1 ? kFallbackDotDiameter * (float) frame / (float) (getFramesNum() - 1)
                                              : 0.0f;
    FallbackLook::drawLamp(g, getFrameWidth(), getFrameHeight(), juce::Colour::greyLevel(0.9f), diameter);
}

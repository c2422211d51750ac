#include "skin/GFXToggleButton.h"
#include "core/XmlHelpers.h"
#include "skin/FallbackLook.h"
#include "skin/SkinButtonKeys.h"

namespace
{
constexpr int kFallbackCaptionSpace = 32;
constexpr float kFallbackSquareShare = 0.75f;
} // namespace

GFXToggleButton::GFXToggleButton(const juce::String& name)
    : juce::Button(name)
{
    keepInStep(*this);
    setClickingTogglesState(true);
    setWantsKeyboardFocus(false);
    setMouseClickGrabsKeyboardFocus(false);
}

void GFXToggleButton::parameterValueChanged(Parameter* p)
{
    setToggleState(p->getBoolValue(), juce::dontSendNotification);
}

void GFXToggleButton::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    GUIController::loadFromSkin(element, loader);
    readPosition(element);
    readSize(element);
    if (tagNameIs(element, "ToggleButton"))
    {
        style = SkinButtonKeys::readStyle(element, style);
        readImageStrip(element, loader, style == SkinButtonKeys::style3D ? 4 : 2);
        SkinButtonKeys::readClickMode(element, *this);
        SkinButtonKeys::readRadioGroup(element, *this);
    }
    repaint();
}

void GFXToggleButton::blinkStateChanged()
{
    repaint();
}

void GFXToggleButton::clicked()
{
    if (auto* p = getParameter())
    {
        p->setBoolValue(getToggleState(), true);
        sendValueChanged();
    }
}

int GFXToggleButton::getFrameFor(bool isMouseOverButton, bool isButtonDown) const
{
    if (! isEnabled() || isBlinkHidden())
        return 0;
    const int on = getToggleState() ? 1 : 0;
    if (style != SkinButtonKeys::style3D)
        return on;
    return 2 * on + (isMouseOverButton && isButtonDown ? 1 : 0);
}

void GFXToggleButton::paintButton(juce::Graphics& g, bool isMouseOverButton, bool isButtonDown)
{
    if (hasImageStrip())
    {
        drawFrame(g, getFrameFor(isMouseOverButton, isButtonDown));
        return;
    }

    g.setColour(juce::Colour::greyLevel(0.7f));
    g.drawRect(getLocalBounds(), 1);
    auto* p = getParameter();
    FallbackLook::drawCaptions(g, getLocalBounds(), getToggleState() ? "On" : "Off",
                               p != nullptr ? p->getName() : juce::String());

    const float side = kFallbackSquareShare * (float) juce::jmin(getHeight() - kFallbackCaptionSpace, getWidth());
    if (side <= 0.0f)
        return;
    const juce::Rectangle<int> square((int) ((float) getWidth() / 2.0f - side / 2.0f),
                                      (int) ((float) getHeight() / 2.0f - side / 2.0f), (int) side, (int) side);
    g.setColour(juce::Colours::black);
    if (isEnabled() && ! isBlinkHidden() && getToggleState())
        g.fillRect(square);
    else
        g.drawRect(square, 1);
}

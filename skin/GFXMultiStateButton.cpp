#include "skin/GFXMultiStateButton.h"
#include "core/XmlHelpers.h"
#include "skin/FallbackLook.h"
#include "skin/SkinButtonKeys.h"
#include "skin/SkinXml.h"

namespace
{
// Far more states than any strip shows; keeps the frame maths in range.
constexpr int kMaxStates = 1024;
constexpr float kFallbackDotDiameter = 10.0f;
constexpr float kFallbackDotMinimum = 2.0f;
// A disabled button shows its state faded.
constexpr float kDisabledOpacity = 0.35f;
} // namespace

GFXMultiStateButton::GFXMultiStateButton(const juce::String& name)
    : juce::Button(name)
{
    keepInStep(*this);
    setClickingTogglesState(false);
    setWantsKeyboardFocus(false);
    setMouseClickGrabsKeyboardFocus(false);
}

void GFXMultiStateButton::bindAction(const juce::String& type, int eventUid, const juce::String&)
{
    if (type == "onClick")
        clickEvent = eventUid;
    else if (type == "onClickWithCtrl")
        clickWithCtrlEvent = eventUid;
    else if (type == "onClickWithShift")
        clickWithShiftEvent = eventUid;
    else if (type == "onRightClick")
        rightClickEvent = eventUid;
}

void GFXMultiStateButton::parameterValueChanged(Parameter* p)
{
    setState(frameForProportion(states, juce::jlimit(0.0f, 1.0f, p->getNormalisedValue())));
}

void GFXMultiStateButton::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    GUIController::loadFromSkin(element, loader);
    readPosition(element);
    readSize(element);
    if (tagNameIs(element, "MultiStateButton"))
    {
        style = SkinButtonKeys::readStyle(element, style);
        const int statesText = SkinXml::readInt(element, "states", 0);
        if (statesText >= 2)
            states = juce::jmin(statesText, kMaxStates);
        readImageStrip(element, loader, style == SkinButtonKeys::style3D ? 2 * states : states);
        SkinButtonKeys::readClickMode(element, *this);
        SkinButtonKeys::readRadioGroup(element, *this);
    }
    repaint();
}

void GFXMultiStateButton::blinkStateChanged()
{
    repaint();
}

void GFXMultiStateButton::setState(int newState)
{
    newState = juce::jlimit(0, states - 1, newState);
    if (newState == state)
        return;
    state = newState;
    repaint();
}

void GFXMultiStateButton::clicked(const juce::ModifierKeys& modifiers)
{
    // An unbound variant falls through to the next test, and finally to the click.
    if (modifiers.isCommandDown() && clickWithCtrlEvent != -1)
        sendEvent(clickWithCtrlEvent);
    else if (modifiers.isShiftDown() && clickWithShiftEvent != -1)
        sendEvent(clickWithShiftEvent);
    else if (modifiers.isRightButtonDown() && rightClickEvent != -1)
        sendEvent(rightClickEvent);
    else
        sendEvent(clickEvent);
}

int GFXMultiStateButton::getFrameFor(bool isMouseOverButton, bool isButtonDown) const
{
    const bool pressed = isMouseOverButton && isButtonDown;
    const bool threeD = style == SkinButtonKeys::style3D;
    if (isBlinkHidden())
        return threeD && pressed ? 1 : 0;
    return threeD ? 2 * state + (pressed ? 1 : 0) : state;
}

void GFXMultiStateButton::paintButton(juce::Graphics& g, bool isMouseOverButton, bool isButtonDown)
{
    if (!isEnabled())
        g.setOpacity(kDisabledOpacity);
    if (hasImageStrip())
    {
        drawFrame(g, getFrameFor(isMouseOverButton, isButtonDown));
        return;
    }
    const bool pressed = isMouseOverButton && isButtonDown;
    const float diameter = kFallbackDotDiameter * (float) state / (float) (states - 1) + kFallbackDotMinimum;
    FallbackLook::drawLamp(g, getFrameWidth(), getFrameHeight(), juce::Colour::greyLevel(pressed ? 0.4f : 0.9f),
                           diameter);
}

#include "skin/GFXButton.h"
#include "core/XmlHelpers.h"
#include "skin/SkinButtonKeys.h"

namespace
{
constexpr int kDefaultHeight = 18;
constexpr float kFallbackFontHeight = 12.0f;
constexpr int kAutoRepeatDelayMs = 1000;
constexpr int kAutoRepeatIntervalMs = 100;
} // namespace

GFXButton::GFXButton(const juce::String& name)
    : juce::Button(name)
{
    setClickingTogglesState(false);
    setWantsKeyboardFocus(false);
    setMouseClickGrabsKeyboardFocus(false);
    const int width = name.isEmpty() ? kDefaultHeight
                                     : juce::Font(kFallbackFontHeight).getStringWidth(name) + 8;
    setSize(width, kDefaultHeight);
}

void GFXButton::bindAction(const juce::String& type, int eventUid, const juce::String& eventText)
{
    if (type == "onClick")
    {
        clickEvent = eventUid;
        clickText = eventText;
    }
    else if (type == "onClickWithCtrl")
    {
        clickWithCtrlEvent = eventUid;
        clickWithCtrlText = eventText;
    }
    else if (type == "onRightClick")
    {
        rightClickEvent = eventUid;
        rightClickText = eventText;
    }
}

void GFXButton::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    BaseGFXController::loadFromSkin(element, loader);
    if (tagNameIs(element, "Button"))
    {
        // A linked button holds its parameter while pressed, so the press must act.
        if (getParameter() != nullptr)
            setTriggeredOnMouseDown(true);
        else
            SkinButtonKeys::readClickMode(element, *this);

        const auto repeat = element.getStringAttribute("autorepeat", "no");
        if (repeat == "yes")
            setRepeatSpeed(kAutoRepeatDelayMs, kAutoRepeatIntervalMs, -1);
        else if (repeat == "no")
            setRepeatSpeed(0, 0, -1);
    }
    placeComponent(*this);
    updateTooltip(juce::ModifierKeys::currentModifiers);
    repaint();
}

void GFXButton::mouseEnter(const juce::MouseEvent& e)
{
    juce::Button::mouseEnter(e);
    updateTooltip(e.mods);
}

void GFXButton::modifierKeysChanged(const juce::ModifierKeys& modifiers)
{
    juce::Button::modifierKeysChanged(modifiers);
    updateTooltip(modifiers);
}

void GFXButton::updateTooltip(const juce::ModifierKeys& modifiers)
{
    setTooltip(modifiers.isCommandDown() && clickWithCtrlEvent != -1 ? clickWithCtrlText : clickText);
}

void GFXButton::clicked(const juce::ModifierKeys& modifiers)
{
    if (modifiers.isCommandDown())
        sendEvent(clickWithCtrlEvent);
    else if (modifiers.isRightButtonDown() && rightClickEvent != -1)
        sendEvent(rightClickEvent);
    else
        sendEvent(clickEvent);
}

void GFXButton::buttonStateChanged()
{
    const bool down = isDown();
    if (auto* p = getParameter(); p != nullptr && down != wasDown)
    {
        p->setBoolValue(down, true);
        sendValueChanged();
    }
    wasDown = down;
}

void GFXButton::paintButton(juce::Graphics& g, bool isMouseOverButton, bool isButtonDown)
{
    const bool pressed = isMouseOverButton && isButtonDown;
    if (hasImageStrip())
    {
        drawFrame(g, pressed ? 1 : 0);
        return;
    }

    g.fillAll(juce::Colour::greyLevel(pressed ? 0.4f : 0.9f));
    g.setColour(juce::Colours::black);
    g.drawRect(getLocalBounds(), 1);
    if (getButtonText().isNotEmpty())
    {
        g.setColour(isEnabled() ? juce::Colours::black : juce::Colour(0xff808080));
        g.setFont(kFallbackFontHeight);
        g.drawText(getButtonText(), getLocalBounds(), juce::Justification::centred, true);
    }
}

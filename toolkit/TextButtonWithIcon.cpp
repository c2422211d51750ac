#include "toolkit/TextButtonWithIcon.h"

#include "toolkit/DefaultLookAndFeel.h"

#include <cmath>

TextButtonWithIcon::TextButtonWithIcon(const juce::String& text) : juce::TextButton(text)
{
    setTooltip(text);
    setWantsKeyboardFocus(false);
}

void TextButtonWithIcon::setIcons(const juce::Drawable& normal, const juce::Drawable* toggled)
{
    for (auto* old : { normalIcon.get(), toggledIcon.get() })
        if (old != nullptr)
            removeChildComponent(old);
    normalIcon = normal.createCopy();
    toggledIcon = (toggled != nullptr ? *toggled : normal).createCopy();
    for (auto* icon : { normalIcon.get(), toggledIcon.get() })
    {
        icon->setInterceptsMouseClicks(false, false);
        icon->setWantsKeyboardFocus(false);
        addChildComponent(icon);
    }
    resized();
    updateIcons();
}

void TextButtonWithIcon::setIconOnRight(bool onRight)
{
    iconOnRight = onRight;
    resized();
}

void TextButtonWithIcon::setIconMargins(const juce::BorderSize<int>& margins)
{
    iconMargins = margins;
    resized();
}

void TextButtonWithIcon::setText(const juce::String& text, bool fitWidth)
{
    setButtonText(text);
    if (fitWidth)
        changeWidthToFitText(-1);
}

int TextButtonWithIcon::widthFor(const juce::String& text, int h)
{
    const auto font = getLookAndFeel().getTextButtonFont(*this, h);
    return (int) std::ceil(font.getStringWidthFloat(text)) + (h - iconMargins.getTop() - iconMargins.getBottom())
           + (int) (0.833 * h) + iconMargins.getLeft() + iconMargins.getRight();
}

void TextButtonWithIcon::changeWidthToFitText(int height)
{
    const int h = height < 0 ? getHeight() : height;
    setSize(widthFor(getButtonText(), h), h);
}

int TextButtonWithIcon::getWidthForText(const juce::String& text)
{
    return widthFor(text, getHeight());
}

int TextButtonWithIcon::getIconSide() const
{
    return juce::jmax(0, getHeight() - iconMargins.getTop() - iconMargins.getBottom());
}

void TextButtonWithIcon::resized()
{
    const int side = getIconSide();
    const int x = iconOnRight ? getWidth() - side - iconMargins.getRight() : iconMargins.getLeft();
    const auto square = juce::Rectangle<float>((float) x, (float) iconMargins.getTop(), (float) side, (float) side);
    for (auto* icon : { normalIcon.get(), toggledIcon.get() })
        if (icon != nullptr)
            icon->setTransformToFit(square, juce::RectanglePlacement::centred);
}

void TextButtonWithIcon::updateIcons()
{
    const bool on = getToggleState();
    const float alpha = isEnabled() ? 1.0f : 0.5f;
    if (normalIcon != nullptr)
    {
        normalIcon->setVisible(!on);
        normalIcon->setAlpha(alpha);
    }
    if (toggledIcon != nullptr)
    {
        toggledIcon->setVisible(on);
        toggledIcon->setAlpha(alpha);
    }
}

void TextButtonWithIcon::buttonStateChanged()
{
    updateIcons();
}

void TextButtonWithIcon::enablementChanged()
{
    updateIcons();
    juce::TextButton::enablementChanged();
}

void TextButtonWithIcon::clicked()
{
    // Only a user's click reaches here: hover and press change the state
    // without changing the value, and updates from the parameter send nothing.
    updateIcons();
    setParameterBoolValue(getToggleState());
}

void TextButtonWithIcon::updateFromParameter(Parameter* p)
{
    setToggleState(p->getBoolValue(), juce::dontSendNotification);
    updateIcons();
}

void TextButtonWithIcon::paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown)
{
    auto& laf = getLookAndFeel();
    const bool on = getToggleState();
    const auto buttonColour = findColour(on ? juce::TextButton::buttonOnColourId : juce::TextButton::buttonColourId);
    laf.drawButtonBackground(g, *this, buttonColour, isMouseOver, isButtonDown);

    const int h = getHeight();
    const int strip = h - iconMargins.getTop() - iconMargins.getBottom();

    auto separator = buttonColour.withMultipliedSaturation(hasKeyboardFocus(true) ? 1.3f : 0.9f)
                         .withMultipliedAlpha(isEnabled() ? 0.9f : 0.5f);
    if (isButtonDown || isMouseOver)
        separator = separator.contrasting(isButtonDown ? 0.2f : 0.1f);
    g.setColour(juce::Colours::black.withAlpha(0.4f * separator.getFloatAlpha()));
    const int x = iconOnRight ? getWidth() - h + iconMargins.getTop() + iconMargins.getBottom() - 2 * iconMargins.getRight()
                              : strip + 2 * iconMargins.getLeft();
    g.drawVerticalLine(x, 2.0f, (float) (h - 3));

    auto textArea = getLocalBounds();
    if (iconOnRight)
        textArea.removeFromRight(strip);
    else
        textArea.removeFromLeft(strip);
    g.setFont(laf.getTextButtonFont(*this, h));
    g.setColour(textWhenEnabled(findColour(on ? juce::TextButton::textColourOnId : juce::TextButton::textColourOffId),
                                isEnabled()));
    g.drawText(getButtonText(), textArea, juce::Justification::centred, false);
}

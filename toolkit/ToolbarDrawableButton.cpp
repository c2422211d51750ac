#include "toolkit/ToolbarDrawableButton.h"

#include "toolkit/DefaultLookAndFeel.h"

ToolbarDrawableButton::ToolbarDrawableButton(const juce::String& name)
    : juce::DrawableButton(name, juce::DrawableButton::ImageFitted)
{
    setEdgeIndent(1);
    setTooltip(name);
    setWantsKeyboardFocus(false);
}

ToolbarDrawableButton::ToolbarDrawableButton(const juce::String& name, int index) : ToolbarDrawableButton(name)
{
    iconIndex = index;
    setButtonIcon(*this, iconIndex);
    lookAndFeelChanged();
}

void ToolbarDrawableButton::lookAndFeelChanged()
{
    // The icon is drawn in the button's text colour rather than plain black.
    if (iconIndex >= 0)
    {
        if (auto icon = getIcon(iconIndex))
        {
            icon->replaceColour(juce::Colours::black, findColour(juce::DrawableButton::textColourId));
            setImages(icon.get());
        }
    }
    juce::DrawableButton::lookAndFeelChanged();
}

void ToolbarDrawableButton::paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown)
{
    if (getClickingTogglesState() || isMouseOver || isButtonDown)
    {
        const auto colour = findColour(getToggleState() ? juce::TextButton::buttonOnColourId
                                                        : juce::TextButton::buttonColourId);
        getLookAndFeel().drawButtonBackground(g, *this, colour, isMouseOver, isButtonDown);
    }
}

void ToolbarDrawableButton::clicked()
{
    // A user's click is the only write; hover and press leave the value alone.
    if (getClickingTogglesState())
        setParameterBoolValue(getToggleState());
}

void ToolbarDrawableButton::updateFromParameter(Parameter* p)
{
    setToggleState(p->getBoolValue(), juce::dontSendNotification);
}

#include "toolkit/RadioButtons_V2.h"

#include "toolkit/CheckBox_V2.h"
#include "toolkit/DefaultLookAndFeel.h"

#include <cmath>

namespace
{
constexpr float kTextIndentPerHeight = 1.2f;
constexpr int kButtonSpacing = 2;
} // namespace

RadioButtons_V2::RadioButton::RadioButton(const juce::String& text) : juce::TextButton(text)
{
    setClickingTogglesState(true);
    setTriggeredOnMouseDown(true);
    setWantsKeyboardFocus(false);
    const auto font = getLookAndFeel().getTextButtonFont(*this, buttonHeight);
    setSize((int) (font.getStringWidthFloat(text) + kTextIndentPerHeight * buttonHeight), buttonHeight);
}

void RadioButtons_V2::RadioButton::paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown)
{
    const float diameter = (float) (getHeight() - 4);
    if (diameter > 0.0f)
    {
        juce::Path circle;
        circle.addEllipse(2.5f, 2.5f, diameter - 1.0f, diameter - 1.0f);
        CheckBox_V2::drawTickBox(g, *this, circle, isMouseOver, isButtonDown);
        if (getToggleState())
        {
            const float inset = diameter / 4.0f;
            g.setColour(juce::Colours::black.withMultipliedAlpha(isEnabled() ? 1.0f : 0.5f));
            g.fillEllipse(2.0f + inset, 2.0f + inset, diameter - 2.0f * inset, diameter - 2.0f * inset);
        }
    }
    g.setFont(getLookAndFeel().getTextButtonFont(*this, getHeight()));
    g.setColour(textWhenEnabled(findColour(juce::Label::textColourId), isEnabled()));
    auto area = getLocalBounds();
    area.removeFromLeft((int) (kTextIndentPerHeight * (float) getHeight()) - 2);
    g.drawText(getButtonText(), area, juce::Justification::centredLeft, false);
}

RadioButtons_V2::RadioButtons_V2(EnumParameter* parameter)
    : panel(parameter != nullptr ? parameter->getName() : juce::String())
{
    row.setSpacing(kButtonSpacing);
    if (parameter != nullptr)
    {
        for (const auto& item : parameter->getItems())
        {
            auto* button = buttons.add(new RadioButton(item));
            button->addListener(this);
            row.addAndMakeVisible(button);
        }
    }
    panel.setContent(&row, false);
    addAndMakeVisible(panel);
    ParameterController::setParameter(parameter);
}

RadioButtons_V2::~RadioButtons_V2()
{
    for (auto* b : buttons)
        b->removeListener(this);
}

void RadioButtons_V2::setTitle(const juce::String& title, bool resize)
{
    panel.setTitle(title, resize);
}

void RadioButtons_V2::setSelectedIndex(int index, bool notify)
{
    selectedIndex = index >= 0 && index < buttons.size() ? index : -1;
    for (int i = 0; i < buttons.size(); ++i)
        buttons[i]->setToggleState(i == selectedIndex, juce::dontSendNotification);
    // No item is not a value of the parameter: nothing is written for it.
    if (notify && selectedIndex >= 0)
        setParameterIntValue(selectedIndex);
    selectionChanged();
}

void RadioButtons_V2::buttonClicked(juce::Button* button)
{
    setSelectedIndex(buttons.indexOf(dynamic_cast<RadioButton*>(button)), true);
}

void RadioButtons_V2::updateFromParameter(Parameter* p)
{
    setSelectedIndex(p->getIntValue(), false);
}

void RadioButtons_V2::resized()
{
    panel.setSizeToFit(getWidth(), getHeight());
    const int width = panel.getContentArea().getWidth();
    for (auto* b : buttons)
        b->setSize(width, b->getHeight());
}

#include "toolkit/HardLabel.h"

#include "toolkit/DefaultLookAndFeel.h"

#include <cmath>

HardLabel::HardLabel(const juce::String& componentName, const juce::String& text)
    : juce::Label(componentName, text)
{
}

void HardLabel::setText(const juce::String& text, juce::NotificationType notification, bool fitWidth)
{
    juce::Label::setText(text, notification);
    if (fitWidth)
        changeWidthToFitText(-1);
}

void HardLabel::changeWidthToFitText(int height)
{
    setSize(getWidthForText({}), height < 0 ? getHeight() : height);
}

int HardLabel::getWidthForText(const juce::String& text)
{
    const juce::String measured = text.isEmpty() ? getText() : text;
    const auto font = getLookAndFeel().getLabelFont(*this);
    const auto border = getBorderSize();
    return border.getLeft() + (int) std::ceil(font.getStringWidthFloat(measured)) + border.getRight();
}

void HardLabel::paint(juce::Graphics& g)
{
    if (auto* methods = dynamic_cast<LookAndFeelMethods*>(&getLookAndFeel()))
        methods->drawHardLabel(g, *this);
    else
        getLookAndFeel().drawLabel(g, *this);
}

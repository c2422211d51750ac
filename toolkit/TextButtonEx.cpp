#include "toolkit/TextButtonEx.h"

#include "toolkit/DefaultLookAndFeel.h"

#include <cmath>

namespace
{
const juce::Colour kPressedFill(0xFFFF6C00);
const juce::Colour kPressedOutline(0xFFE0E0E0);
const juce::Colour kHoverFill(0xFFFF9648);
const juce::Colour kIdleFill(0xFFE0E0E0);
const juce::Colour kOutline(0xFFA0A0A0);
} // namespace

TextButtonEx::TextButtonEx(const juce::String& text, int sizeVariantToUse) : juce::Button(text), sizeVariant(sizeVariantToUse)
{
    setButtonText(text);
    measureText();
    lookAndFeelChanged();
    updateSize();
}

void TextButtonEx::setImages(const juce::Image& left, const juce::Image& middle, const juce::Image& right,
                             const juce::Image& left2, const juce::Image& middle2, const juce::Image& right2,
                             const juce::Image& middle3)
{
    const juce::Image given[numSkinImages] = { left, middle, right, left2, middle2, right2, middle3 };
    for (int i = 0; i < numSkinImages; ++i)
        images[i] = given[i];
    leftWidth = left.getWidth();
    rightWidth = right.getWidth();
    height = left.getHeight();
    updateSize();
}

void TextButtonEx::measureText()
{
    const int width = (int) std::ceil(font.getStringWidthFloat(getButtonText()));
    if (width != textWidth)
    {
        textWidth = width;
        updateSize();
    }
}

void TextButtonEx::updateSize()
{
    setSize(textWidth + leftWidth + rightWidth, height);
}

void TextButtonEx::lookAndFeelChanged()
{
    if (auto* laf = dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel()))
    {
        font = laf->getDefaultFont();
        measureText();
        laf->setTextButtonImages(*this, sizeVariant);
    }
    juce::Button::lookAndFeelChanged();
}

void TextButtonEx::parentHierarchyChanged()
{
    // The look-and-feel is inherited from the parent, so a new parent may
    // bring a new font and skin.
    lookAndFeelChanged();
    juce::Button::parentHierarchyChanged();
}

void TextButtonEx::setText(const juce::String& text)
{
    setButtonText(text);
    measureText();
}

void TextButtonEx::paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown)
{
    const auto area = juce::Rectangle<int>(3, 4, juce::jmax(0, getWidth() - 6), juce::jmax(0, getHeight() - 8));

    juce::Colour fill = kIdleFill;
    juce::Colour outline = kOutline;
    if (isButtonDown || getToggleState())
    {
        fill = kPressedFill;
        outline = kPressedOutline;
    }
    else if (isMouseOver)
    {
        fill = kHoverFill;
    }
    fillAndOutlineRectangle(g, area, fill, outline, 1);

    g.setColour(juce::Colours::black);
    g.setFont(font.withStyle(font.getStyleFlags() & ~juce::Font::bold));
    g.drawText(getButtonText(), leftWidth, 0, textWidth, getHeight(), juce::Justification::centredLeft, false);
}

#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A flat text button that sizes itself to its text: the look-and-feel's
// button skin gives the cap widths and the height, the text the middle.
class TextButtonEx : public juce::Button
{
public:
    static constexpr int numSkinImages = 7;

    // sizeVariant is handed to the look-and-feel (2 = the large skin).
    TextButtonEx(const juce::String& text, int sizeVariant = 1);

    // Left cap, middle, right cap; a second left cap, middle and right cap;
    // one more middle. The caps give the geometry; the button is painted flat.
    void setImages(const juce::Image& left, const juce::Image& middle, const juce::Image& right,
                   const juce::Image& left2, const juce::Image& middle2, const juce::Image& right2,
                   const juce::Image& middle3);

    // Sets the text and fits the width to it.
    void setText(const juce::String& text);

    int getSizeVariant() const { return sizeVariant; }
    int getTextWidth() const { return textWidth; }
    int getLeftWidth() const { return leftWidth; }
    int getRightWidth() const { return rightWidth; }
    int getSkinHeight() const { return height; }
    const juce::Image& getSkinImage(int index) const { return images[index]; }

    void paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown) override;
    void lookAndFeelChanged() override;
    void parentHierarchyChanged() override;

private:
    void measureText();
    void updateSize();

    juce::Image images[numSkinImages];
    int textWidth = 0;
    int leftWidth = 10;
    int rightWidth = 10;
    int height = 20;
    juce::Font font;
    const int sizeVariant;

    JUCE_DECLARE_NON_COPYABLE(TextButtonEx)
};

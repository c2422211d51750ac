#pragma once

#include "skin/GUIController.h"
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// One digit cell of a numeric display. Strip: 11 frames, 0 blank, 1 to 10 the
// digits 0 to 9; without an image the digit is drawn as text.
class NumericDisplayDigit : public juce::Component,
                            public BlinkingComponent
{
public:
    NumericDisplayDigit(int width, int height, bool integerPart, const juce::Image& image);

    // A digit outside 0..9 shows its nearest end.
    void setDigit(int digit, bool blank);
    int getDigit() const noexcept { return digit; }
    bool isBlank() const noexcept { return blank; }
    bool isIntegerPart() const noexcept { return integerPart; }
    // The strip frame shown now.
    int getCurrentFrame() const;

    void blinkStateChanged() override;
    void paint(juce::Graphics& g) override;

private:
    bool integerPart;
    bool blank = true;
    int digit = 0;
    juce::Image image;

    JUCE_DECLARE_NON_COPYABLE(NumericDisplayDigit)
};

// The sign cell of a numeric display whose range goes below zero. Strip: 2
// frames, 0 no sign, 1 minus.
class NumericDisplaySign : public juce::Component,
                           public BlinkingComponent
{
public:
    NumericDisplaySign(int width, int height, const juce::Image& image);

    void setNegative(bool negative);
    bool isNegative() const noexcept { return negative; }
    int getCurrentFrame() const;

    void blinkStateChanged() override;
    void paint(juce::Graphics& g) override;

private:
    juce::Image image;
    bool negative = false;

    JUCE_DECLARE_NON_COPYABLE(NumericDisplaySign)
};

// A signed decimal number in a fixed number of digit cells, dragged up and down
// by the user. Leading zeros before the ones digit are blank.
class NumericDisplay : public GUIController,
                       public juce::Component
{
public:
    explicit NumericDisplay(const juce::String& name);
    ~NumericDisplay() override;

    // Clamped to the range; with notify a change is written to the parameter.
    void setValue(double value, bool notify);
    double getValue() const noexcept { return value; }

    int getNumDigits() const noexcept { return digits.size(); }
    NumericDisplayDigit* getDigit(int index) const { return digits[index]; }
    NumericDisplaySign* getSign() const noexcept { return sign.get(); }
    double getFirstDigitOrder() const noexcept { return firstDigitOrder; }

    void parameterValueChanged(Parameter* p) override;
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void paint(juce::Graphics& g) override;
    void enablementChanged() override;
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;

private:
    void showValue();
    void layOut();
    // The digit (0 = most significant) under a horizontal position; the sign cell
    // counts as the first digit.
    int getDigitIndexAt(int x) const;

    std::unique_ptr<NumericDisplaySign> sign;
    juce::OwnedArray<NumericDisplayDigit> digits;
    int digitsNum = 1;
    int firstDigitExponent = 0;
    double firstDigitOrder = 1.0;
    double scale = 1.0;
    int onesCount = 1;
    double minimum = 0.0;
    double maximum = 0.0;
    double value = 0.0;
    double dragStartValue = 0.0;
    double dragStep = 1.0;
    int pixelsPerStep = 10;
    bool dragging = false;
    bool continuous = false;
    int cellWidth = 0;
    int cellHeight = 0;

    JUCE_DECLARE_NON_COPYABLE(NumericDisplay)
};

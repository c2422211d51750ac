#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A label that draws its text on one line as it is: never shrunk to fit and
// never ended with an ellipsis, so a text too long for its box is cut off.
class HardLabel : public juce::Label
{
public:
    class LookAndFeelMethods
    {
    public:
        virtual ~LookAndFeelMethods() = default;
        virtual void drawHardLabel(juce::Graphics& g, HardLabel& label) = 0;
    };

    HardLabel(const juce::String& componentName = {}, const juce::String& text = {});

    void setText(const juce::String& text, juce::NotificationType notification, bool fitWidth);
    using juce::Label::setText;

    // A negative height keeps the current height.
    void changeWidthToFitText(int height);
    // The fitted width of text, or of the label's own text when text is empty.
    int getWidthForText(const juce::String& text);

    void paint(juce::Graphics& g) override;
};

#pragma once

#include "skin/GFXAnimation.h"
#include "skin/GUIController.h"
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// A note shown as a pattern name in four digit cells: "P.", the letter, the
// accidental and the octave.
class PatternNumberDisplay : public GUIController,
                             public juce::Component
{
public:
    // One digit cell: a frame of its strip, or without an image the frame's text.
    // Frame 0 is blank in every digit.
    class PatternNumberDisplayDigit : public GFXAnimation
    {
    public:
        PatternNumberDisplayDigit(int framesNum, const juce::Image& image, int width, int height);
        virtual juce::String getFrameText(int frame) const;

    protected:
        void paintFallback(juce::Graphics& g) override;
    };

    // 12 frames: 1 to 10 the digits 0 to 9, 11 "P.".
    class PatternNumberDisplayFirstDigit : public PatternNumberDisplayDigit
    {
    public:
        PatternNumberDisplayFirstDigit(const juce::Image& image, int width, int height);
        juce::String getFrameText(int frame) const override;
    };

    // 19 frames: 1 to 10 digits, 11 to 17 the letters C to B, 18 "-".
    class PatternNumberDisplaySecondDigit : public PatternNumberDisplayDigit
    {
    public:
        PatternNumberDisplaySecondDigit(const juce::Image& image, int width, int height);
        juce::String getFrameText(int frame) const override;
    };

    // 13 frames: 1 to 10 digits, 11 "#", 12 "-".
    class PatternNumberDisplayThirdDigit : public PatternNumberDisplayDigit
    {
    public:
        PatternNumberDisplayThirdDigit(const juce::Image& image, int width, int height);
        juce::String getFrameText(int frame) const override;
    };

    // 11 frames: 1 to 10 digits.
    class PatternNumberDisplayFourthDigit : public PatternNumberDisplayDigit
    {
    public:
        PatternNumberDisplayFourthDigit(const juce::Image& image, int width, int height);
    };

    explicit PatternNumberDisplay(const juce::String& name);
    ~PatternNumberDisplay() override;

    // Kept within the note range.
    void setValue(int value);
    int getValue() const noexcept { return value; }
    // Null until the skin has made the digits.
    PatternNumberDisplayDigit* getDigit(int index) const;

    void parameterValueChanged(Parameter* p) override;
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void enablementChanged() override;

private:
    void refresh();

    std::unique_ptr<PatternNumberDisplayDigit> digits[4];
    int value = 0;
    int notePatternMin = 0;
    int notePatternMax = 127;
    int numericPatternMin = 1;
    int numericPatternMax = 16;
    int bankAndSlotPatternMin = 1;
    int bankAndSlotPatternMax = 96;
    int slotMax = 12;
    int pattern = 0;

    JUCE_DECLARE_NON_COPYABLE(PatternNumberDisplay)
};

#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// A bipolar amount slider (-1..1) with a scale; a red bar under it shows the
// amount times the current modulation value.
class ModulationSlider : public juce::Slider
{
public:
    static constexpr float thumbWidth = 16.0f;

    class OwnLookAndFeel : public juce::LookAndFeel_V2
    {
    public:
        explicit OwnLookAndFeel(ModulationSlider& owner);
        void drawLinearSliderBackground(juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                        float minSliderPos, float maxSliderPos, const juce::Slider::SliderStyle,
                                        juce::Slider&) override;
        void drawLinearSliderThumb(juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                   float minSliderPos, float maxSliderPos, const juce::Slider::SliderStyle,
                                   juce::Slider&) override;
        int getSliderThumbRadius(juce::Slider&) override;

    private:
        ModulationSlider& owner;
    };

    ModulationSlider();
    ~ModulationSlider() override;

    // Clamped to -1..1.
    void setModulationValue(float value);
    float getModulationValue() const { return modulationValue; }

    void resized() override;

private:
    enum LabelIndex
    {
        minusOne,
        minusHalf,
        minusZero,
        zero,
        plusZero,
        plusHalf,
        plusOne,
        numLabels
    };

    float modulationValue = 0.0f;
    juce::Font font;
    float labelWidths[numLabels] {};
    std::unique_ptr<OwnLookAndFeel> ownLookAndFeel;

    JUCE_DECLARE_NON_COPYABLE(ModulationSlider)
};

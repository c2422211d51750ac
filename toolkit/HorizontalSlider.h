#pragma once

#include "core/FloatParameter.h"
#include "core/IntParameter.h"
#include "core/ParameterController.h"
#include "toolkit/HardLabel.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The settings pages' horizontal slider bound to one float or int parameter,
// with an optional title and a scale of labels and ticks above or below it.
class HorizontalSlider : public juce::Component, public juce::Slider::Listener, public ParameterController
{
public:
    enum ScalePosition
    {
        noScale = 0,
        scaleBelow = 1,
        scaleAbove = 2
    };

    static constexpr int sliderHeight = 20;
    static constexpr int labelHeight = 16;
    static constexpr int tickLength = 5;

    class OwnSlider : public juce::Slider
    {
    public:
        OwnSlider() = default;
    };

    HorizontalSlider();
    ~HorizontalSlider() override;

    // Continuous over the parameter's range.
    void setParameter(FloatParameter* parameter);
    // In steps of 1 over the parameter's range.
    void setIntParameter(IntParameter* parameter);
    // The title shows only while its text is not empty; a justification of 0
    // keeps the current one.
    void setTitle(const juce::String& text, juce::Justification justification);
    void setScale(int scalePosition, const juce::StringArray& labels, int numTicks);

    // Told the parameter of a thumb the user grabs or moves.
    virtual void setUserTouchCallback(std::function<void(Parameter*)> callback);

    juce::Slider& getSlider() { return *slider; }
    HardLabel& getTitleLabel() { return title; }
    int getNumScaleLabels() const { return scaleLabels.size(); }
    HardLabel* getScaleLabel(int index) const { return scaleLabels[index]; }
    int getTickTop() const { return tickTop; }
    // The x of tick i, from the slider's minimum to its maximum position.
    int getTickX(int index) const;

    void sliderValueChanged(juce::Slider*) override;
    void sliderDragStarted(juce::Slider*) override;
    void sliderDragEnded(juce::Slider*) override;
    void updateFromParameter(Parameter* p) override;

    void lookAndFeelChanged() override;
    void paint(juce::Graphics& g) override;
    void resized() override;

protected:
    // The slider's positions of its minimum and maximum, truncated.
    int getMinimumX() const;
    int getMaximumX() const;

    std::unique_ptr<OwnSlider> slider;

private:
    HardLabel title;
    juce::OwnedArray<HardLabel> scaleLabels;
    int scalePosition = noScale;
    int numTicks = 0;
    int tickTop = 0;

    JUCE_DECLARE_NON_COPYABLE(HorizontalSlider)
};

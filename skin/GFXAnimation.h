#pragma once

#include "skin/BaseGFXController.h"
#include <juce_gui_basics/juce_gui_basics.h>

// A display-only image strip (meters, lamps, LEDs): shows one frame, chosen by
// its parameter, by the editor, or for a moment by a blink.
class GFXAnimation : public BaseGFXController,
                     public juce::Component,
                     public juce::Timer
{
public:
    explicit GFXAnimation(const juce::String& name);

    void parameterValueChanged(Parameter* p) override;
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void blinkStateChanged() override;

    void paint(juce::Graphics& g) override;

    // Shows that frame, kept within the strip: a frame the strip does not have
    // shows its nearest end.
    void setFrame(int frame);
    // frame = floor((frames - 1) * clamp(v, 0, 1) + 0.5).
    void setFrameFromValue(float value);
    // Shows the frame now and the rest frame again after the interval; a new
    // blink before then starts the interval again.
    void blink(int frame, int milliseconds);

    int getFrame() const noexcept { return frame; }
    void setRestFrame(int newRestFrame) noexcept { restFrame = newRestFrame; }

    // Ends a blink.
    void timerCallback() override;

protected:
    // What the control draws without an image strip.
    virtual void paintFallback(juce::Graphics& g);

private:

    int frame = 0;
    int restFrame = 0;

    JUCE_DECLARE_NON_COPYABLE(GFXAnimation)
};

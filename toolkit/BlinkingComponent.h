#pragma once

#include <juce_events/juce_events.h>
#include <memory>

// Mix-in for anything that blinks: a timer flips the phase at the interval
// and tells blinkStateChanged(), which draws the phase.
class BlinkingComponent
{
public:
    BlinkingComponent();
    virtual ~BlinkingComponent();

    virtual void blinkStateChanged() {}

    // An interval of 0 keeps the stored one (150 ms at start).
    void startBlinking(int intervalMs);
    // Off stops a running blink and tells blinkStateChanged once; the phase
    // keeps its last value.
    void setBlinking(bool on, int intervalMs);
    bool isBlinking() const;

    bool getBlinkPhase() const { return blinkPhase; }
    int getBlinkInterval() const { return intervalMs; }

    class BlinkingComponentTimer : public juce::Timer
    {
    public:
        explicit BlinkingComponentTimer(BlinkingComponent& owner);
        void timerCallback() override;

    private:
        BlinkingComponent& owner;
    };

private:
    bool blinkPhase = false;
    int intervalMs = 150;
    std::unique_ptr<BlinkingComponentTimer> timer;
};

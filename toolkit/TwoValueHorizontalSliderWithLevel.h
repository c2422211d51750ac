#pragma once

#include "toolkit/TwoValueHorizontalSlider.h"

// A two-value slider with a level strip behind it: a marker at the current
// level (0..1 of the track) and, while highlighted, the accent colour behind
// the whole track, e.g. for a detector's input level between its thresholds.
class TwoValueHorizontalSliderWithLevel : public TwoValueHorizontalSlider
{
public:
    class Level : public juce::Component, public juce::Timer
    {
    public:
        Level();

        void setLevel(float level);
        float getLevel() const { return level; }
        // Highlighted for holdMs, then the highlight clears by itself; 0 keeps
        // it until setHighlighted(false).
        void setHighlighted(bool highlighted, int holdMs = 0);
        bool isHighlighted() const { return highlighted; }

        void paint(juce::Graphics& g) override;
        void timerCallback() override;

    private:
        float level = 0.0f;
        bool highlighted = false;
    };

    TwoValueHorizontalSliderWithLevel();

    Level& getLevelStrip() { return level; }
    void setLevel(float newLevel) { level.setLevel(newLevel); }
    void setHighlighted(bool highlighted, int holdMs = 0) { level.setHighlighted(highlighted, holdMs); }

    void resized() override;

private:
    Level level;

    JUCE_DECLARE_NON_COPYABLE(TwoValueHorizontalSliderWithLevel)
};

#include "toolkit/TwoValueHorizontalSliderWithLevel.h"

#include "toolkit/DefaultLookAndFeel.h"

TwoValueHorizontalSliderWithLevel::Level::Level()
{
    setInterceptsMouseClicks(false, false);
}

void TwoValueHorizontalSliderWithLevel::Level::setLevel(float newLevel)
{
    newLevel = juce::jlimit(0.0f, 1.0f, newLevel);
    if (newLevel == level)
        return;
    level = newLevel;
    repaint();
}

void TwoValueHorizontalSliderWithLevel::Level::setHighlighted(bool shouldBeHighlighted, int holdMs)
{
    if (shouldBeHighlighted && holdMs > 0)
        startTimer(holdMs);
    else
        stopTimer();
    if (shouldBeHighlighted == highlighted)
        return;
    highlighted = shouldBeHighlighted;
    repaint();
}

void TwoValueHorizontalSliderWithLevel::Level::paint(juce::Graphics& g)
{
    if (highlighted)
        g.fillAll(findPaletteColour(*this, DefaultLookAndFeel::accentColourId));
    g.setColour(juce::Colour(0xFF8B0000).brighter(0.2f));
    const int x = (int) ((float) (getWidth() - 3) * level);
    g.fillRect(x, 0, 3, getHeight());
}

void TwoValueHorizontalSliderWithLevel::Level::timerCallback()
{
    stopTimer();
    highlighted = false;
    repaint();
}

TwoValueHorizontalSliderWithLevel::TwoValueHorizontalSliderWithLevel()
{
    addAndMakeVisible(level);
    level.toBack();
}

void TwoValueHorizontalSliderWithLevel::resized()
{
    TwoValueHorizontalSlider::resized();
    const auto& s = getSlider();
    level.setBounds(getMinimumX(), s.getY() - 2, getMaximumX() - getMinimumX(), s.getHeight() + 4);
}

#include "editor/CreditsText.h"

namespace
{
constexpr float kFontHeight = 13.0f;
}

CreditsText::CreditsText(const juce::String& text)
{
    label.setText(text, juce::dontSendNotification);
    label.setColour(juce::Label::backgroundColourId, juce::Colours::black);
    label.setColour(juce::Label::textColourId, juce::Colours::white);
    label.setFont(juce::Font("Tahoma", kFontHeight, juce::Font::plain));
    label.setJustificationType(juce::Justification::centredTop);
    // The label is exactly as high as its lines: no border may push one out.
    label.setBorderSize({});
    label.setInterceptsMouseClicks(false, false);
    addAndMakeVisible(label);

    juce::StringArray lines;
    lines.addLines(text);
    lineCount = lines.size();
}

CreditsText::~CreditsText()
{
    stopTimer();
}

void CreditsText::start()
{
    startTimer(kTimerIntervalMs);
    label.setTopLeftPosition(0, getHeight() + kStartGap);
}

void CreditsText::stop()
{
    stopTimer();
}

void CreditsText::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void CreditsText::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

void CreditsText::timerCallback()
{
    label.setTopLeftPosition(0, label.getY() - 1);
    if (label.getBottom() < 0)
        label.setTopLeftPosition(0, getHeight() + kStartGap);
}

void CreditsText::resized()
{
    label.setBounds(0, getHeight() + kStartGap, getWidth(),
                    lineCount * juce::roundToInt(label.getFont().getHeight()));
}

void CreditsText::mouseDown(const juce::MouseEvent&)
{
    listeners.call([this](Listener& l) { l.creditsClicked(this); });
}

#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The one-line message strip under the editor. A message carries a priority:
// a less important one never overwrites a more important one, and ordinary
// messages clear themselves after three seconds.
class StatusBar : public juce::Component, private juce::Timer
{
public:
    static constexpr int messageTimeoutMs = 3000;

    StatusBar();

    // Shown for messageTimeoutMs.
    void showMessage(const juce::String& text, int priority, bool clearFirst);
    // Shown until replaced or cleared.
    void showPermanentMessage(const juce::String& text, int priority, bool clearFirst);
    // Clears a message of this priority or lower; -1 clears whatever is shown.
    void clear(int priority);

    const juce::String& getText() const { return text; }
    int getPriority() const { return priority; }
    // The running message's timeout in ms; 0 for a permanent message.
    int getTimeout() const { return isTimerRunning() ? getTimerInterval() : 0; }

    void lookAndFeelChanged() override;
    void parentHierarchyChanged() override;
    void paint(juce::Graphics& g) override;
    void timerCallback() override;

private:
    void setText(const juce::String& newText, int newPriority, int timeoutMs);

    juce::Font font;
    juce::String text;
    int priority = 0;

    JUCE_DECLARE_NON_COPYABLE(StatusBar)
};

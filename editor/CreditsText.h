#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Credits rolling upwards through a black box, white on black, one pixel per
// tick of its timer; when the last line has left at the top, the text starts
// again below the bottom edge. A click on it tells its listeners.
class CreditsText : public juce::Component, public juce::Timer
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void creditsClicked(CreditsText* credits) = 0;
    };

    explicit CreditsText(const juce::String& text);
    ~CreditsText() override;

    // Starts rolling from just below the visible area.
    void start();
    void stop();

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    int getLineCount() const { return lineCount; }
    const juce::Label& getLabel() const { return label; }

    void timerCallback() override;
    void resized() override;
    void mouseDown(const juce::MouseEvent& e) override;

    static constexpr int kTimerIntervalMs = 50;
    // How far below the bottom edge the text starts.
    static constexpr int kStartGap = 5;

private:
    juce::Label label;
    int lineCount = 0;
    juce::ListenerList<Listener> listeners;

    JUCE_DECLARE_NON_COPYABLE(CreditsText)
};

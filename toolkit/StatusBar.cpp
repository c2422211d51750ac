#include "toolkit/StatusBar.h"

#include "toolkit/DefaultLookAndFeel.h"

StatusBar::StatusBar()
{
    clear(-1);
    lookAndFeelChanged();
}

void StatusBar::showMessage(const juce::String& newText, int newPriority, bool clearFirst)
{
    if (clearFirst)
        clear(-1);
    setText(newText, newPriority, messageTimeoutMs);
}

void StatusBar::showPermanentMessage(const juce::String& newText, int newPriority, bool clearFirst)
{
    if (clearFirst)
        clear(-1);
    setText(newText, newPriority, 0);
}

void StatusBar::clear(int clearedPriority)
{
    if (clearedPriority != -1 && priority > clearedPriority)
        return;
    priority = 0;
    setText({}, 0, 0);
}

void StatusBar::setText(const juce::String& newText, int newPriority, int timeoutMs)
{
    if (newText == text || priority > newPriority)
        return;
    priority = newPriority;
    text = newText;
    if (timeoutMs >= 1)
        startTimer(timeoutMs);
    else
        stopTimer();
    repaint();
}

void StatusBar::timerCallback()
{
    clear(-1);
}

void StatusBar::lookAndFeelChanged()
{
    if (auto* laf = dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel()))
    {
        font = laf->getStatusBarFont();
        setSize(getWidth(), laf->getStatusBarHeight());
    }
    repaint();
}

void StatusBar::parentHierarchyChanged()
{
    // The look-and-feel comes from the parent.
    lookAndFeelChanged();
}

void StatusBar::paint(juce::Graphics& g)
{
    g.fillAll(findPaletteColour(*this, DefaultLookAndFeel::statusBarBackgroundColourId));
    g.setColour(findPaletteColour(*this, DefaultLookAndFeel::statusBarTextColourId));
    g.setFont(font);
    g.drawText(text, 5, 0, getWidth(), getHeight(), juce::Justification::centredLeft, false);
}

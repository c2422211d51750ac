#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A tabbed component drawn in the in-house style that tells its listeners
// when the user changes tab.
class TabbedComponentEx : public juce::TabbedComponent
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void tabChanged(TabbedComponentEx* tabs) = 0;
    };

    explicit TabbedComponentEx(juce::TabbedButtonBar::Orientation orientation);

    // Null is ignored and a listener is added only once.
    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    void currentTabChanged(int newCurrentTabIndex, const juce::String& newCurrentTabName) override;
    void lookAndFeelChanged() override;
    void paint(juce::Graphics& g) override;
    void resized() override;

private:
    juce::ListenerList<Listener> listeners;
    juce::Path frame;

    JUCE_DECLARE_NON_COPYABLE(TabbedComponentEx)
};

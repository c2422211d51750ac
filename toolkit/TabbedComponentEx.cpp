#include "toolkit/TabbedComponentEx.h"

#include "toolkit/DefaultLookAndFeel.h"

TabbedComponentEx::TabbedComponentEx(juce::TabbedButtonBar::Orientation orientation)
    : juce::TabbedComponent(orientation)
{
    // The frame is drawn here, round-cornered, instead of JUCE's square outline.
    setOutline(0);
    lookAndFeelChanged();
}

void TabbedComponentEx::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void TabbedComponentEx::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

void TabbedComponentEx::currentTabChanged(int, const juce::String&)
{
    listeners.call([this](Listener& l) { l.tabChanged(this); });
    if (auto* content = getCurrentContentComponent())
        content->sendLookAndFeelChange();
}

void TabbedComponentEx::lookAndFeelChanged()
{
    if (auto* laf = dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel()))
    {
        setTabBarDepth(laf->getTabBarDepth());
        setIndent(laf->getTabIndent());
    }
    juce::TabbedComponent::lookAndFeelChanged();
}

void TabbedComponentEx::resized()
{
    juce::TabbedComponent::resized();
    frame.clear();
    const float depth = (float) getTabBarDepth();
    frame.addRoundedRectangle(0.5f, depth - 0.5f, (float) getWidth() - 1.0f, (float) getHeight() - depth, 4.0f);
}

void TabbedComponentEx::paint(juce::Graphics& g)
{
    g.setColour(findPaletteColour(*this, DefaultLookAndFeel::tabFrameFillColourId));
    g.fillPath(frame);
    g.setColour(findPaletteColour(*this, DefaultLookAndFeel::tabOutlineColourId));
    g.strokePath(frame, juce::PathStrokeType(1.0f));
}

#include "editor/OptionsWindow.h"

OptionsWindow::OptionsWindow()
{
    addAndMakeVisible(tabs);
}

OptionsWindow::~OptionsWindow() = default;

void OptionsWindow::setDisplayMode(int mode)
{
    if (mode == displayMode)
        return;
    displayMode = mode;
    if (mode == bare || mode == framedWindow)
    {
        setTitleBarVisible(mode == framedWindow);
        setFrameVisible(mode == framedWindow);
    }
    resized();
}

void OptionsWindow::addTab(const juce::String& tabName, juce::Component* page, int insertIndex)
{
    tabs.addTab(tabName, juce::Colour(kTabColour), page, false, insertIndex);
    if (insertIndex == 0)
    {
        // Inserting in front keeps the page that was showing; the new first
        // page is the one to show.
        tabs.setCurrentTabIndex(-1);
        tabs.setCurrentTabIndex(0);
    }
}

void OptionsWindow::resized()
{
    WindowComponent::resized();
    tabs.setBounds(getContentArea());
}

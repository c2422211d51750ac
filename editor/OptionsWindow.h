#pragma once

#include "toolkit/TabbedComponentEx.h"
#include "toolkit/WindowComponent.h"

// The editor's settings window: one tab per settings page. The editor owns the
// pages; the window only shows them.
class OptionsWindow : public WindowComponent
{
public:
    enum DisplayMode
    {
        framedWindow = 0,
        bare = 1
    };

    static constexpr juce::uint32 kTabColour = 0xFFC5C5C5;

    OptionsWindow();
    ~OptionsWindow() override;

    // Framed with a title bar, or without either; other values only relay out.
    void setDisplayMode(int mode);
    int getDisplayMode() const noexcept { return displayMode; }

    // An index past the last tab appends. A page put first is also shown.
    void addTab(const juce::String& tabName, juce::Component* page, int insertIndex);

    TabbedComponentEx& getTabs() noexcept { return tabs; }

    bool shouldDimBackground() const override { return true; }
    void resized() override;

private:
    TabbedComponentEx tabs { juce::TabbedButtonBar::TabsAtTop };
    int displayMode = framedWindow;

    JUCE_DECLARE_NON_COPYABLE(OptionsWindow)
};

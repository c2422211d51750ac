#pragma once

#include "core/ParameterController.h"
#include "toolkit/PopupMenuEx.h"

#include <juce_gui_basics/juce_gui_basics.h>

// A self-drawn choice box (a rounded box with text and a down arrow) that shows
// the chosen item of its own menu and opens the menu when clicked. Bound to a
// parameter, the chosen item id is the parameter's integer value.
class ComboBoxEx : public juce::Component, private PopupMenuEx::Listener, public ParameterController
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void comboBoxExChanged(ComboBoxEx* box) = 0;
    };

    ComboBoxEx();
    ~ComboBoxEx() override;

    // Listeners hear only with notify, after the parameter is written (which
    // happens in every case); a listener may delete the box.
    void setSelectedId(int id, bool notify);
    int getSelectedId() const noexcept { return selectedId; }
    const juce::String& getText() const noexcept { return shownText; }
    bool isMenuOpen() const noexcept { return menuOpen; }

    // Copies the menu in, unless onlyIfNameDiffers is set and the names agree.
    void setMenu(const PopupMenuEx& newMenu, bool onlyIfNameDiffers);
    PopupMenuEx& getMenu() noexcept { return menu; }
    const juce::Font& getFont() const noexcept { return font; }

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    void mouseDown(const juce::MouseEvent& e) override;
    void paint(juce::Graphics& g) override;
    void resized() override;

    void updateFromParameter(Parameter* p) override;

private:
    void itemChosen(PopupMenuEx* chosenMenu, int itemId, bool wasTicked) override;
    void menuDismissed(PopupMenuEx* dismissedMenu) override;
    void refresh();
    void setMenuOpen(bool open);

    int selectedId = -1;
    bool menuOpen = false;
    juce::String shownText;
    juce::Font font { "Tahoma", 13.0f, juce::Font::plain };
    juce::Path arrow;
    PopupMenuEx menu { juce::String() };
    juce::ListenerList<Listener> listeners;

    JUCE_DECLARE_NON_COPYABLE(ComboBoxEx)
};

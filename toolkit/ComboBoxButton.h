#pragma once

#include "core/EnumParameter.h"
#include "core/ParameterController.h"
#include "toolkit/PopupMenuEx.h"
#include "toolkit/TextButtonWithIcon.h"

#include <juce_gui_basics/juce_gui_basics.h>

// A choice button that shows the chosen item of a menu and opens the menu when
// pressed. Several buttons may share one menu (a long parameter list, say);
// each then acts only on the choices made on its own opening of it.
class ComboBoxButton : public juce::Component,
                       private PopupMenuEx::Listener,
                       public ParameterController,
                       private juce::Button::Listener
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void comboBoxButtonChanged(ComboBoxButton* box) = 0;
    };

    ComboBoxButton();
    ~ComboBoxButton() override;

    // Only with notify are the parameter written and then the listeners told;
    // a listener may delete the button.
    void setSelectedId(int id, bool notify);
    int getSelectedId() const noexcept { return selectedId; }
    juce::String getText() const { return button.getButtonText(); }

    // A shared menu is not owned; it replaces the own menu everywhere while set
    // (null goes back to the own menu). Either may be destroyed first.
    void setSharedMenu(PopupMenuEx* menu);
    void setMenu(const PopupMenuEx& menu, bool onlyIfNameDiffers);
    PopupMenuEx& getActiveMenu() noexcept;

    // Fills the own menu with the parameter's choices and binds it.
    void setParameter(EnumParameter* parameter);
    // As wide as the widest label of the items 0 .. (top-level items - 1), at
    // least 40; a negative height keeps the current one.
    void setWidthToFitItems(int height);

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    TextButtonWithIcon& getButton() noexcept { return button; }

    void resized() override;
    void updateFromParameter(Parameter* p) override;

private:
    void buttonClicked(juce::Button* clicked) override;
    void itemChosen(PopupMenuEx* menu, int itemId, bool wasTicked) override;
    void menuDismissed(PopupMenuEx* menu) override;
    void refresh();
    void releaseMenu(PopupMenuEx& menu);

    int selectedId = -1;
    PopupMenuEx ownMenu { juce::String() };
    juce::WeakReference<PopupMenuEx> sharedMenu;
    juce::ListenerList<Listener> listeners;
    TextButtonWithIcon button { juce::String() };

    JUCE_DECLARE_NON_COPYABLE(ComboBoxButton)
};

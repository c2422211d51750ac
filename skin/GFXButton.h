#pragma once

#include "skin/BaseGFXController.h"
#include <juce_gui_basics/juce_gui_basics.h>

// A push button that raises events and, when linked, holds a boolean parameter
// true exactly while it is pressed. Strip: 0 up, 1 pressed.
class GFXButton : public BaseGFXController,
                  public juce::Button
{
public:
    explicit GFXButton(const juce::String& name);

    void bindAction(const juce::String& type, int eventUid, const juce::String& eventText) override;
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;

    void mouseEnter(const juce::MouseEvent& e) override;
    void modifierKeysChanged(const juce::ModifierKeys& modifiers) override;

protected:
    void clicked(const juce::ModifierKeys& modifiers) override;
    void paintButton(juce::Graphics& g, bool isMouseOverButton, bool isButtonDown) override;
    void buttonStateChanged() override;

private:
    void updateTooltip(const juce::ModifierKeys& modifiers);

    int clickEvent = -1;
    int clickWithCtrlEvent = -1;
    int rightClickEvent = -1;
    juce::String clickText;
    juce::String clickWithCtrlText;
    juce::String rightClickText;
    bool wasDown = false;

    JUCE_DECLARE_NON_COPYABLE(GFXButton)
};

#pragma once

#include "core/EnumParameter.h"
#include "core/ParameterController.h"
#include "toolkit/ComponentRow.h"
#include "toolkit/PanelComponent.h"

// A titled group of radio buttons, one per item of an enum parameter.
class RadioButtons_V2 : public juce::Component, public juce::Button::Listener, public ParameterController
{
public:
    static constexpr int buttonHeight = 18;

    // One round button; the click fires on mouse down.
    class RadioButton : public juce::TextButton
    {
    public:
        explicit RadioButton(const juce::String& text);
        void paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown) override;
    };

    explicit RadioButtons_V2(EnumParameter* parameter);
    ~RadioButtons_V2() override;

    void setTitle(const juce::String& title, bool resize);
    // -1 (none) for an index outside the items; with notify the parameter
    // is written.
    void setSelectedIndex(int index, bool notify);
    int getSelectedIndex() const { return selectedIndex; }
    int getNumButtons() const { return buttons.size(); }
    RadioButton* getButton(int index) const { return buttons[index]; }
    PanelComponent& getPanel() { return panel; }

    void resized() override;
    virtual void selectionChanged() {}
    void buttonClicked(juce::Button* button) override;
    void updateFromParameter(Parameter* p) override;

private:
    // Declared so that the panel goes first and the row it frames after it.
    juce::OwnedArray<RadioButton> buttons;
    ComponentRow row { ComponentRow::column, ComponentRow::alignStart };
    PanelComponent panel;
    int selectedIndex = -1;

    JUCE_DECLARE_NON_COPYABLE(RadioButtons_V2)
};

#pragma once

#include "core/ParameterController.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The settings pages' check box bound to a boolean parameter. A user's click
// writes the parameter once; hovering and pressing write nothing, and a change
// of the parameter from elsewhere only moves the box.
class CheckBox_V2 : public juce::TextButton, public ParameterController
{
public:
    explicit CheckBox_V2(const juce::String& text = {});

    bool isChecked() const { return getToggleState(); }
    void setChecked(bool checked, juce::NotificationType notification);
    // A negative height keeps the current height.
    void changeWidthToFitText(int height);

    juce::Drawable* getCheckMark() const { return checkMark.get(); }

    void updateFromParameter(Parameter* p) override;
    void paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown) override;
    void resized() override;
    void enablementChanged() override;
    void buttonStateChanged() override;
    void clicked() override;

    // The round-cornered tick box, shared with the radio buttons' circle.
    static void drawTickBox(juce::Graphics& g, juce::Button& button, const juce::Path& box, bool isMouseOver,
                            bool isButtonDown);

private:
    void refreshCheckMark();

    std::unique_ptr<juce::Drawable> checkMark;

    JUCE_DECLARE_NON_COPYABLE(CheckBox_V2)
};

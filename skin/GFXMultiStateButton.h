#pragma once

#include "skin/BaseGFXController.h"
#include <juce_gui_basics/juce_gui_basics.h>

// A button that shows one of n states and raises events; whoever handles the
// events decides what a click changes. It never writes a parameter. Strip "2D":
// frame k = state k; "3D": frame 2k = state k, 2k + 1 = state k pressed.
// Disabled, it is drawn faded and takes no clicks.
class GFXMultiStateButton : public BaseGFXController,
                            public juce::Button
{
public:
    explicit GFXMultiStateButton(const juce::String& name);

    void bindAction(const juce::String& type, int eventUid, const juce::String& eventText) override;
    void parameterValueChanged(Parameter* p) override;
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void blinkStateChanged() override;

    // Shows that state, kept within 0 .. states - 1.
    void setState(int newState);
    int getState() const noexcept { return state; }
    int getNumStates() const noexcept { return states; }
    int getStyle() const noexcept { return style; }
    // The strip frame for the given mouse state.
    int getFrameFor(bool isMouseOverButton, bool isButtonDown) const;

protected:
    void clicked(const juce::ModifierKeys& modifiers) override;
    void paintButton(juce::Graphics& g, bool isMouseOverButton, bool isButtonDown) override;

private:
    int style = 0;
    int state = 0;
    int states = 2;
    int clickEvent = -1;
    int clickWithCtrlEvent = -1;
    int clickWithShiftEvent = -1;
    int rightClickEvent = -1;

    JUCE_DECLARE_NON_COPYABLE(GFXMultiStateButton)
};

#pragma once

#include "skin/BaseGFXController.h"
#include <juce_gui_basics/juce_gui_basics.h>

// An on/off button bound to a boolean parameter. Strip "2D": 0 off, 1 on;
// "3D": 0 off, 1 off pressed, 2 on, 3 on pressed.
class GFXToggleButton : public BaseGFXController,
                        public juce::Button
{
public:
    explicit GFXToggleButton(const juce::String& name);

    void parameterValueChanged(Parameter* p) override;
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void blinkStateChanged() override;

    int getStyle() const noexcept { return style; }
    // The strip frame for the given mouse state.
    int getFrameFor(bool isMouseOverButton, bool isButtonDown) const;

protected:
    void clicked() override;
    void paintButton(juce::Graphics& g, bool isMouseOverButton, bool isButtonDown) override;

private:
    int style = 0;

    JUCE_DECLARE_NON_COPYABLE(GFXToggleButton)
};

#pragma once

#include "core/ParameterController.h"

#include <juce_gui_basics/juce_gui_basics.h>

// An icon button of the settings pages' tool bars, optionally mirroring a
// boolean parameter in its toggle state.
class ToolbarDrawableButton : public juce::DrawableButton, public ParameterController
{
public:
    explicit ToolbarDrawableButton(const juce::String& name);
    // The icon of that index from the look-and-feel's library.
    ToolbarDrawableButton(const juce::String& name, int iconIndex);

    void updateFromParameter(Parameter* p) override;
    void paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown) override;
    void lookAndFeelChanged() override;
    void clicked() override;

private:
    int iconIndex = -1;

    JUCE_DECLARE_NON_COPYABLE(ToolbarDrawableButton)
};

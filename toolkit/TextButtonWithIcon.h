#pragma once

#include "core/ParameterController.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// A text button with an icon at one end, mirroring a boolean parameter in its
// toggle state. A user's click writes the parameter; a change of the
// parameter from elsewhere only moves the button.
class TextButtonWithIcon : public juce::TextButton, public ParameterController
{
public:
    explicit TextButtonWithIcon(const juce::String& text);

    // The toggled icon defaults to the normal one.
    void setIcons(const juce::Drawable& normal, const juce::Drawable* toggled = nullptr);
    void setIconOnRight(bool onRight);
    void setIconMargins(const juce::BorderSize<int>& margins);

    void setText(const juce::String& text, bool fitWidth);
    // A negative height keeps the current height.
    void changeWidthToFitText(int height);
    int getWidthForText(const juce::String& text);

    juce::Drawable* getNormalIcon() const { return normalIcon.get(); }
    juce::Drawable* getToggledIcon() const { return toggledIcon.get(); }

    void updateFromParameter(Parameter* p) override;
    void paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown) override;
    void resized() override;
    void buttonStateChanged() override;
    void clicked() override;
    void enablementChanged() override;

private:
    int getIconSide() const;
    int widthFor(const juce::String& text, int height);
    void updateIcons();

    bool iconOnRight = false;
    juce::BorderSize<int> iconMargins { 1, 1, 1, 1 };
    std::unique_ptr<juce::Drawable> normalIcon;
    std::unique_ptr<juce::Drawable> toggledIcon;

    JUCE_DECLARE_NON_COPYABLE(TextButtonWithIcon)
};

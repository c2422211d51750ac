#pragma once

#include "toolkit/ModalComponent.h"

#include <memory>

// A modal window inside the editor: a frame, a title bar with icon, title and
// close button, and margins around the content. Subclasses lay out their
// children in getContentArea() after calling WindowComponent::resized.
// Wherever the focus is inside it, Return presses its default button and
// Escape its cancel button, or closes it as the close button does.
class WindowComponent : public ModalComponent, public juce::Button::Listener
{
public:
    class LookAndFeelMethods
    {
    public:
        virtual ~LookAndFeelMethods() = default;
        virtual juce::Font getWindowTitleFont() = 0;
        virtual void setWindowCloseButtonImages(juce::ImageButton& button) = 0;
        virtual void drawWindow(juce::Graphics& g, WindowComponent& window) = 0;
    };

    enum CornerStyle
    {
        squareCorners = 0,
        roundedCorners = 1
    };

    WindowComponent();
    ~WindowComponent() override;

    void buttonClicked(juce::Button* button) override;
    // Sizes the window so that its content area gets this size (at least
    // 250 x 120 for the whole window).
    virtual void setContentSize(int width, int height);

    void setTitle(const juce::String& title);
    // Keeps the drawable only when it is a DrawableComposite; takes ownership.
    void setIcon(juce::Drawable* icon);
    void setTitleBarVisible(bool visible);
    void setTitleBarHeight(int height);
    void setCloseButtonVisible(bool visible);
    void setFrameVisible(bool visible);
    void setTransparent(bool transparent);
    void setCornerStyle(CornerStyle style);
    // Buttons the window listens to (either may be null): a key presses one as
    // a click does, but not while it is disabled or hidden. Without a cancel
    // button, Escape does what the close button does, shown or not.
    void setDefaultButton(juce::Button* button);
    void setCancelButton(juce::Button* button);
    juce::Button* getDefaultButton() const noexcept { return defaultButton; }
    juce::Button* getCancelButton() const noexcept { return cancelButton; }
    // Whether the button is its window's default, which the look draws so.
    static bool isDefaultButton(const juce::Button& button);

    const juce::String& getTitle() const { return title; }
    const juce::Font& getTitleFont() const { return titleFont; }
    bool isTitleBarVisible() const { return titleBarVisible; }
    bool isFrameVisible() const { return frameVisible; }
    bool isTransparent() const { return transparent; }
    int getTitleBarHeight() const { return titleBarHeight; }
    int getBorderWidth() const { return borderWidth; }
    CornerStyle getCornerStyle() const { return cornerStyle; }
    const juce::BorderSize<int>& getContentMargins() const { return contentMargins; }
    juce::Rectangle<int> getTitleBarArea() const { return titleBarArea; }
    juce::Rectangle<int> getTitleTextArea() const { return titleTextArea; }
    juce::Rectangle<int> getContentArea() const { return contentArea; }
    juce::DrawableButton& getCloseButton() { return closeButton; }
    juce::DrawableComposite* getIcon() const { return icon.get(); }

    bool keyPressed(const juce::KeyPress& key) override;
    void lookAndFeelChanged() override;
    void paint(juce::Graphics& g) override;
    void resized() override;

private:
    void updateCloseButtonVisibility();
    void pressIfUsable(juce::Button* button);

    bool frameVisible = true;
    bool titleBarVisible = true;
    bool closeButtonVisible = true;
    bool transparent = false;
    int titleBarHeight = 31;
    int borderWidth = 3;
    CornerStyle cornerStyle = squareCorners;
    juce::String title;
    juce::Font titleFont;
    juce::DrawableButton closeButton { "CloseButton", juce::DrawableButton::ImageFitted };
    std::unique_ptr<juce::DrawableComposite> icon;
    juce::BorderSize<int> contentMargins { 6, 6, 9, 6 };
    juce::Rectangle<int> titleBarArea;
    juce::Rectangle<int> titleTextArea;
    juce::Rectangle<int> contentArea;
    juce::Component::SafePointer<juce::Button> defaultButton;
    juce::Component::SafePointer<juce::Button> cancelButton;

    JUCE_DECLARE_NON_COPYABLE(WindowComponent)
};

#pragma once

#include "toolkit/ComponentRow.h"
#include "toolkit/WindowComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace Orv
{
// The editor's message box: a framed modal window with a title, a one-line
// message and a row of buttons. It never runs a modal loop: the pressed
// button reaches the caller as a result code through alertWindowClosed.
// Return presses its default button, Escape its cancel button or, without
// one, closes it; both wherever the focus is inside it, which it takes when
// shown on a screen (or when its editor comes back onto one). Where Yes
// would replace or delete something, Return answers No or Cancel.
class AlertWindow : public WindowComponent
{
public:
    enum Result
    {
        Cancel = 0,
        No = 1,
        Yes = 2,
        OK = 3,
        Overwrite = 4,
        SaveAs = 5,
        Discard = 6,
        Replace = 7
    };

    class Caller
    {
    public:
        virtual ~Caller() = default;
        virtual void alertWindowClosed(AlertWindow* alert, int result) = 0;
    };

    // Each returns a new alert that the caller owns.
    static AlertWindow* createOk(const juce::String& title, const juce::String& message, Caller* caller);
    static AlertWindow* createYesNo(const juce::String& title, const juce::String& message, Caller* caller);
    static AlertWindow* createYesCancel(const juce::String& title, const juce::String& message, Caller* caller);
    static AlertWindow* createSaveOverwriteDiscard(const juce::String& title, const juce::String& message,
                                                   Caller* caller);
    static AlertWindow* createReplaceCancel(const juce::String& title, const juce::String& message,
                                            Caller* caller);

    AlertWindow();
    ~AlertWindow() override;

    juce::TextButton* addButton(const juce::String& text, int resultCode);
    int getNumButtons() const noexcept { return buttons.size(); }
    juce::TextButton* getButton(int index) const noexcept { return buttons[index]; }

    void setMessage(const juce::String& text);
    juce::String getMessage() const { return message.getText(); }

    // Context for the caller, read back in alertWindowClosed.
    void addValue(const juce::var& value);
    juce::var getValue(int index) const;

    void parentHierarchyChanged() override;
    void lookAndFeelChanged() override;
    void resized() override;
    void childBoundsChanged(juce::Component* child) override;
    bool shouldDimBackground() const override { return true; }
    void buttonClicked(juce::Button* button) override;

private:
    static AlertWindow* create(const juce::String& title, const juce::String& text, Caller* caller,
                               std::initializer_list<Result> results, int defaultIndex, int cancelIndex);
    void updateSize();

    ComponentRow buttonRow { 0, 2 };
    juce::OwnedArray<juce::TextButton> buttons;
    juce::Array<int> resultCodes;
    juce::Label message;
    juce::Array<juce::var> values;
    Caller* caller = nullptr;

    JUCE_DECLARE_NON_COPYABLE(AlertWindow)
};
} // namespace Orv

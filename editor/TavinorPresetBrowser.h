#pragma once

#include "core/ParameterPadlock.h"
#include "editor/PresetBrowserWindow.h"
#include "toolkit/TextButtonWithIcon.h"

#include <array>

class Tavinor;

// The product's preset browser: below the columns, the default values of the
// whole preset or of one delay line can be restored, and whole lines locked
// against preset loading. The locks live in the processor's line padlocks;
// the buttons only mirror them.
class TavinorPresetBrowser : public PresetBrowserWindow, public ParameterPadlock::Listener
{
public:
    TavinorPresetBrowser(Tavinor& processor, PresetCollection& collection);
    ~TavinorPresetBrowser() override;

    void buttonClicked(juce::Button* button) override;
    void padlockChanged(ParameterPadlock* padlock) override;
    void lookAndFeelChanged() override;
    void resized() override;

    juce::TextButton& getRestoreLineButton(int line) { return restoreButtons[(size_t) line]; }
    TextButtonWithIcon& getLockButton(int line) { return lockButtons[(size_t) line]; }
    const juce::Label& getRestoreLabel() const { return restoreLabel; }
    const juce::Label& getLockLabel() const { return lockLabel; }
    const juce::Component& getRestoreRow() const { return restoreRow; }
    const juce::Component& getLockRow() const { return lockRow; }

    static constexpr int kNumLines = 4;
    static constexpr int kRowSpacing = 6;
    static constexpr int kRowGap = 30;

private:
    Tavinor& processor;
    ComponentRow restoreRow { ComponentRow::row, ComponentRow::alignCentre };
    juce::Label restoreLabel { "restoreLabel", "Restore default:" };
    std::array<juce::TextButton, kNumLines> restoreButtons;
    juce::Label lockLabel { "lockLabel", "Lines locking:" };
    ComponentRow lockRow { ComponentRow::row, ComponentRow::alignCentre };
    std::array<TextButtonWithIcon, kNumLines> lockButtons { TextButtonWithIcon("Line 1"), TextButtonWithIcon("Line 2"),
                                                            TextButtonWithIcon("Line 3"), TextButtonWithIcon("Line 4") };

    JUCE_DECLARE_NON_COPYABLE(TavinorPresetBrowser)
};

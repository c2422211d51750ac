#pragma once

#include "core/BoolParameter.h"
#include "core/EnumParameter.h"
#include "core/FloatParameter.h"
#include "core/NoteParameter.h"
#include "processor/dsp/DelayParameters.h"
#include "toolkit/ComponentRow.h"
#include "toolkit/DefaultLookAndFeel.h"
#include "toolkit/HorizontalSlider.h"
#include "toolkit/MidiNoteAndChannelComponent.h"
#include "toolkit/PanelComponent.h"
#include "toolkit/RadioButtons_V2.h"
#include "toolkit/TwoValueHorizontalSliderWithLevel.h"
#include "toolkit/WindowComponent.h"

// The small window that sets how one modulator restarts: not at all, on a
// MIDI note (channel, note, learn), or when the input level crosses the
// detector's thresholds (speed, lower and upper threshold). Only the panel of
// the chosen mode shows. The product editor shows and hides it from the
// modulator's settings button and feeds the threshold slider's level strip.
class ModulatorRetriggerSettings : public WindowComponent, public Parameter::Listener
{
public:
    // Dark, with white text.
    class LF : public DefaultLookAndFeel
    {
    public:
        LF();
        juce::Font getWindowTitleFont() override;
    };

    static constexpr int kTitleBarHeight = 17;
    static constexpr int kPanelGap = 10;
    static constexpr int kSliderHeight = 50;

    // mode must not be null; the others may be (their controls then stay unbound).
    ModulatorRetriggerSettings(const juce::String& title, EnumParameter* mode, EnumParameter* channel,
                               NoteParameter* note, BoolParameter* learn, FloatParameter* speed,
                               FloatParameter* lowerThreshold, FloatParameter* upperThreshold);
    ~ModulatorRetriggerSettings() override;

    RadioButtons_V2& getModeChooser() noexcept { return modeChooser; }
    MidiNoteAndChannelComponent& getNoteChooser() noexcept { return noteChooser; }
    PanelComponent& getNotePanel() noexcept { return notePanel; }
    PanelComponent& getDetectionPanel() noexcept { return detectionPanel; }
    HorizontalSlider& getSpeedSlider() noexcept { return speedSlider; }
    TwoValueHorizontalSliderWithLevel& getThresholdSlider() noexcept { return thresholdSlider; }

    // Told the parameter of a slider the user grabs or moves.
    void setParameterTouchedCallback(const std::function<void(Parameter*)>& callback);

    // The mode parameter changed (on the message thread).
    void parameterChanged(Parameter* p) override;
    void visibilityChanged() override;
    void resized() override;

private:
    // The width at which the mode chooser shows its title and items whole.
    int getModeChooserFittedWidth();

    // First, so that it outlives every child drawn with it.
    LF lf;
    RadioButtons_V2 modeChooser;
    EnumParameter* modeParameter;
    MidiNoteAndChannelComponent noteChooser;
    PanelComponent notePanel { "Retriggering MIDI note" };
    PanelComponent detectionPanel { "Detection parameters" };
    ComponentRow sliderColumn { ComponentRow::column, ComponentRow::alignStart };
    HorizontalSlider speedSlider;
    TwoValueHorizontalSliderWithLevel thresholdSlider;

    JUCE_DECLARE_NON_COPYABLE(ModulatorRetriggerSettings)
};

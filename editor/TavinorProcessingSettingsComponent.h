#pragma once

#include "core/BoolParameter.h"
#include "core/IntParameter.h"
#include "core/NoteParameter.h"
#include "editor/ProcessingSettingsComponent.h"
#include "toolkit/DefaultLookAndFeel.h"
#include "toolkit/HorizontalSlider.h"
#include "toolkit/MidiNoteAndChannelComponent.h"

#include <array>

class Tavinor;

// The product's "Processing" page: the qualities of the framework page, plus
// the MIDI note that retriggers each modulator and the longest delay the
// buffers hold, each for this instance and as the default of new instances.
class TavinorProcessingSettingsComponent : public ProcessingSettingsComponent
{
public:
    // Plain panel titles for the four small "MOD" panels.
    class OwnLAF : public DefaultLookAndFeel
    {
    public:
        juce::Font getPanelTitleFont() override { return getDefaultFont(); }
    };

    // The order of the note choosers, as setNoteParameters takes them.
    enum NoteChooser
    {
        defaultMod1 = 0,
        defaultMod2 = 1,
        currentMod1 = 2,
        currentMod2 = 3
    };
    static constexpr int kNumNoteChoosers = 4;
    static constexpr int kSliderHeight = 40;
    static constexpr int kSliderInset = 16;

    explicit TavinorProcessingSettingsComponent(Tavinor& processor);
    ~TavinorProcessingSettingsComponent() override;

    // Channel, note and learn switch of each chooser, in NoteChooser order.
    void setNoteParameters(EnumParameter* defaultMod1Channel, NoteParameter* defaultMod1Note,
                           BoolParameter* defaultMod1Learn, EnumParameter* defaultMod2Channel,
                           NoteParameter* defaultMod2Note, BoolParameter* defaultMod2Learn,
                           EnumParameter* mod1Channel, NoteParameter* mod1Note, BoolParameter* mod1Learn,
                           EnumParameter* mod2Channel, NoteParameter* mod2Note, BoolParameter* mod2Learn);
    // Maximum delay time in seconds: the default of new instances, and now.
    void setBufferLengthParameters(IntParameter* defaultLength, IntParameter* currentLength);

    // Ends every retrigger-note learn the page started: a learn must never go
    // on unseen once the page is out of sight.
    void switchLearningOff();

    Tavinor& getProcessor() noexcept { return processor; }
    MidiNoteAndChannelComponent& getNoteChooser(int index) { return noteChoosers[(size_t) index]; }
    PanelComponent& getModPanel(int index) { return modPanels[(size_t) index]; }
    PanelComponent& getDefaultNotePanel() noexcept { return defaultNotePanel; }
    PanelComponent& getCurrentNotePanel() noexcept { return currentNotePanel; }
    PanelComponent& getDefaultBufferPanel() noexcept { return defaultBufferPanel; }
    PanelComponent& getCurrentBufferPanel() noexcept { return currentBufferPanel; }
    HorizontalSlider& getDefaultBufferSlider() noexcept { return defaultBufferSlider; }
    HorizontalSlider& getCurrentBufferSlider() noexcept { return currentBufferSlider; }

    void visibilityChanged() override;
    void resized() override;

private:
    Tavinor& processor;
    // First, so that it outlives the panels drawn with it.
    OwnLAF ownLAF;
    std::array<MidiNoteAndChannelComponent, kNumNoteChoosers> noteChoosers;
    std::array<PanelComponent, kNumNoteChoosers> modPanels;
    ComponentRow defaultNoteRow { ComponentRow::row, ComponentRow::alignStart };
    ComponentRow currentNoteRow { ComponentRow::row, ComponentRow::alignStart };
    PanelComponent defaultNotePanel { "Default Retrigger Midi Note" };
    PanelComponent currentNotePanel { "Current Retrigger Midi Note" };
    HorizontalSlider defaultBufferSlider;
    HorizontalSlider currentBufferSlider;
    ComponentRow currentBufferColumn { ComponentRow::column, ComponentRow::alignStart };
    PanelComponent defaultBufferPanel { "Default Maximum Buffer Length" };
    PanelComponent currentBufferPanel { "Current Maximum Buffer Length" };

    JUCE_DECLARE_NON_COPYABLE(TavinorProcessingSettingsComponent)
};

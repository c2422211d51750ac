#pragma once

#include "core/ParameterPadlock.h"
#include "processor/Tavinor.h"
#include "editor/BasePluginEditor.h"
#include "toolkit/PopupMenuEx.h"

#include <array>
#include <memory>

class GFXAnimation;
class GFXButton;
class GFXKnob;
class GFXMultiStateButton;
class GFXPanel;
class InstallFactoryPresetsWindow;
class ModulatorRetriggerSettings;
class NumericDisplay;
class TavinorPresetBrowser;

// The product's editor on the built-in skin. The skin's controls follow their
// own parameters; this editor keeps pointers to the skin's named elements whose
// look depends on more than one parameter or on the engine (time and modulator
// panels, switch groups that show a choice, meters, lamps, the signal-flow
// picture, the line buttons and padlocks), answers the product's events (line
// selection, mute and solo, copy and paste, choices, menus, windows) and owns
// the product's windows.
class TavinorEditor : public BasePluginEditor,
                      public juce::Button::Listener,
                      public PopupMenuEx::Listener,
                      public Tavinor::Listener,
                      public ParameterPadlock::Listener,
                      public juce::ComponentListener
{
public:
    // The product's own events (numbers of "events.xml").
    enum Event
    {
        eventSelectLine1 = 0,
        eventSelectNextLine = 4,
        eventMuteLine1 = 5,
        eventSoloLine1 = 9,
        eventInputMode = 13,
        eventFilterPosition = 15,
        eventFilterType = 17,
        eventPanel = 21,
        eventDelayLeftScale = 23,
        eventDelayRightScale = 26,
        eventPredelayLeftScale = 29,
        eventPredelayRightScale = 32,
        eventModSource = 35,
        eventModScale = 37,
        eventMod1Type = 39,
        eventMod1Waveform = 42,
        eventMod1Scale = 47,
        eventMod2Type = 50,
        eventMod2Waveform = 53,
        eventMod2Scale = 58,
        eventRoutingMenu = 61,
        eventCopyLine1 = 62,
        eventPasteLine1 = 66,
        eventPadlockLine1 = 70,
        eventAmountPadlock = 74,
        eventMod1Retrigger = 75,
        eventMod2Retrigger = 76,
        eventBrowsePresets = 1004
    };

    static constexpr int kNumLines = Tavinor::kNumLines;
    static constexpr int kRetriggerWindowWidth = 338;
    // How far above its button a retrigger window opens: over the whole of its
    // modulator's section above the button, tabs included, rather than over
    // half of them.
    static constexpr int kRetriggerWindowGap = 176;
    // Down to just above the button, so that no row of the section (the synced
    // rate's scale buttons lie just above it) shows half covered below the window.
    static constexpr int kRetriggerWindowHeight = kRetriggerWindowGap - 6;
    static constexpr int kRestartFlashMs = 75;
    static constexpr int kTriggerMarkMs = 50;
    static constexpr int kHostParameterRows = 16;
    // The line select buttons' states: selected adds 1, copied (waiting to be
    // pasted) adds 2; a skin's button has all four or only the first two.
    static constexpr int kLineSelectedState = 1;
    static constexpr int kLineCopiedState = 2;
    static constexpr int kLineSelectStates = 4;

    explicit TavinorEditor(Tavinor& processor);
    ~TavinorEditor() override;

    //==========================================================================
    void visibilityChanged() override;
    void parameterChanged(Parameter* p) override;
    Parameter* getTouchedParameter(GUIController* control) override;
    void controllerEventTriggered(GUIController* control, int uid) override;
    void visibleTimerCallback() override;
    int getPresetNameParameterId() const override { return Tavinor::kPresetName; }
    std::unique_ptr<ProcessingSettingsComponent> createProcessingSettingsComponent() override;
    void setupProcessingSettingsComponent() override;

    // Both also say in the status bar what happened.
    void lineCopied(Tavinor*, int line) override;
    void linePasted(Tavinor*, int line) override;
    void padlockChanged(ParameterPadlock* padlock) override;
    void buttonClicked(juce::Button*) override {}
    void itemChosen(PopupMenuEx* menu, int itemId, bool wasTicked) override;
    void componentVisibilityChanged(juce::Component& component) override;

    //==========================================================================
    // Refresh of what depends on several parameters
    void updateLineSelectButtons();
    void updatePanelSelection();
    void updateSignalFlow();
    void updateDelayLeftScaleSwitches();
    void updateDelayRightScaleSwitches();
    void updateDelayJoinSwitch();
    void updatePredelayLeftScaleSwitches();
    void updatePredelayRightScaleSwitches();
    void updatePredelayJoinSwitch();

    // Operations behind the events
    void touchLineParameter(int k);
    void togglePadlock(ParameterPadlock* padlock);
    void showRoutingMenu();
    void buildParameterMenu();
    static void addParameterItem(ParameterManager& parameters, PopupMenuEx& menu, int base, int k,
                                 const juce::String& text);

    // The rectangle of a skin element in the editor's coordinates; elements of
    // the skin sit inside panels, while the windows and menus they anchor are
    // children of the editor.
    juce::Rectangle<int> getBoundsInEditor(const juce::Component& element) const;

    //==========================================================================
    Tavinor& getProcessor() const noexcept { return processor; }
    PopupMenuEx& getRoutingMenu() noexcept { return routingMenu; }
    const PopupMenuEx& getParameterMenu() const noexcept { return parameterMenu; }
    TavinorPresetBrowser* getPresetBrowser() const noexcept { return presetBrowser.get(); }
    InstallFactoryPresetsWindow* getInstallerWindow() const noexcept { return installer.get(); }
    ModulatorRetriggerSettings* getRetriggerWindow(int modulator) const noexcept
    {
        return retriggerWindows[(size_t) modulator].get();
    }

    // The bound skin elements, null where the skin lacks one.
    struct Elements
    {
        std::array<GFXAnimation*, 2> outputMeters {};
        std::array<GFXAnimation*, 2> outputClips {};
        std::array<GFXAnimation*, 8> lineMeters {};
        std::array<GFXAnimation*, 2> peakMeters {};
        std::array<GFXAnimation*, 2> lfoFreeRateLeds {};
        std::array<GFXAnimation*, 2> lfoSyncRateLeds {};
        std::array<GFXAnimation*, 2> lfoResetLeds {};
        std::array<GFXAnimation*, 2> envResetLeds {};
        GFXAnimation* signalFlow = nullptr;

        std::array<GFXMultiStateButton*, 2> stereoMode {};
        std::array<GFXMultiStateButton*, kNumLines> lineSelect {};
        std::array<GFXMultiStateButton*, 2> filterPosition {};
        std::array<GFXMultiStateButton*, 4> filterType {};
        std::array<GFXMultiStateButton*, 2> modSource {};
        std::array<GFXMultiStateButton*, 2> modScale {};
        std::array<GFXMultiStateButton*, 2> panelSelect {};
        GFXMultiStateButton* delayJoin = nullptr;
        std::array<GFXMultiStateButton*, 3> delayLeftScale {};
        std::array<GFXMultiStateButton*, 3> delayRightScale {};
        GFXMultiStateButton* predelayJoin = nullptr;
        std::array<GFXMultiStateButton*, 3> predelayLeftScale {};
        std::array<GFXMultiStateButton*, 3> predelayRightScale {};
        std::array<std::array<GFXMultiStateButton*, 3>, 2> lfoScale {};
        std::array<std::array<GFXMultiStateButton*, 3>, 2> modType {};
        GFXMultiStateButton* amountPadlock = nullptr;
        std::array<GFXMultiStateButton*, kNumLines> linePadlocks {};
        std::array<GFXMultiStateButton*, 2> retriggerButtons {};

        GFXPanel* delayTimePanel = nullptr;
        GFXPanel* predelayTimePanel = nullptr;
        GFXPanel* delaySyncPanel = nullptr;
        GFXPanel* delayFreePanel = nullptr;
        GFXPanel* predelaySyncPanel = nullptr;
        GFXPanel* predelayFreePanel = nullptr;
        std::array<GFXPanel*, 2> lfoPanels {};
        std::array<GFXPanel*, 2> lfoSyncedPanels {};
        std::array<GFXPanel*, 2> lfoFreePanels {};
        std::array<GFXPanel*, 2> envPanels {};
        std::array<GFXPanel*, 2> peakPanels {};

        // Right-channel time controls: separate (knob, display, numerator,
        // denominator, the synced time's drag hint), and following the left
        // channel while the channels are joined (knob, display, numerator,
        // denominator, which take no clicks then, and the marks that say they
        // follow the left, free and synced).
        std::array<juce::Component*, 5> delayRight {};
        std::array<juce::Component*, 6> delayRightJoined {};
        std::array<juce::Component*, 5> predelayRight {};
        std::array<juce::Component*, 6> predelayRightJoined {};

        GFXButton* routingSelect = nullptr;
    };
    const Elements& getElements() const noexcept { return elements; }

private:
    // What the delay and the pre-delay times each have.
    struct TimeStage
    {
        int sync, join, leftScale, rightScale;
        const std::array<GFXMultiStateButton*, 3>& leftSwitches;
        const std::array<GFXMultiStateButton*, 3>& rightSwitches;
        GFXMultiStateButton* joinSwitch;
    };
    TimeStage getTimeStage(bool predelay);
    void updateLeftScaleSwitches(const TimeStage& stage);
    void updateRightScaleSwitches(const TimeStage& stage);
    void updateJoinSwitch(const TimeStage& stage);

    void bindElements();
    void placeRetriggerWindows();
    // Sets a group of switches so that only the one at index is on.
    static void follow(GFXMultiStateButton* const* group, int size, int index);
    template <size_t N>
    static void follow(const std::array<GFXMultiStateButton*, N>& group, int index)
    {
        follow(group.data(), (int) N, index);
    }
    void updateModulatorPanels(int modulator);
    void updateScaleSwitches(bool predelay);
    void updateJoinedControls(bool predelay);
    void selectLine(int line);
    void toggleMute(int line);
    void toggleSolo(int line);
    void writeLineChoice(int k, int value);
    void writeScale(bool predelay, bool right, int value);
    void writeGlobalChoice(int id, int value);
    void updateMeters();
    void updateModulatorDisplays();
    void updateRetriggerLevels();
    void toggleRetriggerWindow(int modulator);
    // The installer's window, made (or made again, while not started) when
    // the factory presets are to be installed.
    void offerFactoryPresets();

    int proxyInt(int k) const;
    bool proxyBool(int k) const;

    Tavinor& processor;
    Elements elements;
    PopupMenuEx routingMenu { {} };
    PopupMenuEx parameterMenu { {} };
    std::array<std::unique_ptr<ModulatorRetriggerSettings>, 2> retriggerWindows;
    std::unique_ptr<TavinorPresetBrowser> presetBrowser;
    std::unique_ptr<InstallFactoryPresetsWindow> installer;

    JUCE_DECLARE_NON_COPYABLE(TavinorEditor)
};

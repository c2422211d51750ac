#include "editor/TavinorEditor.h"

#include "editor/AboutWindow.h"
#include "editor/HostParametersComponent.h"
#include "editor/InstallFactoryPresetsWindow.h"
#include "editor/ModulatorRetriggerSettings.h"
#include "editor/OptionsWindow.h"
#include "editor/TavinorPresetBrowser.h"
#include "editor/TavinorProcessingSettingsComponent.h"
#include "processor/dsp/DelayEngine.h"
#include "skin/GFXAnimation.h"
#include "skin/GFXButton.h"
#include "skin/GFXKnob.h"
#include "skin/GFXMultiStateButton.h"
#include "skin/GFXPanel.h"
#include "skin/NumericDisplay.h"

namespace
{
constexpr int kBrowserWidth = 1200;
constexpr int kBrowserHeight = 540;
// The about and options windows until the editor is first shown, when the
// options window takes the whole face.
constexpr int kSmallWindowWidth = 800;
constexpr int kSmallWindowHeight = 300;
constexpr int kMenuTargetSize = 100;
// The status bar in the face's colours: a dark strip under the graphite panels.
constexpr juce::uint32 kStatusBarColour = 0xFF141618;
constexpr juce::uint32 kStatusTextColour = 0xFFB8BDC4;

const char* const kRoutingNames[] = { "Parallel", "Serial", "Tapped Serial", "Mixed 1", "Mixed 2",
                                      "Mixed 3",  "Mixed 4", "Mixed 5",      "Mixed 6" };

using T = Tavinor;

int modulatorBase(int modulator)
{
    return T::kMod1First + modulator * T::kModulatorIdStride;
}

void show(juce::Component* c, bool visible)
{
    if (c != nullptr)
        c->setVisible(visible);
}

void setState(GFXMultiStateButton* button, int state)
{
    if (button != nullptr)
        button->setState(state);
}
} // namespace

//==============================================================================
TavinorEditor::TavinorEditor(Tavinor& p) : BasePluginEditor(p, false), processor(p)
{
    auto& pm = getParameterManager();
    for (int m = 0; m < T::kNumModulators; ++m)
    {
        const int base = modulatorBase(m);
        const int firstNoteId = T::kMod1RetriggerChannel + 2 * m;
        const auto get = [&pm](int id) { return pm.getParameter(id); };
        auto window = std::make_unique<ModulatorRetriggerSettings>(
            "MOD " + juce::String(m + 1) + " Retrigger Settings",
            dynamic_cast<EnumParameter*>(get(base + T::kModulatorRetrigger)),
            dynamic_cast<EnumParameter*>(get(firstNoteId)), dynamic_cast<NoteParameter*>(get(firstNoteId + 1)),
            dynamic_cast<BoolParameter*>(get(T::kFirstNoteLearn + m)),
            dynamic_cast<FloatParameter*>(get(base + T::kDetectorSpeed)),
            dynamic_cast<FloatParameter*>(get(base + T::kDetectorOnThreshold)),
            dynamic_cast<FloatParameter*>(get(base + T::kDetectorOffThreshold)));
        addChildComponent(*window);
        window->addComponentListener(this);
        // Its sliders show their values and are learnt as the face's controls are.
        window->setParameterTouchedCallback([this](Parameter* p) { parameterTouched(p); });
        retriggerWindows[(size_t) m] = std::move(window);
    }

    if (auto* collection = processor.getPresetCollection(0))
    {
        presetBrowser = std::make_unique<TavinorPresetBrowser>(processor, *collection);
        presetBrowser->setSize(kBrowserWidth, kBrowserHeight);
        addChildComponent(*presetBrowser);
        presetBrowser->resetBrowser();
    }

    bindElements();
    placeRetriggerWindows();
    buildParameterMenu();

    for (int i = 0; i < (int) juce::numElementsInArray(kRoutingNames); ++i)
        routingMenu.addItem(i, kRoutingNames[i], false, true);
    routingMenu.setTickStyle(true, false);
    routingMenu.addListener(this);

    getStatusBar().setColour(DefaultLookAndFeel::statusBarBackgroundColourId, juce::Colour(kStatusBarColour));
    getStatusBar().setColour(DefaultLookAndFeel::statusBarTextColourId, juce::Colour(kStatusTextColour));
    if (auto* about = getAboutWindow())
        about->setSize(kSmallWindowWidth, kSmallWindowHeight);
    getOptionsWindow().setSize(kSmallWindowWidth, kSmallWindowHeight);

    for (int line = 0; line < kNumLines; ++line)
        if (auto* padlock = processor.getLinePadlock(line))
            padlock->addListener(this);
    processor.getFXAmountPadlock()->addListener(this);
    processor.addListener(static_cast<Tavinor::Listener*>(this));

    offerFactoryPresets();

    updateLineSelectButtons();
    updatePanelSelection();
}

TavinorEditor::~TavinorEditor()
{
    stopTimer();
    for (int line = 0; line < kNumLines; ++line)
        if (auto* padlock = processor.getLinePadlock(line))
            padlock->removeListener(this);
    processor.getFXAmountPadlock()->removeListener(this);
    processor.removeListener(static_cast<Tavinor::Listener*>(this));
    routingMenu.removeListener(this);
    routingMenu.dismiss();

    getOptionsWindow().removeComponentListener(this);
    for (auto& window : retriggerWindows)
        if (window != nullptr)
            window->removeComponentListener(this);

    installer.reset();
    retriggerWindows[1].reset();
    retriggerWindows[0].reset();
    presetBrowser.reset();
}

std::unique_ptr<ProcessingSettingsComponent> TavinorEditor::createProcessingSettingsComponent()
{
    return std::make_unique<TavinorProcessingSettingsComponent>(processor);
}

void TavinorEditor::setupProcessingSettingsComponent()
{
    if (auto* page = dynamic_cast<TavinorProcessingSettingsComponent*>(getProcessingPage()))
    {
        auto& pm = getParameterManager();
        const auto channel = [&pm](int id) { return dynamic_cast<EnumParameter*>(pm.getParameter(id)); };
        const auto note = [&pm](int id) { return dynamic_cast<NoteParameter*>(pm.getParameter(id)); };
        const auto learn = [&pm](int id) { return dynamic_cast<BoolParameter*>(pm.getParameter(id)); };
        const auto length = [&pm](int id) { return dynamic_cast<IntParameter*>(pm.getParameter(id)); };
        page->setNoteParameters(channel(T::kDefaultMod1RetriggerChannel), note(T::kDefaultMod1RetriggerNote),
                                learn(T::kFirstNoteLearn + 2), channel(T::kDefaultMod2RetriggerChannel),
                                note(T::kDefaultMod2RetriggerNote), learn(T::kFirstNoteLearn + 3),
                                channel(T::kMod1RetriggerChannel), note(T::kMod1RetriggerNote),
                                learn(T::kFirstNoteLearn), channel(T::kMod2RetriggerChannel),
                                note(T::kMod2RetriggerNote), learn(T::kFirstNoteLearn + 1));
        page->setBufferLengthParameters(length(T::kDefaultMaxDelayTime), length(T::kMaxDelayTime));
    }
    getOptionsWindow().addComponentListener(this);
}

//==============================================================================
// Binding

void TavinorEditor::bindElements()
{
    const auto find = [this](const juce::String& name) { return findSkinComponent(name, true); };
    const auto animation = [&](const juce::String& name) { return dynamic_cast<GFXAnimation*>(find(name)); };
    const auto button = [&](const juce::String& name) { return dynamic_cast<GFXMultiStateButton*>(find(name)); };
    const auto panel = [&](const juce::String& name) { return dynamic_cast<GFXPanel*>(find(name)); };
    const auto knob = [&](const juce::String& name) -> juce::Component* { return dynamic_cast<GFXKnob*>(find(name)); };
    const auto numeric = [&](const juce::String& name) -> juce::Component* {
        return dynamic_cast<NumericDisplay*>(find(name));
    };
    const auto group = [&](auto& target, std::initializer_list<const char*> names) {
        size_t i = 0;
        for (const auto* name : names)
            target[i++] = button(name);
    };

    auto& e = elements;
    // Meters and lamps.
    e.outputMeters = { animation("OutputVULeftAnim"), animation("OutputVURightAnim") };
    e.outputClips = { animation("OutputClipLeftAnim"), animation("OutputClipRightAnim") };
    for (int line = 0; line < kNumLines; ++line)
    {
        const juce::String prefix = "Delay" + juce::String(line + 1) + "VUMeter";
        e.lineMeters[(size_t) (2 * line)] = animation(prefix + "LeftAnimation");
        e.lineMeters[(size_t) (2 * line + 1)] = animation(prefix + "RightAnimation");
    }

    group(e.stereoMode, { "DelayModeLRSwitch", "DelayModeMSSwitch" });
    group(e.lineSelect, { "Delay1SelectButton", "Delay2SelectButton", "Delay3SelectButton", "Delay4SelectButton" });
    group(e.filterPosition, { "DelayFilterPreOverdriveSwitch", "DelayFilterPostOverdriveSwitch" });
    group(e.filterType, { "DelayFilterSwitch", "DelayFilterLPSwitch", "DelayFilterBPSwitch", "DelayFilterHPSwitch" });
    group(e.modSource, { "ModulationSourceLFO1Switch", "ModulationSourceLFO2Switch" });
    group(e.modScale, { "ModulationScaleLinearSwitch", "ModulationScaleLogarithmicSwitch" });
    group(e.panelSelect, { "DelayPanelSelectSwitch", "PredelayPanelSelectSwitch" });

    // Delay and pre-delay times.
    e.delayTimePanel = panel("DelayTimePanel");
    e.delaySyncPanel = panel("DelayTimePanelSync");
    e.delayFreePanel = panel("DelayTimePanelNotSync");
    e.delayRight = { knob("DelayRightTimeKnob"), numeric("DelayRightTimeDisplay"), numeric("DelayTimeRightNominator"),
                     numeric("DelayTimeRightDenominator"), animation("DelayTimeRightDragHint") };
    e.delayRightJoined = { knob("DelayRightTimeJoinedKnob"), numeric("DelayRightTimeJoinedDisplay"),
                           numeric("DelayTimeRightNominatorJoined"), numeric("DelayTimeRightDenominatorJoined"),
                           animation("DelayRightTimeFollowsLeftMark"), animation("DelayTimeRightFollowsLeftMark") };
    e.delayJoin = button("DelayJoinChannelsSwitch");
    group(e.delayLeftScale, { "DelayTimeLeftFullSwitch", "DelayTimeLeftDotSwitch", "DelayTimeLeftTripletSwitch" });
    group(e.delayRightScale, { "DelayTimeRightFullSwitch", "DelayTimeRightDotSwitch", "DelayTimeRightTripletSwitch" });

    e.predelayTimePanel = panel("PredelayTimePanel");
    e.predelaySyncPanel = panel("PredelayTimePanelSync");
    e.predelayFreePanel = panel("PredelayTimePanelNotSync");
    e.predelayRight = { knob("PredelayRightTimeKnob"), numeric("PredelayRightTimeDisplay"),
                        numeric("PredelayTimeRightNominator"), numeric("PredelayTimeRightDenominator"),
                        animation("PredelayTimeRightDragHint") };
    e.predelayRightJoined = { knob("PredelayRightTimeJoinedKnob"), numeric("PredelayRightTimeJoinedDisplay"),
                              numeric("PredelayTimeRightNominatorJoined"), numeric("PredelayTimeRightDenominatorJoined"),
                              animation("PredelayRightTimeFollowsLeftMark"), animation("PredelayTimeRightFollowsLeftMark") };
    e.predelayJoin = button("PredelayJoinChannelsSwitch");
    group(e.predelayLeftScale,
          { "PredelayTimeLeftFullSwitch", "PredelayTimeLeftDotSwitch", "PredelayTimeLeftTripletSwitch" });
    group(e.predelayRightScale,
          { "PredelayTimeRightFullSwitch", "PredelayTimeRightDotSwitch", "PredelayTimeRightTripletSwitch" });

    // Modulators.
    for (size_t m = 0; m < 2; ++m)
    {
        const juce::String n(m + 1);
        e.lfoPanels[m] = panel("LFO" + n + "Panel");
        e.lfoSyncedPanels[m] = panel("LFO" + n + "SyncedPanel");
        e.lfoFreePanels[m] = panel("LFO" + n + "NotSyncedPanel");
        e.envPanels[m] = panel("ENV" + n + "Panel");
        e.peakPanels[m] = panel("PEAK" + n + "Panel");
        for (size_t s = 0; s < 3; ++s)
        {
            const char* const scales[] = { "Full", "Dot", "Triplet" };
            const char* const types[] = { "LFO", "ENV", "PEAK" };
            e.lfoScale[m][s] = button("LFO" + n + "Scale" + scales[s] + "Switch");
            e.modType[m][s] = button("MOD" + n + "Type" + types[s] + "Switch");
        }
        e.peakMeters[m] = animation("PEAK" + n + "MeterAnim");
        e.lfoFreeRateLeds[m] = animation("LFO" + n + "FreeRateLED");
        e.lfoSyncRateLeds[m] = animation("LFO" + n + "SyncRateLED");
        e.lfoResetLeds[m] = animation("LFO" + n + "ResetLED");
        e.envResetLeds[m] = animation("ENV" + n + "ResetLED");
        e.retriggerButtons[m] = button("MOD" + n + "RetriggerSettings");
    }

    e.amountPadlock = button("FXAmountPadlockButton");
    group(e.linePadlocks, { "Delay1PadlockButton", "Delay2PadlockButton", "Delay3PadlockButton", "Delay4PadlockButton" });
    e.routingSelect = dynamic_cast<GFXButton*>(find("RoutingSelectSwitch"));
    e.signalFlow = animation("SignalFlowAnim");

    // Joined, the right channel shows the left one's time and follows it: its
    // controls do nothing then, and the join marks only show a state.
    for (auto* c : e.delayRightJoined)
        if (c != nullptr)
            c->setInterceptsMouseClicks(false, false);
    for (auto* c : e.predelayRightJoined)
        if (c != nullptr)
            c->setInterceptsMouseClicks(false, false);
    for (auto* c : { e.delayJoin, e.predelayJoin })
        if (c != nullptr)
            c->setInterceptsMouseClicks(false, false);
}

juce::Rectangle<int> TavinorEditor::getBoundsInEditor(const juce::Component& element) const
{
    return getLocalArea(element.getParentComponent(), element.getBounds());
}

void TavinorEditor::placeRetriggerWindows()
{
    // The windows are the editor's children, so they are placed from where the
    // buttons are in the editor, whatever panel holds the buttons.
    for (size_t m = 0; m < 2; ++m)
        if (auto* button = elements.retriggerButtons[m])
            if (auto& window = retriggerWindows[m])
            {
                const auto anchor = getBoundsInEditor(*button);
                const juce::Rectangle<int> bounds(anchor.getX(), anchor.getY() - kRetriggerWindowGap,
                                                  kRetriggerWindowWidth, kRetriggerWindowHeight);
                // Whatever the skin, the window lies wholly on the face.
                window->setBounds(bounds.constrainedWithin(getDesktopArea()));
            }
}

//==============================================================================
// Parameter menu

void TavinorEditor::addParameterItem(ParameterManager& parameters, PopupMenuEx& menu, int base, int k,
                                     const juce::String& text)
{
    const int id = base + k;
    auto* p = parameters.getParameter(id);
    if (p == nullptr || !p->isAutomatable())
        return;
    const auto itemText = text.isNotEmpty() ? text : parameters.getParameterName(k);
    menu.addItem(id, itemText, p->getName(), false, true);
}

void TavinorEditor::buildParameterMenu()
{
    auto& pm = getParameterManager();
    using Items = std::initializer_list<std::pair<const char*, int>>;
    const auto subMenu = [&pm](const char* name, int base, Items items) {
        PopupMenuEx menu(name);
        for (const auto& [text, k] : items)
            addParameterItem(pm, menu, base, k, text);
        return menu;
    };

    PopupMenuEx root({});
    root.addItem(-1, "- none -", false, true);

    for (int n = 1; n <= kNumLines; ++n)
    {
        const int base = T::getLineParameterBase(n - 1);
        PopupMenuEx line("Delay " + juce::String(n));
        line.addSubMenu("Filter", subMenu("Filter", base,
                                          { { "Mode", T::kFilterMode }, { "Feedback Loop", T::kFilterInLoop },
                                            { "Cutoff", T::kCutoff }, { "Resonance", T::kResonance },
                                            { "Type", T::kFilterType } }));
        line.addSubMenu("Overdrive", subMenu("Overdrive", base,
                                             { { "State", T::kOverdrive }, { "Preamp", T::kPreamp },
                                               { "Color", T::kColor }, { "Gain", T::kOverdriveGain } }));
        line.addSubMenu("Pre-delay",
                        subMenu("Pre-delay", base,
                                { { "Left Time", T::kPreDelayLeftKnob }, { "Right Time", T::kPreDelayRightKnob },
                                  { "Tempo Sync", T::kPreDelaySync }, { "Join Channels", T::kPreDelayJoin },
                                  { "Left Rhythmic Scale", T::kPreDelayLeftScale },
                                  { "Left Duration Nominator", T::kPreDelayLeftNumerator },
                                  { "Left Duration Denominator", T::kPreDelayLeftDenominator },
                                  { "Right Rhythmic Scale", T::kPreDelayRightScale },
                                  { "Right Duration Nominator", T::kPreDelayRightNumerator },
                                  { "Right Duration Denominator", T::kPreDelayRightDenominator } }));
        line.addSubMenu("Delay",
                        subMenu("Delay", base,
                                { { "Left Time", T::kDelayLeftKnob }, { "Right Time", T::kDelayRightKnob },
                                  { "Tempo Sync", T::kDelaySync }, { "Join Channels", T::kDelayJoin },
                                  { "Left Rhythmic Scale", T::kDelayLeftScale },
                                  { "Left Duration Nominator", T::kDelayLeftNumerator },
                                  { "Left Duration Denominator", T::kDelayLeftDenominator },
                                  { "Right Rhythmic Scale", T::kDelayRightScale },
                                  { "Right Duration Nominator", T::kDelayRightNumerator },
                                  { "Right Duration Denominator", T::kDelayRightDenominator },
                                  { "", T::kFeedback }, { "", T::kFreeze }, { "", T::kStereoOffset } }));
        line.addSubMenu("Modulation", subMenu("Modulation", base,
                                              { { "Source", T::kModSource }, { "Scale", T::kModScale },
                                                { "Time", T::kTimeModDepth }, { "Cutoff", T::kCutoffModDepth },
                                                { "Tremolo", T::kTremoloDepth } }));
        for (const int k : { T::kLineState, T::kBalance, T::kLevel })
            addParameterItem(pm, line, base, k, {});
        root.addSubMenu(line.getName(), line);
    }

    for (int m = 0; m < T::kNumModulators; ++m)
    {
        const int base = modulatorBase(m);
        PopupMenuEx mod("MOD" + juce::String(m + 1));
        addParameterItem(pm, mod, base, T::kModulatorType, "Modulator Type");
        mod.addSubMenu("LFO", subMenu("LFO", base,
                                      { { "Frequency", T::kModulatorFrequency }, { "Rate", T::kModulatorRate },
                                        { "Tempo Sync", T::kModulatorSync }, { "Waveform", T::kModulatorWaveform },
                                        { "Invert", T::kModulatorInvert },
                                        { "Stereo Phase", T::kModulatorStereoPhase } }));
        mod.addSubMenu("Envelope", subMenu("Envelope", base,
                                           { { "Attack", T::kEnvelopeAttack }, { "Decay", T::kEnvelopeDecay },
                                             { "Sustain", T::kEnvelopeSustain }, { "Hold", T::kEnvelopeHold },
                                             { "Release", T::kEnvelopeRelease } }));
        mod.addSubMenu("Peak Follower",
                       subMenu("Peak Follower", base,
                               { { "Sensitivity", T::kFollowerSensitivity }, { "Attack", T::kFollowerAttack },
                                 { "Release", T::kFollowerRelease } }));
        root.addSubMenu(mod.getName(), mod);
    }

    root.addSubMenu("Master", subMenu("Master", 0,
                                      { { "", T::kLimiter }, { "", T::kLimiterThreshold }, { "", T::kDryWet },
                                        { "", T::kOutputGain } }));
    root.addSubMenu("Misc", subMenu("Misc", 0, { { "", T::kTapLeft }, { "", T::kTapRight } }));
    root.setTickStyle(true, true);
    parameterMenu = root;
    getHostParametersPage().getList().setMenu(parameterMenu);
}

//==============================================================================
// Events

int TavinorEditor::proxyInt(int k) const
{
    return plugin.getParameterManager().getIntValue(k);
}

bool TavinorEditor::proxyBool(int k) const
{
    return plugin.getParameterManager().getBoolValue(k);
}

void TavinorEditor::touchLineParameter(int k)
{
    if (auto* p = getParameterManager().getParameter(processor.getSelectedLineParameterBase() + k))
        parameterTouched(p);
}

void TavinorEditor::selectLine(int line)
{
    getParameterManager().setIntValue(T::kSelectedLine, line + 1);
}

void TavinorEditor::toggleMute(int line)
{
    const int id = T::getLineParameterBase(line) + T::kLineState;
    getParameterManager().setBoolValue(id, !getParameterManager().getBoolValue(id));
}

void TavinorEditor::toggleSolo(int line)
{
    auto& pm = getParameterManager();
    const auto muted = [&pm](int l) { return pm.getBoolValue(T::getLineParameterBase(l) + T::kLineState); };
    bool soloed = !muted(line);
    for (int other = 0; other < kNumLines; ++other)
        if (other != line)
            soloed = soloed && muted(other);
    // Solo again on the soloed line brings every line back.
    for (int l = 0; l < kNumLines; ++l)
        pm.setBoolValue(T::getLineParameterBase(l) + T::kLineState, !soloed && l != line);
}

void TavinorEditor::writeLineChoice(int k, int value)
{
    getParameterManager().setIntValue(k, value);
    touchLineParameter(k);
}

void TavinorEditor::writeScale(bool predelay, bool right, int value)
{
    const int sync = predelay ? T::kPreDelaySync : T::kDelaySync;
    const int left = predelay ? T::kPreDelayLeftScale : T::kDelayLeftScale;
    const int rightScale = predelay ? T::kPreDelayRightScale : T::kDelayRightScale;
    // The scales mean nothing while the times are free; joined, the right
    // switches take no clicks.
    if (!proxyBool(sync))
        return;
    writeLineChoice(right ? rightScale : left, value);
}

void TavinorEditor::writeGlobalChoice(int id, int value)
{
    getParameterManager().setIntValue(id, value);
    parameterTouchedById(id);
}

void TavinorEditor::controllerEventTriggered(GUIController* control, int uid)
{
    const auto in = [uid](int first, int count) { return uid >= first && uid < first + count; };

    if (in(eventSelectLine1, kNumLines))
        selectLine(uid - eventSelectLine1);
    else if (uid == eventSelectNextLine)
        selectLine((processor.getSelectedLine() + 1) % kNumLines);
    else if (in(eventMuteLine1, kNumLines))
        toggleMute(uid - eventMuteLine1);
    else if (in(eventSoloLine1, kNumLines))
        toggleSolo(uid - eventSoloLine1);
    else if (in(eventInputMode, T::kNumInputModes))
        writeLineChoice(T::kMidSide, uid - eventInputMode);
    else if (in(eventFilterPosition, T::kNumFilterPlacements))
        writeLineChoice(T::kFilterMode, uid - eventFilterPosition);
    else if (in(eventFilterType, T::kNumFilterTypes))
        writeLineChoice(T::kFilterType, uid - eventFilterType);
    else if (in(eventPanel, T::kNumTimeStages))
        getParameterManager().setIntValue(T::kFirstPanel + processor.getSelectedLine(), uid - eventPanel);
    else if (in(eventDelayLeftScale, T::kNumNoteLengths))
        writeScale(false, false, uid - eventDelayLeftScale);
    else if (in(eventDelayRightScale, T::kNumNoteLengths))
        writeScale(false, true, uid - eventDelayRightScale);
    else if (in(eventPredelayLeftScale, T::kNumNoteLengths))
        writeScale(true, false, uid - eventPredelayLeftScale);
    else if (in(eventPredelayRightScale, T::kNumNoteLengths))
        writeScale(true, true, uid - eventPredelayRightScale);
    else if (in(eventModSource, T::kNumModulators))
        writeLineChoice(T::kModSource, uid - eventModSource);
    else if (in(eventModScale, 2))
        writeLineChoice(T::kModScale, uid - eventModScale);
    else if (in(eventMod1Type, T::kNumModulatorKinds))
        writeGlobalChoice(modulatorBase(0) + T::kModulatorType, uid - eventMod1Type);
    else if (in(eventMod1Waveform, T::kNumWaveforms))
        writeGlobalChoice(modulatorBase(0) + T::kModulatorWaveform, uid - eventMod1Waveform);
    else if (in(eventMod1Scale, T::kNumNoteLengths))
        writeGlobalChoice(modulatorBase(0) + T::kModulatorScale, uid - eventMod1Scale);
    else if (in(eventMod2Type, T::kNumModulatorKinds))
        writeGlobalChoice(modulatorBase(1) + T::kModulatorType, uid - eventMod2Type);
    else if (in(eventMod2Waveform, T::kNumWaveforms))
        writeGlobalChoice(modulatorBase(1) + T::kModulatorWaveform, uid - eventMod2Waveform);
    else if (in(eventMod2Scale, T::kNumNoteLengths))
        writeGlobalChoice(modulatorBase(1) + T::kModulatorScale, uid - eventMod2Scale);
    else if (uid == eventRoutingMenu)
        showRoutingMenu();
    else if (in(eventCopyLine1, kNumLines))
        processor.copyLine(uid - eventCopyLine1);
    else if (in(eventPasteLine1, kNumLines))
        processor.pasteLine(uid - eventPasteLine1);
    else if (in(eventPadlockLine1, kNumLines))
        togglePadlock(processor.getLinePadlock(uid - eventPadlockLine1));
    else if (uid == eventAmountPadlock)
        togglePadlock(processor.getFXAmountPadlock());
    else if (in(eventMod1Retrigger, T::kNumModulators))
        toggleRetriggerWindow(uid - eventMod1Retrigger);
    else if (uid == eventBrowsePresets)
    {
        if (presetBrowser != nullptr)
            presetBrowser->show();
    }
    else
        BasePluginEditor::controllerEventTriggered(control, uid);
}

Parameter* TavinorEditor::getTouchedParameter(GUIController* control)
{
    // The line controls of the face show the selected line through proxies.
    auto* p = BasePluginEditor::getTouchedParameter(control);
    if (p != nullptr && p->getId() >= 0 && p->getId() < T::kNumTemplateParameters)
        if (auto* line = getParameterManager().getParameter(processor.getSelectedLineParameterBase() + p->getId()))
            return line;
    return p;
}

void TavinorEditor::togglePadlock(ParameterPadlock* padlock)
{
    if (padlock != nullptr)
        padlock->toggle();
}

void TavinorEditor::padlockChanged(ParameterPadlock* padlock)
{
    if (padlock == nullptr)
        return;
    for (int line = 0; line < kNumLines; ++line)
        if (padlock == processor.getLinePadlock(line))
            setState(elements.linePadlocks[(size_t) line], padlock->isLocked() ? 1 : 0);
    if (padlock == processor.getFXAmountPadlock())
        setState(elements.amountPadlock, padlock->isLocked() ? 1 : 0);
}

void TavinorEditor::showRoutingMenu()
{
    juce::Rectangle<int> target(0, 0, kMenuTargetSize, kMenuTargetSize);
    if (elements.routingSelect != nullptr)
    {
        const auto area = getBoundsInEditor(*elements.routingSelect);
        target = { area.getRight(), area.getY(), kMenuTargetSize, kMenuTargetSize };
    }
    routingMenu.show(this, target, PopupMenuEx::placementBelow);
}

void TavinorEditor::itemChosen(PopupMenuEx* menu, int itemId, bool)
{
    if (menu != &routingMenu)
        return;
    getParameterManager().setIntValue(T::kRouting, itemId);
    parameterTouchedById(T::kRouting);
}

void TavinorEditor::toggleRetriggerWindow(int modulator)
{
    if (auto* window = retriggerWindows[(size_t) modulator].get())
    {
        window->setVisible(!window->isVisible());
        // It floats over the face rather than covering it, so it takes the
        // keys itself: Escape closes it.
        if (window->isShowing())
            window->grabKeyboardFocus();
    }
}

void TavinorEditor::componentVisibilityChanged(juce::Component& component)
{
    for (size_t m = 0; m < 2; ++m)
        if (&component == retriggerWindows[m].get())
            setState(elements.retriggerButtons[m], component.isVisible() ? 1 : 0);

    // A MIDI note learn must not go on unseen once the page is out of sight.
    if (&component == &getOptionsWindow())
        if (auto* page = dynamic_cast<TavinorProcessingSettingsComponent*>(getProcessingPage()))
            page->switchLearningOff();
}

//==============================================================================
// Refresh

void TavinorEditor::follow(GFXMultiStateButton* const* group, int size, int index)
{
    for (int i = 0; i < size; ++i)
        setState(group[i], i == index ? 1 : 0);
}

void TavinorEditor::updateLineSelectButtons()
{
    const int selected = processor.getSelectedLine();
    const int copied = processor.getCopySourceLine();
    for (int line = 0; line < kNumLines; ++line)
        if (auto* button = elements.lineSelect[(size_t) line])
        {
            const bool isSelected = line == selected, isCopied = line == copied;
            if (button->getNumStates() >= kLineSelectStates)
            {
                // The copied line has a look of its own, so one line only ever looks selected.
                button->setState((isSelected ? kLineSelectedState : 0) + (isCopied ? kLineCopiedState : 0));
                button->setBlinking(false, 0);
            }
            else
            {
                // A skin with only the two states lights the copied line and blinks it.
                button->setState(isSelected || isCopied ? 1 : 0);
                button->setBlinking(isCopied, 0);
            }
        }
}

void TavinorEditor::lineCopied(Tavinor*, int line)
{
    updateLineSelectButtons();
    getStatusBar().showMessage("Line " + juce::String(line + 1) + " copied: Shift-click a line's button, or press "
                                   "its PASTE, to paste it onto that line",
                               statusControl, false);
}

void TavinorEditor::linePasted(Tavinor*, int line)
{
    updateLineSelectButtons();
    getStatusBar().showMessage("Pasted onto line " + juce::String(line + 1), statusControl, false);
}

void TavinorEditor::updatePanelSelection()
{
    const bool predelay = processor.isPreDelayPanelShown(processor.getSelectedLine());
    setState(elements.panelSelect[0], predelay ? 0 : 1);
    setState(elements.panelSelect[1], predelay ? 1 : 0);
    show(elements.delayTimePanel, !predelay);
    show(elements.predelayTimePanel, predelay);
}

void TavinorEditor::updateSignalFlow()
{
    if (elements.signalFlow == nullptr)
        return;
    const bool filterOn = proxyInt(T::kFilterType) != 0;
    const int frame = (proxyInt(T::kFilterMode) != 0 ? 1 : 0) + (proxyBool(T::kOverdrive) ? 2 : 0)
                    + (filterOn ? 4 : 0) + (filterOn && proxyBool(T::kFilterInLoop) ? 8 : 0);
    elements.signalFlow->setFrame(frame);
}

void TavinorEditor::updateScaleSwitches(bool predelay)
{
    const auto stage = getTimeStage(predelay);
    updateLeftScaleSwitches(stage);
    updateRightScaleSwitches(stage);
}

TavinorEditor::TimeStage TavinorEditor::getTimeStage(bool predelay)
{
    auto& e = elements;
    if (predelay)
        return { T::kPreDelaySync, T::kPreDelayJoin, T::kPreDelayLeftScale, T::kPreDelayRightScale,
                 e.predelayLeftScale, e.predelayRightScale, e.predelayJoin };
    return { T::kDelaySync, T::kDelayJoin, T::kDelayLeftScale, T::kDelayRightScale, e.delayLeftScale,
             e.delayRightScale, e.delayJoin };
}

void TavinorEditor::updateLeftScaleSwitches(const TimeStage& t)
{
    // The scales mean nothing while the time is free; joined, the right
    // channel shows the left one's.
    const int scale = proxyBool(t.sync) ? proxyInt(t.leftScale) : -1;
    follow(t.leftSwitches, scale);
    if (proxyBool(t.join))
        follow(t.rightSwitches, scale);
}

void TavinorEditor::updateRightScaleSwitches(const TimeStage& t)
{
    if (!proxyBool(t.join))
        follow(t.rightSwitches, proxyBool(t.sync) ? proxyInt(t.rightScale) : -1);
}

void TavinorEditor::updateJoinSwitch(const TimeStage& t)
{
    setState(t.joinSwitch, proxyBool(t.sync) && proxyBool(t.join) ? 1 : 0);
}

void TavinorEditor::updateDelayLeftScaleSwitches() { updateLeftScaleSwitches(getTimeStage(false)); }
void TavinorEditor::updateDelayRightScaleSwitches() { updateRightScaleSwitches(getTimeStage(false)); }
void TavinorEditor::updateDelayJoinSwitch() { updateJoinSwitch(getTimeStage(false)); }
void TavinorEditor::updatePredelayLeftScaleSwitches() { updateLeftScaleSwitches(getTimeStage(true)); }
void TavinorEditor::updatePredelayRightScaleSwitches() { updateRightScaleSwitches(getTimeStage(true)); }
void TavinorEditor::updatePredelayJoinSwitch() { updateJoinSwitch(getTimeStage(true)); }

void TavinorEditor::updateJoinedControls(bool predelay)
{
    const bool joined = proxyBool(predelay ? T::kPreDelayJoin : T::kDelayJoin);
    for (auto* c : predelay ? elements.predelayRight : elements.delayRight)
        show(c, !joined);
    for (auto* c : predelay ? elements.predelayRightJoined : elements.delayRightJoined)
        show(c, joined);
    // Joined, the right scale is the left one's: its switches show it, drawn
    // inactive, and take no clicks.
    for (auto* c : predelay ? elements.predelayRightScale : elements.delayRightScale)
        if (c != nullptr)
            c->setEnabled(!joined);
}

void TavinorEditor::updateModulatorPanels(int modulator)
{
    const auto m = (size_t) modulator;
    const int type = proxyInt(modulatorBase(modulator) + T::kModulatorType);
    const bool synced = proxyBool(modulatorBase(modulator) + T::kModulatorSync);
    show(elements.lfoSyncedPanels[m], type == T::kindOscillator && synced);
    show(elements.lfoFreePanels[m], type == T::kindOscillator && !synced);
    show(elements.envPanels[m], type == T::kindEnvelope);
    show(elements.peakPanels[m], type == T::kindPeakFollower);
}

void TavinorEditor::parameterChanged(Parameter* p)
{
    if (p == nullptr)
        return;
    const int id = p->getId();
    const int v = p->getIntValue();
    const bool b = p->getBoolValue();
    auto& e = elements;

    switch (id)
    {
    case T::kMidSide:
        follow(e.stereoMode, v);
        break;
    case T::kFilterMode:
        follow(e.filterPosition, v);
        updateSignalFlow();
        break;
    case T::kFilterInLoop:
    case T::kOverdrive:
        updateSignalFlow();
        break;
    case T::kFilterType:
        follow(e.filterType, v);
        updateSignalFlow();
        break;
    case T::kDelaySync:
    case T::kPreDelaySync:
    {
        const bool predelay = id == T::kPreDelaySync;
        show(predelay ? e.predelaySyncPanel : e.delaySyncPanel, b);
        show(predelay ? e.predelayFreePanel : e.delayFreePanel, !b);
        updateScaleSwitches(predelay);
        updateJoinSwitch(getTimeStage(predelay));
        break;
    }
    case T::kDelayJoin:
    case T::kPreDelayJoin:
    {
        const bool predelay = id == T::kPreDelayJoin;
        updateJoinedControls(predelay);
        updateJoinSwitch(getTimeStage(predelay));
        updateScaleSwitches(predelay);
        break;
    }
    case T::kDelayLeftScale:
        updateDelayLeftScaleSwitches();
        break;
    case T::kDelayRightScale:
        updateDelayRightScaleSwitches();
        break;
    case T::kPreDelayLeftScale:
        updatePredelayLeftScaleSwitches();
        break;
    case T::kPreDelayRightScale:
        updatePredelayRightScaleSwitches();
        break;
    case T::kModSource:
        follow(e.modSource, v);
        break;
    case T::kModScale:
        follow(e.modScale, v);
        break;
    case T::kRouting:
        routingMenu.setItemTicked(v, true, true);
        break;
    case T::kSelectedLine:
        updateLineSelectButtons();
        updatePanelSelection();
        break;
    default:
        for (int m = 0; m < T::kNumModulators; ++m)
        {
            const int base = modulatorBase(m);
            if (id == base + T::kModulatorType)
            {
                updateModulatorPanels(m);
                follow(e.modType[(size_t) m], v);
            }
            else if (id == base + T::kModulatorSync)
                updateModulatorPanels(m);
            else if (id == base + T::kModulatorScale)
                follow(e.lfoScale[(size_t) m], v);
        }
        if (id >= T::kFirstPanel && id < T::kFirstPanel + kNumLines && id - T::kFirstPanel == processor.getSelectedLine())
            updatePanelSelection();
        break;
    }
}

//==============================================================================
// Timer

void TavinorEditor::visibilityChanged()
{
    if (isVisible())
    {
        getOptionsWindow().setSize(kBrowserWidth, kBrowserHeight);
        getHostParametersPage().setRowsPerColumn(kHostParameterRows);
        // Another instance may have installed the presets since the offer was made.
        if (installer != nullptr && ! installer->hasStarted())
        {
            processor.readFactoryPresetRecord();
            offerFactoryPresets();
        }
    }
    BasePluginEditor::visibilityChanged();
}

void TavinorEditor::offerFactoryPresets()
{
    // Once started, the window belongs to its installation until the user closes it.
    if (installer != nullptr && installer->hasStarted())
        return;
    // An offer not taken up yet stands while the record it was made from does.
    const bool needed = processor.needsFactoryPresetInstall();
    if (needed && installer != nullptr
        && installer->getInstalledVersion() == processor.getInstalledFactoryPresetVersion())
        return;
    installer.reset();
    if (! needed)
        return;
    installer = std::make_unique<InstallFactoryPresetsWindow>(processor);
    addChildComponent(*installer);
    installer->open();
}

void TavinorEditor::visibleTimerCallback()
{
    BasePluginEditor::visibleTimerCallback();
    updateMeters();
    updateRetriggerLevels();
    updateModulatorDisplays();
}

void TavinorEditor::updateRetriggerLevels()
{
    auto* engine = processor.getEngine();
    if (engine == nullptr)
        return;
    for (int m = 0; m < 2; ++m)
    {
        auto* window = retriggerWindows[(size_t) m].get();
        // A hidden window leaves the engine's event for when it is shown.
        if (window == nullptr || !window->isVisible())
            continue;
        auto& slider = window->getThresholdSlider();
        slider.setLevel(juce::jlimit(0.0f, 1.0f, engine->getDetectorLevel(m)));
        if (engine->takeRetriggerEvent(m))
            slider.setHighlighted(true, kTriggerMarkMs);
    }
}

void TavinorEditor::updateMeters()
{
    float left = 0.0f, right = 0.0f;
    bool clipLeft = false, clipRight = false;
    float lines[8] = {};
    processor.getOutputLevels(left, right);
    processor.getOutputClips(clipLeft, clipRight);
    processor.getLineLevels(lines);

    const float outputs[] = { left, right };
    const bool clips[] = { clipLeft, clipRight };
    for (size_t ch = 0; ch < 2; ++ch)
    {
        if (auto* meter = elements.outputMeters[ch])
            meter->setFrameFromValue(outputs[ch]);
        if (auto* lamp = elements.outputClips[ch])
            lamp->setFrame(clips[ch] ? 1 : 0);
    }
    for (size_t i = 0; i < elements.lineMeters.size(); ++i)
        if (auto* meter = elements.lineMeters[i])
            meter->setFrameFromValue(lines[i]);
}

void TavinorEditor::updateModulatorDisplays()
{
    auto* engine = processor.getEngine();
    if (engine == nullptr)
        return;
    const auto shown = [](const juce::Component* c) { return c != nullptr && c->isVisible(); };

    for (int m = 0; m < 2; ++m)
    {
        const auto i = (size_t) m;
        if (shown(elements.peakPanels[i]) && elements.peakMeters[i] != nullptr)
            elements.peakMeters[i]->setFrameFromValue(engine->getPeakFollowerLevel(m));

        const int lampFrame = engine->getLfoLampFrame(m);
        if (shown(elements.lfoFreePanels[i]) && elements.lfoFreeRateLeds[i] != nullptr)
            elements.lfoFreeRateLeds[i]->setFrame(lampFrame);
        if (shown(elements.lfoSyncedPanels[i]) && elements.lfoSyncRateLeds[i] != nullptr)
            elements.lfoSyncRateLeds[i]->setFrame(lampFrame);
    }

    // A restart is consumed even while its panel is hidden, so that showing
    // the panel later flashes nothing old.
    for (int m = 0; m < 2; ++m)
    {
        const auto i = (size_t) m;
        if (!engine->takeRestart(m))
            continue;
        if (shown(elements.lfoPanels[i]) && elements.lfoResetLeds[i] != nullptr)
            elements.lfoResetLeds[i]->blink(1, kRestartFlashMs);
        if (shown(elements.envPanels[i]) && elements.envResetLeds[i] != nullptr)
            elements.envResetLeds[i]->blink(1, kRestartFlashMs);
    }
}

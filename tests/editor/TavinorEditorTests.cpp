#include "TavinorEditorTestSupport.h"

#include "core/IntParameter.h"
#include "editor/HostParametersComponent.h"
#include "editor/InstallFactoryPresetsWindow.h"
#include "editor/ModulatorRetriggerSettings.h"
#include "editor/OptionsWindow.h"
#include "editor/TavinorPresetBrowser.h"
#include "processor/dsp/DelayEngine.h"
#include "skin/GFXAnimation.h"
#include "skin/GFXButton.h"
#include "skin/GFXKnob.h"

using namespace EditorTest;
using T = Tavinor;

class TavinorEditorTest : public EditorFixture
{
protected:
    bool muted(int line) { return parameters().getBoolValue(lineId(line, T::kLineState)); }
    juce::String mutes()
    {
        juce::String text;
        for (int line = 0; line < 4; ++line)
            text << (muted(line) ? "1" : "0");
        return text;
    }
    void setMuted(std::initializer_list<bool> states)
    {
        int line = 0;
        for (bool state : states)
            parameters().setBoolValue(lineId(line++, T::kLineState), state);
        settle();
    }
    juce::String statesOf(std::initializer_list<const char*> names)
    {
        juce::String states;
        for (const auto* name : names)
            states << stateOf(name);
        return states;
    }
};

TEST_F(TavinorEditorTest, EveryElementOfTheBuiltInSkinIsBound)
{
    const auto& e = editor().getElements();
    std::vector<const void*> all { e.signalFlow, e.delayJoin, e.predelayJoin, e.amountPadlock, e.delayTimePanel,
                                   e.predelayTimePanel, e.delaySyncPanel, e.delayFreePanel, e.predelaySyncPanel,
                                   e.predelayFreePanel, e.routingSelect };
    const auto add = [&all](const auto& group) {
        for (const auto* p : group)
            all.push_back(p);
    };
    add(e.outputMeters), add(e.outputClips), add(e.lineMeters), add(e.peakMeters), add(e.lfoFreeRateLeds);
    add(e.lfoSyncRateLeds), add(e.lfoResetLeds), add(e.envResetLeds), add(e.stereoMode), add(e.lineSelect);
    add(e.filterPosition), add(e.filterType), add(e.modSource), add(e.modScale), add(e.panelSelect);
    add(e.delayLeftScale), add(e.delayRightScale), add(e.predelayLeftScale), add(e.predelayRightScale);
    add(e.lfoScale[0]), add(e.lfoScale[1]), add(e.modType[0]), add(e.modType[1]), add(e.linePadlocks);
    add(e.retriggerButtons), add(e.lfoPanels), add(e.lfoSyncedPanels), add(e.lfoFreePanels), add(e.envPanels);
    add(e.peakPanels), add(e.delayRight), add(e.delayRightJoined), add(e.predelayRight), add(e.predelayRightJoined);

    EXPECT_EQ(all.size(), 107u);
    EXPECT_EQ(std::count(all.begin(), all.end(), nullptr), 0);
    EXPECT_NE(editor().getMidiLearnButton(), nullptr);
    EXPECT_NE(editor().getMidiActivityLed(), nullptr);
    EXPECT_EQ(editor().getWidth(), 1200);
    EXPECT_EQ(editor().getContentHeight(), 540);
    EXPECT_EQ(editor().getHeight(), 540 + editor().getStatusBar().getHeight());
}

TEST_F(TavinorEditorTest, SwitchGroupsFollowTheirChoices)
{
    const struct
    {
        int id, value;
        std::initializer_list<const char*> group;
        const char* states;
    } cases[] = {
        { T::kMidSide, 1, { "DelayModeLRSwitch", "DelayModeMSSwitch" }, "01" },
        { T::kFilterMode, 1, { "DelayFilterPreOverdriveSwitch", "DelayFilterPostOverdriveSwitch" }, "01" },
        { T::kFilterType, 2, { "DelayFilterSwitch", "DelayFilterLPSwitch", "DelayFilterBPSwitch", "DelayFilterHPSwitch" }, "0010" },
        { T::kModSource, 1, { "ModulationSourceLFO1Switch", "ModulationSourceLFO2Switch" }, "01" },
        { T::kModScale, 0, { "ModulationScaleLinearSwitch", "ModulationScaleLogarithmicSwitch" }, "10" },
        { T::kMod1First, 2, { "MOD1TypeLFOSwitch", "MOD1TypeENVSwitch", "MOD1TypePEAKSwitch" }, "001" },
        { T::kMod2First, 1, { "MOD2TypeLFOSwitch", "MOD2TypeENVSwitch", "MOD2TypePEAKSwitch" }, "010" },
        { T::kMod1Scale, 2, { "LFO1ScaleFullSwitch", "LFO1ScaleDotSwitch", "LFO1ScaleTripletSwitch" }, "001" },
        { T::kMod2Scale, 1, { "LFO2ScaleFullSwitch", "LFO2ScaleDotSwitch", "LFO2ScaleTripletSwitch" }, "010" },
    };
    for (const auto& c : cases)
    {
        set(c.id, c.value);
        EXPECT_EQ(statesOf(c.group), c.states) << "parameter " << c.id;
    }

    // Another line brings its own choices to every group.
    set(lineId(2, T::kFilterType), 3);
    set(T::kSelectedLine, 3);
    EXPECT_EQ(statesOf({ "DelayFilterSwitch", "DelayFilterLPSwitch", "DelayFilterBPSwitch", "DelayFilterHPSwitch" }),
              "0001");
    EXPECT_EQ(statesOf({ "Delay1SelectButton", "Delay2SelectButton", "Delay3SelectButton", "Delay4SelectButton" }),
              "0010");
}

TEST_F(TavinorEditorTest, PanelsFollowModesAndTempoSync)
{
    const struct
    {
        int id, value;
        std::initializer_list<const char*> shownNames, hiddenNames;
    } cases[] = {
        { T::kDelaySync, 0, { "DelayTimePanelNotSync" }, { "DelayTimePanelSync" } },
        { T::kDelaySync, 1, { "DelayTimePanelSync" }, { "DelayTimePanelNotSync" } },
        { T::kPreDelaySync, 0, { "PredelayTimePanelNotSync" }, { "PredelayTimePanelSync" } },
        { T::kDelayJoin, 1, { "DelayRightTimeJoinedKnob", "DelayTimeRightNominatorJoined" },
          { "DelayRightTimeKnob", "DelayRightTimeDisplay", "DelayTimeRightNominator", "DelayTimeRightDenominator" } },
        { T::kDelayJoin, 0, { "DelayRightTimeKnob", "DelayTimeRightDenominator" },
          { "DelayRightTimeJoinedKnob", "DelayRightTimeJoinedDisplay", "DelayTimeRightDenominatorJoined" } },
        { T::kMod1First, 1, { "ENV1Panel" }, { "LFO1SyncedPanel", "LFO1NotSyncedPanel", "PEAK1Panel" } },
        { T::kMod1First, 2, { "PEAK1Panel" }, { "ENV1Panel", "LFO1SyncedPanel", "LFO1NotSyncedPanel" } },
        { T::kMod1First, 0, { "LFO1NotSyncedPanel" }, { "ENV1Panel", "PEAK1Panel", "LFO1SyncedPanel" } },
        { T::kMod1First + 5, 1, { "LFO1SyncedPanel" }, { "LFO1NotSyncedPanel" } },
        { T::kMod2First, 2, { "PEAK2Panel" }, { "ENV2Panel", "LFO2SyncedPanel", "LFO2NotSyncedPanel" } },
        { T::kFirstPanel, 1, { "PredelayTimePanel" }, { "DelayTimePanel" } },
        { T::kFirstPanel, 0, { "DelayTimePanel" }, { "PredelayTimePanel" } },
    };
    for (const auto& c : cases)
    {
        set(c.id, c.value);
        for (const auto* name : c.shownNames)
            EXPECT_TRUE(shown(name)) << name << " after " << c.id << " = " << c.value;
        for (const auto* name : c.hiddenNames)
            EXPECT_FALSE(shown(name)) << name << " after " << c.id << " = " << c.value;
    }

    // Another line's panel changes nothing here; selecting it shows it.
    set(T::kFirstPanel + 1, 1);
    EXPECT_TRUE(shown("DelayTimePanel"));
    EXPECT_EQ(stateOf("DelayPanelSelectSwitch"), 1);
    set(T::kSelectedLine, 2);
    EXPECT_TRUE(shown("PredelayTimePanel"));
    EXPECT_EQ(statesOf({ "DelayPanelSelectSwitch", "PredelayPanelSelectSwitch" }), "01");
}

TEST_F(TavinorEditorTest, ScaleSwitchesShowOnlyWhileSyncedAndFollowTheLeftChannelWhileJoined)
{
    const std::initializer_list<const char*> left { "DelayTimeLeftFullSwitch", "DelayTimeLeftDotSwitch",
                                                    "DelayTimeLeftTripletSwitch" };
    const std::initializer_list<const char*> right { "DelayTimeRightFullSwitch", "DelayTimeRightDotSwitch",
                                                     "DelayTimeRightTripletSwitch" };
    set(T::kDelayJoin, 0);
    set(T::kDelayLeftScale, 1);
    set(T::kDelayRightScale, 2);
    EXPECT_EQ(statesOf(left) + statesOf(right), "010001");
    EXPECT_EQ(stateOf("DelayJoinChannelsSwitch"), 0);

    set(T::kDelaySync, 0);
    EXPECT_EQ(statesOf(left) + statesOf(right), "000000");
    set(T::kDelayLeftScale, 2);
    EXPECT_EQ(statesOf(left) + statesOf(right), "000000");

    set(T::kDelaySync, 1);
    set(T::kDelayJoin, 1);
    EXPECT_EQ(statesOf(left) + statesOf(right), "001001");
    EXPECT_EQ(stateOf("DelayJoinChannelsSwitch"), 1);
    set(T::kDelayRightScale, 0);
    EXPECT_EQ(statesOf(right), "001");

    // The pre-delay's own group.
    set(T::kPreDelaySync, 1);
    set(T::kPreDelayJoin, 0);
    set(T::kPreDelayRightScale, 1);
    EXPECT_EQ(statesOf({ "PredelayTimeRightFullSwitch", "PredelayTimeRightDotSwitch", "PredelayTimeRightTripletSwitch" }),
              "010");
    EXPECT_EQ(stateOf("PredelayJoinChannelsSwitch"), 0);
}

TEST_F(TavinorEditorTest, SignalFlowPictureShowsTheFilterInTheLoopOnlyWhileTheFilterIsOn)
{
    auto* flow = element<GFXAnimation>("SignalFlowAnim");
    ASSERT_NE(flow, nullptr);
    const struct
    {
        int mode, loop, type, drive, frame;
    } cases[] = {
        { 0, 0, 0, 0, 0 }, { 1, 0, 0, 0, 1 }, { 0, 0, 0, 1, 2 }, { 0, 0, 1, 0, 4 },
        { 0, 1, 2, 0, 12 }, { 0, 1, 0, 1, 2 }, { 1, 1, 3, 1, 15 },
    };
    for (const auto& c : cases)
    {
        set(T::kFilterMode, c.mode);
        set(T::kFilterInLoop, c.loop);
        set(T::kFilterType, c.type);
        set(T::kOverdrive, c.drive);
        EXPECT_EQ(flow->getFrame(), c.frame) << c.mode << c.loop << c.type << c.drive;
    }
}

TEST_F(TavinorEditorTest, LineButtonsSelectMuteSoloCopyAndPaste)
{
    clickElement("Delay4SelectButton");
    EXPECT_EQ(parameters().getIntValue(T::kSelectedLine), 4);
    editor().controllerEventTriggered(nullptr, TavinorEditor::eventSelectNextLine);
    settle();
    EXPECT_EQ(parameters().getIntValue(T::kSelectedLine), 1);

    clickElement("Line2MuteButton");
    EXPECT_TRUE(muted(1));
    clickElement("Line2MuteButton");
    EXPECT_FALSE(muted(1));

    // Solo, then solo again to bring every line back; a line that was also
    // silenced becomes the only one heard.
    setMuted({ false, false, false, false });
    clickElement("Line2SoloButton");
    EXPECT_EQ(mutes(), "1011");
    clickElement("Line2SoloButton");
    EXPECT_FALSE(muted(0) || muted(1) || muted(2) || muted(3));
    setMuted({ false, true, true, false });
    clickElement("Line2SoloButton");
    EXPECT_EQ(mutes(), "1011");

    // Copy line 3 with Ctrl on its button: it lights and blinks until pasted.
    set(T::kSelectedLine, 1);
    clickElement("Delay3SelectButton", juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier
                                                          | juce::ModifierKeys::ctrlModifier));
    auto* third = element<GFXMultiStateButton>("Delay3SelectButton");
    EXPECT_EQ(parameters().getIntValue(T::kSelectedLine), 1);
    EXPECT_EQ(lineButtonState(0), 1);
    EXPECT_EQ(lineButtonState(2), 1);
    EXPECT_TRUE(third->isBlinking());
    clickElement("Line4PasteButton");
    EXPECT_FALSE(third->isBlinking());
    EXPECT_EQ(parameters().getIntValue(T::kSelectedLine), 4);
    EXPECT_EQ(lineButtonState(2), 0);
    EXPECT_EQ(lineButtonState(3), 1);
}

TEST_F(TavinorEditorTest, ChoiceEventsWriteTheSelectedLineAndScaleEventsNeedTempoSync)
{
    set(T::kSelectedLine, 2);
    clickElement("DelayFilterBPSwitch");
    EXPECT_EQ(parameters().getIntValue(lineId(1, T::kFilterType)), 2);
    EXPECT_EQ(status(), "Line 2 Filter Type: Band Pass");
    clickElement("ModulationSourceLFO2Switch");
    EXPECT_EQ(parameters().getIntValue(lineId(1, T::kModSource)), 1);

    // Scale events are ignored while the time is free; joined, the right
    // channel's buttons write the left scale.
    set(T::kDelaySync, 0);
    const int before = parameters().getIntValue(T::kDelayLeftScale);
    clickElement("DelayTimeLeftTripletSwitch");
    EXPECT_EQ(parameters().getIntValue(T::kDelayLeftScale), before);
    set(T::kDelaySync, 1);
    set(T::kDelayJoin, 1);
    set(T::kDelayRightScale, 0);
    clickElement("DelayTimeRightDotSwitch");
    EXPECT_EQ(parameters().getIntValue(lineId(1, T::kDelayLeftScale)), 1);
    EXPECT_EQ(parameters().getIntValue(lineId(1, T::kDelayRightScale)), 0);

    clickElement("PredelayPanelSelectSwitch");
    EXPECT_EQ(parameters().getIntValue(T::kFirstPanel + 1), 1);
    clickElement("MOD2TypeENVSwitch");
    EXPECT_EQ(parameters().getIntValue(T::kMod2First), 1);
    EXPECT_TRUE(shown("ENV2Panel"));
}

TEST_F(TavinorEditorTest, PadlocksToggleThroughThePadlocksAndTheButtonsFollow)
{
    clickElement("Delay1PadlockButton");
    EXPECT_TRUE(processor->getLinePadlock(0)->isLocked());
    EXPECT_EQ(stateOf("Delay1PadlockButton"), 1);
    clickElement("Delay1PadlockButton");
    EXPECT_FALSE(processor->getLinePadlock(0)->isLocked());
    EXPECT_EQ(stateOf("Delay1PadlockButton"), 0);

    clickElement("FXAmountPadlockButton");
    EXPECT_TRUE(processor->getFXAmountPadlock()->isLocked());
    EXPECT_EQ(stateOf("FXAmountPadlockButton"), 1);
}

TEST_F(TavinorEditorTest, RoutingMenuOpensBesideItsButtonAndChoosesTheRouting)
{
    auto& menu = editor().getRoutingMenu();
    set(T::kRouting, 4);
    EXPECT_TRUE(menu.findItem(4)->ticked);
    EXPECT_FALSE(menu.findItem(0)->ticked);

    clickElement("RoutingSelectSwitch");
    ASSERT_TRUE(menu.isShown());
    const auto button = editor().getBoundsInEditor(*editor().getElements().routingSelect);
    EXPECT_EQ(menu.getParentComponent(), &editor());
    EXPECT_EQ(menu.getTargetArea(), juce::Rectangle<int>(button.getRight(), button.getY(), 100, 100));

    editor().itemChosen(&menu, 7, false);
    settle();
    EXPECT_EQ(parameters().getIntValue(T::kRouting), 7);
    EXPECT_EQ(status(), "Routing: Mixed 5");
    EXPECT_TRUE(menu.findItem(7)->ticked);
    menu.dismiss();
}

TEST_F(TavinorEditorTest, RetriggerWindowsOpenAboveTheirButtonsInTheEditorsCoordinates)
{
    for (int m = 0; m < 2; ++m)
    {
        const juce::String name = "MOD" + juce::String(m + 1) + "RetriggerSettings";
        auto* button = element<GFXMultiStateButton>(name);
        auto* window = editor().getRetriggerWindow(m);
        ASSERT_NE(window, nullptr);
        const auto anchor = editor().getBoundsInEditor(*button);
        EXPECT_EQ(window->getBounds(), juce::Rectangle<int>(anchor.getX(), anchor.getY() - 163, 338, 161));
        EXPECT_TRUE(editor().getLocalBounds().contains(window->getBounds()));

        clickElement(name);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(stateOf(name), 1);
        clickElement(name);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(stateOf(name), 0);
    }
}

TEST_F(TavinorEditorTest, RetriggerWindowsConsumeTheEnginesEventsOnlyWhileShown)
{
    auto* engine = processor->getEngine();
    auto* window = editor().getRetriggerWindow(0);
    // Input-level retrigger with thresholds far below the bursts played.
    set(T::kMod1RetriggerMode, 2);
    parameters().setNormalisedValue(T::kMod1First + 3, 0.8f);
    parameters().setNormalisedValue(T::kMod1First + 4, 0.9f);
    processor->setRateAndBufferSizeDetails(48000.0, 256);
    processor->prepareToPlay(48000.0, 256);
    juce::AudioBuffer<float> buffer(2, 256);
    juce::MidiBuffer midi;
    // A short burst after half a second of silence.
    const auto play = [&] {
        for (int block = 0; block < 101; ++block)
        {
            for (int i = 0; i < 256; ++i)
                for (int ch = 0; ch < 2; ++ch)
                    buffer.setSample(ch, i, block == 100 && (i / 32) % 2 == 0 ? 0.9f : 0.0f);
            processor->processBlock(buffer, midi);
        }
    };

    play();
    editor().visibleTimerCallback();
    EXPECT_TRUE(engine->takeRetriggerEvent(0)) << "a hidden window leaves the event alone";
    EXPECT_FALSE(engine->takeRetriggerEvent(0));

    play();
    window->setVisible(true);
    editor().visibleTimerCallback();
    EXPECT_TRUE(window->getThresholdSlider().getLevelStrip().isHighlighted());
    EXPECT_FALSE(engine->takeRetriggerEvent(0));
}

TEST_F(TavinorEditorTest, MetersAndLampsFollowTheEngine)
{
    processor->setRateAndBufferSizeDetails(48000.0, 512);
    processor->prepareToPlay(48000.0, 512);
    juce::AudioBuffer<float> buffer(2, 512);
    juce::MidiBuffer midi;
    // Long enough for line 1's first echo.
    for (int block = 0; block < 100; ++block)
    {
        for (int i = 0; i < 512; ++i)
            for (int ch = 0; ch < 2; ++ch)
                buffer.setSample(ch, i, ch == 0 ? std::sin((float) i * 0.05f) * 0.8f : 0.0f);
        processor->processBlock(buffer, midi);
    }
    editor().visibleTimerCallback();
    EXPECT_GT(element<GFXAnimation>("OutputVULeftAnim")->getFrame(), 10);
    EXPECT_GT(element<GFXAnimation>("Delay1VUMeterLeftAnimation")->getFrame(), 0);
    EXPECT_EQ(element<GFXAnimation>("Delay2VUMeterLeftAnimation")->getFrame(), 0);
}

TEST_F(TavinorEditorTest, RestartFlashesOnlyInAShownPanelAndIsNotKeptForLater)
{
    auto* engine = processor->getEngine();
    auto* lamp = element<GFXAnimation>("LFO1ResetLED");
    set(T::kMod1First, 1); // the LFO panel is covered, but still shown
    set(T::kMod1First + 1, 1);
    processor->setRateAndBufferSizeDetails(48000.0, 256);
    processor->prepareToPlay(48000.0, 256);
    juce::AudioBuffer<float> buffer(2, 256);
    buffer.clear();
    juce::MidiBuffer midi;
    midi.addEvent(juce::MidiMessage::noteOn(1, parameters().getIntValue(T::kMod1RetriggerNote), 1.0f), 0);
    processor->processBlock(buffer, midi);

    editor().findSkinComponent("LFO1Panel", true)->setVisible(false);
    editor().visibleTimerCallback();
    EXPECT_EQ(lamp->getFrame(), 0);
    editor().findSkinComponent("LFO1Panel", true)->setVisible(true);
    editor().visibleTimerCallback();
    EXPECT_EQ(lamp->getFrame(), 0);
    EXPECT_FALSE(engine->takeRestart(0));
}

TEST_F(TavinorEditorTest, TheProcessorAndTheEditorReadThePanelParameterAsTwoValued)
{
    // A wider range (a damaged parameter set, an old host state) must not
    // leave the tap and the editor disagreeing about which time is shown.
    auto* panel = dynamic_cast<IntParameter*>(parameters().getParameter(T::kFirstPanel));
    ASSERT_NE(panel, nullptr);
    panel->setMaximum(3);
    set(T::kFirstPanel, 2);
    EXPECT_TRUE(shown("PredelayTimePanel"));
    EXPECT_FALSE(shown("DelayTimePanel"));
    EXPECT_EQ(statesOf({ "DelayPanelSelectSwitch", "PredelayPanelSelectSwitch" }), "01");
    EXPECT_TRUE(processor->isPreDelayPanelShown(0));
    set(T::kFirstPanel, 0);
    EXPECT_FALSE(processor->isPreDelayPanelShown(0));
    EXPECT_TRUE(shown("DelayTimePanel"));
}

TEST_F(TavinorEditorTest, ParameterMenuHoldsOnlyAutomatableParameters)
{
    const auto& menu = editor().getParameterMenu();
    ASSERT_NE(menu.findItem(-1), nullptr);
    EXPECT_EQ(menu.findItem(-1)->text, "- none -");
    // Line 2's filter cutoff, named by the template, labelled by its full name.
    auto* cutoff = menu.findItem(2000 + T::kCutoff);
    ASSERT_NE(cutoff, nullptr);
    EXPECT_EQ(cutoff->text, "Cutoff");
    EXPECT_EQ(cutoff->label, parameters().getParameterName(2000 + T::kCutoff));
    EXPECT_NE(menu.findItem(74), nullptr); // MOD 2 frequency

    // Free times in ms, the selected line, the panels and the preset name
    // are never host parameters.
    for (const int id : { 1000 + T::kDelayLeftMs, 2000 + T::kPreDelayRightMs, (int) T::kSelectedLine,
                          (int) T::kFirstPanel, (int) T::kPresetName, (int) T::kMod1RetriggerMode })
        EXPECT_EQ(menu.findItem(id), nullptr) << id;

    // Every sub-menu is there, in order, even where it could end up empty.
    EXPECT_EQ(menu.getNumItems(), 1 + 4 + 2 + 2);
    EXPECT_EQ(menu.getItem(1)->text, "Delay 1");
    EXPECT_EQ(menu.getItem(5)->text, "MOD1");
    EXPECT_EQ(menu.getItem(8)->text, "Misc");
    // The host page's slots offer the same menu.
    auto* slot = editor().getHostParametersPage().getList().getChoice(0);
    ASSERT_NE(slot, nullptr);
}

TEST_F(TavinorEditorTest, BrowsePresetsShowsTheProductsBrowserOverTheFace)
{
    auto* browser = editor().getPresetBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_FALSE(browser->isVisible());
    clickElement("PresetBrowseButton");
    EXPECT_TRUE(browser->isVisible());
    EXPECT_EQ(browser->getBounds(), juce::Rectangle<int>(0, 0, 1200, 540));
}

TEST_F(TavinorEditorTest, OptionsWindowFillsTheFaceAndStopsNoteLearningWhenItCloses)
{
    clickElement("OptionsButton");
    auto& options = editor().getOptionsWindow();
    EXPECT_TRUE(options.isVisible());
    EXPECT_EQ(options.getBounds(), juce::Rectangle<int>(0, 0, 1200, 540));
    EXPECT_EQ(editor().getHostParametersPage().getList().getRowsPerColumn(), 16);
    EXPECT_EQ(options.getTabs().getTabNames(),
              juce::StringArray({ "Processing", "Presets", "Parameters", "Midi Control" }));

    parameters().setBoolValue(T::kFirstNoteLearn + 1, true);
    settle();
    options.hide();
    settle();
    EXPECT_FALSE(parameters().getBoolValue(T::kFirstNoteLearn + 1));
}

TEST(TavinorEditorInstaller, OpensWithTheFirstEditorOfANewUserOnly)
{
    TestHelpers::prepareScreenForWindows();
    DefaultLookAndFeel laf;
    juce::LookAndFeel::setDefaultLookAndFeel(&laf);
    for (const auto* installed : { "", "1.1" })
    {
        ScopedUserFolder user;
        auto processor = makeProcessorWithInstalledVersion(installed);
        auto* editor = dynamic_cast<TavinorEditor*>(processor->getGuiRoot());
        ASSERT_NE(editor, nullptr);
        auto* installer = editor->getInstallerWindow();
        if (juce::String(installed).isEmpty())
        {
            ASSERT_NE(installer, nullptr);
            EXPECT_TRUE(installer->isVisible());
            EXPECT_TRUE(installer->getStartButton().isVisible());
        }
        else
        {
            EXPECT_EQ(installer, nullptr);
        }
    }
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
}

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

using namespace EditorTest;
using T = Tavinor;

class TavinorEditorTest : public EditorFixture
{
protected:
    juce::String mutes()
    {
        juce::String text;
        for (int line = 0; line < 4; ++line)
            text << (parameters().getBoolValue(lineId(line, T::kLineState)) ? "1" : "0");
        return text;
    }
    void setMutes(const juce::String& states)
    {
        for (int line = 0; line < 4; ++line)
            parameters().setBoolValue(lineId(line, T::kLineState), states[line] == '1');
        settle();
    }
    // Pixels of the element drawn in the face's orange (red high, blue low).
    int orangePixels(const juce::String& name)
    {
        auto* c = editor().findSkinComponent(name, true);
        if (c == nullptr)
            return -1;
        const auto image = c->createComponentSnapshot(c->getLocalBounds());
        int count = 0;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
            {
                const auto p = image.getPixelAt(x, y);
                count += p.getAlpha() > 128 && p.getRed() > 200 && p.getGreen() < 170 && p.getBlue() < 100 ? 1 : 0;
            }
        return count;
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
    // The elements are plain pointers and arrays of them, side by side.
    const auto& e = editor().getElements();
    static_assert(sizeof(e) % sizeof(void*) == 0);
    const auto* pointers = reinterpret_cast<void* const*>(&e);
    const auto count = sizeof(e) / sizeof(void*);
    EXPECT_EQ(count, 113u);
    EXPECT_EQ(std::count(pointers, pointers + count, nullptr), 0);
    EXPECT_NE(editor().getMidiLearnButton(), nullptr);
    EXPECT_NE(editor().getMidiActivityLed(), nullptr);
    EXPECT_EQ(editor().getBounds(), juce::Rectangle<int>(0, 0, 1200, 540 + editor().getStatusBar().getHeight()));
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
        { T::kDelayJoin, 1, { "DelayRightTimeJoinedKnob", "DelayTimeRightNominatorJoined", "DelayTimeRightFollowsLeftMark" },
          { "DelayRightTimeKnob", "DelayRightTimeDisplay", "DelayTimeRightNominator", "DelayTimeRightDenominator",
            "DelayTimeRightDragHint" } },
        { T::kDelayJoin, 0, { "DelayRightTimeKnob", "DelayTimeRightDenominator", "DelayTimeRightDragHint" },
          { "DelayRightTimeJoinedKnob", "DelayRightTimeJoinedDisplay", "DelayTimeRightDenominatorJoined",
            "DelayTimeRightFollowsLeftMark" } },
        { T::kMod1First, 1, { "ENV1Panel" }, { "LFO1SyncedPanel", "LFO1NotSyncedPanel", "PEAK1Panel" } },
        { T::kMod1First, 2, { "PEAK1Panel" }, { "ENV1Panel", "LFO1SyncedPanel", "LFO1NotSyncedPanel" } },
        { T::kMod1First, 0, { "LFO1NotSyncedPanel" }, { "ENV1Panel", "PEAK1Panel", "LFO1SyncedPanel" } },
        { T::kMod1First + T::kModulatorSync, 1, { "LFO1SyncedPanel" }, { "LFO1NotSyncedPanel" } },
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
    set(T::kSelectedLine, 2);
    EXPECT_TRUE(shown("PredelayTimePanel"));
    EXPECT_EQ(statesOf({ "DelayPanelSelectSwitch", "PredelayPanelSelectSwitch" }), "01");
}

// Joined, the right channel's time shows the left one's and says that it
// follows it: a drag where it stands changes nothing, its drag hint is gone,
// and the "L=R" mark is a lamp, not a button.
TEST_F(TavinorEditorTest, AJoinedRightTimeFollowsTheLeftAndSaysSo)
{
    const struct
    {
        const char* stage;
        int panel, sync, join, leftNumerator, rightNumerator, leftMs, rightMs;
    } stages[] = {
        { "Delay", 0, T::kDelaySync, T::kDelayJoin, T::kDelayLeftNumerator, T::kDelayRightNumerator, T::kDelayLeftMs,
          T::kDelayRightMs },
        { "Predelay", 1, T::kPreDelaySync, T::kPreDelayJoin, T::kPreDelayLeftNumerator, T::kPreDelayRightNumerator,
          T::kPreDelayLeftMs, T::kPreDelayRightMs },
    };
    // Shown on the face: it and every panel it sits in.
    const auto onFace = [this](const juce::String& name) {
        for (auto* c = editor().findSkinComponent(name, true); c != &editor(); c = c->getParentComponent())
            if (c == nullptr || !c->isVisible())
                return false;
        return true;
    };
    for (const auto& st : stages)
    {
        const juce::String stage(st.stage);
        set(T::kFirstPanel, st.panel);
        for (const bool synced : { true, false })
        {
            set(st.sync, synced ? 1 : 0);
            const auto control = synced ? stage + "TimeRightNominator" : stage + "RightTimeKnob";
            const auto joinedControl = synced ? control + "Joined" : stage + "RightTimeJoinedKnob";
            const auto mark = synced ? stage + "TimeRightFollowsLeftMark" : stage + "RightTimeFollowsLeftMark";
            const auto valuesNow = [&] {
                return synced ? juce::String(parameters().getIntValue(st.leftNumerator)) + "/"
                                    + juce::String(parameters().getIntValue(st.rightNumerator))
                              : juce::String(parameters().getValue(st.leftMs)) + "/"
                                    + juce::String(parameters().getValue(st.rightMs));
            };
            const auto where = editor().getBoundsInEditor(*editor().findSkinComponent(control, true)).getCentre();

            set(st.join, 0);
            EXPECT_FALSE(onFace(mark)) << mark;
            EXPECT_EQ(onFace(stage + "TimeRightDragHint"), synced);
            auto before = valuesNow();
            dragAt(where, -30);
            EXPECT_NE(valuesNow(), before) << control << ": a separate right time is dragged";

            set(st.join, 1);
            EXPECT_TRUE(onFace(mark)) << mark;
            EXPECT_TRUE(onFace(joinedControl));
            EXPECT_FALSE(onFace(stage + "TimeRightDragHint"));
            before = valuesNow();
            dragAt(where, -30);
            EXPECT_EQ(valuesNow(), before) << joinedControl << ": a joined right time follows the left";
            if (!synced)
            {
                // The knob that only follows shows no orange, which marks what is active.
                parameters().setValue(st.leftMs, 200.0f);
                settle();
                EXPECT_GT(orangePixels(stage + "LeftTimeKnob"), 20) << "the left knob's value arc";
                EXPECT_EQ(orangePixels(joinedControl), 0) << joinedControl;
            }
        }

        // The indicator: no body or border (its edges let the panel show), no click target.
        set(st.sync, 1);
        auto* lamp = element<GFXMultiStateButton>(stage + "JoinChannelsSwitch");
        ASSERT_NE(lamp, nullptr);
        EXPECT_EQ(lamp->getState(), 1);
        const auto look = lamp->createComponentSnapshot(lamp->getLocalBounds());
        for (const auto& corner : { juce::Point<int>(0, 0), juce::Point<int>(lamp->getWidth() - 1, lamp->getHeight() - 1),
                                    juce::Point<int>(lamp->getWidth() / 2, 0) })
            EXPECT_EQ(look.getPixelAt(corner.x, corner.y).getAlpha(), 0) << corner.toString();
        const auto centre = editor().getBoundsInEditor(*lamp).getCentre();
        EXPECT_NE(editor().getComponentAt(centre), lamp);
        set(st.join, 0);
    }
    set(T::kFirstPanel, 0);
}

TEST_F(TavinorEditorTest, ScaleSwitchesShowOnlyWhileSyncedAndTheLeftScaleWhileJoined)
{
    const auto delay = [this] {
        return statesOf({ "DelayTimeLeftFullSwitch", "DelayTimeLeftDotSwitch", "DelayTimeLeftTripletSwitch" }) + " "
             + statesOf({ "DelayTimeRightFullSwitch", "DelayTimeRightDotSwitch", "DelayTimeRightTripletSwitch" }) + " "
             + juce::String(stateOf("DelayJoinChannelsSwitch"));
    };
    const struct
    {
        int id, value;
        const char* states;
    } steps[] = {
        { T::kDelayJoin, 0, "100 100 0" },      { T::kDelayLeftScale, 1, "010 100 0" },
        { T::kDelayRightScale, 2, "010 001 0" }, { T::kDelaySync, 0, "000 000 0" },
        { T::kDelayLeftScale, 2, "000 000 0" },  { T::kDelaySync, 1, "001 001 0" },
        { T::kDelayJoin, 1, "001 001 1" },       { T::kDelayRightScale, 0, "001 001 1" },
    };
    for (const auto& step : steps)
    {
        set(step.id, step.value);
        EXPECT_EQ(delay(), step.states) << step.id << " = " << step.value;
    }

    // The pre-delay's own group.
    set(T::kPreDelaySync, 1);
    set(T::kPreDelayJoin, 0);
    set(T::kPreDelayRightScale, 1);
    EXPECT_EQ(statesOf({ "PredelayTimeRightFullSwitch", "PredelayTimeRightDotSwitch", "PredelayTimeRightTripletSwitch",
                         "PredelayJoinChannelsSwitch" }),
              "0100");
}

TEST_F(TavinorEditorTest, SignalFlowPictureShowsTheFilterInTheLoopOnlyWhileTheFilterIsOn)
{
    auto* flow = element<GFXAnimation>("SignalFlowAnim");
    const struct
    {
        int mode, loop, type, drive, frame;
    } cases[] = { { 0, 0, 0, 0, 0 }, { 1, 0, 0, 0, 1 }, { 0, 0, 0, 1, 2 }, { 0, 0, 1, 0, 4 },
                  { 0, 1, 2, 0, 12 }, { 0, 1, 0, 1, 2 }, { 1, 1, 3, 1, 15 } };
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
    EXPECT_EQ(mutes(), "0100");
    // Solo, then solo again to bring every line back; a line that was also
    // silenced becomes the only one heard.
    const struct
    {
        const char *before, *after;
    } solos[] = { { "0000", "1011" }, { "1011", "0000" }, { "0110", "1011" } };
    for (const auto& solo : solos)
    {
        setMutes(solo.before);
        clickElement("Line2SoloButton");
        EXPECT_EQ(mutes(), solo.after) << solo.before;
    }

    // Copying shows on the copied line's button in a look of its own (state 2,
    // 3 when it is also the selected line), never as a second selected line,
    // and the status line says how to paste; the paste selects the pasted line.
    const auto states = [this] {
        juce::String text;
        for (int line = 0; line < 4; ++line)
            text << lineButtonState(line);
        return text;
    };
    const auto ctrl = juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier | juce::ModifierKeys::ctrlModifier);
    const auto shift = juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier | juce::ModifierKeys::shiftModifier);
    const struct
    {
        const char* button;
        juce::ModifierKeys mods;
        const char* states;
        const char* status;
    } steps[] = {
        { "Delay3SelectButton", ctrl, "1020",
          "Line 3 copied: Shift-click a line's button, or press its PASTE, to paste it onto that line" },
        { "Line4PasteButton", {}, "0001", "Pasted onto line 4" },
        { "Delay4SelectButton", ctrl, "0003",
          "Line 4 copied: Shift-click a line's button, or press its PASTE, to paste it onto that line" },
        { "Delay2SelectButton", shift, "0100", "Pasted onto line 2" },
    };
    for (const auto& step : steps)
    {
        clickElement(step.button, step.mods.isAnyModifierKeyDown() ? step.mods
                                                                  : juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier));
        EXPECT_EQ(states(), step.states) << step.button;
        EXPECT_EQ(status(), step.status) << step.button;
        for (int line = 0; line < 4; ++line)
            EXPECT_FALSE(element<GFXMultiStateButton>("Delay" + juce::String(line + 1) + "SelectButton")->isBlinking());
    }

    // The four looks are four different pictures.
    auto* button = element<GFXMultiStateButton>("Delay1SelectButton");
    juce::Array<juce::Image> looks;
    for (int state = 0; state < 4; ++state)
    {
        button->setState(state);
        looks.add(button->createComponentSnapshot(button->getLocalBounds()));
        for (int other = 0; other < state; ++other)
        {
            bool same = true;
            for (int y = 0; y < button->getHeight() && same; ++y)
                for (int x = 0; x < button->getWidth() && same; ++x)
                    same = looks[state].getPixelAt(x, y) == looks[other].getPixelAt(x, y);
            EXPECT_FALSE(same) << "state " << state << " looks like state " << other;
        }
    }
}

TEST_F(TavinorEditorTest, ChoiceEventsWriteTheSelectedLineAndScaleEventsNeedTempoSync)
{
    set(T::kSelectedLine, 2);
    clickElement("DelayFilterBPSwitch");
    EXPECT_EQ(parameters().getIntValue(lineId(1, T::kFilterType)), 2);
    EXPECT_EQ(status(), "Line 2 Filter Type: Band Pass");

    set(T::kDelaySync, 0);
    const int before = parameters().getIntValue(T::kDelayLeftScale);
    clickElement("DelayTimeLeftTripletSwitch");
    EXPECT_EQ(parameters().getIntValue(T::kDelayLeftScale), before);
    // Joined, the right channel's buttons show the left scale faded (no
    // orange) and take no clicks.
    set(T::kDelaySync, 1);
    set(T::kDelayJoin, 1);
    set(T::kDelayRightScale, 2);
    EXPECT_EQ(orangePixels("DelayTimeRightFullSwitch"), 0);
    clickElement("DelayTimeRightDotSwitch");
    EXPECT_EQ(parameters().getIntValue(lineId(1, T::kDelayLeftScale)), before);
    EXPECT_EQ(parameters().getIntValue(lineId(1, T::kDelayRightScale)), 2);

    clickElement("PredelayPanelSelectSwitch");
    EXPECT_EQ(parameters().getIntValue(T::kFirstPanel + 1), 1);
}

TEST_F(TavinorEditorTest, PadlockButtonsToggleThePadlocksAndFollowThem)
{
    for (const int expected : { 1, 0 })
    {
        clickElement("Delay1PadlockButton");
        EXPECT_EQ(processor->getLinePadlock(0)->isLocked(), expected == 1);
        EXPECT_EQ(stateOf("Delay1PadlockButton"), expected);
    }
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

// A retrigger window opens over its modulator's section above its button, in
// the editor's coordinates: wholly on the face, over the type tabs whole or not
// at all, its close cross inside its frame, and nothing of the face showing
// through it.
TEST_F(TavinorEditorTest, RetriggerWindowsAreOpaqueAndLieWhollyOverTheirSections)
{
    for (int m = 0; m < 2; ++m)
    {
        const juce::String n(m + 1);
        const juce::String name = "MOD" + n + "RetriggerSettings";
        auto* window = editor().getRetriggerWindow(m);
        const auto anchor = editor().getBoundsInEditor(*element<GFXMultiStateButton>(name));
        const auto bounds = window->getBounds();
        EXPECT_EQ(bounds, juce::Rectangle<int>(anchor.getX(), anchor.getY() - TavinorEditor::kRetriggerWindowGap,
                                               TavinorEditor::kRetriggerWindowWidth,
                                               TavinorEditor::kRetriggerWindowHeight));
        EXPECT_TRUE(editor().getDesktopArea().contains(bounds)) << bounds.toString();
        EXPECT_FALSE(bounds.intersects(anchor)) << "the button that closes it stays in sight";
        for (const auto* type : { "LFO", "ENV", "PEAK" })
        {
            const auto tab = editor().getBoundsInEditor(*element<GFXMultiStateButton>("MOD" + n + "Type" + type + "Switch"));
            EXPECT_TRUE(bounds.contains(tab) || !bounds.intersects(tab)) << type << " " << tab.toString();
        }
        // No control of the face lies half under it, with the LFO free or
        // synced (the synced rate's scale buttons lie just above the button).
        for (const bool synced : { false, true })
        {
            set(T::kMod1First + T::kModulatorSync + m * T::kModulatorIdStride, synced ? 1 : 0);
            std::function<void(juce::Component&)> visit = [&](juce::Component& c) {
                if (&c == window || !c.isVisible())
                    return;
                if (c.getNumChildComponents() == 0)
                {
                    const auto area = editor().getLocalArea(c.getParentComponent(), c.getBounds());
                    EXPECT_TRUE(bounds.contains(area) || !bounds.intersects(area))
                        << c.getName() << " " << area.toString() << (synced ? " synced" : " free");
                }
                for (auto* child : c.getChildren())
                    visit(*child);
            };
            for (auto* child : editor().getChildren())
                visit(*child);
        }
        set(T::kMod1First + T::kModulatorSync + m * T::kModulatorIdStride, 0);

        for (const bool visible : { true, false })
        {
            clickElement(name);
            EXPECT_EQ(window->isVisible(), visible);
            EXPECT_EQ(stateOf(name), visible ? 1 : 0);
        }

        // The same pixels whatever the modulator's panel beneath shows.
        EXPECT_TRUE(window->isOpaque());
        clickElement(name);
        juce::Image seen[3];
        for (int type = 0; type < 3; ++type)
        {
            set(T::kMod1First + m * T::kModulatorIdStride, type);
            seen[type] = editor().createComponentSnapshot(bounds);
        }
        for (int type = 1; type < 3; ++type)
            for (int y = 0; y < bounds.getHeight(); ++y)
                for (int x = 0; x < bounds.getWidth(); ++x)
                    ASSERT_EQ(seen[type].getPixelAt(x, y), seen[0].getPixelAt(x, y)) << "MOD " << n << " at " << x << "," << y;

        // Around the close cross the frame keeps the frame's colour: the cross
        // stays inside it.
        const int frame = window->getBorderWidth();
        const auto frameColour = seen[0].getPixelAt(bounds.getWidth() - 1, 0);
        for (int y = 0; y < bounds.getHeight(); ++y)
            for (int x = window->getCloseButton().getX(); x < bounds.getWidth(); ++x)
                if (!juce::Rectangle<int>(bounds.getWidth(), bounds.getHeight()).reduced(frame).contains(x, y))
                    ASSERT_EQ(seen[0].getPixelAt(x, y), frameColour) << "MOD " << n << " at " << x << "," << y;
        clickElement(name);
        set(T::kMod1First + m * T::kModulatorIdStride, 0);
    }
}

TEST_F(TavinorEditorTest, EngineDisplaysAreTakenOnlyWhereTheyAreShown)
{
    auto* engine = processor->getEngine();
    // Meters: line 1's first echo, and nothing on line 2 (level 0).
    play(200, [](int, int i) { return std::sin((float) i * 0.05f) * 0.8f; });
    editor().visibleTimerCallback();
    EXPECT_GT(element<GFXAnimation>("OutputVULeftAnim")->getFrame(), 10);
    EXPECT_GT(element<GFXAnimation>("Delay1VUMeterLeftAnimation")->getFrame(), 0);
    EXPECT_EQ(element<GFXAnimation>("Delay2VUMeterLeftAnimation")->getFrame(), 0);

    // An input-level retrigger of MOD 1: a hidden retrigger window leaves the
    // engine's event alone, a shown one takes it and lights its level bar.
    set(T::kMod1RetriggerMode, 2);
    parameters().setNormalisedValue(T::kMod1First + T::kDetectorOnThreshold, 0.8f);
    parameters().setNormalisedValue(T::kMod1First + T::kDetectorOffThreshold, 0.9f);
    const auto burstAfterSilence = [](int block, int i) { return block == 100 && (i / 32) % 2 == 0 ? 0.9f : 0.0f; };
    play(101, burstAfterSilence);
    editor().visibleTimerCallback();
    EXPECT_TRUE(engine->takeRetriggerEvent(0));
    auto* window = editor().getRetriggerWindow(0);
    window->setVisible(true);
    play(101, burstAfterSilence);
    editor().visibleTimerCallback();
    EXPECT_TRUE(window->getThresholdSlider().getLevelStrip().isHighlighted());
    EXPECT_FALSE(engine->takeRetriggerEvent(0));

    // A note restarts MOD 1: its lamp flashes while the LFO panel is shown;
    // while it is hidden the restart is taken without a flash, then or later.
    auto* lamp = element<GFXAnimation>("LFO1ResetLED");
    auto* lfoPanel = editor().findSkinComponent("LFO1Panel", true);
    set(T::kMod1RetriggerMode, 1);
    juce::MidiBuffer note;
    note.addEvent(juce::MidiMessage::noteOn(1, parameters().getIntValue(T::kMod1RetriggerNote), 1.0f), 0);
    for (const bool panelShown : { true, false })
    {
        engine->takeRestart(0);
        lamp->timerCallback();
        play(1, [](int, int) { return 0.0f; }, note);
        lfoPanel->setVisible(panelShown);
        editor().visibleTimerCallback();
        lfoPanel->setVisible(true);
        editor().visibleTimerCallback();
        EXPECT_EQ(lamp->getFrame(), panelShown ? 1 : 0);
    }
    EXPECT_EQ(lamp->getFrame(), 0);
    EXPECT_FALSE(engine->takeRestart(0));
}

TEST_F(TavinorEditorTest, TheProcessorAndTheEditorReadThePanelParameterAsTwoValued)
{
    // A wider range (a damaged parameter set) must not leave the tap and the
    // editor disagreeing about which time is shown: anything but 0 is the pre-delay.
    dynamic_cast<IntParameter*>(parameters().getParameter(T::kFirstPanel))->setMaximum(3);
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
    EXPECT_EQ(menu.findItem(-1)->text, "- none -");
    // Line 2's filter cutoff, named by the template, labelled by its full name.
    auto* cutoff = menu.findItem(2000 + T::kCutoff);
    ASSERT_NE(cutoff, nullptr);
    EXPECT_EQ(cutoff->text, "Cutoff");
    EXPECT_EQ(cutoff->label, parameters().getParameterName(2000 + T::kCutoff));
    EXPECT_NE(menu.findItem(74), nullptr); // MOD 2 frequency
    for (const int id : { 1000 + T::kDelayLeftMs, 2000 + T::kPreDelayRightMs, (int) T::kSelectedLine,
                          (int) T::kFirstPanel, (int) T::kPresetName, (int) T::kMod1RetriggerMode })
        EXPECT_EQ(menu.findItem(id), nullptr) << id;
    // Every sub-menu, in order: none, four lines, two modulators, master, misc.
    EXPECT_EQ(menu.getNumItems(), 9);
    EXPECT_EQ(menu.getItem(1)->text + menu.getItem(5)->text + menu.getItem(8)->text, "Delay 1MOD1Misc");
}

TEST_F(TavinorEditorTest, BrowserAndOptionsFillTheFace)
{
    clickElement("PresetBrowseButton");
    EXPECT_TRUE(editor().getPresetBrowser()->isVisible());
    EXPECT_EQ(editor().getPresetBrowser()->getBounds(), juce::Rectangle<int>(0, 0, 1200, 540));
    editor().getPresetBrowser()->hide();

    clickElement("OptionsButton");
    auto& options = editor().getOptionsWindow();
    EXPECT_EQ(options.getBounds(), juce::Rectangle<int>(0, 0, 1200, 540));
    EXPECT_EQ(editor().getHostParametersPage().getList().getRowsPerColumn(), 16);
    // A retrigger note learn started on the page ends when the window closes.
    parameters().setBoolValue(T::kFirstNoteLearn + 1, true);
    options.hide();
    settle();
    EXPECT_FALSE(parameters().getBoolValue(T::kFirstNoteLearn + 1));
}

TEST(TavinorEditorInstaller, OpensWithTheFirstEditorOfANewUserOnly)
{
    DefaultLookAndFeel laf;
    juce::LookAndFeel::setDefaultLookAndFeel(&laf);
    for (const auto* installed : { "", "1.1" })
    {
        ScopedUserFolder user;
        auto processor = makeProcessorWithInstalledVersion(installed);
        auto* installer = dynamic_cast<TavinorEditor&>(*processor->getGuiRoot()).getInstallerWindow();
        EXPECT_EQ(installer != nullptr && installer->isVisible(), juce::String(installed).isEmpty()) << installed;
    }
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
}

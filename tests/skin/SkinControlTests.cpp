#include "SkinTestSupport.h"
#include "skin/GFXAnimation.h"
#include "skin/GFXButton.h"
#include "skin/GFXKnob.h"
#include "skin/GFXMultiStateButton.h"
#include "skin/GFXRocker.h"
#include "skin/GFXSwitch.h"
#include "skin/GFXToggleButton.h"
#include "skin/ModWheel.h"
#include "skin/PitchBender.h"

using SkinControlTests = SkinFixture;

TEST_F(SkinControlTests, KnobFramesFollowItsValue)
{
    GFXKnob knob("k");
    knob.setImageStrip(juce::Image(juce::Image::ARGB, 10, 640, true), 64);
    const std::pair<double, int> table[] = { { 0.0, 0 }, { 0.5, 32 }, { 1.0, 63 }, { 0.25, 16 } };
    for (const auto& [value, frame] : table)
    {
        knob.setValue(value, juce::dontSendNotification);
        EXPECT_EQ(knob.getCurrentFrame(), frame) << value;
    }
    knob.setEnabled(false);
    EXPECT_EQ(knob.getCurrentFrame(), 0);
}

TEST_F(SkinControlTests, KnobDragWritesInsideAGestureAndOutsideChangesDoNotEcho)
{
    auto panel = loadPanel(R"(<Knob name="k"><size width="40" height="40"/>
                              <links><link as="connectedTo" param="Gain"/></links></Knob>)");
    auto* knob = find<GFXKnob>(*panel, "k");
    auto& gain = host.parameter("Gain");
    RecordingListener record;
    gain.addListener(&record);
    panel->addListener(&record);

    dragBy(*knob, { 20, 20 }, -125);
    EXPECT_NEAR(gain.getValue(), 0.5f, 0.01f);
    ASSERT_GE(record.log.size(), 5);
    EXPECT_EQ(record.log[0], "begin");
    EXPECT_EQ(record.log[1], "dragStarted");
    EXPECT_TRUE(record.log[2].startsWith("param"));
    EXPECT_EQ(record.log[3], "valueChanged");
    EXPECT_EQ(record.log[record.log.size() - 2], "end");
    EXPECT_EQ(record.log[record.log.size() - 1], "dragEnded");

    record.log.clear();
    gain.setValue(0.75f, true);
    TestHelpers::pumpMessages();
    EXPECT_DOUBLE_EQ(knob->getValue(), 0.75);
    EXPECT_EQ(record.log, juce::StringArray("param 0.75"));
}

TEST_F(SkinControlTests, WheelsReturnToRestAfterTheGesture)
{
    auto panel = loadPanel(R"(<PitchBender name="bend"><size width="40" height="40"/>
                                <links><link as="connectedTo" param="Gain"/></links></PitchBender>
                              <ModWheel name="wheel"><size width="40" height="40"/>
                                <links><link as="connectedTo" param="Mix"/></links></ModWheel>)");
    RecordingListener bend, wheel;
    host.parameter("Gain").addListener(&bend);
    host.parameter("Mix").addListener(&wheel);

    // The gesture ends first, then the parameter goes back to rest.
    dragBy(*find<PitchBender>(*panel, "bend"), { 20, 20 }, -60);
    dragBy(*find<ModWheel>(*panel, "wheel"), { 20, 20 }, -60);
    TestHelpers::pumpMessages();
    for (auto* record : { &bend, &wheel })
    {
        ASSERT_GE(record->log.size(), 4);
        EXPECT_EQ(record->log[0], "begin");
        EXPECT_TRUE(record->log[1].startsWith("param 0.2")) << record->log[1];
        EXPECT_EQ(record->log[record->log.size() - 2], "end");
    }
    EXPECT_EQ(bend.log[bend.log.size() - 1], "param 0.5");
    EXPECT_EQ(wheel.log[wheel.log.size() - 1], "param 0");
}

TEST_F(SkinControlTests, SwitchesTakeTheirStyleAndFollowIntegerParameters)
{
    host.builtIn["s.png"] = SkinTest::makeStripPng(10, 30, 3);
    auto panel = loadPanel(R"(
        <Switch name="h" style="horizontal"><gfx resource="s.png" framesNum="3"/>
            <links><link as="connectedTo" param="Mode"/></links></Switch>
        <Switch name="v" style="VERTICAL"/>
        <Switch name="other" style="diagonal"/>
        <MultiStateButton name="m" states="3"><links><link as="connectedTo" param="Mode"/></links></MultiStateButton>)");
    auto* h = find<GFXSwitch>(*panel, "h");
    EXPECT_EQ(h->getSliderStyle(), juce::Slider::LinearHorizontal);
    EXPECT_EQ(find<GFXSwitch>(*panel, "v")->getSliderStyle(), juce::Slider::LinearVertical);
    EXPECT_EQ(find<GFXSwitch>(*panel, "other")->getSliderStyle(), juce::Slider::RotaryVerticalDrag);

    auto* multi = find<GFXMultiStateButton>(*panel, "m");
    for (int mode : { 2, 1, 0 })
    {
        host.parameter("Mode").setIntValue(mode, true);
        TestHelpers::pumpMessages();
        EXPECT_EQ(h->getCurrentFrame(), mode);
        EXPECT_EQ(multi->getState(), mode);
    }
}

TEST_F(SkinControlTests, LinearSwitchesAreSetAlongTheirWholeFrame)
{
    // The skin draws the whole switch, so a click anywhere on it sets the value
    // under the pointer, also on switches too short for a drawn slider's thumb.
    auto panel = loadPanel(R"(
        <Switch name="wide" style="Horizontal"><size width="40" height="10"/>
            <links><link as="connectedTo" param="Gain"/></links></Switch>
        <Switch name="short" style="Horizontal"><size width="20" height="10"/>
            <links><link as="connectedTo" param="Mix"/></links></Switch>
        <Switch name="tall" style="Vertical"><size width="10" height="40"/>
            <links><link as="connectedTo" param="Gain"/></links></Switch>)");
    struct Click
    {
        const char* name;
        juce::Point<int> at;
        const char* parameter;
        float value;
    };
    const Click clicks[] = {
        { "wide", { 4, 5 }, "Gain", 0.1f },   { "wide", { 36, 5 }, "Gain", 0.9f },
        { "wide", { 20, 5 }, "Gain", 0.5f },  { "short", { 10, 5 }, "Mix", 0.5f },
        { "short", { 2, 5 }, "Mix", 0.1f },   { "tall", { 5, 10 }, "Gain", 0.75f },
    };
    for (const auto& click : clicks)
    {
        auto* control = find<GFXSwitch>(*panel, click.name);
        mouseDown(*control, click.at);
        mouseUp(*control, click.at);
        EXPECT_NEAR(host.parameter(click.parameter).getValue(), click.value, 0.003f)
            << click.name << " at " << click.at.toString();
    }
}

TEST_F(SkinControlTests, RockerHalvesAndTheirEvents)
{
    auto panel = loadPanel(R"(
        <Rocker name="h" type="horizontal"><size width="40" height="10"/><pos left="100" top="50"/>
            <actions><action type="onLessClick" event="Less"/><action type="onMoreClick" event="More"/>
                     <action type="onLessClickWithCtrl" event="Less Ctrl"/></actions></Rocker>
        <Rocker name="v"><size width="10" height="40"/><pos left="200" top="80"/>
            <actions><action type="onLessClick" event="Less"/><action type="onMoreClick" event="More"/></actions>
        </Rocker>)",
                           R"(<size width="300" height="200"/>)");
    auto* h = find<GFXRocker>(*panel, "h");
    auto* v = find<GFXRocker>(*panel, "v");
    RecordingListener record;
    panel->addListener(&record);
    const auto ctrl = juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier | juce::ModifierKeys::commandModifier);

    struct Click
    {
        GFXRocker* rocker;
        juce::Point<int> at;
        juce::ModifierKeys mods;
        int state;
        const char* heard;
    };
    const Click clicks[] = {
        { h, { 20, 5 }, juce::ModifierKeys::leftButtonModifier, GFXRocker::lessPressed, "event 20" },
        { h, { 21, 5 }, juce::ModifierKeys::leftButtonModifier, GFXRocker::morePressed, "event 21" },
        { h, { 5, 5 }, ctrl, GFXRocker::lessPressed, "event 22" },
        { h, { 30, 5 }, ctrl, GFXRocker::morePressed, "" },
        { v, { 5, 5 }, juce::ModifierKeys::leftButtonModifier, GFXRocker::morePressed, "event 21" },
        { v, { 5, 30 }, juce::ModifierKeys::leftButtonModifier, GFXRocker::lessPressed, "event 20" },
    };
    for (const auto& click : clicks)
    {
        record.log.clear();
        mouseDown(*click.rocker, click.at, click.mods);
        EXPECT_EQ(click.rocker->getState(), click.state);
        EXPECT_EQ(record.log.joinIntoString(","), click.heard);
        mouseUp(*click.rocker, click.at);
        EXPECT_EQ(click.rocker->getState(), GFXRocker::neutral);
        EXPECT_TRUE(record.log.size() <= 1);
    }
}

TEST_F(SkinControlTests, RockerShowsThePressedHalfOnlyWhileThePointerIsOverIt)
{
    host.builtIn["r.png"] = SkinTest::makeStripPng(20, 120, 3);
    auto panel = loadPanel(R"(<Rocker name="r"><gfx resource="r.png" framesNum="3"/><pos left="150" top="150"/></Rocker>)",
                           R"(<size width="400" height="400"/>)");
    auto* rocker = find<GFXRocker>(*panel, "r");

    // The rocker sits far from its parent's origin, so a test made in mixed
    // coordinates would disagree with these.
    mouseDown(*rocker, { 10, 5 });
    EXPECT_EQ(rocker->getCurrentFrame(), GFXRocker::morePressed);
    const std::pair<juce::Point<int>, int> drags[] = {
        { { 12, 8 }, GFXRocker::morePressed }, { { 10, 30 }, GFXRocker::neutral },
        { { -100, 5 }, GFXRocker::neutral },   { { 150, 155 }, GFXRocker::neutral },
        { { 3, 2 }, GFXRocker::morePressed },
    };
    for (const auto& [at, frame] : drags)
    {
        mouseDrag(*rocker, at);
        EXPECT_EQ(rocker->getCurrentFrame(), frame) << at.toString();
    }
    mouseUp(*rocker, { 3, 2 });
    EXPECT_EQ(rocker->getCurrentFrame(), GFXRocker::neutral);
}

TEST_F(SkinControlTests, AnimationFramesStayInsideTheStripAndBlinksReturnToRest)
{
    GFXAnimation lamp("lamp");
    lamp.setImageStrip(juce::Image(juce::Image::ARGB, 8, 40, true), 5);
    const std::pair<float, int> values[] = { { 1.2f, 4 }, { -1.0f, 0 }, { 0.5f, 2 }, { 0.37f, 1 } };
    for (const auto& [value, frame] : values)
    {
        lamp.setFrameFromValue(value);
        EXPECT_EQ(lamp.getFrame(), frame) << value;
    }
    lamp.setFrame(11);
    EXPECT_EQ(lamp.getFrame(), 4);
    lamp.setFrame(-2);
    EXPECT_EQ(lamp.getFrame(), 0);

    lamp.blink(1, 175);
    lamp.blink(1, 175);
    EXPECT_EQ(lamp.getFrame(), 1);
    EXPECT_TRUE(lamp.isTimerRunning());
    lamp.timerCallback();
    EXPECT_EQ(lamp.getFrame(), 0);
    EXPECT_FALSE(lamp.isTimerRunning());
}

TEST_F(SkinControlTests, PushButtonEventsAndHeldParameter)
{
    auto panel = loadPanel(R"(
        <Button name="held" clickEvent="onRelease"><size width="20" height="20"/>
            <links><link as="connectedTo" param="Bypass"/></links>
            <actions><action type="onClick" event="Click"/></actions></Button>
        <Button name="plain"><size width="20" height="20"/>
            <actions><action type="onClick" event="Click"/></actions></Button>
        <Button name="full"><size width="20" height="20"/>
            <actions><action type="onClick" event="Click"/><action type="onClickWithCtrl" event="Ctrl Click"/>
                     <action type="onRightClick" event="Right Click"/></actions></Button>)");
    RecordingListener record;
    panel->addListener(&record);
    auto& bypass = host.parameter("Bypass");

    // A linked button fires on the press and holds its parameter while down.
    auto* held = find<GFXButton>(*panel, "held");
    mouseDown(*held, { 5, 5 });
    EXPECT_EQ(record.log, juce::StringArray({ "valueChanged", "event 30" }));
    EXPECT_TRUE(bypass.getBoolValue());
    mouseUp(*held, { 5, 5 });
    EXPECT_FALSE(bypass.getBoolValue());

    const auto left = juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier);
    const auto ctrl = left.withFlags(juce::ModifierKeys::commandModifier);
    const auto right = juce::ModifierKeys(juce::ModifierKeys::rightButtonModifier);
    struct Click
    {
        const char* button;
        juce::ModifierKeys mods;
        const char* heard;
    };
    const Click clicks[] = {
        { "plain", left, "event 30" },  { "plain", ctrl, "" },          { "plain", right, "event 30" },
        { "full", ctrl, "event 31" },   { "full", right, "event 32" },  { "full", left, "event 30" },
    };
    for (const auto& click : clicks)
    {
        record.log.clear();
        auto* button = find<GFXButton>(*panel, click.button);
        mouseDown(*button, { 5, 5 }, click.mods);
        EXPECT_TRUE(record.log.isEmpty()) << click.button;
        mouseUp(*button, { 5, 5 });
        EXPECT_EQ(record.log.joinIntoString(","), click.heard) << click.button << " " << click.mods.getRawFlags();
    }
}

TEST_F(SkinControlTests, ToggleButtonWritesItsParameterAndShowsItsFrames)
{
    host.builtIn["t.png"] = SkinTest::makeStripPng(20, 80, 4);
    auto panel = loadPanel(R"(<ToggleButton name="t" style="3D" clickEvent="onPress"><gfx resource="t.png" framesNum="9"/>
                              <links><link as="connectedTo" param="Bypass"/></links></ToggleButton>)");
    auto* toggle = find<GFXToggleButton>(*panel, "t");
    ASSERT_EQ(toggle->getFramesNum(), 4);
    EXPECT_EQ(toggle->getBounds(), juce::Rectangle<int>(0, 0, 20, 20));

    mouseDown(*toggle, { 5, 5 });
    mouseUp(*toggle, { 5, 5 });
    EXPECT_TRUE(host.parameter("Bypass").getBoolValue());
    EXPECT_EQ(toggle->getFrameFor(true, true), 3);
    EXPECT_EQ(toggle->getFrameFor(false, false), 2);

    host.parameter("Bypass").setBoolValue(false, true);
    TestHelpers::pumpMessages();
    EXPECT_FALSE(toggle->getToggleState());
    EXPECT_EQ(toggle->getFrameFor(true, true), 1);
    toggle->setEnabled(false);
    EXPECT_EQ(toggle->getFrameFor(true, true), 0);
}

TEST_F(SkinControlTests, MultiStateButtonFramesAndClickFallThrough)
{
    host.builtIn["m.png"] = SkinTest::makeStripPng(20, 160, 8);
    auto panel = loadPanel(R"(
        <MultiStateButton name="m" style="3D" states="4"><gfx resource="m.png"/>
            <actions><action type="onClick" event="Click"/><action type="onClickWithShift" event="Shift Click"/></actions>
        </MultiStateButton>
        <MultiStateButton name="few" states="1"/>)");
    auto* button = find<GFXMultiStateButton>(*panel, "m");
    EXPECT_EQ(button->getFramesNum(), 8);
    button->setState(2);
    EXPECT_EQ(button->getFrameFor(true, true), 5);
    EXPECT_EQ(button->getFrameFor(true, false), 4);
    button->setState(9);
    EXPECT_EQ(button->getState(), 3);
    EXPECT_EQ(find<GFXMultiStateButton>(*panel, "few")->getNumStates(), 2);

    RecordingListener record;
    panel->addListener(&record);
    const auto left = juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier);
    for (const auto& mods : { left.withFlags(juce::ModifierKeys::commandModifier),
                              left.withFlags(juce::ModifierKeys::shiftModifier),
                              juce::ModifierKeys(juce::ModifierKeys::rightButtonModifier) })
    {
        mouseDown(*button, { 5, 5 }, mods);
        mouseUp(*button, { 5, 5 });
    }
    EXPECT_EQ(record.log, juce::StringArray({ "event 30", "event 33", "event 30" }));
}

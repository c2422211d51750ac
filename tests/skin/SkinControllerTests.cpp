#include "SkinTestSupport.h"
#include "skin/GFXAnimation.h"
#include "skin/GFXKnob.h"
#include "skin/GFXMultiStateButton.h"
#include "skin/GFXRocker.h"

using SkinControllerTests = SkinFixture;

TEST_F(SkinControllerTests, LinksConnectTheLastExactConnectedToLinkOnly)
{
    auto panel = loadPanel(R"(
        <Knob name="k"><links>
            <link as="connectedTo" param="Gain"/>
            <link as="connectedTo" param="Mix"/>
            <link as="connectedto" param="Level"/>
            <link as="connectedTo" param="No Such Parameter"/>
        </links></Knob>)");
    auto* knob = find<GFXKnob>(*panel, "k");
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(knob->getParameter(), &host.parameter("Mix"));

    // Only the connected parameter refreshes the knob.
    host.parameter("Gain").setValue(0.9f, true);
    host.parameter("Mix").setValue(0.25f, true);
    TestHelpers::pumpMessages();
    EXPECT_DOUBLE_EQ(knob->getValue(), 0.25);
}

TEST_F(SkinControllerTests, ActionsBindKnownEventsWithTheirDisplayText)
{
    struct RecordingButton : GFXMultiStateButton
    {
        using GFXMultiStateButton::GFXMultiStateButton;
        void bindAction(const juce::String& type, int uid, const juce::String& text) override
        {
            bound.add(type + "/" + juce::String(uid) + "/" + text);
        }
        juce::StringArray bound;
    } button("b");

    const auto xml = juce::parseXML(R"(<MultiStateButton><actions>
        <action type="onClick" event="Toggle Midi Learn"/>
        <action type="onClick" event="Not An Event"/>
        <action type="" event="Click"/>
        </actions></MultiStateButton>)");
    SkinPackageLoader loader(host, {});
    button.loadFromSkin(*xml, loader);
    EXPECT_EQ(button.bound, juce::StringArray("onClick/1010/Toggle midi learn"));
}

TEST_F(SkinControllerTests, ListenersHearNewestFirstAndOnlyOnce)
{
    juce::StringArray order;
    struct Named : GUIController::Listener
    {
        Named(juce::StringArray& o, const char* n) : log(o), name(n) {}
        void controllerEventTriggered(GUIController*, int) override { log.add(name); }
        juce::StringArray& log;
        juce::String name;
    } a(order, "A"), b(order, "B");

    auto panel = loadPanel(R"(<Rocker name="r" type="horizontal"><size width="40" height="10"/>
        <actions><action type="onMoreClick" event="More"/></actions></Rocker>)");
    panel->addListener(&a);
    panel->addListener(&b);
    panel->addListener(&a);
    panel->addListener(nullptr);
    mouseDown(*find<GFXRocker>(*panel, "r"), { 30, 5 });
    EXPECT_EQ(order, juce::StringArray({ "B", "A" }));
}

TEST_F(SkinControllerTests, ImageStripsAreCutIntoEqualFrames)
{
    host.builtIn["strip.png"] = SkinTest::makeStripPng(40, 300, 5);
    host.builtIn["odd.png"] = SkinTest::makeStripPng(40, 300, 7);
    auto panel = loadPanel(R"(
        <Animation name="five"><gfx resource="strip.png" framesNum="5"/><size width="99" height="99"/></Animation>
        <Animation name="zero"><gfx resource="strip.png" framesNum="0"/></Animation>
        <Animation name="negative"><gfx resource="strip.png" framesNum="-3"/></Animation>
        <Animation name="tooMany"><gfx resource="strip.png" framesNum="100000"/></Animation>
        <Animation name="odd"><gfx resource="odd.png" framesNum="7"/></Animation>
        <Animation name="missing"><gfx resource="nothing.png" framesNum="4"/><size width="30" height="20"/></Animation>
        <Animation name="huge"><size width="99999999" height="-5"/><pos left="-99999999999" top="7"/></Animation>)",
                           R"(<size width="100" height="100"/>)");

    struct Expected
    {
        const char* name;
        int frames, width, height;
    };
    const Expected table[] = {
        { "five", 5, 40, 60 },      { "zero", 1, 40, 300 },    { "negative", 1, 40, 300 },
        { "tooMany", 300, 40, 1 },  { "odd", 7, 40, 42 },      { "missing", 4, 30, 20 },
        { "huge", 1, 8192, 0 },
    };
    for (const auto& row : table)
    {
        auto* a = find<GFXAnimation>(*panel, row.name);
        ASSERT_NE(a, nullptr) << row.name;
        EXPECT_EQ(a->getFramesNum(), row.frames) << row.name;
        EXPECT_EQ(a->getBounds().getWidth(), row.width) << row.name;
        EXPECT_EQ(a->getBounds().getHeight(), row.height) << row.name;
    }
    EXPECT_EQ(find<GFXAnimation>(*panel, "huge")->getPosition(), juce::Point<int>(-16384, 7));
    EXPECT_FALSE(find<GFXAnimation>(*panel, "missing")->hasImageStrip());

    // Every control still draws, with or without its pictures.
    EXPECT_TRUE(panel->createComponentSnapshot(panel->getLocalBounds()).isValid());
}

TEST_F(SkinControllerTests, SizeAndPositionHooksRunOnlyOnChange)
{
    struct Counting : GFXAnimation
    {
        using GFXAnimation::GFXAnimation;
        void frameSizeChanged() override { ++sizes; GFXAnimation::frameSizeChanged(); }
        void positionChanged() override { ++positions; GFXAnimation::positionChanged(); }
        int sizes = 0, positions = 0;
    } animation("a");

    const auto xml = juce::parseXML(R"(<Animation><size width="12" height="8"/><pos left="0" top="0"/></Animation>)");
    SkinPackageLoader loader(host, {});
    animation.loadFromSkin(*xml, loader);
    EXPECT_EQ(animation.sizes, 1);
    EXPECT_EQ(animation.positions, 0);
    EXPECT_EQ(animation.getBounds(), juce::Rectangle<int>(0, 0, 12, 8));
}

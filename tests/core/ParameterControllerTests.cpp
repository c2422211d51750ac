#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "core/FloatParameter.h"
#include "core/ParameterController.h"
#include "core/ParameterPadlockRange.h"
#include <vector>

namespace
{
class RecordingController : public ParameterController
{
public:
    void updateFromParameter(Parameter* p) override { shown.push_back(p->getValue()); }
    std::vector<float> shown;
};

class GestureListener : public Parameter::Listener
{
public:
    void parameterChanged(Parameter*) override { ++changes; }
    void parameterChangeGestureBegin(Parameter*) override { events += "b"; }
    void parameterChangeGestureEnd(Parameter*) override { events += "e"; }
    int changes = 0;
    std::string events;
};

class PadlockRecorder : public ParameterPadlock::Listener
{
public:
    void padlockChanged(ParameterPadlock* p) override { states.push_back(p->isLocked()); }
    std::vector<bool> states;
};
} // namespace

TEST(ParameterController, BindsOnceShowsValuesAndWritesWithNotification)
{
    FloatParameter a(1, "A", 0.0f, 10.0f, 2.0f);
    FloatParameter b(2, "B", 0.0f, 10.0f, 3.0f);
    GestureListener listener;
    a.addListener(&listener);

    RecordingController unbound;
    unbound.setParameterValue(5.0f);
    unbound.setParameterIntValue(5);
    unbound.setParameterBoolValue(true);
    unbound.beginParameterChange();
    EXPECT_EQ(unbound.getParameter(), nullptr);

    {
        RecordingController controller;
        controller.setParameter(&a);
        controller.setParameter(&b);
        EXPECT_EQ(controller.getParameter(), &a);
        EXPECT_EQ(controller.shown, (std::vector<float> { 2.0f }));

        controller.beginParameterChange();
        controller.setParameterValue(4.5f);
        controller.endParameterChange();
        EXPECT_EQ(a.getValue(), 4.5f);
        EXPECT_EQ(listener.changes, 1);
        EXPECT_EQ(listener.events, "be");
        controller.setParameterIntValue(7);
        EXPECT_EQ(a.getValue(), 7.0f);
        controller.setParameterBoolValue(false);
        EXPECT_EQ(a.getValue(), 0.0f);

        TestHelpers::pumpMessages();
        // Folded into one asynchronous call that reads the final value.
        ASSERT_EQ(controller.shown.size(), 2u);
        EXPECT_EQ(controller.shown.back(), 0.0f);

        b.setValue(9.0f, true);
        TestHelpers::pumpMessages();
        EXPECT_EQ(controller.shown.size(), 2u);
    }
    // The controller detached itself: a later change calls no destroyed controller.
    a.setValue(1.0f, true);
    TestHelpers::pumpMessages();
    EXPECT_TRUE(unbound.shown.empty());
}

TEST(ParameterPadlockRange, CoversTheRangeGivenInEitherOrder)
{
    struct Case { int a, b; bool single; int first, last; };
    const Case cases[] = {
        { 46, 0, false, 0, 46 },
        { 0, 46, false, 0, 46 },
        { -5, 3, false, 0, 3 },
        { 89, 0, true, 89, 89 },
        { -1, 0, true, 0, 0 },
    };
    for (const auto& c : cases)
    {
        ParameterPadlockRange padlock;
        if (c.single)
            padlock.setIndex(c.a);
        else
            padlock.setRange(c.a, c.b);
        EXPECT_EQ(padlock.getFirst(), c.first);
        EXPECT_EQ(padlock.getLast(), c.last);
        EXPECT_TRUE(padlock.covers(c.first));
        EXPECT_TRUE(padlock.covers(c.last));
        EXPECT_FALSE(padlock.covers(c.last + 1));
        EXPECT_FALSE(padlock.covers(c.first - 1));
    }

    ParameterPadlockRange fresh;
    EXPECT_FALSE(fresh.covers(0));
    FloatParameter p(5, "P", 0.0f, 1.0f, 0.0f);
    fresh.setRange(0, 10);
    EXPECT_TRUE(fresh.covers(&p));
    EXPECT_FALSE(fresh.covers(static_cast<const Parameter*>(nullptr)));
}

TEST(ParameterPadlock, LocksOnlyWhileOnAndTellsListenersOnTheMessageThread)
{
    ParameterPadlockRange padlock;
    padlock.setRange(1000, 1046);
    PadlockRecorder recorder;
    padlock.addListener(&recorder);

    EXPECT_FALSE(padlock.isLocked());
    EXPECT_FALSE(padlock.isParameterLocked(1000));

    padlock.toggle();
    EXPECT_TRUE(padlock.isLocked());
    EXPECT_TRUE(padlock.isParameterLocked(1046));
    EXPECT_FALSE(padlock.isParameterLocked(1047));
    EXPECT_TRUE(recorder.states.empty());
    TestHelpers::pumpMessages();
    EXPECT_EQ(recorder.states, (std::vector<bool> { true }));

    padlock.toggle();
    padlock.toggle();
    padlock.toggle();
    TestHelpers::pumpMessages();
    ASSERT_GE(recorder.states.size(), 2u);
    EXPECT_FALSE(recorder.states.back());
    EXPECT_FALSE(padlock.isParameterLocked(1000));
    padlock.removeListener(&recorder);
}

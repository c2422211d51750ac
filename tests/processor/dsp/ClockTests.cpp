#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "processor/dsp/Clock.h"

#include <cmath>
#include <limits>
#include <vector>

namespace
{
std::vector<int> edgesOver (Clock& c, int numSamples)
{
    std::vector<int> edges;
    for (int i = 0; i < numSamples; ++i)
        if (c.process())
            edges.push_back (i);
    return edges;
}

struct CountingListener : Clock::Listener
{
    int running = 0, edges = 0;
    void clockRunningChanged (Clock*) override { ++running; }
    void clockEdge (Clock*) override { ++edges; }
};
} // namespace

TEST (Clock, FreshStartGivesAnEdgeOnTheFirstSample)
{
    Clock c;
    c.setTempo (120.0);
    c.start (0.0);
    EXPECT_TRUE (c.process());
    EXPECT_TRUE (c.isRestart());
    EXPECT_TRUE (c.isInFirstState());
    EXPECT_FALSE (c.process());
    EXPECT_FALSE (c.isRestart() && c.hadEdge());
}

TEST (Clock, EdgesFallOnTheBeatGrid)
{
    struct Case { double sr, bpm, rate, ppq; std::vector<int> expected; };
    const Case cases[] = {
        // rate 4, width 0.5: a state change every eighth of a beat.
        { 48000.0, 120.0, 4.0, 0.0, { 0, 3000, 6000, 9000, 12000 } },
        { 44100.0, 120.0, 4.0, 0.0, { 0, 2757, 5513, 8269, 11025 } },
        // Started in the middle of a first half: the grid of the host, not of the start.
        { 48000.0, 120.0, 4.0, 1.0625, { 0, 1500, 4500, 7500, 10500 } },
        { 48000.0, 60.0, 1.0, 0.0, { 0, 24000 } },
    };
    for (const auto& cs : cases)
    {
        Clock c;
        c.setSampleRate (cs.sr);
        c.setTempo (cs.bpm);
        c.setRate (cs.rate);
        c.start (cs.ppq);
        const auto edges = edgesOver (c, cs.expected.back() + 1);
        EXPECT_EQ (edges, cs.expected) << cs.sr << " " << cs.bpm << " " << cs.rate << " " << cs.ppq;
    }
}

TEST (Clock, StatesAlternate)
{
    Clock c;
    c.setSampleRate (48000.0);
    c.setTempo (120.0);
    c.start (0.0);
    int expectedState = 0;
    for (int i = 0; i < 20000; ++i)
    {
        if (c.process())
        {
            EXPECT_EQ (c.isInFirstState(), expectedState == 0) << i;
            EXPECT_EQ (c.isInSecondState(), expectedState == 1) << i;
            expectedState ^= 1;
        }
    }
}

TEST (Clock, StartWhileRunningNeitherMovesNorNotifies)
{
    Clock c;
    CountingListener l;
    c.addListener (&l);
    c.setTempo (120.0);
    c.start (2.0);
    TestHelpers::pumpMessages();
    EXPECT_EQ (l.running, 1);
    const double before = c.getPosition();
    c.start (7.0);
    TestHelpers::pumpMessages();
    EXPECT_EQ (c.getPosition(), before);
    EXPECT_EQ (l.running, 1);

    c.process();
    TestHelpers::pumpMessages();
    EXPECT_EQ (l.edges, 1);
    c.stop();
    TestHelpers::pumpMessages();
    EXPECT_EQ (l.running, 2);
    EXPECT_FALSE (c.process());
    c.removeListener (&l);
}

TEST (Clock, RetriggerRestartsTheCycle)
{
    Clock c;
    c.setSampleRate (48000.0);
    c.setTempo (120.0);
    c.start (0.0);
    edgesOver (c, 1000);
    c.retrigger();
    EXPECT_TRUE (c.process());
    EXPECT_TRUE (c.isRestart());
    EXPECT_EQ (edgesOver (c, 3000), std::vector<int> ({ 2999 }));
}

TEST (Clock, UnusableTempoStandsStill)
{
    const double tempos[] = { 0.0, -120.0, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(), 1.0e-300 };
    for (const double t : tempos)
    {
        Clock c;
        c.setSampleRate (48000.0);
        c.setTempo (t);
        c.start (0.0);
        const auto edges = edgesOver (c, 50000);
        EXPECT_LE (edges.size(), 1u) << t;
        EXPECT_TRUE (std::isfinite (c.getPosition())) << t;

        // A usable tempo brings it back.
        c.setTempo (120.0);
        EXPECT_GE (edgesOver (c, 7000).size(), 2u) << t;
    }
}

TEST (Clock, PhaseAndCycleHalf)
{
    Clock c;
    c.setTempo (120.0);
    c.setRate (1.0);
    c.start (0.25);
    EXPECT_NEAR (c.getPhase(), 0.25, 1e-12);
    EXPECT_TRUE (c.isNearerCycleStart());
    c.stop();
    c.start (0.75);
    EXPECT_FALSE (c.isNearerCycleStart());
}

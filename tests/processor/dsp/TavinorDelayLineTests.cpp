#include <gtest/gtest.h>

#include "processor/dsp/IntervalAverager.h"
#include "processor/dsp/TavinorDelayLine.h"

#include <cmath>
#include <limits>
#include <vector>

TEST(TavinorDelayLine, SyncedLengthsByRhythmicScale)
{
    struct Case { int code; float expected; };
    const Case cases[] = { { 0, 16537.5f }, { 1, 24806.25f }, { 2, 11025.0f } };
    for (const auto& c : cases)
    {
        TavinorDelayLine line;
        line.prepare(1024, 3, 44100.0f);
        line.setTempo(120.0);
        line.setSynced(true);
        line.setLeftNumerator(3);
        line.setLeftDenominator(16);
        line.setLeftNoteLengthMode(c.code);
        line.setRightNoteLengthMode(c.code);
        EXPECT_FLOAT_EQ(line.getLeftLength(), c.expected) << c.code;
        EXPECT_FLOAT_EQ(line.getRightLength(), c.expected) << c.code;
    }
}

TEST(TavinorDelayLine, FreeLinkedAndCappedLengths)
{
    TavinorDelayLine line;
    line.prepare(1024, 3, 44100.0f);
    EXPECT_FLOAT_EQ(line.getLeftLength(), 0.1f * 44068.0f);   // default free time 0.1

    line.setLeftFreeTime(1.0f);
    line.setRightFreeTime(0.25f);
    EXPECT_FLOAT_EQ(line.getLeftLength(), 44068.0f);
    EXPECT_FLOAT_EQ(line.getRightLength(), 0.25f * 44068.0f);
    line.setLinked(true);
    EXPECT_FLOAT_EQ(line.getRightLength(), 44068.0f);

    // Synced and linked: the right follows the left even with other settings.
    line.setSynced(true);
    line.setRightNumerator(1);
    line.setRightDenominator(4);
    EXPECT_FLOAT_EQ(line.getRightLength(), line.getLeftLength());
    line.setLinked(false);
    EXPECT_FLOAT_EQ(line.getRightLength(), 22050.0f);

    // 32/1 at 30 bpm is 64 s: capped one sample short of the 3 s maximum.
    line.setTempo(30.0);
    line.setLeftNumerator(32);
    line.setLeftDenominator(1);
    EXPECT_FLOAT_EQ(line.getLeftLength(), 3.0f * 44100.0f - 1.0f);

    // A synced pre-delay of numerator 0 is no delay at all.
    line.setLeftNumerator(0);
    EXPECT_FLOAT_EQ(line.getLeftLength(), 0.0f);
}

TEST(TavinorDelayLine, TempoChangesOnlyMatterWhileSynced)
{
    TavinorDelayLine line;
    line.setLeftFreeTime(0.5f);
    const float free = line.getLeftLength();
    line.setTempo(60.0);
    EXPECT_FLOAT_EQ(line.getLeftLength(), free);
    line.setSynced(true);
    EXPECT_FLOAT_EQ(line.getLeftLength(), 33075.0f);   // 3/16 at 60 bpm
}

TEST(TavinorDelayLine, BadTempoRateAndMaximumNeverGiveBadLengths)
{
    TavinorDelayLine line;
    line.prepare(1024, 3, 44100.0f);
    line.setSynced(true);
    const float before = line.getLeftLength();
    for (double bpm : { 0.0, -120.0, std::nan(""), std::numeric_limits<double>::infinity(), 1.0e-300 })
    {
        line.setTempo(bpm);
        EXPECT_TRUE(std::isfinite(line.getLeftLength())) << bpm;
        EXPECT_GE(line.getLeftLength(), 0.0f) << bpm;
        EXPECT_LT(line.getLeftLength(), (float) line.getMaxLength()) << bpm;
    }
    line.setTempo(120.0);
    EXPECT_FLOAT_EQ(line.getLeftLength(), before);

    // A rate that is not usable keeps the previous one.
    for (float rate : { 0.0f, -48000.0f, std::nanf("") })
    {
        EXPECT_TRUE(line.prepare(512, 3, rate));
        EXPECT_EQ(line.getContext().rate, 44100.0);
        EXPECT_EQ(line.getMaxLength(), 3 * 44100);
    }

    // A maximum below one second still leaves a one-second ring.
    line.prepare(512, 0, 48000.0f);
    EXPECT_EQ(line.getMaxLength(), 48000);
    line.prepare(512, -4, 48000.0f);
    EXPECT_EQ(line.getMaxLength(), 48000);

    // A maximum that does not fit the ring indices is refused.
    EXPECT_FALSE(line.prepare(512, 1000000, 192000.0f));
    EXPECT_EQ(line.getMaxLength(), 48000);

    // Very low rates: free lengths never go negative.
    line.setSynced(false);
    line.setLeftFreeTime(1.0f);
    line.prepare(512, 1, 20.0f);
    EXPECT_EQ(line.getLeftLength(), 0.0f);
    line.setRightFreeTime(std::nanf(""));
    EXPECT_EQ(line.getRightLength(), 0.0f);
}

namespace
{
// Ticks an averager, raising the trigger at the given tick numbers.
void runTaps(IntervalAverager& a, const std::vector<int>& tapTicks, int totalTicks)
{
    auto next = tapTicks.begin();
    for (int t = 0; t < totalTicks; ++t)
    {
        if (next != tapTicks.end() && *next == t)
        {
            a.raiseTrigger();
            ++next;
        }
        a.tick();
    }
}
} // namespace

TEST(IntervalAverager, MeanOfTheLastFourIntervals)
{
    struct Case { std::vector<int> taps; int ticks; float expected; bool fresh; };
    const Case cases[] = {
        { { 0 }, 100, 0.0f, false },                            // one tap only starts the count
        { { 0, 22050 }, 22100, 0.5f, true },                    // one interval of half a second
        { { 0, 1000, 2500, 4500, 7000 }, 7001, 1750.0f / 44100.0f, true },   // 1000, 1500, 2000, 2500
        // Five intervals: the first falls out (1500, 2000, 2500, 3000).
        { { 0, 1000, 2500, 4500, 7000, 10000 }, 10001, 2250.0f / 44100.0f, true },
    };
    for (const auto& c : cases)
    {
        IntervalAverager a;
        a.reset(44100.0f);
        runTaps(a, c.taps, c.ticks);
        EXPECT_EQ(a.takeNewValue(false), c.fresh);
        EXPECT_NEAR(a.getAverage(), c.expected, 1e-6f);
    }
}

TEST(IntervalAverager, PauseEndsTheSeriesButKeepsTheUntakenResult)
{
    IntervalAverager a;
    a.reset(1000.0f);
    runTaps(a, { 0, 100 }, 101);
    EXPECT_NEAR(a.getAverage(), 0.1f, 1e-6f);

    // Two intervals of silence end the series; the result waits until taken.
    runTaps(a, {}, 300);
    EXPECT_FALSE(a.running);
    EXPECT_TRUE(a.takeNewValue(false));
    EXPECT_TRUE(a.takeNewValue(true));
    EXPECT_FALSE(a.takeNewValue(true));

    // The next tap starts a new series: no average until the one after.
    runTaps(a, { 0 }, 50);
    EXPECT_FALSE(a.takeNewValue(false));
    runTaps(a, { 0 }, 1);
    EXPECT_TRUE(a.takeNewValue(true));
    EXPECT_NEAR(a.getAverage(), 0.05f, 1e-6f);

    // reset clears everything, including a raised trigger.
    a.raiseTrigger();
    a.reset(48000.0f);
    a.tick();
    EXPECT_FALSE(a.running);
    EXPECT_EQ(a.scale, 48000.0f);
}

TEST(IntervalAverager, ABlockAtOnceCountsAsItsTicksOneByOne)
{
    // Taps land between blocks, as the engine's owner raises them; blocks of
    // every length, including those that end a series on their first, middle
    // or last tick.
    const int blocks[] = { 1, 64, 37, 512, 7, 200, 999, 3, 2048, 150, 151, 149, 1, 5000 };
    const std::vector<std::vector<bool>> tapBefore = {
        { true, false, true, false, false, true, false, false, false, true, true, false, false, false },
        { true, true, false, true, false, false, true, false, true, false, false, true, true, false },
        { false, true, false, false, true, true, true, true, false, false, true, false, false, true },
    };
    for (const auto& taps : tapBefore)
    {
        IntervalAverager bulk, single;
        bulk.reset(1000.0f);
        single.reset(1000.0f);
        for (size_t b = 0; b < std::size(blocks); ++b)
        {
            if (taps[b])
            {
                bulk.raiseTrigger();
                single.raiseTrigger();
            }
            bulk.advance(blocks[b]);
            for (int t = 0; t < blocks[b]; ++t)
                single.tick();
            ASSERT_EQ(bulk.counter, single.counter) << "block " << b;
            ASSERT_EQ(bulk.running, single.running) << "block " << b;
            ASSERT_EQ(bulk.intervalCount, single.intervalCount) << "block " << b;
            ASSERT_EQ(bulk.average, single.average) << "block " << b;
            ASSERT_EQ(bulk.takeNewValue(true), single.takeNewValue(true)) << "block " << b;
        }
    }
}

TEST(IntervalAverager, PrepareResetsTheLineAveragers)
{
    TavinorDelayLine line;
    line.getLeftAverager().raiseTrigger();
    line.getLeftAverager().tick();
    EXPECT_TRUE(line.getLeftAverager().running);
    line.prepare(256, 3, 96000.0f);
    EXPECT_FALSE(line.getLeftAverager().running);
    EXPECT_EQ(line.getLeftAverager().scale, 96000.0f);
    EXPECT_EQ(line.getRightAverager().scale, 96000.0f);
}

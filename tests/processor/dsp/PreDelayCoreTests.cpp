#include <gtest/gtest.h>

#include "processor/dsp/PreDelayCore.h"

#include <cmath>
#include <limits>
#include <vector>

namespace
{
struct Out
{
    std::vector<float> left, right;
};

Out run(PreDelayCore& core, std::vector<float> left, std::vector<float> right, bool inPlace = true)
{
    Out out { std::vector<float>(left.size()), std::vector<float>(right.size()) };
    for (size_t start = 0; start < left.size(); start += 256)
    {
        const int n = (int) std::min((size_t) 256, left.size() - start);
        if (inPlace)
            core.process(left.data() + start, right.data() + start, left.data() + start, right.data() + start, n);
        else
            core.process(left.data() + start, right.data() + start, out.left.data() + start,
                         out.right.data() + start, n);
    }
    if (inPlace)
        return { left, right };
    return out;
}

std::vector<float> ramp(size_t n)
{
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = (float) (i + 1);
    return v;
}

// Lets the smoothed lengths settle on the current lengths.
void settle(PreDelayCore& core)
{
    run(core, std::vector<float>(20000, 0.0f), std::vector<float>(20000, 0.0f));
}
} // namespace

TEST(PreDelayCore, WholeSampleDelayInPlaceOrNot)
{
    for (bool inPlace : { true, false })
    {
        PreDelayCore core;
        core.prepare(512, 3, 44100.0f);
        core.setLeftFreeTime(0.01f);    // 440.68 samples: reads 440 back
        core.setRightFreeTime(0.02f);   // 881.36: 881 back
        settle(core);
        const auto out = run(core, ramp(2000), ramp(2000), inPlace);
        EXPECT_EQ(out.left[439], 0.0f);
        EXPECT_EQ(out.left[440], 1.0f);
        EXPECT_EQ(out.left[1999], 1560.0f);
        EXPECT_EQ(out.right[880], 0.0f);
        EXPECT_EQ(out.right[881], 1.0f);
    }
}

TEST(PreDelayCore, ZeroLengthPassesTheInputThrough)
{
    PreDelayCore core;
    core.setSynced(true);
    core.setLeftNumerator(0);
    core.setRightNumerator(0);
    core.setLinked(false);
    settle(core);
    const auto in = ramp(500);
    const auto out = run(core, in, in);
    EXPECT_EQ(out.left, in);
    EXPECT_EQ(out.right, in);
}

TEST(PreDelayCore, GlideTowardsZeroComesToRestOnZero)
{
    // Back from a length to 0 the glide lands on exactly 0 and stays there
    // block after block (it no longer cycles just below 0), and the input
    // comes through unchanged but for what the rings refuse: not finite is
    // 0, beyond the input limit is held at the limit.
    PreDelayCore core;
    core.setLeftFreeTime(0.01f);
    core.setRightFreeTime(0.02f);
    settle(core);
    core.setLeftFreeTime(0.0f);
    core.setRightFreeTime(0.0f);
    for (int i = 0; i < 5; ++i)
        settle(core);
    for (int round = 0; round < 3; ++round)
    {
        run(core, std::vector<float>(333, 0.0f), std::vector<float>(333, 0.0f));
        ASSERT_EQ(core.getSmoothedLeftLength(), 0.0f);
        ASSERT_EQ(core.getSmoothedRightLength(), 0.0f);
        ASSERT_FALSE(std::signbit(core.getSmoothedLeftLength()));
    }
    std::vector<float> in = ramp(64);
    in[5] = std::numeric_limits<float>::quiet_NaN();
    in[6] = -std::numeric_limits<float>::infinity();
    in[7] = 3.0e4f;
    in[8] = -5.0e4f;
    in[9] = -0.0f;
    const auto out = run(core, in, in, false);
    for (size_t i = 0; i < in.size(); ++i)
    {
        const float expected = i == 5 || i == 6 ? 0.0f : i == 7 ? 1.0e4f : i == 8 ? -1.0e4f : in[i];
        ASSERT_EQ(out.left[i], expected) << i;
        ASSERT_EQ(out.right[i], expected) << i;
    }
    EXPECT_TRUE(std::signbit(out.left[9]));
}

TEST(PreDelayCore, NewTimeGlides)
{
    PreDelayCore core;
    core.setLeftFreeTime(0.0f);
    core.setRightFreeTime(0.0f);
    settle(core);
    core.setLeftFreeTime(0.5f);
    const float target = core.getLeftLength();
    run(core, std::vector<float>(500, 0.0f), std::vector<float>(500, 0.0f));
    // With k = 1 the smoothed length covers 1 - 0.998^500 of the step.
    EXPECT_NEAR(core.getSmoothedLeftLength() / target, 1.0 - std::pow(0.998, 500.0), 1e-3);
    EXPECT_NEAR(core.getSmoothedLeftLength() / target, 0.63, 0.01);
    EXPECT_NEAR(core.getSmoothedRightLength(), 0.0f, 1e-6f);
}

TEST(PreDelayCore, ClearEmptiesTheRingsButKeepsTheGlide)
{
    PreDelayCore core;
    core.setLeftFreeTime(0.01f);
    core.setRightFreeTime(0.01f);
    settle(core);
    run(core, std::vector<float>(1000, 1.0f), std::vector<float>(1000, 1.0f));
    const float smoothed = core.getSmoothedLeftLength();
    core.clear();
    EXPECT_EQ(core.getSmoothedLeftLength(), smoothed);
    const auto out = run(core, std::vector<float>(440, 0.0f), std::vector<float>(440, 0.0f));
    for (float x : out.left)
        ASSERT_EQ(x, 0.0f);
}

TEST(PreDelayCore, BadInputAndRatesStaySafe)
{
    PreDelayCore core;
    core.setLeftFreeTime(1.0f);
    core.setRightFreeTime(1.0f);

    // A one-second maximum at a tiny rate, and a maximum below one second.
    for (int seconds : { 0, 1 })
        for (float rate : { 40.0f, 8000.0f, 0.0f, -1.0f })
        {
            core.prepare(64, seconds, rate);
            std::vector<float> in(3000, 0.25f);
            in[10] = std::numeric_limits<float>::quiet_NaN();
            in[11] = std::numeric_limits<float>::infinity();
            const auto out = run(core, in, in);
            for (float x : out.left)
                ASSERT_TRUE(std::isfinite(x)) << seconds << " " << rate;
        }

    // A maximum that cannot be had keeps the previous rings working.
    core.prepare(64, 1, 1000.0f);
    EXPECT_FALSE(core.prepare(64, 2000000, 192000.0f));
    EXPECT_EQ(core.getMaxLength(), 1000);
    const auto out = run(core, ramp(3000), ramp(3000));
    EXPECT_TRUE(std::isfinite(out.left.back()));
}

TEST(PreDelayCore, GlideEndsExactlyOnTheSetTime)
{
    // 0.7 s at 192 kHz is 134377.6 samples: reached from either side, the read
    // is 134377 samples back on both channels.
    PreDelayCore core;
    core.prepare(512, 3, 192000.0f);
    core.setLeftFreeTime(0.1f);
    core.setRightFreeTime(1.0f);
    run(core, std::vector<float>(200000, 0.0f), std::vector<float>(200000, 0.0f));
    core.setLeftFreeTime(0.7f);
    core.setRightFreeTime(0.7f);
    run(core, std::vector<float>(3000000, 0.0f), std::vector<float>(3000000, 0.0f));
    EXPECT_NEAR(core.getSmoothedLeftLength(), core.getLeftLength(), 0.02f);
    EXPECT_NEAR(core.getSmoothedRightLength(), core.getLeftLength(), 0.02f);

    std::vector<float> in(140000, 0.0f);
    in[0] = 1.0f;
    const auto out = run(core, in, in);
    EXPECT_EQ(out.left[134377], 1.0f);
    EXPECT_EQ(out.right[134377], 1.0f);
}

TEST(PreDelayCore, SyncedWholeSampleLengthsAreReadExactly)
{
    // At 120 bpm a whole note lasts two seconds. The glide comes from below
    // (from 0) and must end on the length itself, not a sample short of it.
    struct Case { double rate; int numerator; int denominator; int code; int expected; };
    const Case cases[] = {
        { 48000.0, 1, 16, 0, 6000 },    // 1/16
        { 48000.0, 1, 8, 0, 12000 },    // 1/8
        { 48000.0, 1, 8, 2, 8000 },     // 1/8 triplet
        { 48000.0, 3, 16, 0, 18000 },   // 3/16
        { 48000.0, 1, 4, 1, 36000 },    // dotted 1/4
        { 96000.0, 1, 16, 2, 8000 },    // 1/16 triplet
        { 44100.0, 1, 16, 0, 5512 },    // 5512.5, truncated
    };
    for (const auto& c : cases)
    {
        PreDelayCore core;
        core.prepare(512, 3, (float) c.rate);
        core.setTempo(120.0);
        core.setSynced(true);
        core.setLinked(true);
        core.setLeftNumerator(c.numerator);
        core.setLeftDenominator(c.denominator);
        core.setLeftNoteLengthMode(c.code);
        run(core, std::vector<float>((size_t) c.rate * 3, 0.0f), std::vector<float>((size_t) c.rate * 3, 0.0f));

        std::vector<float> in((size_t) c.expected + 10, 0.0f);
        in[0] = 1.0f;
        const auto out = run(core, in, in);
        EXPECT_EQ(out.left[(size_t) c.expected], 1.0f) << c.numerator << "/" << c.denominator << " code " << c.code;
        EXPECT_EQ(out.right[(size_t) c.expected], 1.0f) << c.numerator << "/" << c.denominator << " code " << c.code;
    }
}

TEST(PreDelayCore, SharedGlidesGiveWhatEachGlideGivesAlone)
{
    // Three pre-delays sharing what a block's glide came to, against three
    // alone, block by block: two at rest alike at length 0 (the glide that
    // never settles there), one gliding towards a new length while the
    // others rest, then all three set alike mid-way, blocks of any length.
    PreDelayCore::GlideMemo memo;
    PreDelayCore shared[3], alone[3];
    for (int k = 0; k < 3; ++k)
    {
        shared[k].prepare(512, 3, 48000.0f);
        alone[k].prepare(512, 3, 48000.0f);
        shared[k].shareGlides(&memo);
    }
    const std::vector<float> input = ramp(512);
    std::vector<float> a(512), b(512), c(512), d(512);
    const int blocks[] = { 512, 64, 333, 1, 480, 97 };
    for (int round = 0; round < 120; ++round)
    {
        if (round == 10)
            for (PreDelayCore* core : { &shared[2], &alone[2] })
                core->setLeftFreeTime(0.3f);
        if (round == 60)
            for (int k = 0; k < 3; ++k)
                for (PreDelayCore* core : { &shared[k], &alone[k] })
                {
                    core->setLeftFreeTime(0.05f);
                    core->setRightFreeTime(0.05f);
                }
        const int n = blocks[round % 6];
        for (int k = 0; k < 3; ++k)
        {
            shared[k].process(input.data(), input.data(), a.data(), b.data(), n);
            alone[k].process(input.data(), input.data(), c.data(), d.data(), n);
            for (int i = 0; i < n; ++i)
            {
                ASSERT_EQ(a[(size_t) i], c[(size_t) i]) << round << " " << k << " " << i;
                ASSERT_EQ(b[(size_t) i], d[(size_t) i]) << round << " " << k << " " << i;
            }
            ASSERT_EQ(shared[k].getSmoothedLeftLength(), alone[k].getSmoothedLeftLength()) << round << " " << k;
            ASSERT_EQ(shared[k].getSmoothedRightLength(), alone[k].getSmoothedRightLength()) << round << " " << k;
        }
    }
}

TEST(PreDelayCore, ReadingAheadThenWritingBehindIsProcessWhereTheReadsReachBeforeTheBlock)
{
    // Two pre-delays, one processed, one in halves wherever readAhead allows
    // it, through a glide from 30 ms down to 1 ms: the same output and rings
    // throughout; readAhead declines (and changes nothing) once a read would
    // reach into its block.
    PreDelayCore whole, halves;
    for (PreDelayCore* core : { &whole, &halves })
    {
        core->prepare(512, 1, 48000.0f);
        core->setLinked(true);
        core->setLeftFreeTime(0.03f);
        core->updateLengths();
    }
    const int block = 200;
    std::vector<float> inL(block), inR(block), outWhole[2] = { std::vector<float>(block), std::vector<float>(block) },
                                               outHalves[2] = { std::vector<float>(block), std::vector<float>(block) };
    int ahead = 0, declined = 0;
    for (int b = 0; b < 100; ++b)
    {
        if (b == 20)
            for (PreDelayCore* core : { &whole, &halves })
            {
                core->setLeftFreeTime(0.001f);
                core->updateLengths();
            }
        for (int i = 0; i < block; ++i)
        {
            inL[(size_t) i] = (float) (b * block + i + 1);
            inR[(size_t) i] = -(float) (b * block + i + 1);
        }
        whole.process(inL.data(), inR.data(), outWhole[0].data(), outWhole[1].data(), block);
        if (halves.readAhead(outHalves[0].data(), outHalves[1].data(), block))
        {
            halves.writeBehind(inL.data(), inR.data(), block);
            ++ahead;
        }
        else
        {
            halves.process(inL.data(), inR.data(), outHalves[0].data(), outHalves[1].data(), block);
            ++declined;
        }
        ASSERT_EQ(outWhole[0], outHalves[0]) << "block " << b;
        ASSERT_EQ(outWhole[1], outHalves[1]) << "block " << b;
        EXPECT_EQ(whole.getSmoothedLeftLength(), halves.getSmoothedLeftLength());
    }
    EXPECT_GT(ahead, 20);
    EXPECT_GT(declined, 20);
}

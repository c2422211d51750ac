#include "processor/dsp/LookAheadLimiter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
constexpr double kTwoPi = 6.283185307179586;

float peakOf(const std::vector<float>& x, size_t from, size_t to)
{
    float peak = 0.0f;
    for (size_t i = from; i < std::min(to, x.size()); ++i)
        peak = std::max(peak, std::fabs(x[i]));
    return peak;
}
} // namespace

TEST(LookAheadLimiterTests, LookAheadAndAverageLengthFollowTheRate)
{
    struct Case { double rate; int lookAhead; int halfLength; };
    const Case cases[] = {
        { 44100.0, 146, 10 }, { 48000.0, 159, 9 }, { 96000.0, 318, 4 }, { 192000.0, 637, 2 },
        { 22050.0, 73, 18 }, { 32000.0, 106, 13 }, { 8000.0, 26, 6 },
        // Beyond the reach of the audio ring and the history ring: held at their limits.
        { 384000.0, 959, 1 }, { 1000.0, 3, 1 }, { 1000000.0, 959, 1 },
    };
    LookAheadLimiter limiter;
    for (const auto& c : cases)
    {
        limiter.prepare(c.rate);
        EXPECT_EQ(limiter.getLookAheadSamples(), c.lookAhead) << c.rate;
        EXPECT_EQ(limiter.getAverageHalfLength(), c.halfLength) << c.rate;
    }
}

TEST(LookAheadLimiterTests, QuietImpulseComesOutAfterTheLookAhead)
{
    for (double rate : { 44100.0, 192000.0, 384000.0 })
    {
        LookAheadLimiter limiter;
        limiter.prepare(rate);
        limiter.setThresholdControl(1.0f); // 0 dB threshold, no make-up
        limiter.setOutputGain(1.0f);
        std::vector<float> l(2048, 0.0f), r(2048, 0.0f);
        l[10] = 0.25f;
        r[10] = -0.125f;
        limiter.process(l.data(), r.data(), (int) l.size());
        const int d = limiter.getLookAheadSamples();
        EXPECT_NEAR(l[(size_t) (10 + d)], 0.25f, 0.25f * 0.002f) << rate;
        EXPECT_NEAR(r[(size_t) (10 + d)], -0.125f, 0.125f * 0.002f) << rate;
        l[(size_t) (10 + d)] = 0.0f;
        r[(size_t) (10 + d)] = 0.0f;
        EXPECT_LT(peakOf(l, 0, l.size()), 1e-6f) << rate;
        EXPECT_LT(peakOf(r, 0, r.size()), 1e-6f) << rate;
    }
}

TEST(LookAheadLimiterTests, SilenceGivesOutputGainTimesMakeUp)
{
    LookAheadLimiter limiter;
    limiter.setThresholdControl(0.5f); // -12 dB threshold, +12 dB make-up
    EXPECT_FLOAT_EQ(limiter.getThresholdDb(), -12.0f);
    EXPECT_NEAR(limiter.getMakeupGain(), std::pow(10.0, 12.0 / 20.0), 1e-5);
    limiter.setOutputGain(2.0f);
    // A tiny steady signal far below the threshold is only amplified.
    std::vector<float> l(4096, 1e-4f), r(4096, 1e-4f);
    limiter.process(l.data(), r.data(), (int) l.size());
    EXPECT_NEAR(l.back(), 1e-4 * 2.0 * std::pow(10.0, 12.0 / 20.0), 1e-7);
}

TEST(LookAheadLimiterTests, LoudSignalsAreHeldAtTheCeiling)
{
    // The threshold's make-up gain brings the limited level back to 0 dBFS, so the
    // ceiling is the output gain, whatever the threshold.
    struct Case { float threshold; float outputGain; double amplitude; double rate; };
    const Case cases[] = {
        { 0.5f, 1.0f, 2.0, 44100.0 }, { 0.0f, 1.0f, 1.0, 44100.0 }, { 1.0f, 1.0f, 4.0, 96000.0 },
        { 0.75f, 0.5f, 8.0, 192000.0 }, { 0.5f, 1.0f, 2.0, 22050.0 }, { 0.5f, 1.0f, 2.0, 32000.0 }, { 0.5f, 1.0f, 2.0, 8000.0 },
    };
    for (const auto& c : cases)
    {
        LookAheadLimiter limiter;
        limiter.prepare(c.rate);
        limiter.setThresholdControl(c.threshold);
        limiter.setOutputGain(c.outputGain);
        const size_t n = (size_t) (c.rate * 2.0);
        std::vector<float> l(n), r(n);
        for (size_t i = 0; i < n; ++i)
        {
            l[i] = (float) (c.amplitude * std::sin(kTwoPi * 220.0 * (double) i / c.rate));
            r[i] = 0.5f * l[i];
        }
        limiter.process(l.data(), r.data(), (int) n);
        const float settled = peakOf(l, n / 2, n);
        const double ceilingDb = 20.0 * std::log10(settled / c.outputGain);
        EXPECT_NEAR(ceilingDb, 0.0, 0.3) << c.threshold << " " << c.rate;
        // Nothing overshoots the ceiling by more than a fraction of a decibel,
        // not even the onset.
        EXPECT_LT(20.0 * std::log10(peakOf(l, 0, n) / c.outputGain), 1.0) << c.threshold << " " << c.rate;
    }
}

TEST(LookAheadLimiterTests, ResetForgetsEarlierAudio)
{
    LookAheadLimiter limiter;
    limiter.setThresholdControl(1.0f);
    limiter.setOutputGain(1.0f);
    std::vector<float> l(100, 0.5f), r(100, 0.5f);
    limiter.process(l.data(), r.data(), 100);
    limiter.reset();
    std::vector<float> z(400, 0.0f), zr(400, 0.0f);
    limiter.process(z.data(), zr.data(), 400);
    EXPECT_EQ(peakOf(z, 0, z.size()), 0.0f);
    EXPECT_EQ(peakOf(zr, 0, zr.size()), 0.0f);
}

TEST(LookAheadLimiterTests, MonoFoldInPlaceOnOneArray)
{
    LookAheadLimiter limiter;
    limiter.setThresholdControl(1.0f);
    limiter.setOutputGain(1.0f);
    std::vector<float> x(400, 0.0f);
    x[0] = 0.2f;
    limiter.process(x.data(), x.data(), (int) x.size());
    EXPECT_NEAR(x[146], 0.2f, 0.001f);
}

TEST(LookAheadLimiterTests, AveragedReductionRisesSmoothlyWithARisingLevel)
{
    // A steadily rising level gives a steadily rising reduction; each average over
    // the history window must follow it without a jump when the ring wraps.
    for (double rate : { 44100.0, 22050.0, 96000.0 })
    {
        LookAheadLimiter limiter;
        limiter.prepare(rate);
        limiter.setThresholdControl(1.0f);
        limiter.setOutputGain(1.0f);
        float previous = 0.0f;
        for (int i = 0; i < 1000; ++i)
        {
            float l = 0.5f * std::pow(1.003f, (float) i);
            float r = 0.0f;
            limiter.process(&l, &r, 1);
            const float average = limiter.getLastAverage();
            ASSERT_GE(average, previous - 1e-4f) << rate << " at " << i;
            previous = average;
        }
        EXPECT_GT(previous, 10.0f);
    }
}

TEST(LookAheadLimiterTests, SoftKneeReductionOfSteadyLevels)
{
    // Reduction in dB for a steady level o dB over the threshold:
    // 2 tanh((o - 2) / 2) + 2 below 2 dB over, o itself from there on.
    auto knee = [](double o) { return o < 2.0 ? 2.0 * std::tanh((o - 2.0) * 0.5) + 2.0 : o; };
    struct Case { float thresholdControl; double levelDb; };
    const Case cases[] = { { 1.0f, -10.0 }, { 1.0f, -1.0 }, { 1.0f, 0.0 }, { 1.0f, 1.0 }, { 1.0f, 6.0 },
                           { 0.5f, -12.0 }, { 0.5f, -6.0 }, { 0.5f, 0.0 }, { 0.0f, -30.0 } };
    for (const auto& c : cases)
    {
        LookAheadLimiter limiter;
        limiter.setThresholdControl(c.thresholdControl);
        limiter.setOutputGain(1.0f);
        const float x = (float) std::pow(10.0, c.levelDb / 20.0);
        std::vector<float> l(44100, x), r(44100, -0.5f * x);
        limiter.process(l.data(), r.data(), (int) l.size());
        const double threshold = (1.0 - c.thresholdControl) * -24.0;
        const double expectedDb = c.levelDb - knee(c.levelDb - threshold) - threshold;
        EXPECT_NEAR(20.0 * std::log10(l.back()), expectedDb, 0.01) << c.thresholdControl << " " << c.levelDb;
        EXPECT_NEAR(r.back(), -0.5f * l.back(), 1e-6f);
    }
    // At the threshold itself the knee already takes about 0.48 dB.
    EXPECT_NEAR(knee(0.0), 0.4768, 1e-4);
}

TEST(LookAheadLimiterTests, ReleaseRecoversWithItsTimeConstant)
{
    // After 12 dB of reduction the level drops far below the threshold; the
    // reduction then falls by 1/e in 1 / (0.000444 k) samples (51 ms at 44.1 kHz).
    for (double rate : { 44100.0, 48000.0, 96000.0 })
    {
        LookAheadLimiter limiter;
        limiter.prepare(rate);
        limiter.setThresholdControl(1.0f);
        limiter.setOutputGain(1.0f);
        SampleRateContext context;
        context.set(rate);
        const double tau = -1.0 / std::log(1.0 - 0.000444 * (double) context.kF);
        const int loud = (int) rate;
        const int total = loud + (int) (6.0 * tau);
        std::vector<float> in((size_t) total), l, r;
        for (int i = 0; i < total; ++i)
            in[(size_t) i] = i < loud ? 3.981072f : 0.01f;  // +12 dB, then -40 dB
        l = in;
        r = in;
        limiter.process(l.data(), r.data(), total);
        const int d = limiter.getLookAheadSamples();
        // Reduction of the quiet audio as it leaves the limiter.
        int recovered = -1;
        for (int t = loud + d; t < total; ++t)
        {
            const double reduction = 20.0 * std::log10(in[(size_t) (t - d)] / l[(size_t) t]);
            if (reduction < 12.0 / std::exp(1.0))
            {
                recovered = t - loud;
                break;
            }
        }
        ASSERT_GT(recovered, 0) << rate;
        // The two averages put the reduction 128 positions late.
        EXPECT_NEAR((double) recovered, tau + 128.0, 0.02 * tau) << rate;
    }
}

TEST(LookAheadLimiterTests, FollowingKeepsTheStateThatProcessingWould)
{
    // One limiter processes a loud tone, the other only follows it: the
    // follower leaves the audio alone, and from then on both give the same
    // output, look-ahead and gain reduction included.
    LookAheadLimiter processed, followed;
    for (auto* limiter : { &processed, &followed })
    {
        limiter->setThresholdControl(0.5f);
        limiter->setOutputGain(1.0f);
    }
    std::vector<float> l(6000), r(6000);
    for (size_t i = 0; i < l.size(); ++i)
    {
        l[i] = (float) (1.5 * std::sin(kTwoPi * 300.0 * (double) i / 44100.0));
        r[i] = 0.5f * l[i];
    }
    auto pl = l, pr = r;
    processed.process(pl.data(), pr.data(), 4000);
    auto fl = l, fr = r;
    followed.follow(fl.data(), fr.data(), 4000);
    EXPECT_EQ(fl, l);
    EXPECT_EQ(fr, r);
    EXPECT_EQ(followed.getLastAverage(), processed.getLastAverage());

    processed.process(pl.data() + 4000, pr.data() + 4000, 2000);
    followed.process(fl.data() + 4000, fr.data() + 4000, 2000);
    for (size_t i = 4000; i < l.size(); ++i)
    {
        ASSERT_EQ(fl[i], pl[i]) << i;
        ASSERT_EQ(fr[i], pr[i]) << i;
    }
    EXPECT_GT(peakOf(fl, 4000, 6000), 0.5f);
}

#include "processor/dsp/LookAheadLimiter.h"
#include "processor/dsp/DspCommon.h"

#include "DelayEngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using P = DelayParameters;

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

namespace
{
enum class Material
{
    click,
    clickTrain,
    noiseBursts,
    sineSweep
};

// Material that the smoothed reduction alone lets through above the ceiling:
// a single click, clicks every 10 ms (one channel alone now and then), bursts
// of white noise from silence, and an exponential sine sweep up to 0.45 fs.
// The peak is amplitude; the length is `seconds` at the rate.
void makeMaterial(Material m, double rate, double seconds, double amplitude, std::vector<float>& l,
                  std::vector<float>& r)
{
    const size_t n = (size_t) (rate * seconds);
    l.assign(n, 0.0f);
    r.assign(n, 0.0f);
    uint32_t seed = 0x9e3779b9u;
    auto noise = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return (double) (int32_t) seed / 2147483648.0;
    };
    const double f0 = 20.0;
    const double f1 = 0.45 * rate;
    const double sweepRate = std::log(f1 / f0) / seconds;
    for (size_t i = 0; i < n; ++i)
    {
        const double t = (double) i / rate;
        switch (m)
        {
            case Material::click:
                if (i == n / 3)
                    l[i] = r[i] = (float) amplitude;
                break;
            case Material::clickTrain:
            {
                const size_t period = (size_t) (rate * 0.01);
                if (i % period == 0)
                {
                    const size_t k = i / period;
                    const float x = (float) ((k % 2 == 0) ? amplitude : -amplitude);
                    l[i] = x;
                    r[i] = (k % 5 == 3) ? 0.0f : 0.7f * x;
                }
                break;
            }
            case Material::noiseBursts:
                if (std::fmod(t, 0.25) > 0.15)
                {
                    l[i] = (float) (amplitude * noise());
                    r[i] = (float) (amplitude * noise());
                }
                break;
            case Material::sineSweep:
                l[i] = (float) (amplitude * std::sin(kTwoPi * f0 * (std::exp(sweepRate * t) - 1.0) / sweepRate));
                r[i] = -l[i];
                break;
        }
    }
}

float stereoPeak(const std::vector<float>& l, const std::vector<float>& r)
{
    return std::max(peakOf(l, 0, l.size()), peakOf(r, 0, r.size()));
}

void processInBlocks(LookAheadLimiter& limiter, std::vector<float>& l, std::vector<float>& r, int block)
{
    for (size_t done = 0; done < l.size(); done += (size_t) block)
        limiter.process(l.data() + done, r.data() + done, (int) std::min((size_t) block, l.size() - done));
}
} // namespace

TEST(LookAheadLimiterTests, NoSampleLeavesAboveTheCeiling)
{
    // The ceiling is the output gain (the make-up gain brings the threshold
    // back to 0 dBFS). Every material, at every rate and in blocks of any
    // length, driven from 6 to 40 dB over the threshold; 8 and 384 kHz
    // beyond the usual rates, where the look-ahead is shortest and where
    // the ring holds it back.
    const double rates[] = { 8000.0,  22050.0,  32000.0,  44100.0,  48000.0,
                             88200.0, 96000.0, 176400.0, 192000.0, 384000.0 };
    const int blocks[] = { 1, 17, 64, 333, 512, 2048 };
    const Material materials[] = { Material::click, Material::clickTrain, Material::noiseBursts, Material::sineSweep };
    struct Setting { float thresholdControl; float outputGain; double overDb; };
    const Setting settings[] = { { 0.5f, 1.0f, 12.0 }, { 1.0f, 0.5f, 24.0 }, { 0.0f, 4.0f, 6.0 },
                                 { 0.75f, 1.0f, 40.0 } };
    int run = 0;
    for (double rate : rates)
        for (int block : blocks)
            for (Material m : materials)
            {
                const Setting& s = settings[(size_t) (run++ % 4)];
                LookAheadLimiter limiter;
                limiter.prepare(rate);
                limiter.setThresholdControl(s.thresholdControl);
                limiter.setOutputGain(s.outputGain);
                const double amplitude = std::pow(10.0, ((double) limiter.getThresholdDb() + s.overDb) / 20.0);
                std::vector<float> l, r;
                makeMaterial(m, rate, 0.6, amplitude, l, r);
                processInBlocks(limiter, l, r, block);
                const double overDb = 20.0 * std::log10(stereoPeak(l, r) / s.outputGain);
                EXPECT_LE(overDb, 0.1) << "rate " << rate << ", block " << block << ", material " << (int) m;
            }
}

TEST(LookAheadLimiterTests, AClickIsMetByAGlideAcrossTheLookAhead)
{
    // A click 20 dB over a quiet bed: the gain leaves the bed alone until one
    // look-ahead before the click comes out, then glides down in even steps
    // to exactly the click's own limit, and back up after it; no step in the
    // gain, which would click itself.
    for (double rate : { 22050.0, 44100.0, 96000.0, 192000.0 })
    {
        LookAheadLimiter limiter;
        limiter.prepare(rate);
        limiter.setThresholdControl(1.0f);
        limiter.setOutputGain(1.0f);
        const int n = 6000;
        const int click = 2500;
        std::vector<float> l((size_t) n, 0.01f), r((size_t) n, -0.01f);
        l[(size_t) click] = 10.0f;
        const std::vector<float> in = l;
        limiter.process(l.data(), r.data(), n);
        const int d = limiter.getLookAheadSamples();
        auto gain = [&](int t) { return (double) l[(size_t) t] / (double) in[(size_t) (t - d)]; };

        const double limit = 0.1;
        const double step = (1.0 - limit) / (double) (d + 1);
        EXPECT_NEAR(gain(click - 1), 1.0, 1e-6) << rate;
        EXPECT_LE(gain(click + d), limit * (1.0 + 1e-6)) << rate;
        EXPECT_GT(gain(click + d), limit * 0.999) << rate;
        for (int t = click; t <= click + d; ++t)
            ASSERT_NEAR(gain(t - 1) - gain(t), step, step * 0.01) << rate << " at " << t - click - d;
        EXPECT_NEAR(r[(size_t) (click + d)], -0.01f * limit, 1e-6) << rate;
    }
}

TEST(LookAheadLimiterTests, HeldMaterialKeepsTheGainOfTheSmoothedReduction)
{
    // Where the smoothed reduction already holds the audio below the ceiling
    // (tones up to a decibel over the threshold, in the soft knee), the gain
    // is its gain alone: level, attack and release as they were.
    struct Case { double rate; double levelDb; double hz; };
    const Case cases[] = { { 44100.0, 0.0, 220.0 }, { 48000.0, -6.0, 1000.0 }, { 96000.0, -1.0, 80.0 },
                           { 22050.0, -3.0, 440.0 }, { 192000.0, 1.0, 100.0 } };
    for (const auto& c : cases)
    {
        LookAheadLimiter limiter;
        limiter.prepare(c.rate);
        limiter.setThresholdControl(0.5f);
        limiter.setOutputGain(0.8f);
        const int n = (int) c.rate;
        const int d = limiter.getLookAheadSamples();
        std::vector<float> in((size_t) n);
        const double amplitude = std::pow(10.0, (-12.0 + c.levelDb) / 20.0);
        for (int i = 0; i < n; ++i)
        {
            // Faded in over half a second, so that the smoothed reduction keeps up.
            const double fade = std::min(1.0, (double) i / (0.5 * c.rate));
            in[(size_t) i] = (float) (amplitude * fade * fade * std::sin(kTwoPi * c.hz * (double) i / c.rate));
        }
        double worst = 0.0;
        for (int i = 0; i < n; ++i)
        {
            float l = in[(size_t) i];
            float r = 0.5f * l;
            limiter.process(&l, &r, 1);
            if (i < d)
                continue;
            const double reduction = std::pow(10.0, -(double) limiter.getLastAverage() / 20.0);
            const double gain = reduction * 0.8 * limiter.getMakeupGain();
            const double expected = (double) in[(size_t) (i - d)] * gain;
            worst = std::max(worst, std::fabs((double) l - expected));
        }
        EXPECT_LT(worst, 1e-5) << c.rate << " " << c.levelDb;
    }
}

TEST(LookAheadLimiterTests, TheCeilingHoldsWhileTheSettingsMove)
{
    // The threshold turned down while loud audio plays (the make-up gain rises
    // by up to 24 dB while the smoothed reduction follows in its own time),
    // and the output gain turned up and down: the ceiling moves with the
    // output gain as it glides, and nothing leaves above it.
    for (double rate : { 44100.0, 96000.0, 192000.0 })
    {
        LookAheadLimiter limiter;
        limiter.prepare(rate);
        limiter.setThresholdControl(1.0f);
        limiter.setOutputGain(1.0f);
        std::vector<float> l, r;
        makeMaterial(Material::sineSweep, rate, 1.0, 0.9, l, r);
        const int block = 256;
        float ceiling = 1.0f;
        // Turned down, the output gain takes a while to arrive: within 0.1 s
        // (nine of its time constants) the ceiling is the higher of the two.
        float previousCeiling = 1.0f;
        const size_t glideBlocks = (size_t) (0.1 * rate / block);
        size_t sinceGainMoved = glideBlocks;
        double worstDb = -100.0;
        for (size_t done = 0, k = 0; done < l.size(); done += block, ++k, ++sinceGainMoved)
        {
            if (k % 40 == 10)
                limiter.setThresholdControl(k % 80 == 10 ? 0.0f : 1.0f);
            if (k % 30 == 20)
            {
                previousCeiling = ceiling;
                ceiling = ceiling == 1.0f ? 2.0f : 1.0f;
                limiter.setOutputGain(ceiling);
                sinceGainMoved = 0;
            }
            const float applied = sinceGainMoved < glideBlocks ? std::max(ceiling, previousCeiling) : ceiling;
            const int count = (int) std::min((size_t) block, l.size() - done);
            limiter.process(l.data() + done, r.data() + done, count);
            for (int i = 0; i < count; ++i)
                worstDb = std::max(worstDb, 20.0 * std::log10(std::max(std::fabs(l[done + (size_t) i]),
                                                                         std::fabs(r[done + (size_t) i])) / applied));
        }
        EXPECT_LE(worstDb, 0.1) << rate;
    }
}

TEST(LookAheadLimiterTests, SettingsMovedWhileAudioFlowsGlide)
{
    // A quiet steady level, far below the threshold, comes out at the output
    // gain times the make-up gain. The threshold turned from 0 to -12 dB and
    // the output gain from 1 to 2 while it plays: the level glides there, in
    // steps of a fraction of a percent, with no jump. Each sample keeps the
    // make-up gain it came in with, so the make-up's glide starts to show
    // exactly a look-ahead after the change; the output gain's at once.
    for (double rate : { 44100.0, 96000.0, 192000.0 })
    {
        LookAheadLimiter limiter;
        limiter.prepare(rate);
        limiter.setThresholdControl(1.0f);
        limiter.setOutputGain(1.0f);
        const float level = 0.01f;
        const size_t thresholdMoves = (size_t) (0.1 * rate), gainMoves = (size_t) (0.4 * rate);
        const size_t n = (size_t) (0.7 * rate);
        std::vector<float> l(n, level), r(n, -level);
        limiter.process(l.data(), r.data(), (int) thresholdMoves);
        limiter.setThresholdControl(0.5f);
        limiter.process(l.data() + thresholdMoves, r.data() + thresholdMoves, (int) (gainMoves - thresholdMoves));
        limiter.setOutputGain(2.0f);
        limiter.process(l.data() + gainMoves, r.data() + gainMoves, (int) (n - gainMoves));

        const size_t d = (size_t) limiter.getLookAheadSamples();
        for (size_t i = thresholdMoves; i < thresholdMoves + d; ++i)
            ASSERT_EQ(l[i], l[thresholdMoves - 1]) << rate << " at " << i;
        EXPECT_GT(l[thresholdMoves + d], l[thresholdMoves - 1]) << rate;
        EXPECT_GT(l[gainMoves], l[gainMoves - 1]) << rate;
        double largestStep = 0.0;
        for (size_t i = thresholdMoves; i < n; ++i)
            largestStep = std::max(largestStep, std::fabs((double) l[i] / (double) l[i - 1] - 1.0));
        EXPECT_LT(largestStep, 0.005) << rate;
        const double makeup = std::pow(10.0, 12.0 / 20.0);
        EXPECT_NEAR(l[gainMoves - 1], level * makeup, level * makeup * 1e-3) << rate;
        EXPECT_NEAR(l[n - 1], level * makeup * 2.0, level * makeup * 2e-3) << rate;
        EXPECT_NEAR(r[n - 1], -l[n - 1], 1e-7) << rate;
    }
}

TEST(LookAheadLimiterTests, SwitchedOnAfterFollowingTheCeilingHoldsAtOnce)
{
    // Following does not keep the ceiling's guard; switched on, the limiter
    // must still hold the clicks already in its look-ahead, at every rate
    // (at 192 kHz the ring holds less than two look-aheads), and give what it
    // would have given had it processed all along.
    for (double rate : { 44100.0, 96000.0, 192000.0 })
    {
        LookAheadLimiter processed, followed;
        for (auto* limiter : { &processed, &followed })
        {
            limiter->prepare(rate);
            limiter->setThresholdControl(0.5f);
            limiter->setOutputGain(1.0f);
        }
        std::vector<float> l, r;
        makeMaterial(Material::clickTrain, rate, 0.5, 4.0, l, r);
        const int d = processed.getLookAheadSamples();
        // Switched on with clicks a third and two thirds of a look-ahead back.
        const size_t period = (size_t) (rate * 0.01);
        const size_t switchOn = 20 * period + (size_t) (d / 3);
        std::vector<float> pl = l, pr = r;
        processed.process(pl.data(), pr.data(), (int) switchOn);
        followed.follow(l.data(), r.data(), (int) switchOn);
        std::vector<float> fl(l.begin() + (long) switchOn, l.end()), fr(r.begin() + (long) switchOn, r.end());
        followed.process(fl.data(), fr.data(), (int) fl.size());
        processed.process(pl.data() + switchOn, pr.data() + switchOn, (int) fl.size());
        EXPECT_LE(20.0 * std::log10(stereoPeak(fl, fr)), 0.1) << rate;
        // Up to 144 kHz the ring holds all the guard rests on.
        if (2 * d + 1 <= LookAheadLimiter::kAudioPositions)
            for (size_t i = 0; i < fl.size(); ++i)
                ASSERT_EQ(fl[i], pl[switchOn + i]) << rate << " at " << i;
    }
}

TEST(LookAheadLimiterTests, SwitchedOnInTheEngineWithTheOutputGainUp)
{
    // The engine's output gain glides from +12 dB down to 0 dB while the
    // limiter applies the +12 dB at once, so for a moment the audio in the
    // look-ahead carries it twice; the limiter's ceiling (the output gain)
    // holds all the same. Dry signal only: loud noise and clicks.
    for (double rate : { 44100.0, 96000.0 })
    {
        DelayEngine e;
        e.prepare(128, rate);
        EngineTest::configureMaster(e, P::kRoutingParallel, 0.0f, 1.0f);
        e.setGlobalParameter(P::kLimiterThreshold, 0.5f);
        const float ceiling = e.getOutputGainTarget();
        ASSERT_NEAR(ceiling, 4.0f, 1e-6f);
        std::vector<float> l, r;
        makeMaterial(Material::noiseBursts, rate, 0.6, 1.0, l, r);
        std::vector<float> clicks, unused;
        makeMaterial(Material::clickTrain, rate, 0.6, 4.0, clicks, unused);
        for (size_t i = 0; i < l.size(); ++i)
            l[i] += clicks[i];
        const size_t switchOn = l.size() / 2;
        std::vector<float> before(l.begin(), l.begin() + (long) switchOn);
        std::vector<float> beforeR(r.begin(), r.begin() + (long) switchOn);
        EngineTest::run(e, before, beforeR, 128);
        e.setGlobalParameter(P::kLimiter, 1.0f);
        std::vector<float> after(l.begin() + (long) switchOn, l.end()), afterR(r.begin() + (long) switchOn, r.end());
        EngineTest::run(e, after, afterR, 128);
        EXPECT_LE(20.0 * std::log10(stereoPeak(after, afterR) / ceiling), 0.1) << rate;
    }
}

TEST(LookAheadLimiterTests, Avx2AndSse2GiveTheSameSamples)
{
    // The knee runs with AVX2 where the processor has it, else with SSE2: the
    // same operations, so the same output and state to the last bit, loud,
    // in the knee and far below it, following and processing, at a steady
    // threshold and at a gliding one.
    if (! DspCommon::processorHasAvx2())
        GTEST_SKIP() << "This processor cannot run AVX2 code: both limiters would take the SSE2 form.";
    for (double rate : { 44100.0, 192000.0 })
    {
        LookAheadLimiter fast, plain(false);
        std::vector<float> l, r;
        makeMaterial(Material::noiseBursts, rate, 0.5, 3.0, l, r);
        for (size_t i = 0; i < l.size(); ++i)
        {
            const float scale = (i / 997) % 3 == 0 ? 1.0f : (i / 997) % 3 == 1 ? 0.05f : 1e-4f;
            l[i] *= scale;
            r[i] *= scale;
        }
        auto fl = l, fr = r, pl = l, pr = r;
        for (auto* limiter : { &fast, &plain })
        {
            limiter->prepare(rate);
            limiter->setThresholdControl(0.4f);
            limiter->setOutputGain(1.0f);
        }
        const size_t half = l.size() / 2;
        fast.follow(fl.data(), fr.data(), (int) half);
        plain.follow(pl.data(), pr.data(), (int) half);
        EXPECT_EQ(fast.getLastAverage(), plain.getLastAverage()) << rate;
        // And while the threshold glides to another.
        fast.setThresholdControl(0.8f);
        plain.setThresholdControl(0.8f);
        fast.process(fl.data() + half, fr.data() + half, (int) (l.size() - half));
        plain.process(pl.data() + half, pr.data() + half, (int) (l.size() - half));
        EXPECT_EQ(fl, pl) << rate;
        EXPECT_EQ(fr, pr) << rate;
    }
}

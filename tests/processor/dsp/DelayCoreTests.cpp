#include <gtest/gtest.h>

#include "DspTestRig.h"
#include "processor/dsp/DelayParameters.h"
#include "processor/dsp/PreDelayCore.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <tuple>

using namespace DspTestRig;
using P = DelayParameters;


namespace
{
double kernelLatency(int mode)
{
    return mode >= 2 ? DspTables::getKernelLatency(tables().getKernel32(), DspTables::kTaps32)
                     : DspTables::getKernelLatency(tables().getKernel16(), DspTables::kTaps16);
}

void setSyncedLength(DelayCore& core, int numerator, int denominator, int code)
{
    core.setTempo(120.0);
    core.setSynced(true);
    core.setLeftNumerator(numerator);
    core.setLeftDenominator(denominator);
    core.setLeftNoteLengthMode(code);
    core.setLinked(true);
}
} // namespace

TEST(DelayCore, EchoArrivesAtTheDelayPlusTheKernelLatency)
{
    struct Case { int mode; double step; int code; double length; };
    const Case cases[] = {
        { P::kNearestPhase16, 512.0, P::kNoteFull, 16537.5 },
        { P::kInterpolated16, 128.0, P::kNoteFull, 16537.5 },
        { P::kStretched32, 64.0, P::kNoteFull, 16537.5 },
        { P::kNearestPhase16, 512.0, P::kNoteDotted, 24806.25 },
        { P::kStretched32, 16.0, P::kNoteDotted, 24806.25 },
        { P::kInterpolated16, 128.0, P::kNoteTriplet, 11025.0 },
    };
    for (const auto& c : cases)
    {
        auto core = makeCore();
        core->setInterpolation(c.mode, c.step);
        setSyncedLength(*core, 3, 16, c.code);
        core->clear();
        ASSERT_FLOAT_EQ(core->getLeftLength(), (float) c.length);

        const size_t n = (size_t) c.length + 200;
        const auto out = run(*core, impulse(n), impulse(n));
        const int d = (int) c.length;
        // Nothing before the echo, all of it but the read's loss around it.
        EXPECT_NEAR(sum(out.left, 1, d - 8), 0.0, 1e-9);
        EXPECT_NEAR(sum(out.left, d - 8, d + 40), readGain(c.mode), 1e-4) << c.mode;
        const double expected = 1.0 + c.length + kernelLatency(c.mode);
        EXPECT_NEAR(centroid(out.left, d - 8, d + 40), expected, 0.02) << c.mode << " " << c.length;
        EXPECT_NEAR(centroid(out.right, d - 8, d + 40), expected, 0.02) << c.mode << " " << c.length;
    }
}

TEST(DelayCore, FeedbackDecaysPerRepeatWithItsSign)
{
    // Each repeat is the loop gain times what the read passes; frozen, the
    // loop loses nothing and each repeat is exactly the loop gain.
    struct Case { float v; double loopGain; bool freeze; };
    const Case cases[] = {
        { 0.75f, 0.99 * 0.5, false }, { 0.25f, -0.99 * 0.5, false }, { 1.0f, 0.99, false },
        { 0.35f, -1.0, true },   // frozen with feedback -0.3: exactly -1
        { 0.5f, 1.0, true },     // frozen with feedback 0: +1
    };
    for (const auto& c : cases)
    {
        auto core = makeCore();
        core->setParameter(P::kFeedback, c.v);
        core->setFreeze(c.freeze);
        core->setLeftFreeTime(0.01f);
        core->setRightFreeTime(0.01f);
        core->prepare(512, 3, 44100.0f);

        const double period = 1.0 + core->getLeftLength() + kernelLatency(0);
        const auto out = run(*core, impulse(6000), impulse(6000));
        double previous = 0.0;
        for (int k = 1; k <= 8; ++k)
        {
            const int centre = (int) std::lround(k * period);
            const double e = sum(out.left, centre - 30, centre + 40);
            if (k == 1)
                EXPECT_NEAR(e, readGain(0), 1e-4);
            else
                EXPECT_NEAR(e / previous, c.freeze ? c.loopGain : c.loopGain * readGain(0), 2e-4)
                    << c.v << " repeat " << k;
            previous = e;
        }
    }
}

TEST(DelayCore, FreezeHoldsWhatItHoldsAndStaysBoundedUnderInput)
{
    auto core = makeCore();
    core->setFeedback(0.4f);
    core->setLeftFreeTime(0.05f);
    core->setRightFreeTime(0.05f);
    const int period = (int) core->getLeftLength();

    // A 220.5 Hz tone fills the line, then freeze and silence.
    auto tone = sine((size_t) period, 0.005, 0.3f);
    run(*core, tone, tone);
    core->setFreeze(true);
    const size_t quiet = (size_t) period * 60;
    const auto out = run(*core, std::vector<float>(quiet, 0.0f), std::vector<float>(quiet, 0.0f));

    auto rms = [&](int from) {
        double s = 0.0;
        for (int i = from; i < from + period; ++i)
            s += out.left[(size_t) i] * out.left[(size_t) i];
        return std::sqrt(s / period);
    };
    const double early = rms(period * 8);   // once the loop gain has reached 1
    const double late = rms(period * 58);
    EXPECT_GT(early, 0.05);
    // Fifty passes later the loop holds its tone (the read's loss, 0.2 dB a
    // pass, no longer takes it away).
    EXPECT_NEAR(20.0 * std::log10(late / early), 0.0, 0.01);

    // Continuous input keeps being added while frozen, and the loop stays
    // bounded: at DC into a loop of the shortest time (input and loop alike,
    // the worst case) within a few times the input. (A frozen loop keeps its
    // length: freeze goes off and on again at the new time.)
    core->setFreeze(false);
    core->setLeftFreeTime(0.0f);
    core->setRightFreeTime(0.0f);
    run(*core, std::vector<float>((size_t) period, 0.0f), std::vector<float>((size_t) period, 0.0f));
    core->setFreeze(true);
    const size_t n = 200000;
    const auto loud = run(*core, std::vector<float>(n, 1.0f), std::vector<float>(n, -1.0f));
    for (size_t i = 0; i < n; ++i)
        ASSERT_TRUE(std::isfinite(loud.left[i]) && std::isfinite(loud.right[i])) << i;
    EXPECT_GT(loud.left.back(), 1.0f);
    EXPECT_LT(loud.left.back(), 10.0f);
    EXPECT_NEAR(loud.right.back(), -loud.left.back(), 1e-3f * loud.left.back());
    EXPECT_NEAR(loud.left.back(), loud.left[n - 10000], 1e-3f * loud.left.back());   // settled
}

// Frozen, the loop loses nothing and the input keeps being added: two minutes
// of -18 dBFS noise into short frozen lines must settle at every quality,
// instead of growing pass after pass.
class DelayCoreFrozenLoop : public ::testing::TestWithParam<std::tuple<double, int>>
{
};

INSTANTIATE_TEST_SUITE_P(RatesAndQualities, DelayCoreFrozenLoop,
                         ::testing::Combine(::testing::Values(48000.0, 96000.0), ::testing::Values(0, 1, 2, 3)),
                         [](const ::testing::TestParamInfo<std::tuple<double, int>>& info) {
                             return std::to_string((int) std::get<0>(info.param)) + "_quality"
                                    + std::to_string(std::get<1>(info.param));
                         });

TEST_P(DelayCoreFrozenLoop, NoiseIntoAFrozenLineSettles)
{
    const double rate = std::get<0>(GetParam());
    // The engine's quality choices: interpolation mode and smallest kernel step.
    struct Quality { int mode; double step; };
    const Quality qualities[] = { { P::kNearestPhase16, 512.0 }, { P::kInterpolated16, 128.0 },
                                  { P::kStretched32, 64.0 }, { P::kStretched32, 16.0 } };
    const Quality quality = qualities[std::get<1>(GetParam())];

    constexpr int kBlock = 512;
    constexpr int kWindows = 6;   // of 20 seconds each
    const double noiseAmplitude = std::pow(10.0, -18.0 / 20.0) * std::sqrt(3.0);   // uniform noise at -18 dBFS RMS
    const int windowLength = (int) rate * 20;

    for (double ms : { 1.0, 5.0, 50.0 })
    {
        auto core = makeCore(rate);
        core->setInterpolation(quality.mode, quality.step);
        core->setLeftFreeTime((float) (ms / 1000.0));
        core->setRightFreeTime((float) (ms / 1000.0));
        core->setFreeze(true);
        core->clear();

        juce::Random random(11);
        std::vector<float> l(kBlock), r(kBlock);
        double windowRms[kWindows] {};
        double energy = 0.0;
        float peak = 0.0f;
        for (int w = 0; w < kWindows; ++w)
        {
            energy = 0.0;
            for (int done = 0; done < windowLength; done += kBlock)
            {
                for (int i = 0; i < kBlock; ++i)
                {
                    l[(size_t) i] = (float) ((random.nextDouble() * 2.0 - 1.0) * noiseAmplitude);
                    r[(size_t) i] = (float) ((random.nextDouble() * 2.0 - 1.0) * noiseAmplitude);
                }
                core->process(l.data(), r.data(), l.data(), r.data(), kBlock);
                for (int i = 0; i < kBlock; ++i)
                {
                    ASSERT_TRUE(std::isfinite(l[(size_t) i]) && std::isfinite(r[(size_t) i])) << ms << " ms";
                    energy += (double) l[(size_t) i] * l[(size_t) i] + (double) r[(size_t) i] * r[(size_t) i];
                    peak = std::max({ peak, std::abs(l[(size_t) i]), std::abs(r[(size_t) i]) });
                }
            }
            windowRms[w] = 10.0 * std::log10(energy / (2.0 * windowLength));
        }
        // Level after one minute against the level of the last twenty seconds.
        EXPECT_NEAR(windowRms[kWindows - 1], windowRms[2], 0.5) << ms << " ms";
        EXPECT_LT(windowRms[kWindows - 1], -3.0) << ms << " ms";
        EXPECT_LT(peak, 4.0f) << ms << " ms";
    }
}

TEST(DelayCore, LevelBalanceOffsetAndStereoModes)
{
    struct Case
    {
        const char* name;
        int k;          // line parameter to set, 0 for none
        float v;
        float inL, inR;
        double outL, outR;
    };
    const Case cases[] = {
        { "plain", 0, 0.0f, 1.0f, 0.5f, 1.0, 0.5 },
        { "level 0", P::kLevel, 0.0f, 1.0f, 1.0f, 0.0, 0.0 },
        { "level 1", P::kLevel, 1.0f, 1.0f, 0.5f, 4.0, 2.0 },
        { "balance left", P::kBalance, 0.0f, 1.0f, 1.0f, 1.0, 0.0 },
        { "balance right", P::kBalance, 1.0f, 1.0f, 1.0f, 0.0, 1.0 },
        { "balance quarter", P::kBalance, 0.25f, 1.0f, 1.0f, 1.0, 0.5 },
        { "mono", P::kMono, 1.0f, 1.0f, 0.0f, 0.5, 0.5 },
        { "swap", P::kSwap, 1.0f, 1.0f, 0.0f, 0.0, 1.0 },
        { "swap right only", P::kSwap, 1.0f, 0.0f, 0.5f, 0.5, 0.0 },
        { "mid/side left", P::kMidSide, 1.0f, 1.0f, 0.0f, 1.0, 0.0 },
        { "mid/side right", P::kMidSide, 1.0f, 0.0f, 1.0f, 0.0, 1.0 },
    };
    for (const auto& c : cases)
    {
        auto core = makeCore();
        core->setLeftFreeTime(0.02f);
        core->setRightFreeTime(0.02f);
        if (c.k != 0)
            core->setParameter(c.k, c.v);
        core->prepare(512, 3, 44100.0f);
        const int d = (int) core->getLeftLength();
        const auto out = run(*core, impulse(2000, c.inL), impulse(2000, c.inR));
        EXPECT_NEAR(sum(out.left, d - 8, d + 40), c.outL * readGain(0), 1e-3) << c.name;
        EXPECT_NEAR(sum(out.right, d - 8, d + 40), c.outR * readGain(0), 1e-3) << c.name;
    }
}

TEST(DelayCore, StereoOffsetDelaysOneOutputByHalfTheLeftLength)
{
    struct Case { float v; int leftShift; int rightShift; };
    const Case cases[] = { { 0.5f, 0, 0 }, { 0.0f, 0, 881 }, { 1.0f, 881, 0 } };
    for (const auto& c : cases)
    {
        auto core = makeCore();
        core->setLeftFreeTime(0.04f);    // 1762.72 samples
        core->setRightFreeTime(0.04f);
        core->setStereoOffset(c.v);
        core->prepare(512, 3, 44100.0f);
        EXPECT_NEAR(core->getStereoOffsetSamples(), (c.v - 0.5f) * core->getLeftLength(), 1e-3);

        const double echo = 1.0 + core->getLeftLength() + kernelLatency(0);
        const auto out = run(*core, impulse(4000), impulse(4000));
        const int l = (int) echo + c.leftShift, r = (int) echo + c.rightShift;
        EXPECT_NEAR(centroid(out.left, l - 20, l + 40), echo + c.leftShift, 0.02) << c.v;
        EXPECT_NEAR(centroid(out.right, r - 20, r + 40), echo + c.rightShift, 0.02) << c.v;
    }
}

TEST(DelayCore, OversampledSectionIsTransparentWhenOpen)
{
    // Overdrive on at unity drive and a small level: the 4x section should
    // neither colour nor attenuate the audio band.
    const int n = 8820;   // 0.2 s: every test frequency has whole cycles
    for (double hz : { 100.0, 1000.0, 5000.0, 10000.0, 15000.0 })
    {
        double level[2] {};
        for (int drive = 0; drive < 2; ++drive)
        {
            auto core = makeCore();
            core->setLeftFreeTime(0.0f);
            core->setRightFreeTime(0.0f);
            core->setParameter(P::kOverdrive, drive == 1 ? 1.0f : 0.0f);
            core->setParameter(P::kPreamp, 0.0f);         // 0 dB
            core->setParameter(P::kColor, 0.5f);          // none
            core->setParameter(P::kOverdriveGain, 1.0f);  // unity

            core->prepare(512, 3, 44100.0f);
            const auto in = sine((size_t) (2 * n), hz / 44100.0, 0.01f);
            const auto out = run(*core, in, in);
            level[drive] = amplitude(out.left, hz / 44100.0, n, 2 * n);
        }
        const double db = 20.0 * std::log10(level[1] / level[0]);
        EXPECT_NEAR(db, 0.0, 0.5) << hz << " Hz";
    }
}

// Every filter type, before and after the drive and in the loop, at the
// extremes of cut-off and resonance: a low cut-off at four times a high rate
// puts the poles a hair inside the unit circle, a high one near Nyquist.
class DelayCoreFilterStability : public ::testing::TestWithParam<double>
{
};

INSTANTIATE_TEST_SUITE_P(Rates, DelayCoreFilterStability,
                         ::testing::Values(22050.0, 32000.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0),
                         [](const ::testing::TestParamInfo<double>& info) {
                             return std::to_string((int) info.param);
                         });

TEST_P(DelayCoreFilterStability, FiltersStayStableAtEveryCutoffAndResonance)
{
    const double rate = GetParam();
    struct Setting { float cutoff; float modulation; float resonance; };
    const Setting settings[] = { { 0.0f, 0.0f, 0.5f }, { 0.0f, 0.0f, 1.0f }, { 0.02f, 0.0f, 1.0f },
                                 { 0.04f, 0.0f, 0.5f }, { 0.04f, 0.0f, 1.0f }, { 1.0f, 1.0f, 1.0f } };

    juce::Random random(7);
    const size_t len = (size_t) (rate * 0.5);   // half a second of noise
    std::vector<float> noise(len);
    for (auto& x : noise)
        x = random.nextFloat() - 0.5f;

    for (const auto& s : settings)
        for (int type = 1; type <= 3; ++type)
            for (int placement = 0; placement < 2; ++placement)
            {
                auto core = makeCore(rate);
                core->setLeftFreeTime(0.01f);
                core->setRightFreeTime(0.01f);
                core->setFilterType(type);
                core->setFilterPlacement(placement);
                core->setFilterInLoop(true);
                core->setCutoff(s.cutoff);
                core->setResonance(s.resonance);
                core->setCutoffModDepth(s.modulation);
                core->setOverdriveOn(placement == 1);
                core->setPreamp(0.0f);
                core->setOverdriveGain(1.0f);
                core->setFeedback(0.5f);
                std::vector<float> fullModulation(512, 1.0f);
                core->setModulation(fullModulation.data(), fullModulation.data(), false);

                const auto out = run(*core, noise, noise);
                float peak = 0.0f;
                for (size_t i = 0; i < len; ++i)
                {
                    ASSERT_TRUE(std::isfinite(out.left[i])) << rate << " " << type << " " << i;
                    peak = std::max(peak, std::abs(out.left[i]));
                }
                EXPECT_LT(peak, 50.0f) << "cut-off " << s.cutoff << " resonance " << s.resonance << " type " << type
                                       << " placement " << placement;
                // A low cut-off still lets sound through to the end: a filter
                // that broke down goes silent (its coefficients, or the ring
                // guard after a run-away). Full cut-off at a low rate is held
                // just below Nyquist, where a band- or high-pass passes nothing.
                if (s.modulation == 0.0f)
                    EXPECT_GT(rmsOf(out.left, len / 2, len), 1e-3)
                        << "cut-off " << s.cutoff << " resonance " << s.resonance << " type " << type
                        << " placement " << placement;
            }
}

TEST(DelayCore, NonFiniteInputNeverReachesTheOutput)
{
    auto core = makeCore();
    core->setFeedback(0.9f);
    core->setFilterType(1);
    core->setCutoff(0.7f);
    core->setFilterInLoop(true);
    core->setOverdriveOn(true);
    core->setPreamp(0.25f);
    core->setOverdriveGain(1.0f);
    core->setLeftFreeTime(0.01f);
    core->setRightFreeTime(0.01f);

    auto in = sine(20000, 0.01, 0.5f);
    const float bad[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(), 1.0e30f, -1.0e38f };
    for (size_t i = 0; i < 200; ++i)
        in[1000 + i * 7] = bad[i % 5];
    const auto out = run(*core, in, in);
    for (size_t i = 0; i < in.size(); ++i)
    {
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << i;
        ASSERT_NE(std::fpclassify(out.left[i]), FP_SUBNORMAL) << i;
    }
    // Clean input afterwards gives the ordinary sound again.
    EXPECT_GT(amplitude(out.left, 0.01, 15000, 20000), 0.1);
}

TEST(DelayCore, OutOfRangeInputAndModulationSoundAsTheirCleanValues)
{
    // Non-finite input is taken as silence and loud input as the limit;
    // modulation below 0 (or NaN) as 0 and above 1 as 1: at every position
    // of a block of odd length, a line sounds bit for bit as on the cleaned
    // values.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float badInput[] = { nan, inf, -inf, 2.0e4f, -3.0e30f, -0.0f };
    const float cleanInput[] = { 0.0f, 0.0f, 0.0f, 1.0e4f, -1.0e4f, -0.0f };
    const float badModulation[] = { nan, -0.5f, 1.5f, inf, -inf, -0.0f };
    const float cleanModulation[] = { 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, -0.0f };
    const int block = 331;
    std::vector<float> modBad((size_t) block), modClean((size_t) block);
    for (int i = 0; i < block; ++i)
        modBad[(size_t) i] = modClean[(size_t) i] = 0.5f + 0.4f * (float) std::sin(0.05 * i);
    for (int i = 0; i < block; i += 5)
    {
        modBad[(size_t) i] = badModulation[(size_t) (i % 6)];
        modClean[(size_t) i] = cleanModulation[(size_t) (i % 6)];
    }
    auto bad = sine(8000, 0.01, 0.5f);
    auto clean = bad;
    for (size_t i = 500; i < 3000; i += 11)
    {
        bad[i] = badInput[i % 6];
        clean[i] = cleanInput[i % 6];
    }
    Stereo outs[2];
    for (int way = 0; way < 2; ++way)
    {
        auto core = makeCore();
        core->setModulation(way == 0 ? modBad.data() : modClean.data(), way == 0 ? modBad.data() : modClean.data(),
                            false);
        core->setParameter(P::kTremoloDepth, 0.8f);
        core->setLeftFreeTime(0.01f);
        core->setRightFreeTime(0.013f);
        core->updateLengths();
        outs[way] = way == 0 ? run(*core, bad, bad, block) : run(*core, clean, clean, block);
    }
    for (size_t i = 0; i < bad.size(); ++i)
    {
        ASSERT_EQ(outs[0].left[i], outs[1].left[i]) << i;
        ASSERT_EQ(outs[0].right[i], outs[1].right[i]) << i;
    }
    EXPECT_GT(amplitude(outs[0].left, 0.01, 4000, 8000), 0.05);
}

TEST(DelayCore, SilentLineGivesExactZeros)
{
    // Silence in is exact zeros out (no offset against denormals reaches the
    // output), through every part of a line: filter, drive, the filter in the
    // loop, feedback, mid/side, a stereo offset, a level above unity.
    struct Case
    {
        int filterType;
        bool drive;
        bool filterInLoop;
        bool midSide;
        float feedback;
        float level;
        float stereoOffset;
    };
    const Case cases[] = {
        { P::kFilterOff, false, false, false, 0.0f, 0.75f, 0.5f },
        { P::kFilterBandPass, true, false, false, 0.5f, 0.75f, 0.5f },
        { P::kFilterLowPass, false, true, false, 0.9f, 1.0f, 0.5f },
        { P::kFilterHighPass, true, true, true, -0.7f, 0.9f, 0.8f },
        { P::kFilterOff, false, false, true, 0.3f, 0.5f, 0.2f },

    };
    for (const auto& c : cases)
    {
        auto core = makeCore();
        core->setFilterType(c.filterType);
        core->setOverdriveOn(c.drive);
        core->setFilterInLoop(c.filterInLoop);
        core->setMidSide(c.midSide);
        core->setFeedback(c.feedback);
        core->setLevel(c.level);
        core->setStereoOffset(c.stereoOffset);
        const auto out = run(*core, std::vector<float>(4096, 0.0f), std::vector<float>(4096, 0.0f));
        for (size_t i = 0; i < out.left.size(); ++i)
        {
            ASSERT_EQ(out.left[i], 0.0f) << "type " << c.filterType << " drive " << c.drive << " at " << i;
            ASSERT_EQ(out.right[i], 0.0f) << "type " << c.filterType << " drive " << c.drive << " at " << i;
        }
    }
}

TEST(DelayCore, ClearStartsAtTheNewLengthWithoutGlide)
{
    for (bool smooth : { false, true })
    {
        auto core = makeCore();
        core->setModulation(nullptr, nullptr, smooth);
        core->setLeftFreeTime(0.1f);
        core->setRightFreeTime(0.1f);
        run(*core, std::vector<float>(5000, 0.0f), std::vector<float>(5000, 0.0f));

        // A preset changes the time and the engine clears the line.
        core->setLeftFreeTime(0.05f);
        core->setRightFreeTime(0.05f);
        core->clear();
        const double echo = 1.0 + core->getLeftLength() + kernelLatency(0);
        const auto out = run(*core, impulse(3000), impulse(3000));
        EXPECT_NEAR(centroid(out.left, (int) echo - 30, (int) echo + 40), echo, 0.02) << smooth;
        EXPECT_NEAR(sum(out.left, (int) echo - 30, (int) echo + 40), readGain(0), 1e-3) << smooth;
    }
}

TEST(DelayCore, OneShotSoundStillEchoesAfterSilence)
{
    // A single short sound followed by exact digital silence: the channel must
    // stay active until its echo has played.
    auto core = makeCore();
    core->setLeftFreeTime(0.5f);
    core->setRightFreeTime(0.5f);
    core->prepare(512, 3, 44100.0f);
    const int d = (int) core->getLeftLength();
    const auto out = run(*core, impulse((size_t) d + 100), impulse((size_t) d + 100));
    EXPECT_NEAR(sum(out.left, d - 8, d + 40), readGain(0), 1e-3);
}

TEST(DelayCore, FailedPreparationKeepsThePreviousRings)
{
    auto core = makeCore();
    core->setLeftFreeTime(0.02f);
    core->setRightFreeTime(0.02f);
    EXPECT_FALSE(core->prepare(512, 1000000, 192000.0f));
    EXPECT_EQ(core->getMaxLength(), 3 * 44100);
    EXPECT_EQ(core->getContext().rate, 44100.0);

    const int d = (int) core->getLeftLength();
    const auto out = run(*core, impulse(2000), impulse(2000));
    EXPECT_NEAR(sum(out.left, d - 8, d + 40), readGain(0), 1e-3);
}

TEST(DelayCore, SettersDecodeLineParameters)
{
    auto core = makeCore();
    core->setLeftFreeTime(0.25f);
    core->setParameter(P::kFeedback, 0.25f);
    EXPECT_FLOAT_EQ(core->getLoopGain(), -0.495f);
    core->setParameter(P::kFreeze, 0.5f);
    EXPECT_TRUE(core->isFrozen());
    core->setParameter(P::kModSource, 0.6f);
    EXPECT_EQ(core->getModulationSource(), 1);
    core->setParameter(P::kTimeModDepth, 0.5f);
    const double seconds = core->getLeftLength() / 44100.0;
    EXPECT_NEAR(core->getTimeModDepth(), std::pow(0.5, 10.0 * seconds + 1.0), 1e-6);
    EXPECT_NEAR(core->getLeftTimeMs(), core->getLeftLength() / 44.1 + 0.1, 1e-6);

    struct Rate { float rate; double trim; };
    for (const auto& r : { Rate { 48000.0f, 0.119 }, Rate { 96000.0f, 4.96 }, Rate { 50000.0f, 4.96 },
                           Rate { 192000.0f, 14.64 }, Rate { 44100.0f, 0.0 } })
    {
        core->prepare(512, 1, r.rate);
        EXPECT_DOUBLE_EQ(core->getReadTrim(), r.trim) << r.rate;
    }
}

TEST(DelayCore, BothStagesTickTheirTapAveragersOncePerSample)
{
    auto core = makeCore(48000.0);
    PreDelayCore pre;
    pre.prepare(512, 3, 48000.0f);

    std::vector<float> l(1200, 0.0f), r(1200, 0.0f);
    for (int tap = 0; tap < 3; ++tap)
    {
        core->getLeftAverager().raiseTrigger();
        pre.getRightAverager().raiseTrigger();
        // Split blocks: the tap interval spans several process calls.
        for (int start = 0; start < 1200; start += 300)
        {
            core->process(l.data() + start, r.data() + start, l.data() + start, r.data() + start, 300);
            pre.process(l.data() + start, r.data() + start, l.data() + start, r.data() + start, 300);
        }
    }
    EXPECT_TRUE(core->getLeftAverager().takeNewValue(true));
    EXPECT_FALSE(core->getRightAverager().takeNewValue(true));
    EXPECT_TRUE(pre.getRightAverager().takeNewValue(true));
    EXPECT_NEAR(core->getLeftAverager().getAverage() * 1000.0, 25.0, 1e-4);   // 1200 samples at 48 kHz
    EXPECT_NEAR(pre.getRightAverager().getAverage() * 1000.0, 25.0, 1e-4);
}

namespace
{
// Steady-state gain (dB) of a quiet sine through a core set up by configure,
// with no delay so the echo is the sine itself a few samples later; the read's
// own loss is taken out, so this is the gain of the rest of the line.
template <typename Configure>
double sineGainDb(double hz, Configure configure, float amplitudeValue = 0.001f)
{
    auto core = makeCore();
    core->setLeftFreeTime(0.0f);
    core->setRightFreeTime(0.0f);
    configure(*core);
    core->prepare(512, 3, 44100.0f);
    const int n = 44100;
    const auto in = sine((size_t) (2 * n), hz / 44100.0, amplitudeValue);
    const auto out = run(*core, in, in);
    return 20.0 * std::log10(amplitude(out.left, hz / 44100.0, n, 2 * n) / amplitudeValue / readGain(0));
}
} // namespace

TEST(DelayCore, FilterCutoffResonanceAndType)
{
    // Cut-off 0.5 is 59.59 semitones above 22 Hz: 689.3 Hz for the input filter
    // (0.83 of the range at four times the rate) and 697.9 Hz for the loop copy.
    const double fc = 689.3, loopFc = 697.9;
    struct Case { const char* name; float type; float resonance; double hz; bool inLoop; double db; };
    const Case cases[] = {
        { "low-pass at fc, Q 1", 1.0f / 3.0f, 0.0f, fc, false, 0.0 },
        { "low-pass an octave up", 1.0f / 3.0f, 0.0f, 2.0 * fc, false, -11.14 },
        { "low-pass at fc, Q 8", 1.0f / 3.0f, 1.0f, fc, false, 18.06 },
        { "band-pass at fc, Q 8", 2.0f / 3.0f, 1.0f, fc, false, 18.06 },
        { "band-pass an octave down, Q 1", 2.0f / 3.0f, 0.0f, 0.5 * fc, false, -5.11 },
        { "high-pass at fc, Q 1", 1.0f, 0.0f, fc, false, 0.0 },
        { "high-pass an octave down", 1.0f, 0.0f, 0.5 * fc, false, -11.14 },
        { "off", 0.0f, 1.0f, fc, true, 0.0 },
    };
    for (const auto& c : cases)
    {
        const double db = sineGainDb(c.hz, [&](DelayCore& core) {
            core.setParameter(P::kFilterType, c.type);
            core.setParameter(P::kCutoff, 0.5f);
            core.setParameter(P::kResonance, c.resonance);
            core.setParameter(P::kFilterInLoop, c.inLoop ? 1.0f : 0.0f);
        });
        EXPECT_NEAR(db, c.db, 0.15) << c.name;
    }

    // The loop copy (Q 0.6) adds its own low-pass to what the delay reads.
    auto withLoop = [&](bool inLoop) {
        return sineGainDb(loopFc, [&](DelayCore& core) {
            core.setParameter(P::kFilterType, P::choiceValue(P::kFilterLowPass, P::kNumFilterTypes));

            core.setParameter(P::kCutoff, 0.5f);
            core.setParameter(P::kFilterInLoop, inLoop ? 1.0f : 0.0f);
        });
    };
    EXPECT_NEAR(withLoop(true) - withLoop(false), 20.0 * std::log10(0.6), 0.1);
}

TEST(DelayCore, PreampOutputGainAndColour)
{
    struct Case { const char* name; float preamp, colour, gain; double hz; double db; };
    const Case cases[] = {
        { "unity", 0.0f, 0.5f, 1.0f, 1000.0, 0.0 },
        { "+12 dB into an output gain of 0.125", 0.25f, 0.5f, 0.0f, 1000.0, 12.0 - 18.06 },
        { "+48 dB", 1.0f, 0.5f, 1.0f, 1000.0, 20.0 * std::log10(std::tanh(251.19 * 0.0001) / 0.0001) },
        { "colour 2 at 2 kHz", 0.0f, 1.0f, 1.0f, 2000.0, 9.54 },
        { "colour 2 far below 2 kHz", 0.0f, 1.0f, 1.0f, 100.0, 0.04 },
        { "colour -1 at 2 kHz", 0.0f, 0.0f, 1.0f, 2000.0, -40.0 },
    };
    for (const auto& c : cases)
    {
        const double db = sineGainDb(c.hz, [&](DelayCore& core) {
            core.setParameter(P::kOverdrive, 1.0f);
            core.setParameter(P::kPreamp, c.preamp);
            core.setParameter(P::kColor, c.colour);
            core.setParameter(P::kOverdriveGain, c.gain);
        }, 0.0001f);
        if (c.db <= -40.0)
            EXPECT_LT(db, c.db) << c.name;
        else
            EXPECT_NEAR(db, c.db, 0.15) << c.name;
    }
}

TEST(DelayCore, TimeModulationShortensTheDelay)
{
    // Left length 0.1 s (4406.8 samples), depth control 0.5: depth 0.5^(10 * 0.0999 + 1)
    // = 0.2501, modulation held at 0.5.
    const double length = 0.1 * 44068.0;
    const double m = std::pow(0.5, 10.0 * length / 44100.0 + 1.0);
    const double x = 1428.0 * length / 44100.0;
    const double u = m * 0.5 * x;
    struct Case { bool scale; double delay; };
    const Case cases[] = {
        { false, length - m * 0.5 * length },                              // 3855.7
        { true, length - ((x + 1.0) * u) / ((u + 1.0) * x) * length },     // 204.6
    };
    std::vector<float> modulation(512, 0.5f);
    for (const auto& c : cases)
    {
        for (bool smooth : { false, true })
        {
            auto core = makeCore();
            core->setModulation(modulation.data(), modulation.data(), smooth);
            core->setParameter(P::kTimeModDepth, 0.5f);
            core->setParameter(P::kModScale, c.scale ? 1.0f : 0.0f);
            core->prepare(512, 3, 44100.0f);
            const double echo = 1.0 + c.delay + kernelLatency(0);
            const auto out = run(*core, impulse(5000), impulse(5000));
            EXPECT_NEAR(centroid(out.left, (int) echo - 30, (int) echo + 40), echo, 0.05) << c.scale << smooth;
            EXPECT_NEAR(centroid(out.right, (int) echo - 30, (int) echo + 40), echo, 0.05) << c.scale << smooth;
        }
    }
}

TEST(DelayCore, TremoloFollowsTheSmoothedModulation)
{
    struct Case { float depth; float modulation; double gain; };
    const Case cases[] = { { 1.0f, 0.25f, 0.25 }, { 0.5f, 0.25f, 0.625 }, { 0.0f, 0.0f, 1.0 }, { 1.0f, 1.0f, 1.0 } };
    for (const auto& c : cases)
    {
        std::vector<float> modulation(512, c.modulation);
        const double db = sineGainDb(1000.0, [&](DelayCore& core) {
            core.setModulation(modulation.data(), modulation.data(), false);
            core.setParameter(P::kTremoloDepth, c.depth);
        });
        EXPECT_NEAR(db, 20.0 * std::log10(c.gain), 0.05) << c.depth << " " << c.modulation;
    }
}

TEST(DelayCore, LineAtLevelZeroKeepsItsEchoesForWhenItComesUp)
{
    // A line at level 0 plays next to nothing (its level glides to rest a
    // hair above 0) and its meters show nothing, but its rings (and the
    // stereo offset's) go on as at any level: brought up, it plays what a
    // line held at a low level plays.
    std::vector<float> left(44100, 0.0f), right(44100, 0.0f);
    juce::Random random(7);
    for (size_t i = 0; i < 4000; ++i)
    {
        left[i] = random.nextFloat() - 0.5f;
        right[i] = random.nextFloat() - 0.5f;
    }
    std::unique_ptr<DelayCore> cores[2];
    for (int k = 0; k < 2; ++k)
    {
        cores[k] = makeCore();
        cores[k]->setLeftFreeTime(0.4f);
        cores[k]->setRightFreeTime(0.4f);
        cores[k]->setStereoOffset(0.25f);
        cores[k]->setFeedback(0.8f);
        cores[k]->setLevel(k == 0 ? 0.0f : 0.05f);
        cores[k]->prepare(512, 3, 44100.0f);
    }
    const auto silent = run(*cores[0], left, right);
    run(*cores[1], left, right);
    for (size_t i = 0; i < silent.left.size(); ++i)
    {
        ASSERT_LT(std::abs(silent.left[i]), 1.0e-15f) << i;
        ASSERT_LT(std::abs(silent.right[i]), 1.0e-15f) << i;
    }
    EXPECT_EQ(cores[0]->getLeftMeter(), 0.0f);
    EXPECT_EQ(cores[0]->getRightMeter(), 0.0f);

    // Both glide to the same level; once there they play the same echoes.
    std::vector<float> quiet(3 * 44100, 0.0f);
    Stereo outs[2];
    for (int k = 0; k < 2; ++k)
    {
        cores[k]->setLevel(0.75f);
        outs[k] = run(*cores[k], quiet, quiet);
    }
    double loudest = 0.0;
    for (size_t i = 44100; i < quiet.size(); ++i)
    {
        loudest = std::max(loudest, (double) std::abs(outs[1].left[i]));
        ASSERT_NEAR(outs[0].left[i], outs[1].left[i], 1e-6) << i;
        ASSERT_NEAR(outs[0].right[i], outs[1].right[i], 1e-6) << i;
    }
    EXPECT_GT(loudest, 1.0e-4);
}

TEST(DelayCore, LevelGlidesWithTheRateScaledCoefficient)
{
    // A level change glides with coefficient 0.001 k per sample: 63 percent of
    // the way after 1000 samples at 44.1 kHz; at 96 kHz k is 0.545.
    for (double rate : { 44100.0, 96000.0 })
    {
        auto core = makeCore(rate);
        core->setLeftFreeTime(0.0f);
        core->setRightFreeTime(0.0f);
        core->setLevel(0.0f);
        core->prepare(512, 3, (float) rate);
        core->setLevel(0.75f);
        const auto out = run(*core, std::vector<float>(6000, 0.5f), std::vector<float>(6000, 0.5f));
        const double c = 0.001 * core->getContext().k;
        for (int n : { 500, 1000, 3000 })
            EXPECT_NEAR(out.left[(size_t) n] / 0.5 / readGain(0), 1.0 - std::pow(1.0 - c, n + 1), 4e-3)
                << rate << " " << n;
    }
}

TEST(DelayCore, MetersShowTheSignedPeakInNineSteps)
{
    struct Case { float in; float display; };
    // A negative amplitude starts the tone downwards; the peak is the same.
    const Case cases[] = { { 0.9f, 0.75f }, { 0.6f, 0.625f }, { 1.2f, 0.875f }, { 1.5f, 1.0f },
                           { 0.1f, 0.0f }, { -0.3f, 0.375f } };
    for (const auto& c : cases)
    {
        auto core = makeCore();
        core->setLeftFreeTime(0.0f);
        core->setRightFreeTime(0.0f);
        // A 100 Hz tone: its peaks are the level (a step would overshoot in the read).
        run(*core, sine(2000, 100.0 / 44100.0, c.in), std::vector<float>(2000, 0.0f));
        EXPECT_EQ(core->getLeftMeter(), c.display) << c.in;
        EXPECT_EQ(core->getRightMeter(), 0.0f) << c.in;
    }

    // The meter holds the signed output, not its magnitude: negative DC shows nothing.
    auto core = makeCore();
    core->setLeftFreeTime(0.0f);
    core->setRightFreeTime(0.0f);
    run(*core, std::vector<float>(2000, -0.9f), std::vector<float>(2000, 0.0f));
    EXPECT_EQ(core->getLeftMeter(), 0.0f);
}

TEST(DelayCore, GlideEndsExactlyOnTheSetTime)
{
    // Whether the time was reached from above or from below, the echo lands on
    // the set length: both channels agree after different histories.
    for (double rate : { 44100.0, 192000.0 })
    {
        auto core = makeCore(rate);
        core->setLeftFreeTime(0.1f);
        core->setRightFreeTime(1.0f);
        core->prepare(512, 3, (float) rate);
        run(*core, std::vector<float>(100, 0.0f), std::vector<float>(100, 0.0f));
        core->setLeftFreeTime(0.7f);
        core->setRightFreeTime(0.7f);
        const size_t settle = (size_t) (rate * 12.0);
        run(*core, std::vector<float>(settle, 0.0f), std::vector<float>(settle, 0.0f));

        const double echo = 1.0 + core->getLeftLength() + core->getReadTrim() + kernelLatency(0);
        const int d = (int) echo;
        const auto out = run(*core, impulse((size_t) d + 200), impulse((size_t) d + 200));
        EXPECT_NEAR(centroid(out.left, d - 30, d + 40), echo, 0.05) << rate;
        EXPECT_NEAR(centroid(out.right, d - 30, d + 40), echo, 0.05) << rate;
    }
}

TEST(DelayCore, LinesTogetherSoundAsEachLineAlone)
{
    // Four lines, each different (filters of every type before and after
    // the drive or none, drive on and off, the loop filter, feedback, one
    // line frozen half way), under modulation that differs between the
    // channels, tremolo of a different depth on each line, and a preamp that
    // glides: processTogether gives bit for bit what each line's own
    // process() gives, through noise, a silence long enough for the lines to
    // rest, and noise again. Blocks of an odd length leave pieces of an odd
    // length.
    const double rate = 48000.0;
    const int total = (int) (3.5 * rate);
    const int block = 301;
    std::vector<float> modL((size_t) block), modR((size_t) block);
    std::unique_ptr<DelayCore> together[4], alone[4];
    for (int n = 0; n < 4; ++n)
        for (auto* core : { &together[n], &alone[n] })
        {
            *core = makeCore(rate, 1);
            DelayCore& c = **core;
            c.setModulation(modL.data(), modR.data(), n == 3);
            c.setParameter(P::kFilterType, P::choiceValue(n, P::kNumFilterTypes));       // off, low-, band-, high-pass
            c.setParameter(P::kFilterMode, P::choiceValue(n % 2, P::kNumFilterPlacements));  // before or after the drive
            c.setParameter(P::kFilterInLoop, n == 2 ? 0.0f : 1.0f);
            c.setParameter(P::kCutoff, 0.3f + 0.15f * (float) n);
            c.setParameter(P::kResonance, 0.3f * (float) n);
            c.setParameter(P::kOverdrive, n == 1 ? 0.0f : 1.0f);
            c.setParameter(P::kPreamp, 0.4f);
            c.setParameter(P::kColor, 0.7f);
            c.setParameter(P::kOverdriveGain, 0.5f);
            c.setParameter(P::kFeedback, 0.6f);  // 0.2
            c.setParameter(P::kTimeModDepth, 0.3f);
            c.setParameter(P::kCutoffModDepth, 0.6f);
            c.setParameter(P::kTremoloDepth, 0.15f * (float) n);
            c.setLeftFreeTime(0.02f + 0.01f * (float) n);
            c.setRightFreeTime(0.03f + 0.01f * (float) n);
            c.updateLengths();
        }
    std::vector<float> inL((size_t) total), inR((size_t) total);
    for (int i = 0; i < total; ++i)
    {
        const bool gap = i > (int) (0.5 * rate) && i < (int) (2.8 * rate);
        inL[(size_t) i] = gap ? 0.0f : (float) std::sin(0.37 * i) * 0.4f;
        inR[(size_t) i] = gap ? 0.0f : (float) std::sin(0.11 * i + 1.0) * 0.4f;
    }
    std::vector<float> outs[2][4][2];
    for (int n = 0; n < 4; ++n)
        for (int way = 0; way < 2; ++way)
            for (int c = 0; c < 2; ++c)
                outs[way][n][c] = c == 0 ? inL : inR;
    for (int start = 0; start < total; start += block)
    {
        const int count = std::min(block, total - start);
        for (int i = 0; i < count; ++i)
        {
            modL[(size_t) i] = (float) (0.5 + 0.5 * std::sin(2.0e-4 * (start + i)));
            modR[(size_t) i] = (float) (0.5 + 0.5 * std::cos(3.0e-4 * (start + i)));
        }
        if (start == total / 2 / block * block)
            for (int n = 0; n < 4; ++n)
            {
                together[n]->setParameter(P::kPreamp, 0.6f);
                alone[n]->setParameter(P::kPreamp, 0.6f);
                together[n]->setFreeze(n == 0);
                alone[n]->setFreeze(n == 0);
            }
        DelayCore* cores[4];
        float* lefts[4];
        float* rights[4];
        for (int n = 0; n < 4; ++n)
        {
            cores[n] = together[n].get();
            lefts[n] = outs[0][n][0].data() + start;
            rights[n] = outs[0][n][1].data() + start;
            alone[n]->process(outs[1][n][0].data() + start, outs[1][n][1].data() + start,
                              outs[1][n][0].data() + start, outs[1][n][1].data() + start, count);
        }
        DelayCore::processTogether(cores, 4, lefts, rights, count);
    }
    for (int n = 0; n < 4; ++n)
        for (int c = 0; c < 2; ++c)
        {
            int firstDifference = -1;
            for (int i = 0; i < total && firstDifference < 0; ++i)
                if (outs[0][n][c][(size_t) i] != outs[1][n][c][(size_t) i])
                    firstDifference = i;
            EXPECT_EQ(firstDifference, -1) << "line " << n << ", channel " << c;
            EXPECT_GT(rmsOf(outs[0][n][c], 0, (size_t) (0.5 * rate)), 0.01) << "line " << n;
        }
}

TEST(DelayCore, LoopFilteredChannelPlaysTheSameWhetherTheOtherPlaysOrRests)
{
    // The loop filter in the loop, feedback high: the left output of noise
    // into the left alone is bit for bit that of noise into both channels
    // (blocks of several sizes, into the silence after the noise), and the
    // right channel given nothing stays silent.
    const int total = 40000;
    std::vector<float> noiseL((size_t) total, 0.0f), noiseR((size_t) total, 0.0f);
    juce::Random random(17);
    for (int i = 0; i < 15000; ++i)
    {
        noiseL[(size_t) i] = random.nextFloat() - 0.5f;
        noiseR[(size_t) i] = random.nextFloat() - 0.5f;
    }
    for (float type : { 1.0f / 3.0f, 2.0f / 3.0f, 1.0f })
        for (int block : { 64, 512, 1000 })
        {
            std::unique_ptr<DelayCore> cores[2];
            for (auto& core : cores)
            {
                core = makeCore(48000.0, 1);
                core->setParameter(P::kFilterType, type);
                core->setParameter(P::kFilterInLoop, 1.0f);
                core->setParameter(P::kCutoff, 0.45f);
                core->setParameter(P::kResonance, 0.5f);
                core->setParameter(P::kFeedback, 0.95f);
                core->setLeftFreeTime(0.011f);
                core->setRightFreeTime(0.013f);
                core->updateLengths();
            }
            const auto alone = run(*cores[0], noiseL, std::vector<float>((size_t) total, 0.0f), block);
            const auto both = run(*cores[1], noiseL, noiseR, block);
            double heard = 0.0;
            for (int i = 0; i < total; ++i)
            {
                ASSERT_EQ(alone.left[(size_t) i], both.left[(size_t) i]) << type << " " << block << " " << i;
                ASSERT_LT(std::abs(alone.right[(size_t) i]), 1e-19f) << type << " " << block << " " << i;
                heard += std::abs((double) both.right[(size_t) i]);
            }
            EXPECT_GT(heard, 1.0) << type << " " << block;
        }
}

#include "DelayEngineTestSupport.h"

#include "processor/dsp/DelayCore.h"
#include "processor/dsp/DspCommon.h"
#include "processor/dsp/DspTables.h"
#include "tools/bench/BenchSettings.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <vector>
#include <xmmintrin.h>

using namespace EngineTest;

namespace
{
constexpr double kTwoPi = 6.283185307179586;
const float kLineTimes[4] = { 0.05f, 0.07f, 0.13f, 0.29f };

double lengthOf(float seconds, double rate)
{
    return (double) seconds * (double) ((int) rate - 32);
}

std::unique_ptr<DelayEngine> makePlainEngine(double rate, int routing, int blockSize = 512)
{
    auto e = std::make_unique<DelayEngine>();
    e->prepare(blockSize, rate);
    for (int line = 0; line < 4; ++line)
        configurePlainLine(*e, line, kLineTimes[line]);
    configureMaster(*e, routing, 1.0f, 0.5f);
    e->reset();
    // The stereo-offset smoother glides from the construction default for a while.
    settle(*e, 0.6);
    return e;
}

double rms(const std::vector<float>& x, size_t from, size_t to)
{
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += (double) x[i] * x[i];
    return std::sqrt(sum / (double) (to - from));
}
} // namespace

TEST(DelayEngineTests, EachRoutingGivesTheEchoesOfItsWiring)
{
    // Lines that pass through each echo (1-based), per routing.
    const std::vector<std::vector<std::vector<int>>> wiring = {
        { { 1 }, { 2 }, { 3 }, { 4 } },                      // Parallel
        { { 1, 2, 3, 4 } },                                  // Serial
        { { 1 }, { 1, 2 }, { 1, 2, 3 }, { 1, 2, 3, 4 } },    // Tapped Serial
        { { 1, 2 }, { 3 }, { 4 } },                          // Mixed 1
        { { 1 }, { 1, 2 }, { 3 }, { 4 } },                  // Mixed 2
        { { 1, 2 }, { 3, 4 } },                              // Mixed 3
        { { 1 }, { 1, 2 }, { 3 }, { 3, 4 } },                // Mixed 4
        { { 1, 2, 3 }, { 4 } },                              // Mixed 5
        { { 1 }, { 1, 2 }, { 1, 2, 3 }, { 4 } },             // Mixed 6
    };
    // Without pre-delays, then with a different pre-delay on every line: each
    // line's pre-delay sits in front of its own delay, inside the chain.
    const float noPreDelays[4] = { 0.0f, 0.0f, 0.0f, 0.0f };
    const float preDelays[4] = { 0.0113f, 0.0171f, 0.0037f, 0.0229f };
    const double rate = 44100.0;
    for (const float* pre : { noPreDelays, preDelays })
    for (int routing = 0; routing < 9; ++routing)
    {
        auto e = makePlainEngine(rate, routing);
        for (int line = 0; line < 4; ++line)
        {
            e->setLineParameter(line, P::kPreDelayLeftMs, pre[line]);
            e->setLineParameter(line, P::kPreDelayRightMs, pre[line]);
        }
        settle(*e, 0.3);
        std::vector<float> l((size_t) (0.7 * rate), 0.0f), r(l.size(), 0.0f);
        l[0] = 1.0f;
        r[0] = 1.0f;
        run(*e, l, r, 512);

        // Each interpolated read adds the low-frequency latency of its kernel;
        // the pre-delay reads whole samples.
        const double latency = DspTables::getKernelLatency(DspTables().getKernel16(), DspTables::kTaps16);
        std::vector<std::pair<double, size_t>> expected;
        for (const auto& path : wiring[(size_t) routing])
        {
            double t = 0.0;
            for (int line : path)
                t += std::floor(lengthOf(pre[line - 1], rate)) + lengthOf(kLineTimes[line - 1], rate) + latency;
            expected.emplace_back(t, path.size());
        }
        std::sort(expected.begin(), expected.end());
        const auto echoesLeft = findEchoes(l, 0.1f);
        const auto echoesRight = findEchoes(r, 0.1f);
        ASSERT_EQ(echoesLeft.size(), expected.size()) << "routing " << routing << " pre-delay " << pre[0];
        ASSERT_EQ(echoesRight, echoesLeft) << "routing " << routing;
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_NEAR((double) echoesLeft[i], expected[i].first, 2.0 + 1.5 * (double) expected[i].second)
                << "routing " << routing << " echo " << i << " pre-delay " << pre[0];
    }
}

TEST(DelayEngineTests, OnlyTheLastLineOfAChainScalesIt)
{
    struct Case { int routing; float gains[4]; int echo; double expectedRatio; };
    const Case cases[] = {
        { P::kRoutingSerial, { 1, 1, 1, 0.5f }, 0, 0.5 },        // line 4's gain only
        { P::kRoutingSerial, { 0.5f, 0.5f, 0.5f, 1 }, 0, 1.0 },
        { P::kRoutingTappedSerial, { 1, 0.25f, 1, 1 }, 1, 0.25 }, // every tap its own gain
        { P::kRoutingMixed3, { 0, 1, 1, 0.5f }, 1, 0.5 },         // two chains of two
    };
    for (const auto& c : cases)
    {
        auto reference = makePlainEngine(44100.0, c.routing);
        auto e = makePlainEngine(44100.0, c.routing);
        for (int line = 0; line < 4; ++line)
            e->setLineParameter(line, P::kLineState, 1.0f - c.gains[line]);
        settle(*e, 0.2);
        std::vector<float> l0(30000, 0.0f), r0(30000, 0.0f), l(30000, 0.0f), r(30000, 0.0f);
        l0[0] = r0[0] = l[0] = r[0] = 1.0f;
        run(*reference, l0, r0, 512);
        run(*e, l, r, 512);
        const auto echoes = findEchoes(l0, 0.1f);
        ASSERT_GT(echoes.size(), (size_t) c.echo);
        const size_t at = (size_t) echoes[(size_t) c.echo];
        EXPECT_NEAR(rms(l, at - 20, at + 20) / rms(l0, at - 20, at + 20), c.expectedRatio, 0.01) << c.routing;
    }
}

TEST(DelayEngineTests, DryWetAndOutputGainLevels)
{
    struct Case { float wet; float gain; bool stereoOut; double expected; };
    const Case cases[] = {
        { 0.0f, 0.5f, true, 1.0 }, { 0.0f, 1.0f, true, 4.0 }, { 0.0f, 0.25f, true, 0.25 },
        { 0.5f, 0.5f, true, 0.5 }, { 1.0f, 0.5f, true, 0.0 }, { 0.25f, 1.0f, true, 3.0 },
        { 0.0f, 0.5f, false, 1.0 }, { 0.0f, 0.0f, true, 0.0 },
    };
    for (const auto& c : cases)
    {
        auto e = makePlainEngine(48000.0, P::kRoutingParallel);
        for (int line = 0; line < 4; ++line)
            e->setLineParameter(line, P::kLineState, 1.0f);  // lines muted in the mix: only the dry part remains
        configureMaster(*e, P::kRoutingParallel, c.wet, c.gain);
        settle(*e, 0.5);
        std::vector<float> l(9600), r(9600);
        for (size_t i = 0; i < l.size(); ++i)
        {
            l[i] = (float) (0.2 * std::sin(kTwoPi * 440.0 * (double) i / 48000.0));
            r[i] = 0.5f * l[i];
        }
        const auto inL = l, inR = r;
        run(*e, l, r, 480, true, c.stereoOut);
        // The mix smoothers land on their targets: the levels are exact to
        // rounding, and fully wet not a trace of the dry signal is left.
        const double tolerance = c.expected == 0.0 ? 1e-12 : 1e-6;
        for (size_t i = 0; i < l.size(); ++i)
        {
            const double expectedLeft = (c.stereoOut ? inL[i] : 0.5 * (inL[i] + inR[i])) * c.expected;
            ASSERT_NEAR(l[i], expectedLeft, tolerance) << c.wet << " " << c.gain << " at " << i;
            if (c.stereoOut)
                ASSERT_NEAR(r[i], inR[i] * c.expected, tolerance) << c.wet << " " << c.gain << " at " << i;
        }
    }
}

TEST(DelayEngineTests, LimiterHoldsTheCeilingAndDelaysByItsLookAhead)
{
    auto e = makePlainEngine(44100.0, P::kRoutingParallel);
    for (int line = 0; line < 4; ++line)
        e->setLineParameter(line, P::kLineState, 1.0f);
    configureMaster(*e, P::kRoutingParallel, 0.0f, 0.5f);
    e->setGlobalParameter(P::kLimiterThreshold, 1.0f);  // 0 dB
    e->setGlobalParameter(P::kLimiter, 1.0f);
    EXPECT_TRUE(e->isLimiterOn());
    EXPECT_FLOAT_EQ(e->getOutputGainTarget(), 1.0f);
    EXPECT_EQ(e->getLimiter().getLookAheadSamples(), 146);
    settle(*e, 0.5);

    std::vector<float> l(1000, 0.0f), r(1000, 0.0f);
    l[100] = 0.25f;
    r[100] = 0.125f;
    run(*e, l, r, 64);
    const auto echoes = findEchoes(l, 0.01f);
    ASSERT_EQ(echoes.size(), 1u);
    EXPECT_EQ(echoes[0], 246);
    EXPECT_NEAR(l[246], 0.25f, 0.001f);
    EXPECT_NEAR(r[246], 0.125f, 0.001f);

    // Loud noise at -12 dB threshold and output gain 2 (v = 0.707): held at 2.0.
    e->setGlobalParameter(P::kLimiterThreshold, 0.5f);
    e->setGlobalParameter(P::kOutputGain, 0.70710678f);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-4.0f, 4.0f);
    std::vector<float> nl(44100), nr(44100);
    for (size_t i = 0; i < nl.size(); ++i)
    {
        nl[i] = noise(rng);
        nr[i] = noise(rng);
    }
    run(*e, nl, nr, 256);
    // Once the gain reduction has built up (the onset and the settings change are
    // not a brick wall): every peak at the ceiling.
    float peak = 0.0f;
    for (size_t i = 4410; i < nl.size(); ++i)
        peak = std::max({ peak, std::fabs(nl[i]), std::fabs(nr[i]) });
    EXPECT_LT(20.0 * std::log10(peak / 2.0), 0.5);
    EXPECT_GT(20.0 * std::log10(peak / 2.0), -1.0);
}

TEST(DelayEngineTests, LimiterSwitchedOnAgainReplaysNothingOld)
{
    auto e = makePlainEngine(44100.0, P::kRoutingParallel);
    for (int line = 0; line < 4; ++line)
        e->setLineParameter(line, P::kLineState, 1.0f);
    configureMaster(*e, P::kRoutingParallel, 0.0f, 0.5f);
    e->setGlobalParameter(P::kLimiterThreshold, 1.0f);
    e->setGlobalParameter(P::kLimiter, 1.0f);
    settle(*e, 0.5);
    std::vector<float> l(2000, 0.8f), r(2000, 0.8f);
    run(*e, l, r, 100);
    e->setGlobalParameter(P::kLimiter, 0.0f);
    std::vector<float> z(2000, 0.0f), zr(2000, 0.0f);
    run(*e, z, zr, 100);
    e->setGlobalParameter(P::kLimiter, 1.0f);
    std::vector<float> z2(400, 0.0f), zr2(400, 0.0f);
    run(*e, z2, zr2, 100);
    for (size_t i = 0; i < z2.size(); ++i)
        ASSERT_LT(std::fabs(z2[i]), 1e-6f) << i;
}

TEST(DelayEngineTests, LimiterSwitchedOnMidStreamLeavesNoGap)
{
    // Dry signal only, 0 dB threshold: a -12 dB tone passes the limiter
    // unchanged but for its look-ahead. Switched on mid-stream, the output
    // crossfades to the look-ahead's worth back, without a silent gap: a tone
    // whose period is the look-ahead goes on unchanged throughout.
    for (double rate : { 44100.0, 96000.0 })
    {
        auto e = makePlainEngine(rate, P::kRoutingParallel);
        configureMaster(*e, P::kRoutingParallel, 0.0f, 0.5f);
        e->setGlobalParameter(P::kLimiterThreshold, 1.0f);
        settle(*e, 0.5);
        const size_t n = (size_t) rate / 10, switchAt = n / 2;
        const double hz = rate / (double) e->getLimiter().getLookAheadSamples();
        std::vector<float> l(n), r(n);
        for (size_t i = 0; i < n; ++i)
        {
            l[i] = (float) (0.25 * std::sin(kTwoPi * hz * (double) i / rate));
            r[i] = -l[i];
        }
        const auto inL = l, inR = r;
        std::vector<float> first(l.begin(), l.begin() + (long) switchAt), firstR(r.begin(), r.begin() + (long) switchAt);
        run(*e, first, firstR, 128);
        e->setGlobalParameter(P::kLimiter, 1.0f);
        std::vector<float> second(l.begin() + (long) switchAt, l.end()), secondR(r.begin() + (long) switchAt, r.end());
        run(*e, second, secondR, 128);

        const size_t lookAhead = (size_t) e->getLimiter().getLookAheadSamples();
        for (size_t i = 0; i < second.size(); ++i)
        {
            ASSERT_NEAR(second[i], inL[switchAt + i - lookAhead], 1e-3) << rate << " at " << i;
            ASSERT_NEAR(secondR[i], inR[switchAt + i - lookAhead], 1e-3) << rate << " at " << i;
        }
    }
}

namespace
{
// The largest second difference of x within [from, to) over that of a clean
// sine of frequency hz at x's local amplitude (its peak within a period
// around the sample): 1 for a clean sine, far more where x clicks.
double clickRatio(const std::vector<float>& x, double hz, double rate, size_t from, size_t to)
{
    const size_t period = (size_t) std::lround(rate / hz);
    const double sineStep = 2.0 * std::sin(kTwoPi * 0.5 * hz / rate);
    double worst = 0.0;
    for (size_t i = std::max(from, period); i < to && i + period < x.size(); ++i)
    {
        const double second = std::fabs((double) x[i + 1] - 2.0 * (double) x[i] + (double) x[i - 1]);
        double local = 0.0;
        for (size_t j = i - period / 2; j <= i + period / 2; ++j)
            local = std::max(local, (double) std::fabs(x[j]));
        worst = std::max(worst, second / std::max(local * sineStep * sineStep, 1e-12));
    }
    return worst;
}
} // namespace

TEST(DelayEngineTests, LimiterSwitchCrossfadesWithoutAClickAtAnyOutputGain)
{
    // A -24 dBFS 1 kHz tone, dry only, 0 dB threshold (no reduction, no
    // make-up): the limiter switched on, off, on, and off again before that
    // crossfade is over, at output gains below, at and above unity, stereo
    // and folded to mono. No click; once a crossfade is over the tone comes
    // out at the output gain, a look-ahead late while the limiter is on.
    struct Case
    {
        double rate;
        float outputGain;
        bool stereoOut;
    };
    const Case cases[] = { { 44100.0, 0.3f, true }, { 44100.0, 0.9f, true }, { 96000.0, 0.5f, false },
                           { 192000.0, 0.9f, false }, { 192000.0, 0.25f, true } };
    struct Switch
    {
        double seconds;
        bool on;
    };
    const Switch switches[] = { { 0.1, true }, { 0.2, false }, { 0.3, true }, { 0.303, false }, { 0.4, true } };
    for (const auto& c : cases)
    {
        auto e = makePlainEngine(c.rate, P::kRoutingParallel, 256);
        configureMaster(*e, P::kRoutingParallel, 0.0f, c.outputGain);
        e->setGlobalParameter(P::kLimiterThreshold, 1.0f);
        settle(*e, 0.3);
        const double gain = 4.0 * (double) c.outputGain * (double) c.outputGain;
        const double amplitude = std::pow(10.0, -24.0 / 20.0);
        const size_t n = (size_t) (0.5 * c.rate);
        std::vector<float> in(n);
        for (size_t i = 0; i < n; ++i)
            in[i] = (float) (amplitude * std::sin(kTwoPi * 1000.0 * (double) i / c.rate));
        std::vector<float> l = in, r = in;
        size_t done = 0;
        for (size_t k = 0; k <= std::size(switches); ++k)
        {
            const size_t end = k < std::size(switches) ? (size_t) (switches[k].seconds * c.rate) : n;
            std::vector<float> pieceL(l.begin() + (long) done, l.begin() + (long) end);
            std::vector<float> pieceR(r.begin() + (long) done, r.begin() + (long) end);
            run(*e, pieceL, pieceR, 256, true, c.stereoOut);
            std::copy(pieceL.begin(), pieceL.end(), l.begin() + (long) done);
            std::copy(pieceR.begin(), pieceR.end(), r.begin() + (long) done);
            if (k < std::size(switches))
                e->setGlobalParameter(P::kLimiter, switches[k].on ? 1.0f : 0.0f);
            done = end;
        }

        const std::string what = std::to_string(c.rate) + " Hz, output gain " + std::to_string(c.outputGain)
                                 + (c.stereoOut ? ", stereo" : ", mono");
        EXPECT_LE(clickRatio(l, 1000.0, c.rate, (size_t) (0.05 * c.rate), n), 4.0) << what;
        if (c.stereoOut)
            EXPECT_LE(clickRatio(r, 1000.0, c.rate, (size_t) (0.05 * c.rate), n), 4.0) << what;

        // The last millisecond before each switch, and before the end.
        const size_t d = (size_t) e->getLimiter().getLookAheadSamples();
        for (size_t k = 0; k <= std::size(switches); ++k)
        {
            const size_t end = k < std::size(switches) ? (size_t) (switches[k].seconds * c.rate) : n;
            const bool on = k > 0 && switches[k - 1].on;
            if (k == 3)
                continue;   // within the crossfade that is turned back
            for (size_t i = end - (size_t) (0.001 * c.rate); i < end; ++i)
            {
                const double expected = gain * (double) in[on ? i - d : i];
                ASSERT_NEAR(l[i], expected, 1e-3 * gain * amplitude) << what << ", before switch " << k << " at " << i;
            }
        }
    }
}

TEST(DelayEngineTests, OutputStaysFiniteAndNormalEverywhere)
{
    const double rates[] = { 22050.0, 32000.0, 44100.0, 96000.0, 192000.0 };
    const int blocks[] = { 1, 31, 8192 };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (double rate : rates)
    {
        DelayEngine e;
        e.prepare(8192, rate);
        for (int line = 0; line < 4; ++line)
        {
            configurePlainLine(e, line, 0.01f + 0.013f * (float) line);
            e.setLineParameter(line, P::kFeedback, 0.95f);                  // strong
            e.setLineParameter(line, P::kFreeze, line == 1 ? 1.0f : 0.0f);  // one line frozen
            e.setLineParameter(line, P::kFilterType, P::choiceValue(line % 4, P::kNumFilterTypes));
            e.setLineParameter(line, P::kResonance, 1.0f);                  // full
            e.setLineParameter(line, P::kOverdrive, line >= 2 ? 1.0f : 0.0f);
            e.setLineParameter(line, P::kPreamp, 1.0f);
            e.setLineParameter(line, P::kModSource, P::choiceValue(line % 2, P::kNumModulators));
            e.setLineParameter(line, P::kTimeModDepth, 1.0f);
            e.setLineParameter(line, P::kCutoffModDepth, 1.0f);
            e.setLineParameter(line, P::kTremoloDepth, 1.0f);
            e.setLineParameter(line, P::kPreDelayLeftMs, 0.003f);
        }
        e.setGlobalParameter(P::kMod1Frequency, 1.0f);
        e.setGlobalParameter(P::kMod2First + P::kModulatorType, P::choiceValue(P::kindEnvelope, P::kNumModulatorKinds));
        e.setGlobalParameter(P::kMod2RetriggerMode, P::choiceValue(P::kRetriggerInputLevel, P::kNumRetriggerModes));
        e.setGlobalParameter(P::kLimiter, 1.0f);
        e.setGlobalParameter(P::kDryWet, 0.7f);
        e.setQuality(P::kQualityBest);
        std::mt19937 rng(3);
        std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
        for (int routing = 0; routing < 9; ++routing)
        {
            e.setGlobalParameter(P::kRouting, P::choiceValue(routing, P::kNumRoutings));

            for (int block : blocks)
            {
                // Long enough for two full blocks of the largest size at every rate.
                const size_t n = 2 * 8192 + 1000;
                std::vector<float> l(n), r(n);
                for (size_t i = 0; i < n; ++i)
                {
                    l[i] = noise(rng);
                    r[i] = noise(rng);
                }
                // Broken input in the middle, clean input around it.
                for (size_t i = n / 3; i < n / 3 + 40; ++i)
                {
                    l[i] = (i % 3 == 0) ? nan : (i % 3 == 1 ? inf : -inf);
                    r[i] = (i % 2 == 0) ? -inf : nan;
                }
                l[n / 2] = 1e-42f;  // a denormal on the way in
                run(e, l, r, block);
                for (size_t i = 0; i < n; ++i)
                {
                    ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i]))
                        << rate << " routing " << routing << " block " << block << " at " << i;
                    ASSERT_TRUE(l[i] == 0.0f || std::fabs(l[i]) >= FLT_MIN) << rate << " " << routing;
                    ASSERT_TRUE(r[i] == 0.0f || std::fabs(r[i]) >= FLT_MIN) << rate << " " << routing;
                }
                // Sound again once the input is clean.
                EXPECT_GT(rms(l, n - n / 10, n), 1e-3) << rate << " routing " << routing << " block " << block;
            }
        }
        float levels[8];
        e.getLineLevels(levels);
        for (float level : levels)
            EXPECT_TRUE(level >= 0.0f && level <= 1.0f);
    }
}

TEST(DelayEngineTests, ProcessRestoresTheCallersFloatingPointState)
{
    DelayEngine e;
    configureMaster(e, P::kRoutingParallel, 0.0f, 0.5f);
    const unsigned before = _mm_getcsr();
    const unsigned callerState = (before & ~0x8040u) | 0x2000u;  // denormals on, rounding down
    _mm_setcsr(callerState);
    std::vector<float> l(256, 1e-40f), r(256, -1e-40f);
    float* channels[2] = { l.data(), r.data() };
    e.process(channels, 256, true, true);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(before);
    EXPECT_EQ(after, callerState);
    // Inside the call denormal input counts as zero and nothing denormal comes out.
    for (size_t i = 0; i < l.size(); ++i)
    {
        ASSERT_TRUE(l[i] == 0.0f || std::fabs(l[i]) >= FLT_MIN);
        ASSERT_TRUE(r[i] == 0.0f || std::fabs(r[i]) >= FLT_MIN);
    }
}

TEST(DelayEngineTests, UnusableSettingsNeverBreakTheEngine)
{
    DelayEngine e;
    e.prepare(256, 0.0);
    EXPECT_EQ(e.getSampleRate(), 44100.0);
    e.prepare(256, -48000.0);
    e.prepare(256, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(e.getSampleRate(), 44100.0);
    e.prepare(0, 48000.0);
    EXPECT_EQ(e.getBlockSize(), 1);
    e.prepare(256, 48000.0);
    e.setMaxDelayTime(0);
    EXPECT_EQ(e.getMaxDelayTime(), 1);
    e.setMaxDelayTime(-5);
    EXPECT_EQ(e.getMaxDelayTime(), 1);
    e.setMaxDelayTime(1000);
    EXPECT_EQ(e.getMaxDelayTime(), 15);
    e.setMaxDelayTime(1);
    for (int line = 0; line < 4; ++line)
    {
        configurePlainLine(e, line, 1.0f);                   // the longest free time
        e.setLineParameter(line, P::kPreDelayLeftMs, 1.0f);  // and the longest free pre-delay
        e.setLineParameter(line, P::kDelaySync, line % 2 == 0 ? 1.0f : 0.0f);
        e.setLineParameter(line, P::kDelayLeftNumerator, 1.0f);  // 32/1 when synced

        e.setLineParameter(line, P::kDelayLeftDenominator, 0.0f);
        e.setLineParameter(line, P::kPreDelaySync, 1.0f);
        e.setLineParameter(line, P::kPreDelayLeftNumerator, 1.0f);
        e.setLineParameter(line, P::kPreDelayLeftDenominator, 0.0f);
        e.setLineParameter(line, P::kTimeModDepth, 1.0f);
        e.setLineParameter(line, P::kFilterInLoop, std::numeric_limits<float>::quiet_NaN());
        e.setLineParameter(line, 99, 1.0f);
        e.setLineParameter(7, P::kBalance, 1.0f);
    }
    e.setGlobalParameter(P::kMod1First + P::kModulatorSync, 1.0f);
    e.setGlobalParameter(P::kRouting, 7.0f);   // beyond the range: held to the last routing
    EXPECT_EQ(e.getRouting(), 8);
    e.setGlobalParameter(P::kRouting, -3.0f);
    EXPECT_EQ(e.getRouting(), 0);
    e.setGlobalParameter(P::kRouting, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(e.getRouting(), 0);
    e.setGlobalParameter(P::kDryWet, 1.0f);
    const double tempos[] = { 0.0, -120.0, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(), 1e-9, 1e9, 30.0 };
    for (double tempo : tempos)
    {
        e.setTempo(tempo);
        e.setModulatorRate(0, 8.0);
        std::vector<float> l(3000, 0.5f), r(3000, -0.5f);
        run(e, l, r, 256);
        for (size_t i = 0; i < l.size(); ++i)
            ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i])) << tempo;
    }
    // More samples than prepared are processed in pieces, not past the buffers.
    std::vector<float> l(5000, 0.1f), r(5000, 0.1f);
    float* channels[2] = { l.data(), r.data() };
    e.process(channels, 5000, true, true);
    e.process(channels, 0, true, true);
    e.process(nullptr, 10, true, true);
    for (float x : l)
        ASSERT_TRUE(std::isfinite(x));
}

TEST(DelayEngineTests, TappedTimesComeBackOncePerSeries)
{
    DelayEngine e;
    e.prepare(100, 44100.0);
    std::vector<float> l(100, 0.0f), r(100, 0.0f);
    float* channels[2] = { l.data(), r.data() };
    e.tapTime(2, 0, 1);
    e.process(channels, 100, true, true);
    for (int i = 0; i < 220; ++i)  // 22100 samples after the first tap
        e.process(channels, 100, true, true);
    e.tapTime(2, 0, 1);
    e.process(channels, 10, true, true);
    // Further calls before the owner looks do not lose the news.
    e.process(channels, 100, true, true);
    EXPECT_TRUE(e.takeNewTappedTime(2, 0, 1));
    EXPECT_FALSE(e.takeNewTappedTime(2, 0, 1));
    EXPECT_FALSE(e.takeNewTappedTime(2, 0, 2));
    EXPECT_FALSE(e.takeNewTappedTime(2, 1, 1));
    EXPECT_NEAR(e.getTappedTimeMs(2, 0, 1), 22100.0 / 44.1, 0.05);
    EXPECT_EQ(e.getTappedTimeMs(2, 2, 1), 0.0);
    e.tapTime(1, 1, 2);
    e.process(channels, 100, true, true);
    e.tapTime(1, 1, 2);
    e.process(channels, 100, true, true);
    EXPECT_TRUE(e.takeNewTappedTime(1, 1, 2));
    EXPECT_NEAR(e.getTappedTimeMs(1, 1, 2), 100.0 / 44.1, 0.05);
    e.tapTime(1, 5, 1);
    e.tapTime(9, 0, 1);
}

TEST(DelayEngineTests, GlobalParametersReachTheirTargets)
{
    DelayEngine e;
    e.setGlobalParameter(P::kOutputGain, 1.0f);
    EXPECT_FLOAT_EQ(e.getOutputGainTarget(), 4.0f);
    e.setGlobalParameter(P::kLimiter, 1.0f);
    EXPECT_FLOAT_EQ(e.getOutputGainTarget(), 1.0f);
    EXPECT_FLOAT_EQ(e.getLimiter().getOutputGain(), 4.0f);
    e.setGlobalParameter(P::kOutputGain, 0.5f);
    EXPECT_FLOAT_EQ(e.getLimiter().getOutputGain(), 1.0f);
    e.setGlobalParameter(P::kLimiter, 0.0f);
    EXPECT_FLOAT_EQ(e.getOutputGainTarget(), 1.0f);
    e.setGlobalParameter(P::kLimiterThreshold, 0.25f);
    EXPECT_FLOAT_EQ(e.getLimiter().getThresholdDb(), -18.0f);
    e.setLineParameter(3, P::kLineState, 0.25f);
    EXPECT_FLOAT_EQ(e.getLineMixGain(3), 0.75f);
    // Waveform choices 0..4 select random, saw down, square, sine, triangle.
    const int shapes[] = { 5, 3, 2, 1, 0 };
    for (int c = 0; c < 5; ++c)
    {
        e.setGlobalParameter(P::kMod2Waveform, P::choiceValue(c, P::kNumWaveforms));
        EXPECT_EQ(e.getOscillator(2).shape, shapes[c]);
        EXPECT_EQ(e.getOscillator(3).shape, shapes[c]);
    }
    e.setGlobalParameter(P::kMod1First + P::kEnvelopeHold, 0.5f);
    EXPECT_EQ(e.getModulator(0).envelope.holdLength, 22050);
    e.prepare(512, 96000.0);
    EXPECT_EQ(e.getModulator(0).envelope.holdLength, 48000);
}

TEST(DelayEngineTests, SilencedOrPannedLinesKeepTheirFrozenContent)
{
    struct Case { float level; float balance; int keptChannel; };
    // Level 0 silences both outputs; balance 0 silences the right, 1 the left.
    // The first case touches nothing: what a frozen line still holds after the
    // read's loss over the same time.
    const Case cases[] = { { 0.75f, 0.5f, 0 }, { 0.0f, 0.5f, 0 }, { 0.0f, 0.5f, 1 }, { 0.75f, 0.0f, 1 },
                           { 0.75f, 1.0f, 0 } };
    double untouched = 0.0;
    for (const auto& c : cases)
    {
        auto e = makePlainEngine(44100.0, P::kRoutingParallel);
        for (int line = 1; line < 4; ++line)
            e->setLineParameter(line, P::kLineState, 1.0f);  // only line 1 in the mix
        e->setLineParameter(0, P::kFreeze, 1.0f);
        std::vector<float> l(4410, 0.0f), r(4410, 0.0f);
        for (size_t i = 0; i < 1000; ++i)
            l[i] = r[i] = (float) (0.5 * std::sin(kTwoPi * 1000.0 * (double) i / 44100.0));
        run(*e, l, r, 256);
        e->setLineParameter(0, P::kLevel, c.level);
        e->setLineParameter(0, P::kBalance, c.balance);
        settle(*e, 3.0);
        e->setLineParameter(0, P::kLevel, 0.75f);
        e->setLineParameter(0, P::kBalance, 0.5f);
        std::vector<float> outL(66150, 0.0f), outR(66150, 0.0f);
        run(*e, outL, outR, 256);
        const auto& kept = c.keptChannel == 0 ? outL : outR;
        const double level = rms(kept, 44100, 66150);
        if (untouched == 0.0)
        {
            untouched = level;
            EXPECT_GT(untouched, 0.01);
        }
        else
            EXPECT_NEAR(level / untouched, 1.0, 0.05) << c.level << " " << c.balance;
    }
}

TEST(DelayEngineTests, QualityChoosesTheInterpolation)
{
    struct Case { int choice; int mode; double step; };
    const Case cases[] = {
        { P::kQualityLow, P::kNearestPhase16, 512.0 }, { P::kQualityMedium, P::kInterpolated16, 128.0 },
        { P::kQualityHigh, P::kStretched32, 64.0 },    { P::kQualityBest, P::kStretched32, 16.0 },
        { 7, P::kNearestPhase16, 512.0 },              { -1, P::kNearestPhase16, 512.0 },
    };
    DelayEngine e;
    for (const auto& c : cases)
    {
        e.setQuality(c.choice);
        for (int line = 0; line < 4; ++line)
        {
            EXPECT_EQ(e.getDelayCore(line).getInterpolationMode(), c.mode) << c.choice;
            EXPECT_EQ(e.getDelayCore(line).getMinimumKernelStep(), c.step) << c.choice;
        }
    }
}

TEST(DelayEngineTests, LinesFollowTheKindOfTheirModulator)
{
    // Full time depth: the delay shrinks from its length to nothing as the
    // modulation goes from 0 to 1.
    for (int kind : { P::kindEnvelope, P::kindPeakFollower })
    {
        auto e = makePlainEngine(44100.0, P::kRoutingParallel);
        for (int line = 1; line < 4; ++line)
            e->setLineParameter(line, P::kLineState, 1.0f);
        e->setLineParameter(0, P::kTimeModDepth, 1.0f);
        e->setLineParameter(0, P::kModSource, P::choiceValue(1, P::kNumModulators));
        e->setGlobalParameter(P::kMod2First + P::kModulatorType, P::choiceValue(kind, P::kNumModulatorKinds));
        e->setGlobalParameter(P::kMod2First + P::kEnvelopeAttack, 0.0f);
        e->setGlobalParameter(P::kMod2First + P::kEnvelopeSustain, 1.0f);      // full
        e->setGlobalParameter(P::kMod2First + P::kEnvelopeHold, 1.0f);         // a second
        e->setGlobalParameter(P::kMod2First + P::kFollowerSensitivity, 1.0f);  // full
        e->setGlobalParameter(P::kMod2First + P::kFollowerAttack, 0.0f);
        e->setGlobalParameter(P::kMod2First + P::kFollowerRelease, 1.0f);      // the slowest
        e->setGlobalParameter(P::kLimiter, 0.0f);
        settle(*e, 3.0);  // the depth glides to its new value
        if (kind == P::kindEnvelope)
            e->retriggerModulator(1);
        // The follower is driven to 1 by a loud input until just before the impulse.
        std::vector<float> l(8820, kind == P::kindPeakFollower ? 0.5f : 0.0f), r(8820, 0.0f);
        run(*e, l, r, 128);
        std::vector<float> il(2000, 0.0f), ir(2000, 0.0f);
        if (kind == P::kindPeakFollower)
            std::fill(il.begin(), il.begin() + 400, 0.5f);

        il[500] = ir[500] = 1.0f;
        run(*e, il, ir, 128);
        il.erase(il.begin(), il.begin() + 450);
        ir.erase(ir.begin(), ir.begin() + 450);
        // Both channels, not just the left, now follow the single envelope or
        // follower buffer: the echo comes at once instead of after 0.05 s.
        const auto left = findEchoes(il, 0.1f);
        const auto right = findEchoes(ir, 0.1f);
        ASSERT_EQ(left.size(), 1u) << kind;
        ASSERT_EQ(right.size(), 1u) << kind;
        EXPECT_NEAR(left[0], 50, 12) << kind;
        EXPECT_NEAR(right[0], 50, 12) << kind;
    }
}

TEST(DelayEngineTests, MonoInputFeedsBothOutputChannels)
{
    // One input channel, two output channels: the right side hears the left
    // input, dry and through the lines.
    auto e = makePlainEngine(44100.0, P::kRoutingParallel);
    configureMaster(*e, P::kRoutingParallel, 0.5f, 0.5f);
    settle(*e, 0.3);
    std::vector<float> l(4410, 0.0f), r(4410, 0.0f);
    l[0] = 0.8f;
    r[0] = 0.3f;  // not an input: overwritten with the output
    run(*e, l, r, 256, false, true);
    EXPECT_NEAR(l[0], 0.4f, 1e-4f);
    EXPECT_NEAR(r[0], 0.4f, 1e-4f);
    const auto echoesLeft = findEchoes(l, 0.05f);
    const auto echoesRight = findEchoes(r, 0.05f);
    ASSERT_EQ(echoesLeft.size(), 3u);  // the dry impulse and lines 1 and 2 (0.05 s, 0.07 s)
    EXPECT_EQ(echoesRight, echoesLeft);
    for (size_t i = 1; i < echoesLeft.size(); ++i)
        EXPECT_NEAR(r[(size_t) echoesRight[i]], l[(size_t) echoesLeft[i]], 1e-4f);
}

TEST(DelayEngineTests, OutputMetersAndClipLamps)
{
    // Meter value (dB + 60) / 66 with a slow peak fall; clip lamps held half a
    // second after the last sample above 0 dB.
    DelayEngine e;
    e.prepare(441, 44100.0);
    configureMaster(e, P::kRoutingParallel, 0.0f, 0.5f);  // dry only, unity gain
    settle(e, 0.2);
    auto sineBlock = [&](double peak, double seconds) {
        const size_t n = (size_t) (seconds * 44100.0);
        std::vector<float> l(n), r(n);
        for (size_t i = 0; i < n; ++i)
        {
            l[i] = (float) (peak * std::sin(kTwoPi * 1000.0 * (double) i / 44100.0));
            r[i] = 0.5f * l[i];
        }
        run(e, l, r, 441);
    };
    float left = 0.0f, right = 0.0f;
    bool clipLeft = true, clipRight = true;

    sineBlock(std::pow(10.0, -6.0 / 20.0), 1.0);
    e.getOutputLevels(left, right);
    EXPECT_NEAR(left, 54.0 / 66.0, 0.01);
    EXPECT_NEAR(right, 48.0 / 66.0, 0.01);
    e.getOutputClips(clipLeft, clipRight);
    EXPECT_FALSE(clipLeft);
    EXPECT_FALSE(clipRight);

    // +1 dB on the left only: its lamp lights and stays lit for 0.5 s.
    sineBlock(std::pow(10.0, 1.0 / 20.0), 0.1);
    e.getOutputLevels(left, right);
    EXPECT_NEAR(left, 61.0 / 66.0, 0.02);
    e.getOutputClips(clipLeft, clipRight);
    EXPECT_TRUE(clipLeft);
    EXPECT_FALSE(clipRight);
    sineBlock(0.0, 0.45);
    e.getOutputClips(clipLeft, clipRight);
    EXPECT_TRUE(clipLeft);
    // The peak falls at 0.5 Hz towards -0.08: about 0.16 left after 0.45 s.
    e.getOutputLevels(left, right);
    EXPECT_GT(left, 0.1f);
    EXPECT_LT(left, 0.35f);
    sineBlock(0.0, 0.06);
    e.getOutputClips(clipLeft, clipRight);
    EXPECT_FALSE(clipLeft);
    sineBlock(0.0, 0.5);
    e.getOutputLevels(left, right);
    EXPECT_EQ(left, 0.0f);
    EXPECT_EQ(right, 0.0f);
}

namespace
{
// Every line different: low-pass, band-pass and high-pass filters before or
// after the overdrive (or no filter), drive on some lines and not others,
// feedback, the loop filter, both modulators on cut-off and time, and
// pre-delays short and long against the block.
void configureVariedLines(DelayEngine& e, int routing)
{
    for (int line = 0; line < 4; ++line)
    {
        configurePlainLine(e, line, 0.03f + 0.02f * (float) line);
        e.setLineParameter(line, P::kFilterType, (float) ((line + 1) % 4) / 3.0f);
        e.setLineParameter(line, P::kFilterMode, (float) (line % 2));
        e.setLineParameter(line, P::kFilterInLoop, line == 1 ? 0.0f : 1.0f);
        e.setLineParameter(line, P::kCutoff, 0.35f + 0.1f * (float) line);
        e.setLineParameter(line, P::kResonance, 0.25f * (float) line);
        e.setLineParameter(line, P::kOverdrive, line == 2 ? 0.0f : 1.0f);
        e.setLineParameter(line, P::kPreamp, 0.2f + 0.1f * (float) line);
        e.setLineParameter(line, P::kColor, 0.6f + 0.1f * (float) line);
        e.setLineParameter(line, P::kOverdriveGain, 0.5f);
        e.setLineParameter(line, P::kFeedback, 0.6f);
        e.setLineParameter(line, P::kModSource, (float) (line % 2));
        e.setLineParameter(line, P::kTimeModDepth, 0.2f);
        e.setLineParameter(line, P::kCutoffModDepth, 0.5f);
        // Pre-delays of none, 5 ms (beyond a block of 64, within one of
        // 700), 30 and 20 ms (beyond either).
        const double preDelays[4][2] = { { 0.0, 0.0 }, { 0.005, 0.005 }, { 0.03, 0.025 }, { 0.02, 0.022 } };
        e.setLineParameter(line, P::kPreDelayLeftMs, (float) preDelays[line][0]);
        e.setLineParameter(line, P::kPreDelayRightMs, (float) preDelays[line][1]);
    }
    e.setGlobalParameter(P::kMod1First, 0.0f);
    e.setGlobalParameter(P::kMod1Waveform, 0.75f);
    e.setGlobalParameter(P::kMod1Frequency, 0.4f);
    e.setGlobalParameter(P::kMod2First, 0.0f);
    e.setGlobalParameter(P::kMod2Waveform, 1.0f);
    e.setGlobalParameter(P::kMod2Frequency, 0.5f);
    configureMaster(e, routing, 1.0f, 0.5f);
    e.setQuality(P::kQualityHigh);
}
} // namespace

TEST(DelayEngineTests, LinesSideBySideSoundAsLinesInTurnInEveryRouting)
{
    // Noise with a gap long enough for the lines to rest and wake again, and
    // a preamp that moves (its smoother glides) and a pre-delay that glides
    // half way through.
    const double rate = 48000.0;
    const int total = (int) (4.5 * rate);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    std::vector<float> inL((size_t) total), inR((size_t) total);
    for (int i = 0; i < total; ++i)
    {
        const bool gap = i > (int) (0.5 * rate) && i < (int) (3.5 * rate);
        inL[(size_t) i] = gap ? 0.0f : noise(random);
        inR[(size_t) i] = gap ? 0.0f : noise(random);
    }

    for (int routing = 0; routing < DelayEngine::kNumRoutings; ++routing)
    {
        for (const int block : { 700, 64 })
        {
            std::vector<float> outs[2][2];
            for (int turn = 0; turn < 2; ++turn)
            {
                DelayEngine e;
                e.setMaxDelayTime(1);
                e.prepare(block, rate);
                configureVariedLines(e, routing);
                e.setLinesSideBySide(turn == 0);
                e.reset();
                std::vector<float> l = inL, r = inR;
                const int half = total / 2;
                std::vector<float> l1(l.begin(), l.begin() + half), r1(r.begin(), r.begin() + half);
                std::vector<float> l2(l.begin() + half, l.end()), r2(r.begin() + half, r.end());
                run(e, l1, r1, block);
                for (int line = 0; line < 4; ++line)
                    e.setLineParameter(line, P::kPreamp, 0.5f);
                // A pre-delay that glides shorter, to a few samples.
                e.setLineParameter(2, P::kPreDelayLeftMs, 0.0001f);
                run(e, l2, r2, block);
                l1.insert(l1.end(), l2.begin(), l2.end());
                r1.insert(r1.end(), r2.begin(), r2.end());
                outs[turn][0] = l1;
                outs[turn][1] = r1;
            }
            double loudest = 0.0;
            for (int c = 0; c < 2; ++c)
            {
                for (float x : outs[0][c])
                    loudest = std::max(loudest, (double) std::fabs(x));
                int firstDifference = -1;
                for (int i = 0; i < total && firstDifference < 0; ++i)
                    if (outs[0][c][(size_t) i] != outs[1][c][(size_t) i])
                        firstDifference = i;
                EXPECT_EQ(firstDifference, -1) << "routing " << routing << ", block " << block << ", channel " << c;
            }
            EXPECT_GT(loudest, 0.05) << "routing " << routing;
        }
    }
}

TEST(DelayEngineTests, OutputMetersFollowThePeakAndItsSmoothersSampleBySample)
{
    // The meters take a block in stretches; what they show after each block
    // is what the peak with its fall and the two display smoothers give
    // taken one sample at a time, for noise that swells and fades and for
    // blocks of any length.
    const double rate = 48000.0;
    const double fall = 1.0 - std::exp(-kTwoPi * 0.5 / rate) + 1e-20;
    const double display = std::exp(-kTwoPi * 6.0 / rate) + 1e-20;
    double peak[2] = { 0.0, 0.0 }, s1[2] = { 0.0, 0.0 }, s2[2] = { 0.0, 0.0 };
    float shown[2] = {};
    // The model starts where the engine's meters rest after silence: the
    // smoothers below zero are shown as 0, so both start from a long silence.
    for (int i = 0; i < 200000; ++i)
        for (int c = 0; c < 2; ++c)
        {
            const double m = (-320.0 + 60.0) * 0.015151516 + 1e-20;
            peak[c] = std::max(peak[c], m);
            peak[c] = peak[c] - (peak[c] + 0.08) * fall + 1e-20;
            s1[c] = peak[c] + (s1[c] - peak[c]) * display;
            s2[c] = s1[c] + (s2[c] - s1[c]) * display;
        }
    DelayEngine quiet;
    quiet.prepare(512, rate);
    configureMaster(quiet, P::kRoutingParallel, 0.0f, 0.5f);  // dry only, unity gain
    std::vector<float> silence((size_t) 200000, 0.0f), silenceRight((size_t) 200000, 0.0f);
    run(quiet, silence, silenceRight, 500);

    uint32_t seed = 1;
    const int blocks[] = { 512, 64, 333, 1, 480, 97 };
    for (int round = 0; round < 300; ++round)
    {
        const int n = blocks[round % 6];
        std::vector<float> l((size_t) n), r((size_t) n);
        const double swell = 0.5 + 0.45 * std::sin(0.05 * round);
        for (int i = 0; i < n; ++i)
        {
            seed = seed * 1664525u + 1013904223u;
            l[(size_t) i] = (float) (swell * (double) (int32_t) seed / 2147483648.0);
            r[(size_t) i] = 0.3f * l[(size_t) i];
        }
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 2; ++c)
            {
                const double x = std::fabs((double) (c == 0 ? l : r)[(size_t) i]);
                const double db = x > 0.0 ? 20.0 * std::log10(x) : -320.0;
                peak[c] = std::max(peak[c], (db + 60.0) * 0.015151516 + 1e-20);
                peak[c] = peak[c] - (peak[c] + 0.08) * fall + 1e-20;
                s1[c] = peak[c] + (s1[c] - peak[c]) * display;
                s2[c] = s1[c] + (s2[c] - s1[c]) * display;
            }
        float* channels[2] = { l.data(), r.data() };
        quiet.process(channels, n, true, true);
        quiet.getOutputLevels(shown[0], shown[1]);
        for (int c = 0; c < 2; ++c)
            ASSERT_NEAR(shown[c], std::clamp(s2[c], 0.0, 1.0), 1e-6) << round << " " << c;
    }
    EXPECT_GT(shown[0], 0.5f);
}

TEST(DelayEngineTests, Sse2AndAvx2GiveTheSameSoundModulationAndMeters)
{
    // The engine's vector code has an SSE2 and an AVX2 form: the modulators
    // give the same values; the sound and the meters (whose lines' reads sum
    // in another order) stay within -100 dBFS, in stereo and folded to mono,
    // in blocks of any length.
    if (! DspCommon::processorHasAvx2())
        GTEST_SKIP() << "This processor cannot run AVX2 code: both engines would take the SSE2 forms.";
    for (bool stereoOut : { true, false })
    {
        DelayEngine sse2(false), avx2(true);
        for (DelayEngine* e : { &sse2, &avx2 })
        {
            e->prepare(512, 48000.0);
            configurePlainLine(*e, 0, 0.05f);
            configurePlainLine(*e, 1, 0.07f);
            configureMaster(*e, P::kRoutingParallel, 0.4f, 0.6f);
            e->setLineParameter(0, P::kTimeModDepth, 0.3f);  // the time moved by modulator 1
            e->setGlobalParameter(P::kMod1Waveform, P::choiceValue(P::kWaveformSine, P::kNumWaveforms));
            e->setGlobalParameter(P::kMod2Waveform, P::choiceValue(P::kWaveformTriangle, P::kNumWaveforms));

            e->setGlobalParameter(P::kMod1Frequency, 0.6f);
        }
        uint32_t seed = 3;
        const int blocks[] = { 512, 64, 333, 1, 480, 97 };
        std::vector<float> l1(512), r1(512);
        for (int round = 0; round < 60; ++round)
        {
            const int n = blocks[round % 6];
            for (int i = 0; i < n; ++i)
            {
                seed = seed * 1664525u + 1013904223u;
                l1[(size_t) i] = (float) ((double) (int32_t) seed / 2147483648.0) * (round % 10 < 5 ? 0.9f : 0.01f);
                r1[(size_t) i] = 0.5f * l1[(size_t) i];
            }
            auto l2 = l1, r2 = r1;
            float* a[2] = { l1.data(), r1.data() };
            float* b[2] = { l2.data(), r2.data() };
            sse2.process(a, n, true, stereoOut);
            avx2.process(b, n, true, stereoOut);
            for (int i = 0; i < n; ++i)
            {
                ASSERT_NEAR(l1[(size_t) i], l2[(size_t) i], 1.0e-5f) << stereoOut << " " << round << " " << i;
                ASSERT_NEAR(r1[(size_t) i], r2[(size_t) i], 1.0e-5f) << stereoOut << " " << round << " " << i;
            }
            for (int m = 0; m < DelayEngine::kNumModulationBuffers; ++m)
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(sse2.getModulationBuffer(m)[i], avx2.getModulationBuffer(m)[i]) << round << " " << m;
            float levels[2][2];
            sse2.getOutputLevels(levels[0][0], levels[0][1]);
            avx2.getOutputLevels(levels[1][0], levels[1][1]);
            ASSERT_NEAR(levels[0][0], levels[1][0], 1.0e-5f) << round;
            ASSERT_NEAR(levels[0][1], levels[1][1], 1.0e-5f) << round;
        }
    }
}

TEST(DelayEngineTests, Sse2FormsSoundAsTheAvx2OnesInTheBenchmarksSettings)
{
    // Every vector form of the signal path (the lines' reads, long and
    // stretched, their input sections side by side, the coefficients, the
    // plain runs, the limiter) has an SSE2 form for processors without AVX2:
    // the benchmark's three settings sound the same through both, within
    // -90 dBFS, at a low and a high rate.
    if (! DspCommon::processorHasAvx2())
        GTEST_SKIP() << "This processor cannot run AVX2 code: both engines would take the SSE2 forms.";
    for (const auto& setting : BenchSettings::kSettings)
        for (double rate : { 44100.0, 192000.0 })
        {
            DelayEngine sse2(false), avx2(true);
            for (DelayEngine* e : { &sse2, &avx2 })
            {
                e->prepare(512, rate);
                setting.configure(*e);
            }
            uint32_t seed = 11;
            const int blocks[] = { 512, 64, 333, 1, 480, 97 };
            std::vector<float> l1(512), r1(512);
            double largest = 0.0, loudest = 0.0;
            const int totalSamples = (int) (rate * 1.5);
            for (int done = 0, round = 0; done < totalSamples; done += blocks[round % 6], ++round)
            {
                const int n = blocks[round % 6];
                for (int i = 0; i < n; ++i)
                {
                    seed = seed * 1664525u + 1013904223u;
                    l1[(size_t) i] = (float) ((double) (int32_t) seed / 2147483648.0) * 0.5f;
                    r1[(size_t) i] = -0.7f * l1[(size_t) i];
                }
                auto l2 = l1, r2 = r1;
                float* a[2] = { l1.data(), r1.data() };
                float* b[2] = { l2.data(), r2.data() };
                sse2.process(a, n, true, true);
                avx2.process(b, n, true, true);
                for (int i = 0; i < n; ++i)
                {
                    largest = std::max({ largest, std::abs((double) l1[(size_t) i] - l2[(size_t) i]),
                                         std::abs((double) r1[(size_t) i] - r2[(size_t) i]) });
                    loudest = std::max(loudest, (double) std::abs(l2[(size_t) i]));
                }
            }
            EXPECT_GT(loudest, 0.05) << setting.key << " at " << rate;
            EXPECT_LT(largest, 3.1e-5) << setting.key << " at " << rate;
        }
}

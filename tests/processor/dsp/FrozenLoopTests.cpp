#include <gtest/gtest.h>

#include "DspTestRig.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

using namespace DspTestRig;

// A frozen line holds its loop: what is in it when freeze comes on, and what
// comes in while it is frozen, keeps its level for as long as it stays frozen
// (at every quality, rate and length, free or synced), and nothing makes it
// grow: neither a moving delay, the loop filter nor the drive, nor input that
// keeps coming in.

namespace
{
// The engine's quality choices: interpolation mode and smallest kernel step.
struct Quality
{
    int mode;
    double step;
};
constexpr Quality kQualities[] = { { 0, 512.0 }, { 1, 128.0 }, { 2, 64.0 }, { 2, 16.0 } };

// A line's time: free (a fraction of a second) or synced (a note value at a tempo).
struct Loop
{
    const char* name;
    float seconds;
    int numerator = 0, denominator = 0;
    double bpm = 0.0;
};
const Loop kLoops[] = {
    { "1 ms", 0.001f }, { "5 ms", 0.005f }, { "50 ms", 0.05f }, { "1 s", 1.0f },
    { "1/32 at 240 bpm", 0.0f, 1, 32, 240.0 }, { "1/4 at 60 bpm", 0.0f, 1, 4, 60.0 },
};

void setLoop(DelayCore& core, const Loop& loop)
{
    core.setLinked(true);
    if (loop.bpm > 0.0)
    {
        core.setTempo(loop.bpm);
        core.setSynced(true);
        core.setLeftNumerator(loop.numerator);
        core.setLeftDenominator(loop.denominator);
    }
    else
        core.setLeftFreeTime(loop.seconds);
}

constexpr int kBlock = 512;
// Uniform noise at -18 dBFS RMS.
const float kNoiseAmplitude = (float) (std::pow(10.0, -18.0 / 20.0) * std::sqrt(3.0));

struct Noise
{
    uint32_t seed = 0x2545f491u;
    float next()
    {
        seed = seed * 1664525u + 1013904223u;
        return (float) ((double) (int32_t) seed / 2147483648.0) * kNoiseAmplitude;
    }
};

double powerDb(double sumOfSquares, size_t samples)
{
    return sumOfSquares > 0.0 ? 10.0 * std::log10(sumOfSquares / (2.0 * (double) samples)) : -400.0;
}

// Runs numSamples through the core in blocks, noise in at loud(i) times its
// level (0 silence); before each block, beforeBlock(first sample). Returns the
// level (dB, both channels together) of every window of `window` samples.
template <typename Loud, typename BeforeBlock>
std::vector<double> levels(DelayCore& core, size_t numSamples, size_t window, Loud&& loud, BeforeBlock&& beforeBlock)
{
    Noise noise;
    std::vector<float> l(kBlock), r(kBlock);
    std::vector<double> result;
    double sum = 0.0;
    size_t inWindow = 0;
    for (size_t start = 0; start < numSamples; start += kBlock)
    {
        const int n = (int) std::min((size_t) kBlock, numSamples - start);
        beforeBlock(start);
        for (int i = 0; i < n; ++i)
        {
            const float gain = loud(start + (size_t) i);
            l[(size_t) i] = gain != 0.0f ? gain * noise.next() : 0.0f;
            r[(size_t) i] = gain != 0.0f ? gain * noise.next() : 0.0f;
        }
        core.process(l.data(), r.data(), l.data(), r.data(), n);
        for (int i = 0; i < n; ++i)
        {
            if (! std::isfinite(l[(size_t) i]) || ! std::isfinite(r[(size_t) i]))
                return {};
            sum += (double) l[(size_t) i] * l[(size_t) i] + (double) r[(size_t) i] * r[(size_t) i];
            if (++inWindow == window)
            {
                result.push_back(powerDb(sum, window));
                sum = 0.0;
                inWindow = 0;
            }
        }
    }
    return result;
}

std::string rateAndQuality(const ::testing::TestParamInfo<std::tuple<double, int>>& info)
{
    return std::to_string((int) std::get<0>(info.param)) + "_quality" + std::to_string(std::get<1>(info.param));
}
} // namespace

class FrozenLoopHolds : public ::testing::TestWithParam<std::tuple<double, int>>
{
};

INSTANTIATE_TEST_SUITE_P(RatesAndQualities, FrozenLoopHolds,
                         ::testing::Combine(::testing::Values(44100.0, 48000.0, 96000.0, 192000.0),
                                            ::testing::Values(0, 1, 2, 3)),
                         rateAndQuality);

// A burst of noise into a frozen line (frozen long enough for its loop gain
// to have reached 1), then a minute of silence: every second of it at the
// level the burst left.
TEST_P(FrozenLoopHolds, ANoiseBurstKeepsItsLevelForAMinute)
{
    const double rate = std::get<0>(GetParam());
    const Quality quality = kQualities[std::get<1>(GetParam())];
    const auto second = (size_t) rate;
    // The burst ends where the second window starts.
    const size_t burstStart = (size_t) (0.7 * rate), burstEnd = second;
    // At the higher rates (which cost two and four times as much) the
    // shortest and longest free loops and both synced ones.
    for (const auto& loop : kLoops)
    {
        if (rate > 50000.0 && (loop.seconds == 0.005f || loop.seconds == 0.05f))
            continue;
        auto core = makeCore(rate);
        core->setInterpolation(quality.mode, quality.step);
        setLoop(*core, loop);
        core->setFreeze(true);
        core->clear();
        const auto measured = levels(*core, burstEnd + 60 * second, second,
                                     [&](size_t i) { return i >= burstStart && i < burstEnd; }, [](size_t) {});
        ASSERT_EQ(measured.size(), 61u) << loop.name;
        // The first second after the burst, then the minute after it.
        const double held = measured[1];
        EXPECT_GT(held, -40.0) << loop.name;
        for (size_t k = 2; k < measured.size(); ++k)
            ASSERT_NEAR(measured[k], held, 0.5) << loop.name << ", second " << k;
    }
}

// A line with feedback takes noise until its loop has settled, then freezes
// as the input stops: for a minute its level never rises more than 1.5 dB
// above where it was when freeze came on, with the time modulated (at every
// quality: the moving read differs), the loop filter at full resonance or the
// drive on (those at High, as the other qualities read them alike).
struct GrowthCase
{
    const char* name;
    int quality;
    float timeDepth;
    float filterType;
    bool drive;
};
const GrowthCase kGrowthCases[] = {
    { "time_modulated_quality0", 0, 0.4f, 0.0f, false },
    { "time_modulated_quality1", 1, 0.4f, 0.0f, false },
    { "time_modulated_quality2", 2, 0.4f, 0.0f, false },
    { "time_modulated_quality3", 3, 0.4f, 0.0f, false },
    { "plain", 2, 0.0f, 0.0f, false },
    { "low_pass_in_the_loop", 2, 0.0f, 1.0f / 3.0f, false },
    { "band_pass_in_the_loop_time_and_cutoff_modulated", 2, 0.4f, 2.0f / 3.0f, false },
    { "high_pass_in_the_loop_time_and_cutoff_modulated_drive", 2, 0.4f, 1.0f, true },
};

class FrozenLoopNeverGrows : public ::testing::TestWithParam<std::tuple<double, int>>
{
};

INSTANTIATE_TEST_SUITE_P(RatesAndCases, FrozenLoopNeverGrows,
                         ::testing::Combine(::testing::Values(44100.0, 192000.0),
                                            ::testing::Range(0, (int) std::size(kGrowthCases))),
                         [](const ::testing::TestParamInfo<std::tuple<double, int>>& info) {
                             return std::to_string((int) std::get<0>(info.param)) + "_"
                                    + kGrowthCases[std::get<1>(info.param)].name;
                         });

TEST_P(FrozenLoopNeverGrows, AboveItsLevelWhenFreezeCameOn)
{
    const double rate = std::get<0>(GetParam());
    const GrowthCase& c = kGrowthCases[std::get<1>(GetParam())];
    const Quality quality = kQualities[c.quality];
    // Seconds: the modulation (3 Hz) moves the level within shorter windows.
    const auto window = (size_t) rate;
    const size_t freezeAt = 6 * window;   // six passes of the longest loop
    // A minute; at the highest rate (which costs four times as much) a quarter of it.
    const size_t frozenWindows = rate > 100000.0 ? 15 : 60;
    std::vector<float> modulation(kBlock);
    for (float seconds : { 0.005f, 0.05f, 1.0f })
    {
        auto core = makeCore(rate);
        core->setInterpolation(quality.mode, quality.step);
        core->setLeftFreeTime(seconds);
        core->setRightFreeTime(seconds);
        core->setParameter(39, 0.75f);   // feedback 0.5
        core->setModulation(modulation.data(), modulation.data(), false);
        core->setParameter(44, c.timeDepth);
        core->setParameter(45, c.timeDepth);
        core->setParameter(10, c.filterType);
        core->setParameter(9, 1.0f);
        core->setParameter(8, 0.5f);
        core->setParameter(7, 1.0f);
        core->setParameter(35, c.drive ? 1.0f : 0.0f);
        core->setParameter(36, 0.5f);
        core->setParameter(37, 0.8f);
        core->setParameter(38, 1.0f);
        core->prepare(kBlock, 3, (float) rate);
        const auto measured = levels(
            *core, freezeAt + frozenWindows * window, window, [&](size_t i) { return i < freezeAt; },
            [&](size_t start) {
                // A 3 Hz sine on the time (and cut-off), 0..1.
                for (int i = 0; i < kBlock; ++i)
                    modulation[(size_t) i] = (float) (0.5 + 0.5 * std::sin(DspCommon::kTwoPi * 3.0
                                                                           * (double) (start + (size_t) i) / rate));
                if (start <= freezeAt && freezeAt < start + kBlock)
                    core->setFreeze(true);
            });
        ASSERT_EQ(measured.size(), 6u + frozenWindows) << seconds << " s";
        // The level of the last two seconds before freeze came on.
        const double atFreeze = 10.0 * std::log10(0.5 * (std::pow(10.0, measured[4] / 10.0)
                                                           + std::pow(10.0, measured[5] / 10.0)));
        EXPECT_GT(atFreeze, -40.0) << seconds << " s";
        for (size_t k = 6; k < measured.size(); ++k)
            ASSERT_LT(measured[k], atFreeze + 1.5) << seconds << " s, second " << k;
    }
}

// What comes in while frozen is added: into an empty short loop, pass after
// pass, until the loop is 6 dB above the input, where it stays while the input
// lasts and holds exactly once it stops; quieter input over a louder frozen
// sound adds to it without turning it down.
TEST(FrozenLoop, InputBuildsUpToACeilingAndTheHeldSoundStays)
{
    const double rate = 48000.0;
    const auto second = (size_t) rate;
    const float quiet = (float) std::pow(10.0, -18.0 / 20.0);   // -36 dBFS noise
    // The line plays what it holds through the band-limited read, which
    // passes white noise somewhat below its level.
    double readLoss = 0.0;
    {
        auto core = makeCore(rate);
        core->setLeftFreeTime(0.005f);
        core->setRightFreeTime(0.005f);
        core->clear();
        readLoss = levels(*core, 2 * second, second, [](size_t) { return 1.0f; }, [](size_t) {})[1] + 18.0;
        ASSERT_LT(readLoss, 0.0);
        ASSERT_GT(readLoss, -3.0);
    }
    struct Case
    {
        const char* name;
        float seconds;
        float heldGain;     // noise into the frozen line during the first second
        float laterGain;    // noise from the second second to the tenth
        double whileInput;  // level held in the tenth second (before the read's loss)
        double tolerance;
    };
    const Case cases[] = {
        { "empty 5 ms loop, -18 dBFS noise", 0.005f, 0.0f, 1.0f, -12.0, 1.0 },
        // Eight passes of noise 18 dB below add 10 log10(1 + 8 / 63.1) dB.
        { "1 s loop of -18 dBFS noise, -36 dBFS noise over it", 1.0f, 1.0f, quiet, -18.0 + 0.52, 0.3 },
    };
    for (const auto& c : cases)
    {
        auto core = makeCore(rate);
        core->setLeftFreeTime(c.seconds);
        core->setRightFreeTime(c.seconds);
        core->setFreeze(true);
        core->clear();
        // A second for the loop gain to reach 1, a second of what is held, eight
        // of input over it, then ten of silence.
        const auto measured = levels(*core, 20 * second, second,
                                     [&](size_t i) {
                                         return i < second ? 0.0f : i < 2 * second ? c.heldGain
                                                                : i < 10 * second  ? c.laterGain
                                                                                   : 0.0f;
                                     },
                                     [](size_t) {});
        ASSERT_EQ(measured.size(), 20u) << c.name;
        EXPECT_NEAR(measured[9], c.whileInput + readLoss, c.tolerance) << c.name;
        EXPECT_NEAR(measured[8], measured[9], 0.3) << c.name;
        for (size_t k = 11; k < 20; ++k)
            EXPECT_NEAR(measured[k], measured[11], 0.01) << c.name << ", second " << k;
        EXPECT_NEAR(measured[11], measured[9], 1.5) << c.name;
    }
}

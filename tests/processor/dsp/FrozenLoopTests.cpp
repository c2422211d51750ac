#include <gtest/gtest.h>

#include "DspTestRig.h"
#include "SoundMeasures.h"
#include "processor/dsp/DelayParameters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace DspTestRig;
using P = DelayParameters;


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
constexpr Quality kQualities[] = { { P::kNearestPhase16, 512.0 }, { P::kInterpolated16, 128.0 },
                                   { P::kStretched32, 64.0 }, { P::kStretched32, 16.0 } };

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

// Runs numSamples through the core in blocks of kBlock, split where a change
// comes (as a host splits its block at a parameter change): change(sample) is
// called before the piece that starts at each of `changes`. input(i) gives
// sample i of both channels.
// modulation: the time modulation of both channels, sample by sample (none: null).
template <typename Input, typename Change>
Stereo render(DelayCore& core, size_t numSamples, Input&& input, const std::vector<size_t>& changes,
              Change&& change, const std::vector<float>* modulation = nullptr)
{
    Stereo out { std::vector<float>(numSamples), std::vector<float>(numSamples) };
    for (size_t i = 0; i < numSamples; ++i)
        input(i, out.left[i], out.right[i]);
    for (size_t start = 0; start < numSamples;)
    {
        size_t end = std::min(start + (size_t) kBlock, numSamples);
        for (size_t at : changes)
        {
            if (at == start)
                change(at);
            if (at > start && at < end)
                end = at;
        }
        if (modulation != nullptr)
            core.setModulation(modulation->data() + start, modulation->data() + start, false);
        core.process(out.left.data() + start, out.right.data() + start, out.left.data() + start,
                     out.right.data() + start, (int) (end - start));
        start = end;
    }
    return out;
}

// The level (dB, both channels together) of [from, to).
double levelDb(const Stereo& y, size_t from, size_t to)
{
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += (double) y.left[i] * y.left[i] + (double) y.right[i] * y.right[i];
    return powerDb(sum, to - from);
}

// How many samples one pass of a line's loop takes (what an echo comes back after).
double loopPeriod(const DelayCore& core, int mode)
{
    const double latency = mode >= 2 ? DspTables::getKernelLatency(tables().getKernel32(), DspTables::kTaps32)
                                     : DspTables::getKernelLatency(tables().getKernel16(), DspTables::kTaps16);
    return (double) core.getLeftLength() + core.getReadTrim() + 1.0 + latency;
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
    // Six passes of the longest loop, at a block's start: freeze comes on as
    // the input stops (input while frozen would be added).
    const size_t freezeAt = 6 * window / kBlock * kBlock;
    // A minute; at the highest rate (which costs four times as much) a quarter of it.
    const size_t frozenWindows = rate > 100000.0 ? 15 : 60;
    std::vector<float> modulation(kBlock);
    for (float seconds : { 0.005f, 0.05f, 1.0f })
    {
        auto core = makeCore(rate);
        core->setInterpolation(quality.mode, quality.step);
        core->setLeftFreeTime(seconds);
        core->setRightFreeTime(seconds);
        core->setParameter(P::kFeedback, 0.75f);  // 0.5
        core->setModulation(modulation.data(), modulation.data(), false);
        core->setParameter(P::kTimeModDepth, c.timeDepth);
        core->setParameter(P::kCutoffModDepth, c.timeDepth);
        core->setParameter(P::kFilterType, c.filterType);
        core->setParameter(P::kResonance, 1.0f);
        core->setParameter(P::kCutoff, 0.5f);
        core->setParameter(P::kFilterInLoop, 1.0f);
        core->setParameter(P::kOverdrive, c.drive ? 1.0f : 0.0f);
        core->setParameter(P::kPreamp, 0.5f);
        core->setParameter(P::kColor, 0.8f);
        core->setParameter(P::kOverdriveGain, 1.0f);
        core->prepare(kBlock, 3, (float) rate);
        const auto measured = levels(
            *core, (6 + frozenWindows) * window, window, [&](size_t i) { return i < freezeAt; },
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

// Noise into a line until its loop has settled, then freeze as the noise
// stops: the loop goes on as it sounded when freeze came on, whole: no 20 ms
// of it more than 2 dB below its median level, the first pass after the
// press (what the rings held) and the passes that hold it alike.
TEST_P(FrozenLoopHolds, TheLoopItCaughtWhole)
{
    const double rate = std::get<0>(GetParam());
    const Quality quality = kQualities[std::get<1>(GetParam())];
    const auto window = (size_t) (0.02 * rate);
    const Loop loops[] = { kLoops[3], kLoops[5] };   // 1 s free, 1/4 at 60 bpm
    for (float feedback : { 0.0f, 0.35f })
        for (const auto& loop : loops)
        {
            auto core = makeCore(rate);
            core->setInterpolation(quality.mode, quality.step);
            setLoop(*core, loop);
            core->setParameter(P::kFeedback, 0.5f + 0.5f * feedback);
            core->clear();
            const auto period = (size_t) loopPeriod(*core, quality.mode);
            const size_t press = 4 * period + 123;   // within a block
            Noise noise;
            const auto out = render(
                *core, press + 3 * period,
                [&](size_t i, float& l, float& r) {
                    l = i < press ? noise.next() : 0.0f;
                    r = i < press ? noise.next() : 0.0f;
                },
                { press }, [&](size_t) { core->setFreeze(true); });
            std::vector<double> measured;
            for (size_t from = press; from + window <= out.left.size(); from += window)
                measured.push_back(levelDb(out, from, from + window));
            std::vector<double> sorted = measured;
            std::sort(sorted.begin(), sorted.end());
            const double median = sorted[sorted.size() / 2];
            EXPECT_GT(median, -30.0);
            const auto quietest = std::min_element(measured.begin(), measured.end());
            EXPECT_GE(*quietest, median - 2.0)
                << loop.name << ", feedback " << feedback << ": " << (quietest - measured.begin()) * 20
                << " ms after the press";
        }
}

namespace
{
// Material played on while the line freezes: a 110 Hz pad at 0.5 (faded in
// over 50 ms, so that it starts without a click), or a drum loop at -21.3 dBFS
// whose bar lasts exactly one pass of the loop (so that each pass adds to the
// one before in phase, as a loop in time with the line does).
struct Material
{
    virtual ~Material() = default;
    virtual float at(size_t i) const = 0;
};

// A sine pad, faded in over 50 ms and, from `endsAt` on, out over 50 ms.
struct Pad : Material
{
    double rate = 48000.0;
    double hz = 110.0;
    double amplitude = 0.5;
    size_t endsAt = SIZE_MAX;
    float at(size_t i) const override
    {
        const double t = (double) i / rate;
        const double end = endsAt == SIZE_MAX ? 1.0e9 : (double) endsAt / rate;
        const double fade = std::min(rise(t), 1.0 - rise(t - end));
        return (float) (amplitude * fade * std::sin(DspCommon::kTwoPi * hz * t));
    }
    static double rise(double t) { return t <= 0.0 ? 0.0 : t < 0.05 ? 0.5 - 0.5 * std::cos(DspCommon::kPi * t / 0.05) : 1.0; }
};

struct DrumLoop : Material
{
    std::vector<float> bar;
    DrumLoop(double rate, size_t length) : bar(length, 0.0f)
    {
        Noise noise;
        auto hit = [&](size_t start, double seconds, auto&& sound) {
            for (size_t i = 0; i < (size_t) (seconds * rate) && start + i < length; ++i)
                bar[start + i] += (float) sound((double) i / rate);
        };
        for (int beat = 0; beat < 8; ++beat)
        {
            const size_t start = length * (size_t) beat / 8;
            if (beat % 4 == 0)   // kick: a falling sine
                hit(start, 0.4, [&](double t) {
                    const double phase = DspCommon::kTwoPi * (50.0 * t + 70.0 * 0.03 * (1.0 - std::exp(-t / 0.03)));
                    return std::exp(-t / 0.12) * std::sin(phase);
                });
            if (beat % 4 == 2)   // snare: a tone and noise
                hit(start, 0.25, [&](double t) {
                    return 0.5 * std::exp(-t / 0.05) * std::sin(DspCommon::kTwoPi * 190.0 * t)
                           + 0.6 * std::exp(-t / 0.07) * noise.next() / kNoiseAmplitude;
                });
            float previous = 0.0f;   // hi-hat: differentiated noise
            hit(start, 0.08, [&](double t) {
                const float n = noise.next() / kNoiseAmplitude;
                const double x = 0.25 * std::exp(-t / 0.015) * (n - previous);
                previous = n;
                return x;
            });
        }
        double sum = 0.0;
        for (float x : bar)
            sum += (double) x * x;
        const double scale = std::pow(10.0, -21.3 / 20.0) / std::sqrt(sum / (double) length);
        for (float& x : bar)
            x = (float) (x * scale);
    }
    float at(size_t i) const override { return bar[i % bar.size()]; }
};
} // namespace

// Material played on through the press and after it: what comes in while
// frozen is added, up to 6 dB above what the loop held (its first pass after
// the press), and no pass of the loop goes more than 0.5 dB past that.
TEST(FrozenLoop, PlayingOnBuildsUpToTheCapAndNoFurther)
{
    struct Case
    {
        const char* name;
        double rate;
        bool drums;
        float feedback;
    };
    const Case cases[] = {
        { "drum loop at 48 kHz", 48000.0, true, 0.35f },  { "drum loop at 96 kHz", 96000.0, true, 0.35f },
        { "drum loop at 44.1 kHz, feedback 0", 44100.0, true, 0.0f },
        { "pad at 48 kHz", 48000.0, false, 0.35f },       { "pad at 96 kHz", 96000.0, false, 0.35f },
        { "pad at 44.1 kHz, feedback 0", 44100.0, false, 0.0f },
    };
    for (const auto& c : cases)
    {
        auto core = makeCore(c.rate);
        core->setLinked(true);
        core->setLeftFreeTime(1.0f);
        core->setParameter(P::kFeedback, 0.5f + 0.5f * c.feedback);
        core->clear();
        const double period = loopPeriod(*core, 0);
        const auto pass = (size_t) std::lround(period);
        std::unique_ptr<Material> material;
        if (c.drums)
            material = std::make_unique<DrumLoop>(c.rate, pass);
        else
        {
            auto pad = std::make_unique<Pad>();
            pad->rate = c.rate;
            material = std::move(pad);
        }
        const size_t press = 4 * pass;
        const int passes = 8;
        const auto out = render(
            *core, press + (size_t) passes * pass,
            [&](size_t i, float& l, float& r) { l = r = material->at(i); }, { press },
            [&](size_t) { core->setFreeze(true); });
        const double held = levelDb(out, press, press + pass);
        double loudest = -400.0;
        for (int k = 1; k < passes; ++k)
        {
            const double level = levelDb(out, press + (size_t) k * pass, press + (size_t) (k + 1) * pass);
            loudest = std::max(loudest, level);
            EXPECT_LE(level, held + 6.0 + 0.5) << c.name << ", pass " << k << " after the press";
        }
        // What comes in is still added.
        EXPECT_GT(loudest, held + 3.0) << c.name;
    }
}

// A pad played on throughout, freeze on and later off: nothing in the output
// steps or kinks more than a clean sine of the same local amplitude bends (its
// second difference at most 4 times the sine's), neither where the loop
// reaches its cap nor one pass after either press.
TEST(FrozenLoop, FreezingAPadPlayedOnMakesNoClick)
{
    for (double rate : { 44100.0, 48000.0, 96000.0, 192000.0 })
        for (int mode : { 0, 2 })
            for (float feedback : { 0.0f, 0.35f })
            {
                auto core = makeCore(rate);
                core->setInterpolation(mode, mode == 2 ? 64.0 : 512.0);
                core->setLinked(true);
                core->setLeftFreeTime(1.0f);
                core->setParameter(P::kFeedback, 0.5f + 0.5f * feedback);
                core->clear();
                Pad pad;
                pad.rate = rate;
                const auto second = (size_t) rate;
                const size_t press = 3 * second + 77, release = 8 * second + 301;
                const auto out = render(
                    *core, 11 * second, [&](size_t i, float& l, float& r) { l = r = pad.at(i); }, { press, release },
                    [&](size_t at) { core->setFreeze(at == press); });
                // A sine of amplitude A bends by at most A (2 sin(pi f / fs))^2 per sample.
                const double bend = std::pow(2.0 * std::sin(DspCommon::kPi * 110.0 / rate), 2.0);
                const auto halfPeriod = (size_t) (0.5 * rate / 110.0) + 1;
                for (const auto* y : { &out.left, &out.right })
                {
                    // The local amplitude: the largest magnitude within a period or so
                    // (the half periods before, at and after the sample's).
                    std::vector<float> peaks(y->size() / halfPeriod + 1, 0.0f);
                    for (size_t i = 0; i < y->size(); ++i)
                        peaks[i / halfPeriod] = std::max(peaks[i / halfPeriod], std::abs((*y)[i]));
                    double worst = 0.0;
                    size_t worstAt = 0;
                    for (size_t i = halfPeriod; i + halfPeriod < y->size(); ++i)
                    {
                        const double d2 = std::abs((double) (*y)[i + 1] - 2.0 * (*y)[i] + (*y)[i - 1]);
                        if (d2 < 1.0e-9)
                            continue;
                        const size_t b = i / halfPeriod;
                        const float local = std::max({ peaks[b - 1], peaks[b], peaks[b + 1] });
                        const double ratio = d2 / ((double) local * bend);
                        if (ratio > worst)
                        {
                            worst = ratio;
                            worstAt = i;
                        }
                    }
                    EXPECT_LE(worst, 4.0) << rate << " Hz, mode " << mode << ", feedback " << feedback << ": at "
                                          << (double) worstAt / rate << " s";
                }
            }
}

namespace
{
// A 220 Hz pad at 0.3 into a line of `seconds` with feedback +35 %; it ends
// (fades out) at endsAt.
std::unique_ptr<DelayCore> padLine(double rate, const Quality& quality, float seconds)
{
    auto core = makeCore(rate);
    core->setInterpolation(quality.mode, quality.step);
    core->setLinked(true);
    core->setLeftFreeTime(seconds);
    core->setParameter(P::kFeedback, 0.5f + 0.5f * 0.35f);
    core->clear();
    return core;
}

Pad pad220(double rate, size_t endsAt = SIZE_MAX)
{
    Pad pad;
    pad.rate = rate;
    pad.hz = 220.0;
    pad.amplitude = 0.3;
    pad.endsAt = endsAt;
    return pad;
}

// A sine of `hz` on the time, 0..1, sample by sample.
std::vector<float> timeModulation(size_t numSamples, double rate, double hz)
{
    std::vector<float> m(numSamples);
    for (size_t i = 0; i < numSamples; ++i)
        m[i] = (float) (0.5 + 0.5 * std::sin(DspCommon::kTwoPi * hz * (double) i / rate));
    return m;
}
} // namespace

// A pad held in a frozen 500 ms line, then its time moved a little, a lot
// longer or a lot shorter: once the time has settled, each pass is as clean
// as before the move (its high band within 3 dB of before, or under
// -90 dBFS) and what plays is what it held (its spectral centroid within a
// third of an octave of before).
TEST_P(FrozenLoopHolds, WhatItHeldWhenTheTimeMoves)
{
    const double rate = std::get<0>(GetParam());
    const Quality quality = kQualities[std::get<1>(GetParam())];
    const auto second = (size_t) rate;
    const size_t press = second + 77, move = 3 * second + 301, settled = move + 3 * second / 2, end = 6 * second;
    for (float target : { 0.505f, 0.711f, 0.064f })
    {
        auto core = padLine(rate, quality, 0.5f);
        const Pad pad = pad220(rate, press);
        const auto out = render(
            *core, end, [&](size_t i, float& l, float& r) { l = r = pad.at(i); }, { press, move },
            [&](size_t at) {
                if (at == press)
                    core->setFreeze(true);
                else
                    core->setLeftFreeTime(target);
            });
        const auto band = SoundMeasures::highBand(out.left, rate);
        const double before = SoundMeasures::peakDb(band, press + second, move);
        const double after = SoundMeasures::peakDb(band, settled, end);
        EXPECT_LE(after, std::max(before + 3.0, -90.0)) << target << " s: before the move " << before;
        const double centreBefore = SoundMeasures::centroidHz(out.left, rate, press + second, move);
        const double centreAfter = SoundMeasures::centroidHz(out.left, rate, settled, end);
        EXPECT_LE(std::abs(std::log2(centreAfter / centreBefore)), 1.0 / 3.0)
            << target << " s: " << centreBefore << " Hz before the move, " << centreAfter << " Hz after";
    }
}

// Time modulation (a 0.7 Hz sine, as the first modulator gives unchanged, at
// depth 0.3 and full) on a pad held in a frozen 500 ms line: no tick. Its high
// band is no higher than the same line gives the pad played into it
// unfrozen, plus 3 dB (or -90 dBFS).
TEST(FrozenLoop, TimeModulationOnAHeldPadMakesNoTick)
{
    for (double rate : { 44100.0, 48000.0, 96000.0, 192000.0 })
        for (float depth : { 0.3f, 1.0f })
        {
            const auto second = (size_t) rate;
            const size_t press = second + 77, end = 4 * second;
            const auto modulation = timeModulation(end, rate, 0.7);
            double highBand[2] {};
            for (bool frozen : { false, true })
            {
                auto core = padLine(rate, kQualities[2], 0.5f);
                core->setParameter(P::kTimeModDepth, depth);
                const Pad pad = pad220(rate, frozen ? press : SIZE_MAX);
                const auto out = render(
                    *core, end, [&](size_t i, float& l, float& r) { l = r = pad.at(i); }, { press },
                    [&](size_t) { core->setFreeze(frozen); }, &modulation);
                highBand[frozen] = SoundMeasures::peakDb(SoundMeasures::highBand(out.left, rate), 2 * second, end);
            }
            EXPECT_LE(highBand[1], std::max(highBand[0] + 3.0, -90.0))
                << rate << " Hz, depth " << depth << ": unfrozen " << highBand[0];
        }
}

// ... and holds its level, within 0.5 dB, for as many passes as a minute of
// a 500 ms loop (120 passes of a 50 ms one), at every quality and rate.
TEST_P(FrozenLoopHolds, UnderTimeModulationForAMinuteOfPasses)
{
    const double rate = std::get<0>(GetParam());
    const Quality quality = kQualities[std::get<1>(GetParam())];
    const auto second = (size_t) rate;
    const size_t press = second / 2 + 77, end = press + 7 * second;
    const auto modulation = timeModulation(end, rate, 1.0);
    auto core = padLine(rate, quality, 0.05f);
    core->setParameter(P::kTimeModDepth, 0.3f);
    const Pad pad = pad220(rate, press);
    const auto out = render(
        *core, end, [&](size_t i, float& l, float& r) { l = r = pad.at(i); }, { press },
        [&](size_t) { core->setFreeze(true); }, &modulation);
    // Seconds: whole periods of the modulation.
    const double first = levelDb(out, press + second, press + 2 * second);
    EXPECT_GT(first, -30.0);
    for (size_t k = 2; k < 7; ++k)
        EXPECT_NEAR(levelDb(out, press + k * second, press + (k + 1) * second), first, 0.5) << "second " << k;
}

// A pad played on while freeze is pressed again and again, every 50 ms or at
// random every 30 to 80 ms: no pass of the loop goes more than 0.5 dB past
// the cap of the first press (6 dB over what it held then).
TEST(FrozenLoop, PressedAgainAndAgainItKeepsTheCapOfTheFirstPress)
{
    for (double rate : { 44100.0, 48000.0 })
        for (bool random : { false, true })
        {
            auto core = padLine(rate, kQualities[2], 0.25f);
            const auto pass = (size_t) std::lround(loopPeriod(*core, kQualities[2].mode));
            const auto second = (size_t) rate;
            const size_t press = second + 77, end = 7 * second;
            std::vector<size_t> presses;
            uint32_t seed = 0x1234567u;
            for (size_t at = press; at < end;)
            {
                presses.push_back(at);
                seed = seed * 1664525u + 1013904223u;
                const double ms = random ? 30.0 + 50.0 * (double) (seed >> 8) / (double) (1u << 24) : 50.0;
                at += (size_t) (ms * 0.001 * rate);
            }
            const Pad pad = pad220(rate);
            bool frozen = false;
            const auto out = render(
                *core, end, [&](size_t i, float& l, float& r) { l = r = pad.at(i); }, presses,
                [&](size_t) { core->setFreeze(frozen = ! frozen); });
            const double cap = levelDb(out, press, press + pass) + 6.0;
            double loudest = -400.0;
            for (size_t from = press + pass; from + pass <= end; from += pass / 5)
                loudest = std::max(loudest, levelDb(out, from, from + pass));
            EXPECT_LE(loudest, cap + 0.5) << rate << " Hz, " << (random ? "at random" : "every 50 ms");
        }
}

// A synced line frozen keeps the host's beat: a pass of the loop is its note
// value to the nearest sample, so that it drifts at most 3 ms a minute at a
// 1/8 triplet at 137 bpm (7007.3 samples at 48 kHz), and not at all (less
// than a sample a minute) where the note value is a whole number of samples.
TEST(FrozenLoop, ASyncedLoopKeepsTheBeat)
{
    struct Note
    {
        const char* name;
        int numerator, denominator;
        bool triplet;
        double bpm;
    };
    const Note notes[] = { { "1/8 triplet at 137 bpm", 1, 8, true, 137.0 }, { "1/4 at 120 bpm", 1, 4, false, 120.0 } };
    for (double rate : { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 })
        for (const auto& note : notes)
        {
            auto core = makeCore(rate);
            core->setLinked(true);
            core->setTempo(note.bpm);
            core->setSynced(true);
            core->setLeftNumerator(note.numerator);
            core->setLeftDenominator(note.denominator);
            core->setLeftNoteLengthMode(note.triplet ? 2 : 0);
            core->setFreeze(true);
            core->clear();
            const double length = rate * 60.0 / note.bpm * 4.0 * note.numerator / note.denominator
                                  * (note.triplet ? 2.0 / 3.0 : 1.0);
            const int passes = 12;
            const size_t start = 100;
            std::vector<float> l((size_t) ((passes + 1) * length), 0.0f);
            l[start] = 0.5f;
            const auto out = run(*core, l, l);
            // Where the echo of pass k peaks.
            auto peak = [&](int k) {
                const auto from = out.left.begin() + (long) (start + (k - 0.5) * length);
                const auto loudest = std::max_element(from, from + (long) length,
                                                      [](float a, float b) { return std::abs(a) < std::abs(b); });
                return (double) (loudest - out.left.begin());
            };
            const double period = (peak(passes - 1) - peak(1)) / (double) (passes - 2);
            const double samplesAMinute = (period - length) * 60.0 * rate / length;
            const bool whole = std::abs(length - std::round(length)) < 1.0e-6;
            EXPECT_LE(std::abs(samplesAMinute) / rate * 1000.0, 3.0) << note.name << " at " << rate << " Hz";
            if (whole)
                EXPECT_LE(std::abs(samplesAMinute), 1.0) << note.name << " at " << rate << " Hz";
        }
}

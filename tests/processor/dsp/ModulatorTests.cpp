#include "DelayEngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using P = DelayParameters;

namespace
{
constexpr double kPi = 3.14159265358979323846;

// Runs silence (or a constant input) through the engine and collects one
// modulation buffer sample by sample.
std::vector<float> collect(DelayEngine& e, int buffer, int numSamples, float inLeft = 0.0f, float inRight = 0.0f)
{
    std::vector<float> out;
    out.reserve((size_t) numSamples);
    const int block = 64;
    std::vector<float> l((size_t) block), r((size_t) block);
    for (int done = 0; done < numSamples; done += block)
    {
        std::fill(l.begin(), l.end(), inLeft);
        std::fill(r.begin(), r.end(), inRight);
        float* channels[2] = { l.data(), r.data() };
        e.process(channels, block, true, true);
        const float* m = e.getModulationBuffer(buffer);
        out.insert(out.end(), m, m + block);
    }
    out.resize((size_t) numSamples);
    return out;
}

double freeRateHz(double v)
{
    return std::exp(3.258840824040285 * v) * 1.5947651006752834 - 1.494765100692059;
}
} // namespace

TEST(ModulatorTests, ShapesFollowThePhase)
{
    struct Case { int shape; double phi; double expected; };
    const Case cases[] = {
        { DelayEngine::shapeTriangle, 0.0, -1.0 }, { DelayEngine::shapeTriangle, kPi / 2, 0.0 },
        { DelayEngine::shapeTriangle, kPi, 1.0 }, { DelayEngine::shapeTriangle, 1.5 * kPi, 0.0 },
        { DelayEngine::shapeSine, kPi / 4, 0.0 }, { DelayEngine::shapeSine, 3 * kPi / 4, 1.0 },
        { DelayEngine::shapeSine, 7 * kPi / 4, -1.0 },
        { DelayEngine::shapeSquare, 0.1, 1.0 }, { DelayEngine::shapeSquare, kPi + 0.1, -1.0 },
        { DelayEngine::shapeSawDown, 0.0, 1.0 }, { DelayEngine::shapeSawDown, kPi, 0.0 },
        { DelayEngine::shapeSawDown, 2 * kPi, -1.0 },
        { DelayEngine::shapeSawUp, 0.0, -1.0 }, { DelayEngine::shapeSawUp, 1.5 * kPi, 0.5 },
    };
    DelayEngine::Oscillator o;
    for (const auto& c : cases)
    {
        o.shape = c.shape;
        EXPECT_NEAR(o.shapeValue(c.phi), c.expected, 1e-12) << c.shape << " at " << c.phi;
    }
}

TEST(ModulatorTests, NoiseGeneratorIsTheSeededSequence)
{
    DelayEngine::Oscillator o;
    o.noiseStep();
    EXPECT_NEAR(o.held, (double) (int32_t) 0xefcdab89u * 4.656613e-10, 1e-7);
    EXPECT_EQ(o.noiseA, 0x88888888u);
    EXPECT_EQ(o.noiseB, 0x78563411u);
    o.shape = DelayEngine::shapeRandom;
    const float first = o.held;
    // The held value stays for the whole cycle and changes when the phase wraps.
    o.increment = 2.0 * kPi / 100.0 + 1e-20;
    for (int i = 0; i < 98; ++i)
        EXPECT_EQ(o.tick(), first);
    o.tick();
    o.tick();
    o.tick();
    EXPECT_NE(o.held, first);
    EXPECT_NEAR(o.held, (double) (int32_t) 0x78563411u * 4.656613e-10, 1e-7);
}

TEST(ModulatorTests, FreeLfoPeriodMatchesTheRate)
{
    struct Case { double rate; float v; int shapeChoice; };
    const Case cases[] = { { 44100.0, 0.5f, P::kWaveformTriangle }, { 96000.0, 0.8f, P::kWaveformSine },
                           { 22050.0, 0.2f, P::kWaveformSquare }, { 192000.0, 1.0f, P::kWaveformTriangle } };
    for (const auto& c : cases)
    {
        DelayEngine e;
        e.prepare(512, c.rate);
        e.setGlobalParameter(P::kMod1First + P::kModulatorType, P::choiceValue(P::kindOscillator, P::kNumModulatorKinds));
        e.setGlobalParameter(P::kMod1Waveform, P::choiceValue(c.shapeChoice, P::kNumWaveforms));
        e.setGlobalParameter(P::kMod1Frequency, c.v);
        const double hz = freeRateHz(c.v);
        const int total = (int) (c.rate * std::max(1.0, 6.0 / hz));
        const auto u = collect(e, DelayEngine::bufferOscillator1Left, total);
        std::vector<int> rising;
        for (size_t i = 1; i < u.size(); ++i)
            if (u[i - 1] < 0.5f && u[i] >= 0.5f)
                rising.push_back((int) i);
        ASSERT_GE(rising.size(), 3u) << c.rate;
        const double period = (double) (rising.back() - rising[1]) / (double) (rising.size() - 2);
        EXPECT_NEAR(period, c.rate / hz, c.rate / hz * 0.002) << c.rate << " " << c.v;
        for (float x : u)
            ASSERT_TRUE(x >= 0.0f && x <= 1.0f);
    }
    EXPECT_NEAR(freeRateHz(0.0), 0.1, 1e-9);
    EXPECT_NEAR(freeRateHz(1.0), 40.0, 1e-6);
}

TEST(ModulatorTests, StereoPhaseOfOneGivesOppositeSquares)
{
    DelayEngine e;
    e.setGlobalParameter(P::kMod1First + P::kModulatorType, P::choiceValue(P::kindOscillator, P::kNumModulatorKinds));
    e.setGlobalParameter(P::kMod1Waveform, P::choiceValue(P::kWaveformSquare, P::kNumWaveforms));
    e.setGlobalParameter(P::kMod1First + P::kModulatorStereoPhase, 1.0f);  // the right half a cycle on
    e.setGlobalParameter(P::kMod1Frequency, 0.3f);
    const int n = 44100;
    const auto left = collect(e, DelayEngine::bufferOscillator1Left, n);
    e.reset();
    const auto right = collect(e, DelayEngine::bufferOscillator1Right, n);
    int opposite = 0;
    for (int i = 0; i < n; ++i)
        if ((left[(size_t) i] > 0.9f && right[(size_t) i] < 0.1f) || (left[(size_t) i] < 0.1f && right[(size_t) i] > 0.9f))
            ++opposite;
    EXPECT_GT(opposite, n * 9 / 10);
}

TEST(ModulatorTests, SyncedRateAndPhaseFollowTheTempo)
{
    DelayEngine e;
    e.setGlobalParameter(P::kMod1First + P::kModulatorSync, 1.0f);
    e.setModulatorRate(0, 0.5);  // half a cycle per beat
    e.setTempo(120.0);
    EXPECT_NEAR(e.getOscillator(0).rate, 1.0, 1e-12);
    e.setTempo(0.0);             // refused: no tempo from the host
    e.setTempo(-10.0);
    e.setTempo(std::nan(""));
    EXPECT_NEAR(e.getOscillator(1).rate, 1.0, 1e-12);
    // The tempo is taken in single precision.
    e.setTempo(133.3333333333333);
    EXPECT_EQ(e.getOscillator(0).rate, (double) 133.3333333333333f / 60.0 * 0.5);
    e.setTempo(120.0);
    e.syncModulatorPhase(0, 3.25);
    EXPECT_NEAR(e.getOscillator(0).phase, kPi / 2, 1e-6);
    EXPECT_NEAR(e.getOscillator(1).phase, kPi / 2, 1e-6);
    // Not synced: the clock does not move modulator 2.
    e.syncModulatorPhase(1, 0.5);
    EXPECT_EQ(e.getOscillator(2).phase, 0.0);
}

TEST(ModulatorTests, EnvelopeRunsAttackDecayHoldRelease)
{
    struct Case { float sustain; float hold; };
    const Case cases[] = { { 0.5f, 0.1f }, { 1.0f, 0.05f }, { 0.0f, 0.0f } };
    for (const auto& c : cases)
    {
        DelayEngine e;
        e.setGlobalParameter(P::kMod1First + P::kModulatorType, P::choiceValue(P::kindEnvelope, P::kNumModulatorKinds));
        e.setGlobalParameter(P::kMod1First + P::kEnvelopeAttack, 0.0f);  // fastest
        e.setGlobalParameter(P::kMod1First + P::kEnvelopeDecay, 0.0f);   // fastest
        e.setGlobalParameter(P::kMod1First + P::kEnvelopeSustain, c.sustain);
        e.setGlobalParameter(P::kMod1First + P::kEnvelopeHold, c.hold);
        e.setGlobalParameter(P::kMod1First + P::kEnvelopeRelease, 0.0f);  // fastest
        e.retriggerModulator(0);
        EXPECT_TRUE(e.takeRestart(0));
        EXPECT_FALSE(e.takeRetriggerEvent(0));  // MIDI retriggers are not detector events
        const auto env = collect(e, DelayEngine::bufferEnvelope1, 44100);
        const auto peak = std::max_element(env.begin(), env.end());
        EXPECT_EQ(*peak, 1.0f);
        // The attack reaches 1 in about 45 samples (coefficient 0.0155 towards 2).
        EXPECT_NEAR((double) (peak - env.begin()), 44.0, 2.0) << c.sustain;
        // The hold plateau sits just above the sustain level for the hold time.
        const float plateau = c.sustain >= 1.0f ? 1.0f : env[(size_t) (peak - env.begin()) + 300];
        EXPECT_NEAR(plateau, std::min(1.0f, c.sustain + 0.01f), 0.011f);
        int held = 0;
        for (float x : env)
            if (x == plateau)
                ++held;
        EXPECT_NEAR(held, (int) (c.hold * 44100.0f), 2 + (c.sustain >= 1.0f ? 1 : 0)) << c.sustain;
        EXPECT_LT(env.back(), 1e-3f);
        for (float x : env)
            ASSERT_TRUE(x >= 0.0f && x <= 1.0f);
    }
}

TEST(ModulatorTests, PeakFollowerTracksTheInput)
{
    struct Case { float sensitivity; float in; float expected; };
    const Case cases[] = { { 0.0f, 0.15f, 0.3f }, { 0.25f, 0.1f, 0.2f * (float) std::pow(10.0, 6.0 / 20.0) }, { 1.0f, 0.1f, 1.0f } };
    for (const auto& c : cases)
    {
        DelayEngine e;
        e.setGlobalParameter(P::kMod1First + P::kModulatorType, P::choiceValue(P::kindPeakFollower, P::kNumModulatorKinds));
        e.setGlobalParameter(P::kMod1First + P::kFollowerSensitivity, c.sensitivity);
        e.setGlobalParameter(P::kMod1First + P::kFollowerAttack, 0.0f);
        e.setGlobalParameter(P::kMod1First + P::kFollowerRelease, 0.0f);
        const auto up = collect(e, DelayEngine::bufferPeakFollower1, 4410, c.in, c.in);
        EXPECT_NEAR(up.back(), c.expected, 1e-3f);
        EXPECT_NEAR(e.getPeakFollowerLevel(0), c.expected, 2e-3f);
        // Rises fast, falls back with the release.
        EXPECT_GT(up[200], 0.9f * c.expected);
        const auto down = collect(e, DelayEngine::bufferPeakFollower1, 4410);
        EXPECT_LT(down.back(), 1e-3f);
    }
}

TEST(ModulatorTests, LevelDetectorRetriggersFromTheInput)
{
    DelayEngine e;
    e.setGlobalParameter(P::kMod1First + P::kModulatorType, P::choiceValue(P::kindEnvelope, P::kNumModulatorKinds));
    e.setGlobalParameter(P::kMod1RetriggerMode, P::choiceValue(P::kRetriggerInputLevel, P::kNumRetriggerModes));
    e.setGlobalParameter(P::kMod1First + P::kDetectorSpeed, 1.0f);
    e.setGlobalParameter(P::kMod1First + P::kDetectorOnThreshold, 0.5f);    // -32 dB
    e.setGlobalParameter(P::kMod1First + P::kDetectorOffThreshold, 0.75f);  // -48 dB
    // Modulator 2: an envelope retriggered by MIDI only.
    e.setGlobalParameter(P::kMod2First + P::kModulatorType, P::choiceValue(P::kindEnvelope, P::kNumModulatorKinds));
    e.setGlobalParameter(P::kMod2RetriggerMode, P::choiceValue(P::kRetriggerMidiNote, P::kNumRetriggerModes));
    collect(e, DelayEngine::bufferEnvelope1, 4410);
    EXPECT_FLOAT_EQ(e.getDetectorLevel(0), 5.0f);
    EXPECT_FALSE(e.takeRetriggerEvent(0));
    const auto env = collect(e, DelayEngine::bufferEnvelope1, 4410, 0.25f, 0.25f);
    EXPECT_TRUE(e.takeRetriggerEvent(0));
    EXPECT_TRUE(e.takeRestart(0));
    EXPECT_FALSE(e.takeRetriggerEvent(0));  // taken once
    EXPECT_FALSE(e.takeRetriggerEvent(1));
    EXPECT_FALSE(e.takeRestart(1));
    EXPECT_EQ(*std::max_element(env.begin(), env.end()), 1.0f);
    // A loud steady level (x = 0.5, mean square 0.25) shows as 6 dB below full scale on the 64 dB scale.
    EXPECT_NEAR(e.getDetectorLevel(0), -20.0 * std::log10(0.25) / 64.0, 0.01);
    const auto env2 = collect(e, DelayEngine::bufferEnvelope2, 64, 0.25f, 0.25f);
    EXPECT_EQ(env2.back(), 0.0f);
}

TEST(ModulatorTests, LfoLampFollowsTheFirstHalfCycle)
{
    DelayEngine e;
    e.setGlobalParameter(P::kMod1Frequency, 1.0f);  // 40 Hz: 1102.5 samples per cycle
    int lit = 0, dark = 0;
    for (int b = 0; b < 200; ++b)
    {
        collect(e, 0, 64);
        (e.getLfoLampFrame(0) == 1 ? lit : dark)++;
    }
    EXPECT_NEAR(lit, 100, 12);
    EXPECT_NEAR(dark, 100, 12);
}

TEST(ModulatorTests, RandomShapeDrawsAtEveryPhaseReset)
{
    // 0.1 Hz random: no wrap for ten seconds, so only resets draw new values.
    DelayEngine e;
    e.setGlobalParameter(P::kMod1First + P::kModulatorType, P::choiceValue(P::kindOscillator, P::kNumModulatorKinds));
    e.setGlobalParameter(P::kMod1Waveform, P::choiceValue(P::kWaveformRandom, P::kNumWaveforms));
    e.setGlobalParameter(P::kMod1Frequency, 0.0f);  // 0.1 Hz
    e.setGlobalParameter(P::kMod1First + P::kModulatorSync, 0.0f);
    const auto steady = collect(e, DelayEngine::bufferOscillator1Left, 4410);
    const float before = e.getOscillator(0).held;
    EXPECT_NEAR(steady.back(), 0.5f * before + 0.5f, 1e-5f);
    e.retriggerModulator(0);
    const float afterRetrigger = e.getOscillator(0).held;
    EXPECT_NE(afterRetrigger, before);
    // The new value reaches the buffer within a few milliseconds (smoothing 0.05).
    const auto next = collect(e, DelayEngine::bufferOscillator1Left, 441);
    EXPECT_NEAR(next.back(), 0.5f * afterRetrigger + 0.5f, 1e-5f);
    // Clock sync of a synced modulator draws again; a free one ignores the clock.
    e.syncModulatorPhase(0, 2.5);
    EXPECT_EQ(e.getOscillator(0).held, afterRetrigger);
    e.setGlobalParameter(P::kMod1First + P::kModulatorSync, 1.0f);
    e.syncModulatorPhase(0, 2.5);
    EXPECT_NE(e.getOscillator(0).held, afterRetrigger);
    EXPECT_EQ(e.getOscillator(0).held, e.getOscillator(1).held);  // same sequence, same number of draws
}

TEST(ModulatorTests, DetectorGateNeedsTheOffThresholdBeforeItRetriggersAgain)
{
    // On at -24 dB, off at -48 dB, both compared with the mean square r of
    // left + right as 20 log10 r. Steady inputs: loud 0.5 + 0.5 (r = 1, 0 dB),
    // middle 0.0628 + 0.0628 (r = 0.0158, -36 dB, between the two), quiet 0.
    struct Step { float in; int samples; };
    struct Case { std::vector<Step> steps; int expectedRetriggers; };
    const Case cases[] = {
        { { { 0.5f, 4410 } }, 1 },
        { { { 0.5f, 4410 }, { 0.0628f, 22050 }, { 0.5f, 4410 } }, 1 },  // never below off
        { { { 0.5f, 4410 }, { 0.0f, 22050 }, { 0.5f, 4410 } }, 2 },
        { { { 0.5f, 4410 }, { 0.0f, 22050 }, { 0.0628f, 22050 }, { 0.0f, 22050 }, { 0.5f, 4410 } }, 2 },
    };
    for (const auto& c : cases)
    {
        DelayEngine e;
        e.setGlobalParameter(P::kMod1First + P::kModulatorType, P::choiceValue(P::kindEnvelope, P::kNumModulatorKinds));
        e.setGlobalParameter(P::kMod1RetriggerMode, P::choiceValue(P::kRetriggerInputLevel, P::kNumRetriggerModes));
        e.setGlobalParameter(P::kMod1First + P::kDetectorSpeed, 1.0f);
        e.setGlobalParameter(P::kMod1First + P::kDetectorOnThreshold, 24.0f / 64.0f);
        e.setGlobalParameter(P::kMod1First + P::kDetectorOffThreshold, 48.0f / 64.0f);
        int retriggers = 0;
        for (const auto& s : c.steps)
            for (int done = 0; done < s.samples; done += 441)
            {
                collect(e, DelayEngine::bufferEnvelope1, 441, s.in, s.in);
                retriggers += e.takeRetriggerEvent(0) ? 1 : 0;
            }
        EXPECT_EQ(retriggers, c.expectedRetriggers) << c.steps.size();
    }
}

TEST(ModulatorTests, OscillatorsSideBySideGiveWhatEachGivesAlone)
{
    // The engine runs its four oscillators side by side: each buffer must be
    // what that oscillator gives alone, sample for sample, for every pair of
    // shapes (alike and not), inverted or not, with a stereo phase, at rates
    // slow and far beyond any LFO's, on the SSE2 and the AVX2 way, in blocks
    // of any length, also standing still.
    const float shapeChoices[] = { 0.0f, 0.25f, 0.5f, 0.75f, 1.0f };
    for (bool avx2 : { false, true })
        for (float first : shapeChoices)
            for (float second : shapeChoices)
            {
                DelayEngine e(avx2);
                e.prepare(512, 48000.0);
                e.setGlobalParameter(P::kMod1Waveform, first);
                e.setGlobalParameter(P::kMod2Waveform, second);
                e.setGlobalParameter(P::kMod1Invert, first == 0.25f ? 1.0f : 0.0f);
                e.setGlobalParameter(P::kMod2Invert, second == 1.0f ? 1.0f : 0.0f);
                e.setGlobalParameter(P::kMod1First + P::kModulatorStereoPhase, 0.3f);
                e.setGlobalParameter(P::kMod2First + P::kModulatorStereoPhase, 1.0f);
                e.setGlobalParameter(P::kMod1Frequency, 0.9f);
                e.setGlobalParameter(P::kMod2Frequency, first == second ? 1.0f : 0.2f);
                const int blocks[] = { 512, 64, 333, 1, 480, 97 };
                std::vector<float> l(512), r(512);
                for (int round = 0; round < 30; ++round)
                {
                    if (round == 12)
                    {
                        e.setGlobalParameter(P::kMod2First + P::kModulatorSync, 1.0f);
                        e.setModulatorRate(1, 1.0);
                    }
                    if (round == 20)
                        e.setModulatorRate(1, 0.0);   // standing still
                    if (round == 15)
                        e.setGlobalParameter(P::kMod1First + P::kModulatorStereoPhase, 0.9f);  // moved under a running phase
                    const int n = blocks[round % 6];
                    DelayEngine::Oscillator alone[4];
                    for (int o = 0; o < 4; ++o)
                        alone[o] = e.getOscillator(o);
                    std::fill(l.begin(), l.end(), 0.1f);
                    std::fill(r.begin(), r.end(), -0.05f);
                    float* channels[2] = { l.data(), r.data() };
                    e.process(channels, n, true, true);
                    for (int o = 0; o < 4; ++o)
                    {
                        std::vector<float> expected((size_t) n);
                        alone[o].run(expected.data(), n, e.getOscillatorCoefficient());
                        const float* got = e.getModulationBuffer(o);
                        for (int i = 0; i < n; ++i)
                            ASSERT_EQ(got[i], expected[(size_t) i])
                                << avx2 << " " << first << " " << second << " round " << round << " oscillator " << o
                                << " sample " << i;
                        EXPECT_EQ(e.getOscillator(o).phase, alone[o].phase);
                        EXPECT_EQ(e.getOscillator(o).smoothed, alone[o].smoothed);
                        EXPECT_EQ(e.getOscillator(o).held, alone[o].held);
                        EXPECT_EQ(e.getOscillator(o).noiseA, alone[o].noiseA);
                    }
                }
            }
}

TEST(ModulatorTests, DetectorRetriggersInBlocksGiveWhatSampleBySampleGives)
{
    // Both modulators retriggered by their detectors (at samples of their
    // own), followers and envelopes running: every modulation buffer and the
    // modulators' state after each block must be what the single structures
    // give sample by sample, the detectors deciding where each starts again,
    // on the SSE2 and the AVX2 way, in blocks of any length.
    const double rate = 48000.0;
    SampleRateContext context;
    context.set(rate);
    const int closeAfter = (int) (context.samplesPerMs * 10.0);
    for (bool avx2 : { false, true })
    {
        DelayEngine e(avx2);
        e.prepare(512, rate);
        // Modulator 1: a random oscillator retriggered by its detector.
        e.setGlobalParameter(P::kMod1First + P::kModulatorType, P::choiceValue(P::kindOscillator, P::kNumModulatorKinds));
        e.setGlobalParameter(P::kMod1Waveform, P::choiceValue(P::kWaveformRandom, P::kNumWaveforms));
        e.setGlobalParameter(P::kMod1RetriggerMode, P::choiceValue(P::kRetriggerInputLevel, P::kNumRetriggerModes));
        e.setGlobalParameter(P::kMod1First + P::kDetectorSpeed, 1.0f);
        e.setGlobalParameter(P::kMod1First + P::kDetectorOnThreshold, 0.3f);
        e.setGlobalParameter(P::kMod1First + P::kDetectorOffThreshold, 0.45f);
        e.setGlobalParameter(P::kMod1Frequency, 0.7f);
        e.setGlobalParameter(P::kMod1First + P::kModulatorStereoPhase, 0.4f);
        // Modulator 2: an envelope retriggered by its slower detector; its
        // oscillators sine.
        e.setGlobalParameter(P::kMod2First + P::kModulatorType, P::choiceValue(P::kindEnvelope, P::kNumModulatorKinds));
        e.setGlobalParameter(P::kMod2Waveform, P::choiceValue(P::kWaveformSine, P::kNumWaveforms));
        e.setGlobalParameter(P::kMod2RetriggerMode, P::choiceValue(P::kRetriggerInputLevel, P::kNumRetriggerModes));
        e.setGlobalParameter(P::kMod2First + P::kDetectorSpeed, 0.85f);
        e.setGlobalParameter(P::kMod2First + P::kDetectorOnThreshold, 0.3f);
        e.setGlobalParameter(P::kMod2First + P::kDetectorOffThreshold, 0.45f);
        e.setGlobalParameter(P::kMod2First + P::kEnvelopeHold, 0.05f);  // short

        e.setGlobalParameter(P::kMod2First + P::kFollowerSensitivity, 0.6f);
        const int blocks[] = { 512, 64, 333, 1, 480, 97 };
        uint32_t seed = 7;
        std::vector<float> l(512), r(512);
        int retriggers[2] = {};
        for (int round = 0; round < 360; ++round)
        {
            const int n = blocks[round % 6];
            // Bursts of noise and gaps of silence, a few blocks each.
            const double loud = (round / 10) % 2 == 0 ? 0.6 : (round % 3 == 0 ? 0.002 : 0.0);
            for (int i = 0; i < n; ++i)
            {
                seed = seed * 1664525u + 1013904223u;
                l[(size_t) i] = (float) (loud * (double) (int32_t) seed / 2147483648.0);
                r[(size_t) i] = -0.5f * l[(size_t) i];
            }

            DelayEngine::Oscillator oscillators[4];
            for (int o = 0; o < 4; ++o)
                oscillators[o] = e.getOscillator(o);
            DelayEngine::Modulator modulators[2] = { e.getModulator(0), e.getModulator(1) };
            std::vector<float> expected[8];
            for (auto& b : expected)
                b.assign((size_t) n, 0.0f);
            std::vector<int> points[2];
            for (int i = 0; i < n; ++i)
            {
                const double sum = (double) l[(size_t) i] + (double) r[(size_t) i];
                const double x = sum < 0.0 ? (double) r[(size_t) i] - (double) l[(size_t) i] : sum;
                for (int m = 0; m < 2; ++m)
                {
                    expected[DelayEngine::bufferPeakFollower1 + m][(size_t) i] = modulators[m].follower.tick(x);
                    if (modulators[m].detector.tick(x, context.kF, closeAfter) && modulators[m].retriggerMode == 2)
                        points[m].push_back(i);
                }
            }
            for (int m = 0; m < 2; ++m)
            {
                retriggers[m] += (int) points[m].size();
                for (size_t p = 0, from = 0; from < (size_t) n; ++p)
                {
                    const size_t to = p < points[m].size() ? (size_t) points[m][p] + 1 : (size_t) n;
                    for (int o = 2 * m; o < 2 * m + 2; ++o)
                        oscillators[o].run(expected[o].data() + from, (int) (to - from), e.getOscillatorCoefficient());
                    modulators[m].envelope.run(expected[DelayEngine::bufferEnvelope1 + m].data() + from, (int) (to - from));
                    if (p < points[m].size())
                    {
                        oscillators[2 * m].resetPhase(0.0);
                        oscillators[2 * m + 1].resetPhase(0.0);
                        modulators[m].envelope.start();
                    }
                    from = to;
                }
            }

            float* channels[2] = { l.data(), r.data() };
            e.process(channels, n, true, true);
            for (int b = 0; b < 8; ++b)
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(e.getModulationBuffer(b)[i], expected[b][(size_t) i])
                        << avx2 << " round " << round << " buffer " << b << " sample " << i;
            for (int o = 0; o < 4; ++o)
            {
                ASSERT_EQ(e.getOscillator(o).phase, oscillators[o].phase) << round << " " << o;
                ASSERT_EQ(e.getOscillator(o).smoothed, oscillators[o].smoothed) << round << " " << o;
                ASSERT_EQ(e.getOscillator(o).noiseB, oscillators[o].noiseB) << round << " " << o;
            }
            for (int m = 0; m < 2; ++m)
            {
                ASSERT_EQ(e.getModulator(m).detector.level, modulators[m].detector.level) << round << " " << m;
                ASSERT_EQ(e.getModulator(m).detector.gate, modulators[m].detector.gate) << round << " " << m;
                ASSERT_EQ(e.getModulator(m).detector.gateCounter, modulators[m].detector.gateCounter) << round << " " << m;
                ASSERT_EQ(e.getModulator(m).follower.value, modulators[m].follower.value) << round << " " << m;
                ASSERT_EQ(e.getModulator(m).envelope.value, modulators[m].envelope.value) << round << " " << m;
            }
        }
        // Each detector opened its gate again and again.
        EXPECT_GT(retriggers[0], 5) << avx2;
        EXPECT_GT(retriggers[1], 5) << avx2;
    }
}

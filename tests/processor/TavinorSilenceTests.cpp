#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "TavinorTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>

using namespace TavinorTest;

// Silence after sound is silent: once a preset's echoes have died away the
// output is exact zeros, so that a host that looks for silence (to stop
// processing a track, or to show it idle) sees it. Every factory preset whose
// feedback ends, each its own test so that they run side by side.

namespace
{
constexpr int kBlock = 512;
constexpr double kNoiseSeconds = 2.0;
// -300 dBFS: far below anything heard, far above the smallest float.
constexpr double kTailFloor = 1.0e-15;
// A line rests once its peak meter has fallen (3.8 dB a second) and its ring
// has been quiet for its length: after loud input, within this.
constexpr double kSilentWithinSeconds = 40.0;
// No preset's tail lasts longer than this.
constexpr double kLongestTailSeconds = 900.0;

// A line that keeps all it feeds back (feedback +-100 %) never falls silent.
bool hasEndlessFeedback(Tavinor& t)
{
    auto& pm = t.getParameterManager();
    for (int line = 0; line < Tavinor::kNumLines; ++line)
    {
        const int base = Tavinor::getLineParameterBase(line);
        const float feedback = pm.getNormalisedValue(base + Tavinor::kFeedback);
        const bool audible = pm.getNormalisedValue(base + Tavinor::kLevel) > 0.0f;
        if (audible && (feedback <= 0.0f || feedback >= 1.0f))
            return true;
    }
    return false;
}

class TavinorSilence : public ::testing::TestWithParam<std::tuple<std::string, double>>
{
};

std::string testName(const ::testing::TestParamInfo<std::tuple<std::string, double>>& info)
{
    return presetTestName(std::get<0>(info.param), std::get<1>(info.param));
}
} // namespace

INSTANTIATE_TEST_SUITE_P(AfterNoise, TavinorSilence,
                         ::testing::Combine(::testing::ValuesIn(factoryPresetNames()),
                                            ::testing::Values(44100.0, 96000.0)),
                         testName);

// White noise at -12 dBFS for 2 s, then silence until the output has been
// exact zeros for two rest horizons of a line (the longest delay it holds,
// plus a second). The zeros come within 40 s of the noise's end or, for a
// tail that lasts longer, within one horizon of its fall below -300 dBFS;
// and the tail does fall that far.
TEST_P(TavinorSilence, ExactZerosOnceTheTailHasDecayed)
{
    const std::string name = std::get<0>(GetParam());
    const double rate = std::get<1>(GetParam());
    auto t = processorWithFactoryPreset(name);
    ASSERT_NE(t, nullptr) << name;
    if (hasEndlessFeedback(*t))
    {
        std::printf("%-55s endless feedback: not expected to fall silent\n", name.c_str());
        return;
    }
    t->prepareToPlay(rate, kBlock);
    const double horizon = (double) t->getParameterManager().getIntValue(Tavinor::kMaxDelayTime) + 1.0;
    const auto horizonSamples = (int64_t) (horizon * rate);

    const auto noiseEnd = (int64_t) (kNoiseSeconds * rate);
    juce::AudioBuffer<float> buffer(2, kBlock);
    juce::MidiBuffer midi;
    uint32_t seed = 0x9e3779b9u;
    int64_t lastAboveFloor = noiseEnd;   // the last sample at or above -300 dBFS
    int64_t lastNonZero = noiseEnd;
    float lastValue = 0.0f;
    int64_t done = 0;
    for (; done < (int64_t) (kLongestTailSeconds * rate); done += kBlock)
    {
        if (done > noiseEnd && done - (lastNonZero + 1) >= 2 * horizonSamples)
            break;
        if (done > noiseEnd && done - lastAboveFloor > 3 * horizonSamples
            && done - noiseEnd > (int64_t) (kSilentWithinSeconds * rate))
            break;   // long past where it should have fallen silent
        for (int ch = 0; ch < 2; ++ch)
        {
            float* x = buffer.getWritePointer(ch);
            for (int i = 0; i < kBlock; ++i)
            {
                seed = seed * 1664525u + 1013904223u;
                x[i] = done + i < noiseEnd ? (float) ((double) (int32_t) seed / 2147483648.0 * 0.25) : 0.0f;
            }
        }
        t->processBlock(buffer, midi);
        for (int ch = 0; ch < 2; ++ch)
        {
            const float* x = buffer.getReadPointer(ch);
            for (int i = 0; i < kBlock; ++i)
            {
                ASSERT_TRUE(std::isfinite(x[i])) << name << " at " << (double) (done + i) / rate << " s";
                if (std::abs(x[i]) >= kTailFloor)
                    lastAboveFloor = std::max(lastAboveFloor, done + i);
                if (x[i] != 0.0f)
                {
                    lastNonZero = std::max(lastNonZero, done + i);
                    lastValue = x[i];
                }
            }
        }
    }

    const double belowFloorAfter = (double) (lastAboveFloor + 1 - noiseEnd) / rate;
    const double zerosAfter = (double) (lastNonZero + 1 - noiseEnd) / rate;
    std::printf("%-55s below -300 dBFS after %7.2f s, exact zeros after %7.2f s\n", name.c_str(), belowFloorAfter,
                zerosAfter);
    ASSERT_LT(done, (int64_t) (kLongestTailSeconds * rate)) << name << ": the tail never fell below -300 dBFS";
    EXPECT_LE(zerosAfter, std::max(kSilentWithinSeconds, belowFloorAfter + horizon))
        << name << ": still " << lastValue << " at " << (double) lastNonZero / rate << " s";
}

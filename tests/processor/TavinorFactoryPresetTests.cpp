#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "TavinorTestSupport.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

using namespace TavinorTest;

// Every factory preset (and the default sound) rendered as a user would play
// it: a sane level at a moderate input, and finite and bounded under loud
// noise with every line frozen half way through, at the common rates. Each
// preset and rate is its own test, so that they run side by side.

namespace
{
class TavinorFactoryPresets : public ::testing::TestWithParam<std::tuple<std::string, double>>
{
};

std::string testName(const ::testing::TestParamInfo<std::tuple<std::string, double>>& info)
{
    return presetTestName(std::get<0>(info.param), std::get<1>(info.param));
}
} // namespace

INSTANTIATE_TEST_SUITE_P(Rendered, TavinorFactoryPresets,
                         ::testing::Combine(::testing::ValuesIn(factoryPresetNames()),
                                            ::testing::Values(44100.0, 96000.0, 192000.0)),
                         testName);

TEST_P(TavinorFactoryPresets, SaneLevelAndBoundedWhenFrozenUnderLoudNoise)
{
    const std::string name = std::get<0>(GetParam());
    const double rate = std::get<1>(GetParam());
    constexpr int kBlock = 512;

    if (rate == 44100.0)
    {
        // Pink noise at -18 dBFS: every preset is heard, and none is much louder than its input.
        auto t = processorWithFactoryPreset(name);
        ASSERT_NE(t, nullptr) << name;
        t->prepareToPlay(rate, kBlock);
        const auto out = process(*t, pinkNoise(4 * (size_t) rate, -18.0), kBlock);
        ASSERT_TRUE(allFinite(out));
        for (auto* channel : { &out.left, &out.right })
        {
            const double level = rmsDb(*channel, (size_t) rate);
            EXPECT_GT(level, -60.0);
            EXPECT_LT(level, 3.0);
        }
    }

    // White noise at -6 dBFS for 30 s, every line frozen after 15 s.
    auto t = processorWithFactoryPreset(name);
    ASSERT_NE(t, nullptr) << name;
    auto& pm = t->getParameterManager();
    t->prepareToPlay(rate, kBlock);
    const float amplitude = (float) (std::pow(10.0, -6.0 / 20.0) * std::sqrt(3.0) / 2147483648.0);
    const int total = (int) rate * 30;
    uint32_t seed = 0x2545f491u;
    juce::AudioBuffer<float> buffer(2, kBlock);
    juce::MidiBuffer midi;
    float peak = 0.0f;
    for (int done = 0; done < total; done += kBlock)
    {
        if (done >= total / 2 && done - kBlock < total / 2)
            for (int line = 0; line < Tavinor::kNumLines; ++line)
                pm.setBoolValue(Tavinor::getLineParameterBase(line) + Tavinor::kFreeze, true);
        for (int ch = 0; ch < 2; ++ch)
        {
            float* x = buffer.getWritePointer(ch);
            for (int i = 0; i < kBlock; ++i)
            {
                seed = seed * 1664525u + 1013904223u;
                x[i] = (float) (int32_t) seed * amplitude;
            }
        }
        t->processBlock(buffer, midi);
        for (int ch = 0; ch < 2; ++ch)
        {
            const float* x = buffer.getReadPointer(ch);
            for (int i = 0; i < kBlock; ++i)
            {
                ASSERT_TRUE(std::isfinite(x[i])) << "at " << (done + i) / rate << " s";
                peak = std::max(peak, std::abs(x[i]));
            }
        }
    }
    // Frozen lines keep taking the noise in until the read's loss takes out as
    // much: four of them in series reach about +42 dBFS. A loop that ran away
    // would climb to where the rings' guard holds it, near +80 dBFS.
    EXPECT_LT(20.0 * std::log10(peak), 48.0);
}

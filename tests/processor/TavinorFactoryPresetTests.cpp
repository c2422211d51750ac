#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "TavinorTestSupport.h"
#include "dsp/SoundMeasures.h"

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

namespace
{
class TavinorFrozenPresets : public ::testing::TestWithParam<std::tuple<std::string, double>>
{
};

// Samples from..to - 1 of a 220 Hz pad at 0.3, faded in and, ending just
// before `end`, out over 50 ms.
Stereo padPart(double rate, size_t from, size_t to, size_t end)
{
    auto rise = [](double t) { return t <= 0.0 ? 0.0 : t < 0.05 ? 0.5 - 0.5 * std::cos(M_PI * t / 0.05) : 1.0; };
    Stereo pad(to - from);
    for (size_t i = from; i < to; ++i)
    {
        const double t = (double) i / rate, beforeEnd = (double) end / rate - t;
        pad.left[i - from] = (float) (0.3 * std::min(rise(t), rise(beforeEnd - 0.01)) * std::sin(2.0 * M_PI * 220.0 * t));
    }
    pad.right = pad.left;
    return pad;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(OverAPad, TavinorFrozenPresets,
                         ::testing::Combine(::testing::ValuesIn(factoryPresetNames()),
                                            ::testing::Values(48000.0, 96000.0)),
                         testName);

// A 220 Hz pad into the preset, every line frozen as its echoes still sound
// (the pad has just ended): what the lines hold ticks no more than they did
// while the pad played through them (their high band, above 3 kHz, at most
// 3 dB higher than before the press, or under -90 dBFS). The limiter is left
// out: frozen lines in series may hold more than they played, and how hard it
// then rides the sum is its own sound.
TEST_P(TavinorFrozenPresets, HoldThePadAsCleanlyAsTheyPlayedIt)
{
    const std::string name = std::get<0>(GetParam());
    const double rate = std::get<1>(GetParam());
    constexpr int kBlock = 512;
    auto t = processorWithFactoryPreset(name);
    ASSERT_NE(t, nullptr) << name;
    auto& pm = t->getParameterManager();
    pm.setBoolValue(Tavinor::kLimiter, false);
    t->prepareToPlay(rate, kBlock);
    const auto second = (size_t) rate;
    const size_t press = 3 * second / kBlock * kBlock, end = 7 * second;
    Stereo out = process(*t, padPart(rate, 0, press, press), kBlock);
    for (int line = 0; line < Tavinor::kNumLines; ++line)
        pm.setBoolValue(Tavinor::getLineParameterBase(line) + Tavinor::kFreeze, true);
    const Stereo frozen = process(*t, padPart(rate, press, end, press), kBlock);
    out.left.insert(out.left.end(), frozen.left.begin(), frozen.left.end());
    out.right.insert(out.right.end(), frozen.right.begin(), frozen.right.end());
    for (auto* channel : { &out.left, &out.right })
    {
        const auto band = SoundMeasures::highBand(*channel, rate);
        const double played = SoundMeasures::peakDb(band, second, press - second / 10);
        const double held = SoundMeasures::peakDb(band, press + second, end);
        std::printf("%-55s %6.0f Hz  high band played %7.1f, held %7.1f dBFS\n", name.c_str(), rate, played, held);
        EXPECT_LE(held, std::max(played + 3.0, -90.0)) << name << ": played " << played;
    }
}

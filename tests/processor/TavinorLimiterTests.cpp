#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "TavinorTestSupport.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

using namespace TavinorTest;

// Every factory preset (and the default sound) with the limiter switched on at
// the preset's own threshold and output gain, driven 12 dB hot, at rates from
// 22.05 to 192 kHz: no sample leaves above the ceiling, the output gain, by
// more than 0.1 dB. Each preset and rate is its own test, so that they run
// side by side.

namespace
{
class TavinorLimiterCeiling : public ::testing::TestWithParam<std::tuple<std::string, double>>
{
};

std::string testName(const ::testing::TestParamInfo<std::tuple<std::string, double>>& info)
{
    return presetTestName(std::get<0>(info.param), std::get<1>(info.param));
}

// 12 dB over what a preset is made for: pink noise at -6 dBFS RMS with a
// click at +12 dBFS every 100 ms, then an exponential sine sweep at +12 dBFS
// from 20 Hz to 0.45 fs.
Stereo hotMaterial(double rate)
{
    const size_t half = (size_t) (1.5 * rate);
    Stereo s = pinkNoise(2 * half, -6.0);
    const double hot = std::pow(10.0, 12.0 / 20.0);
    const size_t period = (size_t) (0.1 * rate);
    for (size_t i = period / 2; i < half; i += period)
    {
        s.left[i] = (float) hot;
        s.right[i] = (float) -hot;
    }
    const double f0 = 20.0;
    const double seconds = (double) half / rate;
    const double sweepRate = std::log(0.45 * rate / f0) / seconds;
    for (size_t i = half; i < 2 * half; ++i)
    {
        const double t = (double) (i - half) / rate;
        s.left[i] = (float) (hot * std::sin(6.283185307179586 * f0 * (std::exp(sweepRate * t) - 1.0) / sweepRate));
        s.right[i] = s.left[i];
    }
    return s;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(Hot, TavinorLimiterCeiling,
                         ::testing::Combine(::testing::ValuesIn(factoryPresetNames()),
                                            ::testing::Values(22050.0, 44100.0, 96000.0, 192000.0)),
                         testName);

TEST_P(TavinorLimiterCeiling, NoSampleLeavesAboveTheCeiling)
{
    const std::string name = std::get<0>(GetParam());
    const double rate = std::get<1>(GetParam());
    // A block length of its own at each rate, odd ones among them.
    const int block = rate == 22050.0 ? 97 : rate == 44100.0 ? 512 : rate == 96000.0 ? 333 : 64;

    auto t = processorWithFactoryPreset(name);
    ASSERT_NE(t, nullptr) << name;
    auto& pm = t->getParameterManager();
    pm.setBoolValue(Tavinor::kLimiter, true);
    const double v = pm.getNormalisedValue(Tavinor::kOutputGain);
    const double ceiling = 4.0 * v * v;
    t->prepareToPlay(rate, 512);
    const auto out = process(*t, hotMaterial(rate), block);
    ASSERT_TRUE(allFinite(out));

    float peak = 0.0f;
    for (auto* channel : { &out.left, &out.right })
        for (float x : *channel)
            peak = std::max(peak, std::fabs(x));
    EXPECT_LE(20.0 * std::log10((double) peak / ceiling), 0.1) << name << " at " << rate;
}

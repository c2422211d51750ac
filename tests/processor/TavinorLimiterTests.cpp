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

// A 1 kHz sine played on while the limiter is switched and its threshold,
// make-up and the output gain move, as a host automates them (each block split
// at the sample of the change): no click. A click shows in the second
// difference of the output: it may be at most 4 times that of a clean sine of
// the output's local amplitude (its peak within one period around the sample).
// The latency the host reads still follows the switch at once.
namespace
{
struct Change
{
    double seconds;
    int id;
    float value;
};

// The latency reported right after each change goes to latencies.
Stereo processWithChanges(Tavinor& t, const Stereo& input, int blockSize, const std::vector<Change>& changes,
                          double rate, std::vector<int>& latencies)
{
    latencies.clear();
    std::vector<ChangeAt> made;
    for (const auto& c : changes)
        made.push_back({ (size_t) (c.seconds * rate), [&latencies, c](Tavinor& p) {
                            p.getParameterManager().setNormalisedValue(c.id, c.value);
                            latencies.push_back(p.getLatencySamples());
                        } });
    return TavinorTest::processWithChanges(t, input, blockSize, made);
}

// The largest second difference of y from `from` on, over that of a clean sine
// of frequency hz at y's local amplitude; where it lies in `at`.
double worstClick(const std::vector<float>& y, double hz, double rate, size_t from, size_t& at)
{
    const size_t period = (size_t) std::lround(rate / hz);
    const double sineStep = 2.0 * std::sin(3.141592653589793 * hz / rate);
    double worst = 0.0;
    at = 0;
    for (size_t i = std::max<size_t>(from, period); i + period < y.size(); ++i)
    {
        const double second = std::fabs((double) y[i + 1] - 2.0 * (double) y[i] + (double) y[i - 1]);
        double local = 0.0;
        for (size_t j = i - period / 2; j <= i + period / 2; ++j)
            local = std::max(local, (double) std::fabs(y[j]));
        const double ratio = second / std::max(local * sineStep * sineStep, 1e-12);
        if (ratio > worst)
        {
            worst = ratio;
            at = i;
        }
    }
    return worst;
}
} // namespace

TEST(TavinorLimiterSwitching, NoClickOnASineWhenSwitchedOrItsGainsMove)
{
    constexpr double kHz = 1000.0;
    constexpr double kAllowed = 4.0;
    const std::vector<Change> changes = {
        { 0.30, Tavinor::kLimiter, 1.0f },
        { 0.45, Tavinor::kLimiterThreshold, 0.5f },    // 0 dB to -12 dB
        { 0.60, Tavinor::kOutputGain, 0.6f },
        { 0.75, Tavinor::kLimiter, 0.0f },
        { 0.90, Tavinor::kLimiter, 1.0f },
        { 1.05, Tavinor::kLimiterThreshold, 1.0f },    // back to 0 dB
        { 1.20, Tavinor::kOutputGain, 0.5f },
        { 1.35, Tavinor::kLimiterThreshold, 0.0f },    // 0 dB to -24 dB
        { 1.50, Tavinor::kLimiter, 0.0f },
        { 1.65, Tavinor::kOutputGain, 0.7f },
        { 1.80, Tavinor::kLimiter, 1.0f },
        { 1.95, Tavinor::kLimiter, 0.0f },
    };
    // At -6 dBFS only switched, at a 0 dB threshold (no make-up).
    const std::vector<Change> switches = {
        { 0.30, Tavinor::kLimiter, 1.0f }, { 0.45, Tavinor::kLimiter, 0.0f }, { 0.60, Tavinor::kLimiter, 1.0f },
        { 0.75, Tavinor::kOutputGain, 0.6f }, { 0.90, Tavinor::kLimiter, 0.0f },
    };
    struct Case
    {
        double rate;
        double levelDb;
        const std::vector<Change>* changes;
    };
    const Case cases[] = { { 44100.0, -24.0, &changes }, { 96000.0, -24.0, &changes }, { 192000.0, -24.0, &changes },
                           { 44100.0, -6.0, &switches }, { 192000.0, -6.0, &switches } };
    for (const auto& c : cases)
    {
        auto t = makeProcessor();
        auto& pm = t->getParameterManager();
        pm.setNormalisedValue(Tavinor::kDryWet, 0.0f);   // the dry sine alone
        pm.setNormalisedValue(Tavinor::kLimiterThreshold, 1.0f);
        pm.setNormalisedValue(Tavinor::kOutputGain, 0.5f);
        pm.setBoolValue(Tavinor::kLimiter, false);
        t->prepareToPlay(c.rate, 512);

        const double amplitude = std::pow(10.0, c.levelDb / 20.0);
        Stereo input((size_t) (2.1 * c.rate));
        for (size_t i = 0; i < input.size(); ++i)
        {
            input.left[i] = (float) (amplitude * std::sin(6.283185307179586 * kHz * (double) i / c.rate));
            input.right[i] = input.left[i];
        }
        std::vector<int> latencies;
        const auto out = processWithChanges(*t, input, 512, *c.changes, c.rate, latencies);
        ASSERT_EQ(latencies.size(), c.changes->size());
        // Each change by itself, from a little before it to the next.
        bool limiterOn = false;
        for (size_t k = 0; k < c.changes->size(); ++k)
        {
            const Change& change = (*c.changes)[k];
            // The host is told of the look-ahead at the switch, as before.
            if (change.id == Tavinor::kLimiter)
                limiterOn = change.value >= 0.5f;
            EXPECT_EQ(latencies[k], limiterOn ? (int) (c.rate * 0.003319) : 0) << c.rate << " at " << change.seconds;
            const size_t from = (size_t) ((change.seconds - 0.01) * c.rate);
            const size_t to = k + 1 < c.changes->size() ? (size_t) (((*c.changes)[k + 1].seconds - 0.01) * c.rate)
                                                         : out.size();
            for (const auto* channel : { &out.left, &out.right })
            {
                const std::vector<float> piece(channel->begin() + (long) from, channel->begin() + (long) to);
                size_t at = 0;
                const double worst = worstClick(piece, kHz, c.rate, 0, at);
                double step = 0.0;
                for (size_t i = 1; i < piece.size(); ++i)
                    step = std::max(step, std::fabs((double) piece[i] - (double) piece[i - 1]));
                EXPECT_LE(worst, kAllowed) << c.levelDb << " dBFS at " << c.rate << " Hz, parameter " << change.id
                                           << " to " << change.value << " at " << change.seconds << " s: largest step "
                                           << step << ", " << (double) (from + at) / c.rate << " s";
            }
        }
    }
}

#include <gtest/gtest.h>

#include "processor/dsp/FastMath.h"

#include <cmath>
#include <limits>
#include <random>
#include <vector>

// The signal path's own transcendental functions against the library's, over
// the ranges they are used on and at the edges where they hand over to fixed
// answers (0, infinity, not a number).
namespace
{
constexpr double kPi = 3.14159265358979323846;

std::vector<double> spread(double from, double to, int count, unsigned seed)
{
    std::vector<double> xs;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> any(from, to);
    for (int i = 0; i < count; ++i)
        xs.push_back(any(random));
    for (int i = 0; i <= 64; ++i)
        xs.push_back(from + (to - from) * i / 64.0);
    return xs;
}
} // namespace

TEST(FastMath, SineOfModulatorPhasesIsTheLibrarysToAnUlpOrTwo)
{
    // The modulators take sin(phi - pi / 4) for phases of a turn; a turn or
    // two beyond either way still holds.
    for (const double x : spread(-3.0 * kPi, 5.0 * kPi, 200000, 1))
        ASSERT_NEAR(FastMath::sin(x), std::sin(x), 4.5e-16) << x;
    for (const double x : { 0.0, -0.0, kPi / 4, kPi / 2, kPi, 1.5 * kPi, 2.0 * kPi - kPi / 4, 1e-300 })
        EXPECT_NEAR(FastMath::sin(x), std::sin(x), 2.3e-16) << x;
    // Far out it is the library's own.
    EXPECT_EQ(FastMath::sin(1.0e7), std::sin(1.0e7));
    EXPECT_TRUE(std::isnan(FastMath::sin(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_TRUE(std::isnan(FastMath::sin(INFINITY)));
}

TEST(FastMath, ExponentialsAgreeWithTheLibraryInEveryForm)
{
    for (const double x : spread(-700.0, 700.0, 20000, 2))
    {
        const double want = std::exp(x);
        ASSERT_NEAR(FastMath::exp(x) / want, 1.0, 1e-14) << x;
        alignas(16) double pair[2];
        _mm_store_pd(pair, FastMath::exp(_mm_set_pd(-x, x)));
        ASSERT_EQ(pair[0], FastMath::exp(x)) << x;
        ASSERT_EQ(pair[1], FastMath::exp(-x)) << x;
    }
    // The overdrive's float form, over the float range, to a few float units.
    for (const double x : spread(-86.0, 87.0, 20000, 3))
    {
        alignas(16) float quad[4];
        const float f = (float) x;
        _mm_store_ps(quad, FastMath::exp(_mm_set1_ps(f)));
        const double want = std::exp((double) f);
        ASSERT_NEAR(quad[0] / want, 1.0, 4e-7) << x;
    }
    struct Edge
    {
        float x;
        float want;
    };
    const Edge edges[] = { { -200.0f, 0.0f }, { -88.0f, 0.0f }, { 89.0f, INFINITY }, { 1e30f, INFINITY },
                           { 0.0f, 1.0f } };
    for (const auto& e : edges)
    {
        alignas(16) float quad[4];
        _mm_store_ps(quad, FastMath::exp(_mm_set1_ps(e.x)));
        EXPECT_EQ(quad[0], e.want) << e.x;
    }
    alignas(16) float quad[4];
    _mm_store_ps(quad, FastMath::exp(_mm_set1_ps(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_TRUE(std::isnan(quad[0]));
    EXPECT_EQ(FastMath::exp(-800.0), 0.0);
    EXPECT_EQ(FastMath::exp(800.0), INFINITY);
}

TEST(FastMath, LogarithmsAgreeWithTheLibrary)
{
    for (const double e : spread(-300.0, 300.0, 20000, 4))
    {
        const double x = std::pow(10.0, e);
        ASSERT_NEAR(FastMath::log(x), std::log(x), 1e-14 * std::max(1.0, std::abs(std::log(x)))) << x;
        ASSERT_NEAR(FastMath::log10(x), std::log10(x), 1e-14 * std::max(1.0, std::abs(std::log10(x)))) << x;
        alignas(16) double pair[2];
        _mm_store_pd(pair, FastMath::log(_mm_set1_pd(x)));
        ASSERT_EQ(pair[0], FastMath::log(x)) << x;
    }
}

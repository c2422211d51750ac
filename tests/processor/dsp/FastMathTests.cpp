#include <gtest/gtest.h>

#include "processor/dsp/DspCommon.h"
#include "processor/dsp/FastMath.h"
#include "processor/dsp/SimdLanes.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

// The signal path's own transcendental functions: the plain forms against the
// library's, over the ranges they are used on and at the edges where they
// hand over to fixed answers (0, infinity, not a number); every vector form,
// built for SSE2 and for AVX2, against the plain form, bit for bit.
namespace
{
using namespace SimdLanes;

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

template <typename E>
std::vector<E> spread(double from, double to, int count, unsigned seed)
{
    std::vector<E> xs;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> any(from, to);
    for (int i = 0; i < count; ++i)
        xs.push_back((E) any(random));
    for (int i = 0; i <= 64; ++i)
        xs.push_back((E) (from + (to - from) * i / 64.0));
    return xs;
}

// Powers of ten across the range of E, for the logarithms.
template <typename E>
std::vector<E> powersOfTen(double lowest, double highest, int count, unsigned seed)
{
    std::vector<E> xs;
    for (const double e : spread<double>(lowest, highest, count, seed))
        xs.push_back((E) std::pow(10.0, e));
    return xs;
}

enum class Function
{
    exp,
    log,
    sin
};

template <Function f, typename V>
__attribute__((always_inline)) inline V apply(V x)
{
    if constexpr (f == Function::exp)
        return FastMath::exp(x);
    else if constexpr (f == Function::log)
        return FastMath::log(x);
    else
        return FastMath::sin(x);
}

// f of xs a vector V at a time (the last few, that fill no vector, left as
// they are), built for SSE2 and for AVX2.
template <Function f, typename V, typename E>
__attribute__((always_inline)) inline void eachVector(const E* xs, E* ys, size_t count)
{
    constexpr size_t kLanes = sizeof(V) / sizeof(E);
    for (size_t i = 0; i + kLanes <= count; i += kLanes)
        store(ys + i, apply<f>(load<V>(xs + i)));
}

template <Function f, typename V, typename E>
void sse2Form(const E* xs, E* ys, size_t count)
{
    eachVector<f, V>(xs, ys, count);
}

template <Function f, typename V, typename E>
__attribute__((target("avx2"))) void avx2Form(const E* xs, E* ys, size_t count)
{
    eachVector<f, V>(xs, ys, count);
}

template <typename E>
using Form = void (*)(const E*, E*, size_t);

// Every result of a form against the plain form's, bit for bit.
template <Function f, typename E>
void expectThePlainResults(const std::vector<E>& xs, Form<E> form, const std::string& name)
{
    std::vector<E> ys(xs.size(), (E) 12345);
    form(xs.data(), ys.data(), xs.size());
    int compared = 0;
    for (size_t i = 0; i < xs.size(); ++i)
    {
        if (ys[i] == (E) 12345)
            continue;   // past the last whole vector
        const E plain = apply<f>(xs[i]);
        ASSERT_EQ(std::memcmp(&ys[i], &plain, sizeof plain), 0)
            << name << " of " << xs[i] << ": " << ys[i] << " where the plain form gives " << plain;
        ++compared;
    }
    EXPECT_GT(compared, (int) xs.size() / 2) << name;
}

template <typename E>
std::vector<E> withEdges(std::vector<E> xs, std::initializer_list<E> edges)
{
    // The edges over and over, so that every lane of a vector meets each.
    for (int copy = 0; copy < 8; ++copy)
        for (const E e : edges)
            xs.push_back(e);
    return xs;
}

struct Forms
{
    const char* name;
    void (*check)(bool avx2);
};

template <Function f, typename V, typename E>
void checkForm(const std::vector<E>& xs, bool avx2, const char* name)
{
    expectThePlainResults<f, E>(xs, avx2 ? avx2Form<f, V, E> : sse2Form<f, V, E>,
                                std::string(name) + (avx2 ? " (AVX2)" : " (SSE2)"));
}

// Each form on the arguments of its use, and on the edges.
const Forms kForms[] = {
    { "exp of Doubles2 (the limiter's gains)",
      [](bool avx2) {
          checkForm<Function::exp, Doubles2>(withEdges(spread<double>(-720.0, 720.0, 20000, 5),
                                                       { -708.0, 709.0, -800.0, 800.0, kNaN, 0.0 }),
                                             avx2, "exp of Doubles2");
      } },
    { "exp of Doubles4 (the limiter's knee)",
      [](bool avx2) {
          checkForm<Function::exp, Doubles4>(withEdges(spread<double>(-720.0, 720.0, 20000, 6),
                                                       { -708.0, 709.0, -800.0, 800.0, kNaN, 0.0 }),
                                             avx2, "exp of Doubles4");
      } },
    { "exp of Floats4 and Floats8 (the overdrive)",
      [](bool avx2) {
          const auto xs = withEdges(spread<float>(-90.0, 90.0, 20000, 7),
                                    { -87.0f, 88.0f, -200.0f, 89.0f, 1e30f, (float) kNaN, 0.0f });
          checkForm<Function::exp, Floats4>(xs, avx2, "exp of Floats4");
          checkForm<Function::exp, Floats8>(xs, avx2, "exp of Floats8");
      } },
    { "log of Doubles4 (the limiter's level)",
      [](bool avx2) {
          checkForm<Function::log, Doubles4>(powersOfTen<double>(-300.0, 300.0, 20000, 8), avx2, "log of Doubles4");
      } },
    { "log of Floats4 (the meters)",
      [](bool avx2) {
          checkForm<Function::log, Floats4>(powersOfTen<float>(-37.0, 38.0, 20000, 9), avx2, "log of Floats4");
      } },
    { "sin of Doubles4 (the modulators)",
      [](bool avx2) {
          checkForm<Function::sin, Doubles4>(spread<double>(-3.0 * kPi, 5.0 * kPi, 20000, 10), avx2,
                                             "sin of Doubles4");
      } },
};
} // namespace

TEST(FastMath, SineOfModulatorPhasesIsTheLibrarysToAnUlpOrTwo)
{
    // The modulators take sin(phi - pi / 4) for phases of a turn; a turn or
    // two beyond either way still holds.
    for (const double x : spread<double>(-3.0 * kPi, 5.0 * kPi, 200000, 1))
        ASSERT_NEAR(FastMath::sin(x), std::sin(x), 4.5e-16) << x;
    for (const double x : { 0.0, -0.0, kPi / 4, kPi / 2, kPi, 1.5 * kPi, 2.0 * kPi - kPi / 4, 1e-300 })
        EXPECT_NEAR(FastMath::sin(x), std::sin(x), 2.3e-16) << x;
    // Far out it is the library's own.
    EXPECT_EQ(FastMath::sin(1.0e7), std::sin(1.0e7));
    EXPECT_TRUE(std::isnan(FastMath::sin(kNaN)));
    EXPECT_TRUE(std::isnan(FastMath::sin(kInfinity)));
}

TEST(FastMath, ExponentialsAgreeWithTheLibraryInEveryForm)
{
    for (const double x : spread<double>(-700.0, 700.0, 20000, 2))
        ASSERT_NEAR(FastMath::exp(x) / std::exp(x), 1.0, 1e-14) << x;
    EXPECT_EQ(FastMath::exp(-800.0), 0.0);
    EXPECT_EQ(FastMath::exp(800.0), kInfinity);
    EXPECT_TRUE(std::isnan(FastMath::exp(kNaN)));
    // The overdrive's float form, over the float range, to a few float units.
    for (const float x : spread<float>(-86.0, 87.0, 20000, 3))
        ASSERT_NEAR(FastMath::exp(x) / std::exp((double) x), 1.0, 4e-7) << x;
    struct Edge
    {
        float x;
        float want;
    };
    const Edge edges[] = { { -200.0f, 0.0f }, { -88.0f, 0.0f }, { 89.0f, INFINITY }, { 1e30f, INFINITY },
                           { 0.0f, 1.0f } };
    for (const auto& e : edges)
        EXPECT_EQ(FastMath::exp(e.x), e.want) << e.x;
    EXPECT_TRUE(std::isnan(FastMath::exp(std::numeric_limits<float>::quiet_NaN())));
}

TEST(FastMath, LogarithmsAgreeWithTheLibrary)
{
    for (const double x : powersOfTen<double>(-300.0, 300.0, 20000, 4))
    {
        ASSERT_NEAR(FastMath::log(x), std::log(x), 1e-14 * std::max(1.0, std::abs(std::log(x)))) << x;
        // The limiter's level in decibels takes the decimal logarithm so.
        ASSERT_NEAR(FastMath::log(x) * FastMath::kLog10E, std::log10(x),
                    1e-14 * std::max(1.0, std::abs(std::log10(x))))
            << x;
    }
    // The meters' float form, to a few float units of the logarithm.
    for (const float x : powersOfTen<float>(-37.0, 38.0, 20000, 11))
        ASSERT_NEAR(FastMath::log(x), std::log((double) x), 3e-7 * std::max(1.0, std::abs(std::log((double) x))))
            << x;
}

TEST(FastMath, EveryVectorFormGivesThePlainFormsResults)
{
    for (const auto& form : kForms)
    {
        SCOPED_TRACE(form.name);
        form.check(false);
    }
}

TEST(FastMath, EveryVectorFormBuiltForAvx2GivesThePlainFormsResults)
{
    if (! DspCommon::processorHasAvx2())
        GTEST_SKIP() << "This processor cannot run AVX2 code: the AVX2 forms are not run here.";
    for (const auto& form : kForms)
    {
        SCOPED_TRACE(form.name);
        form.check(true);
    }
}

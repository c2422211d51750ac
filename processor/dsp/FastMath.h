#pragma once

#include "processor/dsp/SimdLanes.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

// Logarithm, exponential and sine for the signal path where the library's are
// too slow to run per sample: the limiter's level detection and gain, the
// meters, the overdrive, the modulators. Each is written once, generic over
// its lanes: a double or a float, or a vector of them (SimdLanes.h). Every
// lane does the very operations of the plain form, in the same order, so a
// vector form gives what the plain form gives, bit for bit, whether built for
// SSE2 or for AVX2 (the code they are inlined into is built without fused
// multiply-add, which would round a product and a sum once instead of twice).
//
// In double lanes they agree with the library to about 1e-14 of the result
// (far below what the float results they feed can hold); float lanes take
// fewer terms, and agree to a few float units. On the ranges the signal path
// uses none calls the library, and only the logarithm divides.
namespace FastMath
{
using SimdLanes::ElementOf;

constexpr double kLn2Hi = 6.93147180369123816490e-01;   // ln 2 in two parts: the
constexpr double kLn2Lo = 1.90821492927058770002e-10;   // first times k is exact
constexpr double kLog2E = 1.44269504088896338700e+00;
constexpr double kLog10E = 0.43429448190325182765;
constexpr double kSqrtHalf = 0.70710678118654752440;

// c[0] + c[1] x + c[2] x^2 + ... by Horner's scheme, c[0] + x (c[1] + x (c[2]
// + ...)): the fewest operations, each waiting on the one before.
template <typename V, size_t N>
SIMD_ALWAYS_INLINE inline V horner(V x, const ElementOf<V> (&c)[N])
{
    V sum = SimdLanes::splat<V>(c[N - 1]);
    for (size_t i = N - 1; i-- > 0;)
        sum = c[i] + x * sum;
    return sum;
}

// The same sum in Estrin's order: the pairs c[2i] + c[2i + 1] x, then pairs
// of those with x^2, of those with x^4 and so on (one left over goes up a
// step as it is), so that the additions do not wait on one another.
template <typename V, size_t N>
SIMD_ALWAYS_INLINE inline V estrin(V x, const ElementOf<V> (&c)[N])
{
    constexpr size_t kPairs = (N + 1) / 2;
    V terms[kPairs];
    for (size_t i = 0; i < kPairs; ++i)
        terms[i] = 2 * i + 1 < N ? c[2 * i] + c[2 * i + 1] * x : SimdLanes::splat<V>(c[2 * i]);
    V power = x * x;
    for (size_t count = kPairs; count > 1; count = (count + 1) / 2)
    {
        for (size_t i = 0; 2 * i + 1 < count; ++i)
            terms[i] = terms[2 * i] + terms[2 * i + 1] * power;
        if (count % 2 != 0)
            terms[count / 2] = terms[count - 1];
        power = power * power;
    }
    return terms[0];
}

// The constants of e^x in each precision: beyond [kLowest, kHighest] the
// result is 0 or infinity; x = k ln 2 + r, |r| <= ln 2 / 2, with k rounded by
// the addition of kRound (whose last place is 1) and ln 2 in two parts (the
// first times k exact); e^r by its Taylor series.
template <typename E>
struct ExpForm;

template <>
struct ExpForm<double>
{
    static constexpr double kLowest = -708.0;   // below, the library's result is no longer normal
    static constexpr double kHighest = 709.0;   // above, beyond the largest power of two
    static constexpr double kLog2E = FastMath::kLog2E;
    static constexpr double kLn2Hi = FastMath::kLn2Hi;
    static constexpr double kLn2Lo = FastMath::kLn2Lo;
    static constexpr double kRound = 6755399441055744.0;   // 1.5 * 2^52
    static constexpr int kMantissaBits = 52;
    static constexpr int kBias = 1023;
    // To r^13 (|r| < 0.347: the rest is below 1e-16).
    static constexpr double kTaylor[] = { 1.0,
                                          1.0,
                                          0.5,
                                          1.0 / 6.0,
                                          1.0 / 24.0,
                                          1.0 / 120.0,
                                          1.0 / 720.0,
                                          1.0 / 5040.0,
                                          1.0 / 40320.0,
                                          1.0 / 362880.0,
                                          1.0 / 3628800.0,
                                          1.0 / 39916800.0,
                                          1.0 / 479001600.0,
                                          1.0 / 6227020800.0 };
};

template <>
struct ExpForm<float>
{
    static constexpr float kLowest = -87.0f;
    static constexpr float kHighest = 88.0f;
    static constexpr float kLog2E = (float) FastMath::kLog2E;
    static constexpr float kLn2Hi = 0.693359375f;
    static constexpr float kLn2Lo = -2.12194440e-4f;
    static constexpr float kRound = 12582912.0f;   // 1.5 * 2^23
    static constexpr int kMantissaBits = 23;
    static constexpr int kBias = 127;
    // To r^7 (the rest is below 2e-8).
    static constexpr float kTaylor[] = { 1.0f,         1.0f,          0.5f,          1.0f / 6.0f,
                                         1.0f / 24.0f, 1.0f / 120.0f, 1.0f / 720.0f, 1.0f / 5040.0f };
};

// e^x: 0 below ExpForm's lowest, infinity above its highest; what is not a
// number stays so.
template <typename V>
SIMD_ALWAYS_INLINE inline V exp(V x)
{
    using SimdLanes::bitsOf;
    using SimdLanes::fromBits;
    using SimdLanes::pick;
    using SimdLanes::splat;
    using Form = ExpForm<ElementOf<V>>;
    const auto low = x < Form::kLowest;
    const auto high = x > Form::kHighest;
    const V safe = SimdLanes::lanesMin(SimdLanes::lanesMax(x, splat<V>(Form::kLowest)), splat<V>(Form::kHighest));
    const V shifted = safe * Form::kLog2E + Form::kRound;
    const V k = shifted - Form::kRound;
    const V r = (safe - k * Form::kLn2Hi) - k * Form::kLn2Lo;
    const V p = estrin(r, Form::kTaylor);
    // k as an integer: the last bits of shifted.
    const auto whole = bitsOf(shifted) - bitsOf(splat<V>(Form::kRound));
    V result;
    if constexpr (sizeof(ElementOf<V>) == 8)
        result = p * fromBits<V>((whole + Form::kBias) << Form::kMantissaBits);
    else
    {
        // 2^k in two halves, so that the largest k does not overflow the exponent.
        const auto half = whole >> 1;
        const V scaleA = fromBits<V>((half + Form::kBias) << Form::kMantissaBits);
        const V scaleB = fromBits<V>((whole - half + Form::kBias) << Form::kMantissaBits);
        result = (p * scaleA) * scaleB;
    }
    result = pick(low, splat<V>(0), result);
    result = pick(high, splat<V>(INFINITY), result);
    return pick(x != x, x, result);
}

// The constants of the logarithm in each precision: x = m 2^e, ln m = 2
// atanh(t), t = (m - 1) / (m + 1), whose odd series converges fast for small t.
template <typename E>
struct LogForm;

template <>
struct LogForm<double>
{
    // m in [sqrt(1/2), sqrt(2)), so |t| < 0.172: the series to t^17 holds to 1e-15.
    static constexpr bool kCentred = true;
    static constexpr double kSeries[] = { 1.0,      1.0 / 3,  1.0 / 5,  1.0 / 7, 1.0 / 9,
                                          1.0 / 11, 1.0 / 13, 1.0 / 15, 1.0 / 17 };
    static constexpr int kMantissaBits = 52;
    static constexpr int kBias = 1023;
    static constexpr int64_t kMantissa = 0x000fffffffffffffll;
    static constexpr int64_t kOne = 0x3ff0000000000000ll;
};

template <>
struct LogForm<float>
{
    // m in [1, 2), so t < 1/3: the series to t^11 holds to float precision.
    static constexpr bool kCentred = false;
    static constexpr float kSeries[] = { 1.0f, 1.0f / 3, 1.0f / 5, 1.0f / 7, 1.0f / 9, 1.0f / 11 };
    static constexpr int kMantissaBits = 23;
    static constexpr int kBias = 127;
    static constexpr int32_t kMantissa = 0x007fffff;
    static constexpr int32_t kOne = 0x3f800000;
};

// Natural logarithm of a positive, finite, normal x.
template <typename V>
SIMD_ALWAYS_INLINE inline V log(V x)
{
    using SimdLanes::bitsOf;
    using SimdLanes::fromBits;
    using SimdLanes::pick;
    using SimdLanes::splat;
    using E = ElementOf<V>;
    using Form = LogForm<E>;
    V e = SimdLanes::wholeNumbers<V>(SimdLanes::bitsShiftedDown(x, Form::kMantissaBits)) - (E) Form::kBias;
    V m = fromBits<V>((bitsOf(x) & Form::kMantissa) | Form::kOne);
    if constexpr (Form::kCentred)
    {
        const auto above = m > 2.0 * kSqrtHalf;
        m = pick(above, m * 0.5, m);
        e = e + pick(above, splat<V>(1.0), splat<V>(0.0));
    }
    const V t = (m - (E) 1) / (m + (E) 1);
    const V t2 = t * t;
    const V series = horner(t2, Form::kSeries);
    if constexpr (Form::kCentred)
        return e * kLn2Hi + (e * kLn2Lo + (2.0 * t) * series);
    else
        return e * (float) kLn2Hi + (t + t) * series;
}

// sin x, in double lanes, for |x| up to a few turns (the modulators' phases),
// within an ulp or two of the library's: x less the nearest multiple of pi / 2
// (pi / 2 in two parts, the first times a small whole number exact), then the
// sine or cosine series of the rest on [-pi / 4, pi / 4] as the quadrant asks.
// Further out a plain double takes the library's.
template <typename V>
SIMD_ALWAYS_INLINE inline V sin(V x)
{
    static_assert(sizeof(ElementOf<V>) == 8, "the sine is of doubles");
    using Unsigned = typename SimdLanes::LaneTraits<V>::UnsignedBits;
    using SimdLanes::bitsOf;
    using SimdLanes::fromBits;
    constexpr double kTwoOverPi = 6.36619772367581382433e-01;
    constexpr double kPiOver2Hi = 1.57079632673412561417e+00;   // the first 33 bits
    constexpr double kPiOver2Lo = 6.07710050650619224932e-11;
    constexpr double kRound = 6755399441055744.0;   // 1.5 * 2^52
    // sin r = r + r^3 (s0 + s1 r^2 + ...); cos r = 1 - r^2 / 2 + r^4 (c0 + c1 r^2 + ...).
    static constexpr double kSine[] = { -1.66666666666666324348e-01, 8.33333333332248946124e-03,
                                        -1.98412698298579493134e-04, 2.75573137070700676789e-06,
                                        -2.50507602534068634195e-08, 1.58969099521155010221e-10 };
    static constexpr double kCosineLow[] = { 4.16666666666666019037e-02, -1.38888888888741095749e-03,
                                             2.48015872894767294178e-05 };
    static constexpr double kCosineHigh[] = { -2.75573143513906633035e-07, 2.08757232129817482790e-09,
                                              -1.13596475577881948265e-11 };
    if constexpr (SimdLanes::isScalar<V>)
        if (! (x > -1.0e6 && x < 1.0e6))
            return std::sin(x);
    const V shifted = x * kTwoOverPi + kRound;
    const V k = shifted - kRound;
    const V r = (x - k * kPiOver2Hi) - k * kPiOver2Lo;
    const V z = r * r;
    const V sine = r + z * r * horner(z, kSine);
    const V series = z * horner(z, kCosineLow) + (z * z) * (z * z) * horner(z, kCosineHigh);
    const V half = 0.5 * z;
    const V w = 1.0 - half;
    const V cosine = w + (((1.0 - w) - half) + z * series);
    // The quadrant is the low bits of k (two's complement in the last bits of
    // shifted): odd ones take the cosine, the upper two are negative.
    const Unsigned quadrant = (Unsigned) bitsOf(shifted);
    const V y = SimdLanes::pick((quadrant & 1) != 0, cosine, sine);
    return fromBits<V>((decltype(bitsOf(y))) ((Unsigned) bitsOf(y) ^ ((quadrant & 2) << 62)));
}
} // namespace FastMath

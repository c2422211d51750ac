#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

// Logarithm, exponential and sine for the signal path where the library's are
// too slow to run per sample: the limiter's level detection and gain, the
// meters, the overdrive, the modulators. The double forms agree with the
// library to about 1e-14 of the result (far below what the float results they
// feed can hold), the float exponential to a few float units; on the ranges the
// signal path uses none calls the library, and only the logarithm divides.
namespace FastMath
{
constexpr double kLn2Hi = 6.93147180369123816490e-01;   // ln 2 in two parts: the
constexpr double kLn2Lo = 1.90821492927058770002e-10;   // first times k is exact
constexpr double kLog2E = 1.44269504088896338700e+00;
constexpr double kLog10E = 0.43429448190325182765;
constexpr double kSqrtHalf = 0.70710678118654752440;

inline uint64_t bitsOf(double x)
{
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

inline double fromBits(uint64_t b)
{
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

// Natural logarithm of a positive, finite, normal x.
inline double log(double x)
{
    // x = m 2^e with m in [sqrt(1/2), sqrt(2)); ln m = 2 atanh(t), t = (m - 1) / (m + 1),
    // |t| < 0.172, whose odd series converges to 1e-15 in nine terms.
    const uint64_t b = bitsOf(x);
    int e = (int) ((b >> 52) & 0x7ff) - 1023;
    double m = fromBits((b & 0x000fffffffffffffull) | 0x3ff0000000000000ull);
    if (m > 2.0 * kSqrtHalf)
    {
        m *= 0.5;
        e += 1;
    }
    const double t = (m - 1.0) / (m + 1.0);
    const double t2 = t * t;
    const double series =
        1.0 + t2 * (1.0 / 3 + t2 * (1.0 / 5 + t2 * (1.0 / 7 + t2 * (1.0 / 9 + t2 * (1.0 / 11 + t2 * (1.0 / 13
        + t2 * (1.0 / 15 + t2 * (1.0 / 17))))))));
    return (double) e * kLn2Hi + ((double) e * kLn2Lo + 2.0 * t * series);
}

inline double log10(double x)
{
    return log(x) * kLog10E;
}

// e^x; below -708 (where the library's result is no longer a normal number)
// gives 0, above 709 infinity.
inline double exp(double x)
{
    if (x < -708.0)
        return 0.0;
    if (! (x <= 709.0))
        return x > 709.0 ? INFINITY : x;   // beyond the largest power of two; or not a number
    // x = k ln 2 + r with |r| <= ln 2 / 2; k rounded by the magic-number add.
    constexpr double kRound = 6755399441055744.0;   // 1.5 * 2^52
    const double shifted = x * kLog2E + kRound;
    const double k = shifted - kRound;
    const double r = (x - k * kLn2Hi) - k * kLn2Lo;
    // e^r by its Taylor series to r^13 (|r| < 0.347: the rest is below 1e-16),
    // in Estrin's order so that the additions do not wait on one another.
    const double r2 = r * r;
    const double r4 = r2 * r2;
    const double r8 = r4 * r4;
    const double s0 = (1.0 + r) + (0.5 + r * (1.0 / 6.0)) * r2;
    const double s1 = (1.0 / 24.0 + r * (1.0 / 120.0)) + (1.0 / 720.0 + r * (1.0 / 5040.0)) * r2;
    const double s2 = (1.0 / 40320.0 + r * (1.0 / 362880.0)) + (1.0 / 3628800.0 + r * (1.0 / 39916800.0)) * r2;
    const double s3 = 1.0 / 479001600.0 + r * (1.0 / 6227020800.0);
    const double p = (s0 + s1 * r4) + (s2 + s3 * r4) * r8;
    const int64_t exponent = (int64_t) k + 1023;
    return p * fromBits((uint64_t) exponent << 52);
}
// sin x for |x| up to a few turns (the modulators' phases), within an
// ulp or two of the library's: x less the nearest multiple of pi / 2 (pi / 2
// in two parts, the first times a small whole number exact), then the sine or
// cosine series of the rest on [-pi / 4, pi / 4] as the quadrant asks.
inline double sin(double x)
{
    constexpr double kTwoOverPi = 6.36619772367581382433e-01;
    constexpr double kPiOver2Hi = 1.57079632673412561417e+00;   // the first 33 bits
    constexpr double kPiOver2Lo = 6.07710050650619224932e-11;
    constexpr double kRound = 6755399441055744.0;   // 1.5 * 2^52
    if (! (x > -1.0e6 && x < 1.0e6))
        return std::sin(x);
    const double shifted = x * kTwoOverPi + kRound;
    const double k = shifted - kRound;
    const double r = (x - k * kPiOver2Hi) - k * kPiOver2Lo;
    const double z = r * r;
    double y;
    const int quadrant = (int) ((int64_t) k & 3);
    if ((quadrant & 1) == 0)
    {
        const double tail = 8.33333333332248946124e-03
                            + z * (-1.98412698298579493134e-04
                                   + z * (2.75573137070700676789e-06
                                          + z * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10)));
        y = r + z * r * (-1.66666666666666324348e-01 + z * tail);
    }
    else
    {
        const double series = z * (4.16666666666666019037e-02 + z * (-1.38888888888741095749e-03 + z * 2.48015872894767294178e-05))
                              + (z * z) * (z * z)
                                    * (-2.75573143513906633035e-07
                                       + z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11));
        const double half = 0.5 * z;
        const double w = 1.0 - half;
        y = w + (((1.0 - w) - half) + z * series);
    }
    return quadrant >= 2 ? -y : y;
}

#if defined(__SSE2__)
// log() of two positive, finite, normal values at once: the same steps in
// vector lanes (so the same results).
inline __m128d log(__m128d x)
{
    const __m128i bits = _mm_castpd_si128(x);
    const __m128i biased = _mm_srli_epi64(bits, 52);
    // The exponents are small: their low halves, side by side, convert.
    __m128d e = _mm_sub_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(biased, _MM_SHUFFLE(3, 3, 2, 0))), _mm_set1_pd(1023.0));
    __m128d m = _mm_castsi128_pd(_mm_or_si128(_mm_and_si128(bits, _mm_set1_epi64x(0x000fffffffffffffll)),
                                              _mm_set1_epi64x(0x3ff0000000000000ll)));
    const __m128d above = _mm_cmpgt_pd(m, _mm_set1_pd(2.0 * kSqrtHalf));
    m = _mm_or_pd(_mm_and_pd(above, _mm_mul_pd(m, _mm_set1_pd(0.5))), _mm_andnot_pd(above, m));
    e = _mm_add_pd(e, _mm_and_pd(above, _mm_set1_pd(1.0)));
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d t = _mm_div_pd(_mm_sub_pd(m, one), _mm_add_pd(m, one));
    const __m128d t2 = _mm_mul_pd(t, t);
    __m128d series = _mm_set1_pd(1.0 / 17);
    for (const double term : { 1.0 / 15, 1.0 / 13, 1.0 / 11, 1.0 / 9, 1.0 / 7, 1.0 / 5, 1.0 / 3, 1.0 })
        series = _mm_add_pd(_mm_set1_pd(term), _mm_mul_pd(t2, series));
    const __m128d tail = _mm_add_pd(_mm_mul_pd(e, _mm_set1_pd(kLn2Lo)), _mm_mul_pd(_mm_mul_pd(_mm_set1_pd(2.0), t), series));
    return _mm_add_pd(_mm_mul_pd(e, _mm_set1_pd(kLn2Hi)), tail);
}

// exp() of two values at once: the same steps in vector lanes.
inline __m128d exp(__m128d v)
{
    constexpr double kRound = 6755399441055744.0;   // 1.5 * 2^52
    const __m128d round = _mm_set1_pd(kRound);
    // Beyond the range of the scalar form the library's answers: 0 below
    // -708, infinity above the largest power of two (where the exponent
    // would overflow), and what is not a number stays so.
    const __m128d low = _mm_cmplt_pd(v, _mm_set1_pd(-708.0));
    const __m128d high = _mm_cmpgt_pd(v, _mm_set1_pd(709.0));
    const __m128d safe = _mm_min_pd(_mm_max_pd(v, _mm_set1_pd(-708.0)), _mm_set1_pd(709.0));
    const __m128d shifted = _mm_add_pd(_mm_mul_pd(safe, _mm_set1_pd(kLog2E)), round);
    const __m128d k = _mm_sub_pd(shifted, round);
    const __m128d r =
        _mm_sub_pd(_mm_sub_pd(safe, _mm_mul_pd(k, _mm_set1_pd(kLn2Hi))), _mm_mul_pd(k, _mm_set1_pd(kLn2Lo)));
    // The Taylor series to r^13 in Estrin's order: pairs of terms, then
    // pairs of pairs, so that the additions do not wait on one another.
    auto c = [](double x) { return _mm_set1_pd(x); };
    const __m128d r2 = _mm_mul_pd(r, r);
    const __m128d r4 = _mm_mul_pd(r2, r2);
    const __m128d r8 = _mm_mul_pd(r4, r4);
    const __m128d q0 = _mm_add_pd(c(1.0), r);
    const __m128d q1 = _mm_add_pd(c(0.5), _mm_mul_pd(c(1.0 / 6.0), r));
    const __m128d q2 = _mm_add_pd(c(1.0 / 24.0), _mm_mul_pd(c(1.0 / 120.0), r));
    const __m128d q3 = _mm_add_pd(c(1.0 / 720.0), _mm_mul_pd(c(1.0 / 5040.0), r));
    const __m128d q4 = _mm_add_pd(c(1.0 / 40320.0), _mm_mul_pd(c(1.0 / 362880.0), r));
    const __m128d q5 = _mm_add_pd(c(1.0 / 3628800.0), _mm_mul_pd(c(1.0 / 39916800.0), r));
    const __m128d q6 = _mm_add_pd(c(1.0 / 479001600.0), _mm_mul_pd(c(1.0 / 6227020800.0), r));
    const __m128d s0 = _mm_add_pd(q0, _mm_mul_pd(q1, r2));
    const __m128d s1 = _mm_add_pd(q2, _mm_mul_pd(q3, r2));
    const __m128d s2 = _mm_add_pd(q4, _mm_mul_pd(q5, r2));
    const __m128d t0 = _mm_add_pd(s0, _mm_mul_pd(s1, r4));
    const __m128d t1 = _mm_add_pd(s2, _mm_mul_pd(q6, r4));
    const __m128d p = _mm_add_pd(t0, _mm_mul_pd(t1, r8));
    const __m128i kBits = _mm_sub_epi64(_mm_castpd_si128(shifted), _mm_castpd_si128(round));
    const __m128d scale = _mm_castsi128_pd(_mm_slli_epi64(_mm_add_epi64(kBits, _mm_set1_epi64x(1023)), 52));
    __m128d result = _mm_andnot_pd(low, _mm_mul_pd(p, scale));
    result = _mm_or_pd(_mm_andnot_pd(high, result), _mm_and_pd(high, _mm_set1_pd(INFINITY)));
    const __m128d nan = _mm_cmpunord_pd(v, v);
    return _mm_or_pd(_mm_andnot_pd(nan, result), _mm_and_pd(nan, v));
}

// e^x of four floats at once, to about two units in the last place: 0 below
// -87, infinity above 88, what is not a number stays so.
inline __m128 exp(__m128 v)
{
    const __m128 low = _mm_cmplt_ps(v, _mm_set1_ps(-87.0f));
    const __m128 high = _mm_cmpgt_ps(v, _mm_set1_ps(88.0f));
    const __m128 safe = _mm_min_ps(_mm_max_ps(v, _mm_set1_ps(-87.0f)), _mm_set1_ps(88.0f));
    // x = k ln 2 + r, |r| <= ln 2 / 2, with ln 2 in two parts (the first
    // times k exact).
    const __m128i ki = _mm_cvtps_epi32(_mm_mul_ps(safe, _mm_set1_ps((float) kLog2E)));
    const __m128 k = _mm_cvtepi32_ps(ki);
    const __m128 r = _mm_sub_ps(_mm_sub_ps(safe, _mm_mul_ps(k, _mm_set1_ps(0.693359375f))),
                                _mm_mul_ps(k, _mm_set1_ps(-2.12194440e-4f)));
    // The Taylor series to r^7 (the rest is below 2e-8) in Estrin's order.
    auto c = [](float x) { return _mm_set1_ps(x); };
    const __m128 r2 = _mm_mul_ps(r, r);
    const __m128 r4 = _mm_mul_ps(r2, r2);
    const __m128 q0 = _mm_add_ps(c(1.0f), r);
    const __m128 q1 = _mm_add_ps(c(0.5f), _mm_mul_ps(c(1.0f / 6.0f), r));
    const __m128 q2 = _mm_add_ps(c(1.0f / 24.0f), _mm_mul_ps(c(1.0f / 120.0f), r));
    const __m128 q3 = _mm_add_ps(c(1.0f / 720.0f), _mm_mul_ps(c(1.0f / 5040.0f), r));
    const __m128 p = _mm_add_ps(_mm_add_ps(q0, _mm_mul_ps(q1, r2)), _mm_mul_ps(_mm_add_ps(q2, _mm_mul_ps(q3, r2)), r4));
    // 2^k in two halves, so that k = 128 (just below the largest float) does not overflow the exponent.
    const __m128i half = _mm_srai_epi32(ki, 1);
    const __m128 scaleA = _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(half, _mm_set1_epi32(127)), 23));
    const __m128 scaleB = _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(_mm_sub_epi32(ki, half), _mm_set1_epi32(127)), 23));
    __m128 result = _mm_andnot_ps(low, _mm_mul_ps(_mm_mul_ps(p, scaleA), scaleB));
    result = _mm_or_ps(_mm_andnot_ps(high, result), _mm_and_ps(high, _mm_set1_ps(INFINITY)));
    const __m128 nan = _mm_cmpunord_ps(v, v);
    return _mm_or_ps(_mm_andnot_ps(nan, result), _mm_and_ps(nan, v));
}
#endif

#if defined(__x86_64__)
// The same of eight floats, for code built for AVX2: the same steps.
__attribute__((target("avx2"))) inline __m256 exp(__m256 v)
{
    const __m256 low = _mm256_cmp_ps(v, _mm256_set1_ps(-87.0f), _CMP_LT_OQ);
    const __m256 high = _mm256_cmp_ps(v, _mm256_set1_ps(88.0f), _CMP_GT_OQ);
    const __m256 safe = _mm256_min_ps(_mm256_max_ps(v, _mm256_set1_ps(-87.0f)), _mm256_set1_ps(88.0f));
    const __m256i ki = _mm256_cvtps_epi32(_mm256_mul_ps(safe, _mm256_set1_ps((float) kLog2E)));
    const __m256 k = _mm256_cvtepi32_ps(ki);
    const __m256 r = _mm256_sub_ps(_mm256_sub_ps(safe, _mm256_mul_ps(k, _mm256_set1_ps(0.693359375f))),
                                   _mm256_mul_ps(k, _mm256_set1_ps(-2.12194440e-4f)));
#define c(x) _mm256_set1_ps(x)
    const __m256 r2 = _mm256_mul_ps(r, r);
    const __m256 r4 = _mm256_mul_ps(r2, r2);
    const __m256 q0 = _mm256_add_ps(c(1.0f), r);
    const __m256 q1 = _mm256_add_ps(c(0.5f), _mm256_mul_ps(c(1.0f / 6.0f), r));
    const __m256 q2 = _mm256_add_ps(c(1.0f / 24.0f), _mm256_mul_ps(c(1.0f / 120.0f), r));
    const __m256 q3 = _mm256_add_ps(c(1.0f / 720.0f), _mm256_mul_ps(c(1.0f / 5040.0f), r));
    const __m256 p = _mm256_add_ps(_mm256_add_ps(q0, _mm256_mul_ps(q1, r2)),
                                   _mm256_mul_ps(_mm256_add_ps(q2, _mm256_mul_ps(q3, r2)), r4));
    const __m256i half = _mm256_srai_epi32(ki, 1);
    const __m256 scaleA = _mm256_castsi256_ps(_mm256_slli_epi32(_mm256_add_epi32(half, _mm256_set1_epi32(127)), 23));
    const __m256 scaleB = _mm256_castsi256_ps(
        _mm256_slli_epi32(_mm256_add_epi32(_mm256_sub_epi32(ki, half), _mm256_set1_epi32(127)), 23));
    __m256 result = _mm256_andnot_ps(low, _mm256_mul_ps(_mm256_mul_ps(p, scaleA), scaleB));
    result = _mm256_or_ps(_mm256_andnot_ps(high, result), _mm256_and_ps(high, _mm256_set1_ps(INFINITY)));
    const __m256 nan = _mm256_cmp_ps(v, v, _CMP_UNORD_Q);
    return _mm256_or_ps(_mm256_andnot_ps(nan, result), _mm256_and_ps(nan, v));
#undef c
}
#endif

// 20 log10 |x| of each sample, to about 1e-5 dB (for meters: what is
// shown, not heard), and `silence` where x is 0 (or, with denormals read as
// zero, denormal).
inline void decibelsOf(const float* x, double* db, int count, double silence)
{
    constexpr double kDecibelsPerLn = 8.6858896380650365530;   // 20 / ln 10
    int i = 0;
#if defined(__SSE2__)
    const __m128 mantissaMask = _mm_castsi128_ps(_mm_set1_epi32(0x007fffff));
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    for (; i + 4 <= count; i += 4)
    {
        const __m128 a = _mm_and_ps(_mm_loadu_ps(x + i), absMask);
        // a = m 2^e, m in [1, 2): ln m = 2 atanh(t), t = (m - 1) / (m + 1) < 1/3.
        const __m128i e = _mm_sub_epi32(_mm_srli_epi32(_mm_castps_si128(a), 23), _mm_set1_epi32(127));
        const __m128 m = _mm_or_ps(_mm_and_ps(a, mantissaMask), one);
        const __m128 t = _mm_div_ps(_mm_sub_ps(m, one), _mm_add_ps(m, one));
        const __m128 t2 = _mm_mul_ps(t, t);
        __m128 series = _mm_set1_ps(1.0f / 11);
        series = _mm_add_ps(_mm_mul_ps(series, t2), _mm_set1_ps(1.0f / 9));
        series = _mm_add_ps(_mm_mul_ps(series, t2), _mm_set1_ps(1.0f / 7));
        series = _mm_add_ps(_mm_mul_ps(series, t2), _mm_set1_ps(1.0f / 5));
        series = _mm_add_ps(_mm_mul_ps(series, t2), _mm_set1_ps(1.0f / 3));
        series = _mm_add_ps(_mm_mul_ps(series, t2), one);
        const __m128 ln = _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(e), _mm_set1_ps((float) kLn2Hi)),
                                     _mm_mul_ps(_mm_add_ps(t, t), series));
        const __m128 loud = _mm_cmpgt_ps(a, _mm_setzero_ps());
        alignas(16) float lns[4];
        alignas(16) int louds[4];
        _mm_store_ps(lns, ln);
        _mm_store_si128((__m128i*) louds, _mm_castps_si128(loud));
        for (int k = 0; k < 4; ++k)
            db[i + k] = louds[k] != 0 ? kDecibelsPerLn * (double) lns[k] : silence;
    }
#endif
    for (; i < count; ++i)
    {
        const double a = std::fabs((double) x[i]);
        db[i] = a > 0.0 ? 20.0 * log10(a) : silence;
    }
}
} // namespace FastMath

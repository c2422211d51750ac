#pragma once

#include <cstdint>
#include <cstring>

// Logarithm and exponential for the signal path where the library's are too
// slow to run per sample: the limiter's level detection and gain, the meters.
// Both agree with the library to about 1e-14 of the result (far below what the
// float results they feed can hold), without a call, a branch on the value or
// a division more than the logarithm's one.
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

// e^x for x below 709; below -708 (where the library's result is no longer a
// normal number) gives 0.
inline double exp(double x)
{
    if (x < -708.0)
        return 0.0;
    // x = k ln 2 + r with |r| <= ln 2 / 2; k rounded by the magic-number add.
    constexpr double kRound = 6755399441055744.0;   // 1.5 * 2^52
    const double shifted = x * kLog2E + kRound;
    const double k = shifted - kRound;
    const double r = (x - k * kLn2Hi) - k * kLn2Lo;
    // e^r by its Taylor series to r^13 (|r| < 0.347: the rest is below 1e-16).
    double p = 1.0 / 6227020800.0;
    p = p * r + 1.0 / 479001600.0;
    p = p * r + 1.0 / 39916800.0;
    p = p * r + 1.0 / 3628800.0;
    p = p * r + 1.0 / 362880.0;
    p = p * r + 1.0 / 40320.0;
    p = p * r + 1.0 / 5040.0;
    p = p * r + 1.0 / 720.0;
    p = p * r + 1.0 / 120.0;
    p = p * r + 1.0 / 24.0;
    p = p * r + 1.0 / 6.0;
    p = p * r + 0.5;
    p = p * r + 1.0;
    p = p * r + 1.0;
    const int64_t exponent = (int64_t) k + 1023;
    return p * fromBits((uint64_t) exponent << 52);
}
} // namespace FastMath

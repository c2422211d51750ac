#include "processor/dsp/FractionalReader.h"

#include "processor/dsp/DspTables.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__x86_64__)
#include <immintrin.h>
#if defined(__GNUC__)
#define TAVINOR_READ_AVX2 1
#endif
#endif

namespace
{
constexpr int kPhases = DspTables::kPhases;
constexpr int kKernel16Limit = 8190;
constexpr int kKernel32Limit = 16382;
constexpr double kKernel16Gain = DspTables::kKernel16ReadGain;
} // namespace

namespace
{
// Number of taps the read takes: while the phase, advanced by repeated addition
// from phase0, stays below limit, and at most `most`. The taps themselves
// compute their phases as phase0 + j * step; both agree to rounding, except on
// whether a phase landing right at the limit still counts, so there the
// repeated addition decides as it always has.
int countTaps(double phase0, double step, double limit, int most)
{
    if (! (phase0 < limit) || most <= 0)
        return 0;
    const double span = (limit - phase0) / step;
    if (span >= (double) most)
        return most;
    // span is positive and below most here: truncation rounds it down, which
    // spares the library's floor and ceil.
    const int whole = (int) span;
    const double nearest = (double) (whole + (span - (double) whole >= 0.5 ? 1 : 0));
    if (std::abs(span - nearest) > 1.0e-6)
        return std::min(whole + ((double) whole < span ? 1 : 0), most);

    int taps = 0;
    for (double phase = phase0; phase < limit && taps < most; phase += step)
        ++taps;
    return taps;
}

// The accumulation every read shares: sum over j < taps of h_j * ring[n - j]
// for one or two rings, the caller saying how the weights h_j come about. Two
// partial sums to a ring keep the additions of a round independent of each
// other; the ring is walked as one contiguous span (the rings hold three
// copies, so a read never wraps).
//
// weights(j) gives the weights of the taps of one vector from tap j up, the
// highest tap in lane 0 (matching ring[n - j - width + 1] .. ring[n - j] in
// memory). It is called for j = 0, width, 2 * width .. in turn, each once, so
// it may carry its own state from one call to the next. weight(j) gives tap j
// alone, for the taps left over.
#if defined(__SSE2__) && defined(__x86_64__)
template <bool twoRings, typename Weights, typename Weight>
inline void accumulateSse2(const double* ringA, const double* ringB, int n, int taps, Weights&& weights,
                           Weight&& weight, double& sumA, double& sumB)
{
    __m128d a0 = _mm_setzero_pd(), a1 = _mm_setzero_pd(), b0 = _mm_setzero_pd(), b1 = _mm_setzero_pd();
    int j = 0;
    for (; j + 4 <= taps; j += 4)
    {
        const __m128d h0 = weights(j);
        const __m128d h1 = weights(j + 2);
        a0 = _mm_add_pd(a0, _mm_mul_pd(h0, _mm_loadu_pd(ringA + n - j - 1)));
        a1 = _mm_add_pd(a1, _mm_mul_pd(h1, _mm_loadu_pd(ringA + n - j - 3)));
        if constexpr (twoRings)
        {
            b0 = _mm_add_pd(b0, _mm_mul_pd(h0, _mm_loadu_pd(ringB + n - j - 1)));
            b1 = _mm_add_pd(b1, _mm_mul_pd(h1, _mm_loadu_pd(ringB + n - j - 3)));
        }
    }
    if (j + 2 <= taps)
    {
        const __m128d h0 = weights(j);
        a0 = _mm_add_pd(a0, _mm_mul_pd(h0, _mm_loadu_pd(ringA + n - j - 1)));
        if constexpr (twoRings)
            b0 = _mm_add_pd(b0, _mm_mul_pd(h0, _mm_loadu_pd(ringB + n - j - 1)));
        j += 2;
    }
    a0 = _mm_add_pd(a0, a1);
    b0 = _mm_add_pd(b0, b1);
    double a = _mm_cvtsd_f64(a0) + _mm_cvtsd_f64(_mm_unpackhi_pd(a0, a0));
    double b = _mm_cvtsd_f64(b0) + _mm_cvtsd_f64(_mm_unpackhi_pd(b0, b0));
    if (j < taps)
    {
        const double h = weight(j);
        a += h * ringA[n - j];
        if constexpr (twoRings)
            b += h * ringB[n - j];
    }
    sumA = a;
    sumB = b;
}

#if defined(TAVINOR_READ_AVX2)
// With four taps to a vector and the products fused with their sums, for
// processors with AVX2 and FMA (chosen at run time; the build itself assumes
// only SSE2), the taps that fill whole vectors: eight at a time with two sums
// apiece, then four, the sums of each ring folded to two lanes. Returns the
// first tap left for the caller's tail. The callables given must carry the
// same target.
template <bool twoRings, typename Weights>
__attribute__((target("avx2,fma"))) inline int vectorSumsAvx2(const double* ringA, const double* ringB, int n,
                                                              int taps, Weights&& weights, __m128d& a2, __m128d& b2)
{
    __m256d a0 = _mm256_setzero_pd(), a1 = _mm256_setzero_pd(), b0 = _mm256_setzero_pd(), b1 = _mm256_setzero_pd();
    int j = 0;
    for (; j + 8 <= taps; j += 8)
    {
        const __m256d h0 = weights(j);
        const __m256d h1 = weights(j + 4);
        a0 = _mm256_fmadd_pd(h0, _mm256_loadu_pd(ringA + n - j - 3), a0);
        a1 = _mm256_fmadd_pd(h1, _mm256_loadu_pd(ringA + n - j - 7), a1);
        if constexpr (twoRings)
        {
            b0 = _mm256_fmadd_pd(h0, _mm256_loadu_pd(ringB + n - j - 3), b0);
            b1 = _mm256_fmadd_pd(h1, _mm256_loadu_pd(ringB + n - j - 7), b1);
        }
    }
    if (j + 4 <= taps)
    {
        const __m256d h0 = weights(j);
        a0 = _mm256_fmadd_pd(h0, _mm256_loadu_pd(ringA + n - j - 3), a0);
        if constexpr (twoRings)
            b0 = _mm256_fmadd_pd(h0, _mm256_loadu_pd(ringB + n - j - 3), b0);
        j += 4;
    }
    a0 = _mm256_add_pd(a0, a1);
    b0 = _mm256_add_pd(b0, b1);
    a2 = _mm_add_pd(_mm256_castpd256_pd128(a0), _mm256_extractf128_pd(a0, 1));
    b2 = _mm_add_pd(_mm256_castpd256_pd128(b0), _mm256_extractf128_pd(b0, 1));
    return j;
}

// The same as accumulateSse2 with the vectors above and the tail one tap at a
// time.
template <bool twoRings, typename Weights, typename Weight>
__attribute__((target("avx2,fma"))) inline void accumulateAvx2(const double* ringA, const double* ringB, int n,
                                                               int taps, Weights&& weights, Weight&& weight,
                                                               double& sumA, double& sumB)
{
    __m128d a2, b2;
    int j = vectorSumsAvx2<twoRings>(ringA, ringB, n, taps, weights, a2, b2);
    double a = _mm_cvtsd_f64(a2) + _mm_cvtsd_f64(_mm_unpackhi_pd(a2, a2));
    double b = _mm_cvtsd_f64(b2) + _mm_cvtsd_f64(_mm_unpackhi_pd(b2, b2));
    for (; j < taps; ++j)
    {
        const double h = weight(j);
        a += h * ringA[n - j];
        if constexpr (twoRings)
            b += h * ringB[n - j];
    }
    sumA = a;
    sumB = b;
}
#endif
#else
// Without vectors: four partial sums keep the additions independent of each
// other.
template <bool twoRings, typename Weight>
inline void accumulatePlain(const double* ringA, const double* ringB, int n, int taps, Weight&& weight, double& sumA,
                            double& sumB)
{
    double a[4] {}, b[4] {};
    int j = 0;
    for (; j + 4 <= taps; j += 4)
        for (int lane = 0; lane < 4; ++lane)
        {
            const double h = weight(j + lane);
            a[lane] += h * ringA[n - j - lane];
            if constexpr (twoRings)
                b[lane] += h * ringB[n - j - lane];
        }
    for (; j < taps; ++j)
    {
        const double h = weight(j);
        a[0] += h * ringA[n - j];
        if constexpr (twoRings)
            b[0] += h * ringB[n - j];
    }
    sumA = (a[0] + a[1]) + (a[2] + a[3]);
    sumB = (b[0] + b[1]) + (b[2] + b[3]);
}
#endif

// sum over j < taps of h(phase0 + j * step) * ring[n - j] for one or two rings,
// h the kernel interpolated linearly between neighbouring entries, which come
// as pairs (pairs[2i] = entry i, pairs[2i + 1] = entry i + 1) so a tap takes one
// aligned load that never spans two cache lines. Phases are computed from j,
// not accumulated, so no lane waits for the one before.
#if defined(__SSE2__) && defined(__x86_64__)
template <bool twoRings>
inline void interpolatedSums(const double* pairs, const double* ringA, const double* ringB, int n, double phase0,
                             double step, int taps, double& sumA, double& sumB)
{
    const __m128d vStep = _mm_set1_pd(step);
    const __m128d vPhase0 = _mm_set1_pd(phase0);
    const __m128d two = _mm_set1_pd(2.0);
    // Lane 0 holds tap j + 1 and lane 1 tap j; the pairs come in turn, so the
    // tap numbers move on by two at every call.
    __m128d jPair = _mm_set_pd(0.0, 1.0);
    auto weights = [&](int) {
        const __m128d phase = _mm_add_pd(vPhase0, _mm_mul_pd(jPair, vStep));
        jPair = _mm_add_pd(jPair, two);
        const __m128i whole = _mm_cvttpd_epi32(phase);
        const __m128d t = _mm_sub_pd(phase, _mm_cvtepi32_pd(whole));
        const long long both = _mm_cvtsi128_si64(whole);
        const __m128d p0 = _mm_loadu_pd(pairs + 2 * (int) both);
        const __m128d p1 = _mm_loadu_pd(pairs + 2 * (int) (both >> 32));
        const __m128d lo = _mm_unpacklo_pd(p0, p1);
        const __m128d hi = _mm_unpackhi_pd(p0, p1);
        return _mm_add_pd(lo, _mm_mul_pd(_mm_sub_pd(hi, lo), t));
    };
    auto weight = [&](int j) {
        const double phase = phase0 + (double) j * step;
        const int i = (int) phase;
        return pairs[2 * i] + (pairs[2 * i + 1] - pairs[2 * i]) * (phase - i);
    };
    accumulateSse2<twoRings>(ringA, ringB, n, taps, weights, weight, sumA, sumB);
}

#if defined(TAVINOR_READ_AVX2)
// The same four taps to a vector. Each lane advances its phase by eight steps
// at a time and the products are fused with their sums, which changes the
// result only by rounding; the tap count is the same.
template <bool twoRings>
__attribute__((target("avx2,fma"))) void interpolatedSumsAvx2(const double* pairs, const double* ringA,
                                                              const double* ringB, int n, double phase0,
                                                              double step, int taps, double& sumA, double& sumB)
{
    // Lanes 0..3 hold taps j + 3 .. j. A round of eight taps takes phaseA for
    // its first four and phaseB for the rest; each call uses the one due,
    // advances it by a round and hands the other on to the next call.
    const __m256d js = _mm256_set_pd(0.0, 1.0, 2.0, 3.0);
    const __m256d vStep = _mm256_set1_pd(step);
    const __m256d vPhase0 = _mm256_set1_pd(phase0);
    __m256d phaseA = _mm256_add_pd(vPhase0, _mm256_mul_pd(js, vStep));
    __m256d phaseB = _mm256_add_pd(vPhase0, _mm256_mul_pd(_mm256_add_pd(js, _mm256_set1_pd(4.0)), vStep));
    const __m256d advance = _mm256_set1_pd(8.0 * step);

    auto weights = [&](int) __attribute__((target("avx2,fma"))) {
        const __m256d phase = phaseA;
        phaseA = phaseB;
        phaseB = _mm256_add_pd(phase, advance);
        const __m128i whole = _mm256_cvttpd_epi32(phase);
        const __m256d t = _mm256_sub_pd(phase, _mm256_cvtepi32_pd(whole));
        const long long first = _mm_cvtsi128_si64(whole);
        const long long second = _mm_extract_epi64(whole, 1);
        const __m128d p0 = _mm_loadu_pd(pairs + 2 * (int) first);
        const __m128d p1 = _mm_loadu_pd(pairs + 2 * (int) (first >> 32));
        const __m128d p2 = _mm_loadu_pd(pairs + 2 * (int) second);
        const __m128d p3 = _mm_loadu_pd(pairs + 2 * (int) (second >> 32));
        const __m256d p02 = _mm256_insertf128_pd(_mm256_castpd128_pd256(p0), p2, 1);
        const __m256d p13 = _mm256_insertf128_pd(_mm256_castpd128_pd256(p1), p3, 1);
        const __m256d lo = _mm256_unpacklo_pd(p02, p13);
        const __m256d hi = _mm256_unpackhi_pd(p02, p13);
        return _mm256_fmadd_pd(_mm256_sub_pd(hi, lo), t, lo);
    };
    auto weight = [&](int j) __attribute__((target("avx2,fma"))) {
        const double phase = phase0 + (double) j * step;
        const int i = (int) phase;
        return pairs[2 * i] + (pairs[2 * i + 1] - pairs[2 * i]) * (phase - i);
    };
    accumulateAvx2<twoRings>(ringA, ringB, n, taps, weights, weight, sumA, sumB);
}
#endif
#else
template <bool twoRings>
inline void interpolatedSums(const double* pairs, const double* ringA, const double* ringB, int n, double phase0,
                             double step, int taps, double& sumA, double& sumB)
{
    auto weight = [&](int j) {
        const double phase = phase0 + (double) j * step;
        const int i = (int) phase;
        return pairs[2 * i] + (pairs[2 * i + 1] - pairs[2 * i]) * (phase - i);
    };
    accumulatePlain<twoRings>(ringA, ringB, n, taps, weight, sumA, sumB);
}
#endif

// sum over j < taps of (row[j] + (next[j] - row[j]) * t) * ring[n - j], with
// row and next given in reverse tap order ending at tap 0 (row[-j] is tap j):
// the kernel at the read's own spacing, interpolated between two neighbouring
// phases, against the ring.
#if defined(__SSE2__) && defined(__x86_64__)
template <bool twoRings>
inline void spacedSums(const double* row, const double* next, double t, const double* ringA, const double* ringB,
                       int n, int taps, double& sumA, double& sumB)
{
    const __m128d vt = _mm_set1_pd(t);
    auto weights = [&](int j) {
        const __m128d lo = _mm_loadu_pd(row - j - 1);
        const __m128d hi = _mm_loadu_pd(next - j - 1);
        return _mm_add_pd(lo, _mm_mul_pd(_mm_sub_pd(hi, lo), vt));
    };
    auto weight = [&](int j) { return row[-j] + (next[-j] - row[-j]) * t; };
    accumulateSse2<twoRings>(ringA, ringB, n, taps, weights, weight, sumA, sumB);
}

#if defined(TAVINOR_READ_AVX2)
// The same with four taps to a vector and fused products, for processors with
// AVX2 and FMA.
template <bool twoRings>
__attribute__((target("avx2,fma"))) void spacedSumsAvx2(const double* row, const double* next, double t,
                                                        const double* ringA, const double* ringB, int n, int taps,
                                                        double& sumA, double& sumB)
{
    const __m256d vt = _mm256_set1_pd(t);
    auto weights = [&](int j) __attribute__((target("avx2,fma"))) {
        __m256d lo = _mm256_loadu_pd(row - j - 3);
        // Held in a register: left to itself the compiler loads it twice,
        // and these reads are bound by their loads.
        asm("" : "+x"(lo));
        const __m256d hi = _mm256_loadu_pd(next - j - 3);
        return _mm256_fmadd_pd(_mm256_sub_pd(hi, lo), vt, lo);
    };
    auto weight = [&](int j) __attribute__((target("avx2,fma"))) { return row[-j] + (next[-j] - row[-j]) * t; };
    accumulateAvx2<twoRings>(ringA, ringB, n, taps, weights, weight, sumA, sumB);
}
#endif
#else
template <bool twoRings>
inline void spacedSums(const double* row, const double* next, double t, const double* ringA, const double* ringB,
                       int n, int taps, double& sumA, double& sumB)
{
    auto weight = [&](int j) { return row[-j] + (next[-j] - row[-j]) * t; };
    accumulatePlain<twoRings>(ringA, ringB, n, taps, weight, sumA, sumB);
}
#endif

// The sums of spacedSums and spacedSumsAvx2 with the weights already worked
// out (weights[-j] the weight of tap j), each addition and product rounded as
// there: the same partial sums in the same lanes, the same order of the last
// additions. In the vector form the compiled taps left over after the last
// four come as a pair, multiplied and then added one by one, and a single
// tap, fused; the mirror writes that out.
#if defined(__SSE2__) && defined(__x86_64__)
template <bool twoRings>
void rememberedSums(const double* weights, const double* ringA, const double* ringB, int n, int taps, double& sumA,
                    double& sumB)
{
    auto loads = [weights](int j) { return _mm_loadu_pd(weights - j - 1); };
    auto load = [weights](int j) { return weights[-j]; };
    accumulateSse2<twoRings>(ringA, ringB, n, taps, loads, load, sumA, sumB);
}

#if defined(TAVINOR_READ_AVX2)
template <bool twoRings>
__attribute__((target("avx2,fma"))) void rememberedSumsAvx2(const double* weights, const double* ringA,
                                                            const double* ringB, int n, int taps, double& sumA,
                                                            double& sumB)
{
    auto loads = [weights](int j) __attribute__((target("avx2,fma"))) { return _mm256_loadu_pd(weights - j - 3); };
    __m128d a2, b2;
    int j = vectorSumsAvx2<twoRings>(ringA, ringB, n, taps, loads, a2, b2);
    __m128d a = _mm_add_sd(a2, _mm_unpackhi_pd(a2, a2));
    __m128d b = _mm_add_sd(b2, _mm_unpackhi_pd(b2, b2));
    if (j + 2 <= taps)
    {
        for (int k = j; k < j + 2; ++k)
        {
            const __m128d h = _mm_load_sd(weights - k);
            a = _mm_add_sd(a, _mm_mul_sd(h, _mm_load_sd(ringA + n - k)));
            if constexpr (twoRings)
                b = _mm_add_sd(b, _mm_mul_sd(h, _mm_load_sd(ringB + n - k)));
        }
        j += 2;
    }
    if (j < taps)
    {
        const __m128d h = _mm_load_sd(weights - j);
        a = _mm_fmadd_sd(h, _mm_load_sd(ringA + n - j), a);
        if constexpr (twoRings)
            b = _mm_fmadd_sd(h, _mm_load_sd(ringB + n - j), b);
    }
    sumA = _mm_cvtsd_f64(a);
    sumB = _mm_cvtsd_f64(b);
}

// The sums of rememberedSumsAvx2 for four reads at once, of the samples n0,
// n0 + 1, n0 + 2 and n0 + 3 (a delay at rest reads along the ring): a vector
// lane for each read, and for every lane of the single read (the partial sum
// of every fourth tap) a vector of its own, so that each read's partial sums,
// their sums and what is left over are added exactly as the single read adds
// them.
// Hides a value from the optimiser, which may then not fuse the product that
// made it with the sum it goes into (vector arithmetic written as + and * is
// fused where the processor can, and the read being mirrored did not fuse
// there).
template <typename V>
inline void keepRounded(V& v)
{
    asm("" : "+x"(v));
}

__attribute__((target("avx2,fma"))) void fourSumsAvx2(const double* weights, const double* ring, int n0, int taps,
                                                      double* sums)
{
    // a0..a3 and b0..b3 stand for lanes 0..3 of the single read's two
    // partial sums: lane L of the first takes taps 3 - L, 11 - L, ..; of the
    // second 7 - L, 15 - L, ..
    __m256d a0 = _mm256_setzero_pd(), a1 = _mm256_setzero_pd(), a2 = _mm256_setzero_pd(), a3 = _mm256_setzero_pd();
    __m256d b0 = _mm256_setzero_pd(), b1 = _mm256_setzero_pd(), b2 = _mm256_setzero_pd(), b3 = _mm256_setzero_pd();
    auto term = [weights, ring, n0](int j, __m256d sum) __attribute__((target("avx2,fma"))) {
        return _mm256_fmadd_pd(_mm256_broadcast_sd(weights - j), _mm256_loadu_pd(ring + n0 - j), sum);
    };
    int j = 0;
    for (; j + 8 <= taps; j += 8)
    {
        a0 = term(j + 3, a0);
        a1 = term(j + 2, a1);
        a2 = term(j + 1, a2);
        a3 = term(j, a3);
        b0 = term(j + 7, b0);
        b1 = term(j + 6, b1);
        b2 = term(j + 5, b2);
        b3 = term(j + 4, b3);
    }
    if (j + 4 <= taps)
    {
        a0 = term(j + 3, a0);
        a1 = term(j + 2, a1);
        a2 = term(j + 1, a2);
        a3 = term(j, a3);
        j += 4;
    }
    a0 = _mm256_add_pd(a0, b0);
    a1 = _mm256_add_pd(a1, b1);
    a2 = _mm256_add_pd(a2, b2);
    a3 = _mm256_add_pd(a3, b3);
    __m256d sum = _mm256_add_pd(_mm256_add_pd(a0, a2), _mm256_add_pd(a1, a3));
    if (j + 2 <= taps)
    {
        for (int k = j; k < j + 2; ++k)
        {
            // Rounded, then added: the compiler must not fuse the two here.
            __m256d product = _mm256_mul_pd(_mm256_broadcast_sd(weights - k), _mm256_loadu_pd(ring + n0 - k));
            keepRounded(product);
            sum = _mm256_add_pd(sum, product);
        }
        j += 2;
    }
    if (j < taps)
        sum = term(j, sum);
    _mm256_storeu_pd(sums, sum);
}

// The weights of spacedSumsAvx2, fused as there.
__attribute__((target("avx2,fma"))) void fusedWeights(const double* row, const double* next, double t, int taps,
                                                      double* weights)
{
    int j = 0;
    const __m256d vt = _mm256_set1_pd(t);
    for (; j + 4 <= taps; j += 4)
    {
        const __m256d lo = _mm256_loadu_pd(row - j - 3);
        const __m256d hi = _mm256_loadu_pd(next - j - 3);
        _mm256_storeu_pd(weights - j - 3, _mm256_fmadd_pd(_mm256_sub_pd(hi, lo), vt, lo));
    }
    for (; j < taps; ++j)
    {
        const __m128d lo = _mm_load_sd(row - j);
        const __m128d hi = _mm_load_sd(next - j);
        _mm_store_sd(weights - j, _mm_fmadd_sd(_mm_sub_sd(hi, lo), _mm_set_sd(t), lo));
    }
}
#endif
#else
template <bool twoRings>
void rememberedSums(const double* weights, const double* ringA, const double* ringB, int n, int taps, double& sumA,
                    double& sumB)
{
    accumulatePlain<twoRings>(ringA, ringB, n, taps, [weights](int j) { return weights[-j]; }, sumA, sumB);
}
#endif

// The weights of spacedSums: the product rounded before the sum.
void plainWeights(const double* row, const double* next, double t, int taps, double* weights)
{
    for (int j = 0; j < taps; ++j)
    {
        const double product = (next[-j] - row[-j]) * t;
        weights[-j] = row[-j] + product;
    }
}

// A kernel of `size` entries arranged for reads at a whole spacing that divides
// the phase count: row p (0..spacing) holds entries p + spacing * c, c = 0 ..
// size / spacing - 1, in reverse order; entries past the kernel read as 0 (no
// read ever weighs them).
std::vector<double> arrangeBySpacing(const double* kernel, int size, int spacing)
{
    const int columns = size / spacing;
    std::vector<double> rows((size_t) (spacing + 1) * (size_t) columns, 0.0);
    for (int p = 0; p <= spacing; ++p)
        for (int c = 0; c < columns; ++c)
        {
            const int entry = p + spacing * c;
            if (entry < size)
                rows[(size_t) (p * columns + columns - 1 - c)] = kernel[entry];
        }
    return rows;
}

// Entry i and entry i + 1 of a kernel side by side; past the end reads as 0.
std::vector<double> arrangeInPairs(const double* kernel, int size)
{
    std::vector<double> pairs((size_t) (2 * size), 0.0);
    for (int i = 0; i < size; ++i)
    {
        pairs[(size_t) (2 * i)] = kernel[i];
        pairs[(size_t) (2 * i + 1)] = i + 1 < size ? kernel[i + 1] : 0.0;
    }
    return pairs;
}
} // namespace

std::shared_ptr<const FractionalReader::Arrangement> FractionalReader::arrangementOf(const double* kernel32Table,
                                                                                     const double* kernel16Table)
{
    // Readers are made on the message thread (never while audio runs): the
    // lock only guards the list of arrangements alive.
    static std::mutex lock;
    static std::vector<std::weak_ptr<const Arrangement>> alive;
    const std::vector<double> kernel32(kernel32Table, kernel32Table + DspTables::kKernel32Size);
    const std::vector<double> kernel16(kernel16Table, kernel16Table + DspTables::kKernel16Size);
    const std::lock_guard<std::mutex> guard(lock);
    alive.erase(std::remove_if(alive.begin(), alive.end(), [](const auto& a) { return a.expired(); }), alive.end());
    for (const auto& a : alive)
        if (auto shared = a.lock(); shared != nullptr && shared->kernel32 == kernel32 && shared->kernel16 == kernel16)
            return shared;
    auto made = std::make_shared<Arrangement>();
    made->kernel32ByPhase = arrangeBySpacing(kernel32Table, DspTables::kKernel32Size, kPhases);
    made->kernel32By64 = arrangeBySpacing(kernel32Table, DspTables::kKernel32Size, 64);
    made->kernel32By16 = arrangeBySpacing(kernel32Table, DspTables::kKernel32Size, 16);
    made->kernel16ByPhase = arrangeBySpacing(kernel16Table, DspTables::kKernel16Size, kPhases);
    made->kernel32Pairs = arrangeInPairs(kernel32Table, DspTables::kKernel32Size);
    made->kernel32 = kernel32;
    made->kernel16 = kernel16;
    alive.push_back(made);
    return made;
}

FractionalReader::FractionalReader(const double* kernel32Table, const double* kernel16Table, bool allowAvx2)
    : arrangement(arrangementOf(kernel32Table, kernel16Table)),
      kernel32ByPhase(arrangement->kernel32ByPhase),
      kernel32By64(arrangement->kernel32By64),
      kernel32By16(arrangement->kernel32By16),
      kernel16ByPhase(arrangement->kernel16ByPhase),
      kernel32Pairs(arrangement->kernel32Pairs)
{
#if defined(TAVINOR_READ_AVX2)
    __builtin_cpu_init();
    useAvx2 = allowAvx2 && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    (void) allowAvx2;
#endif
}

template <bool twoRings>
void FractionalReader::readRings(Memory* memory, int mode, double minimumStep, const double* ringA,
                                 const double* ringB, double position, double delay, double previousDelay,
                                 double& readA, double& readB) const
{
    const int n = (int) position;
    const double frac = position - n;
    const double step = stepOf(mode, minimumStep, delay, previousDelay);
    double sumA = 0.0, sumB = 0.0;

    // The weights are kept from the second of two reads alike on: a read
    // that moves on at every sample would only pay for keeping them.
    if (memory != nullptr)
    {
        const bool repeated = memory->mode == mode && memory->minimumStep == minimumStep && memory->frac == frac
                              && memory->step == step;
        memory->sumsOne = memory->sumsTwo = nullptr;
        memory->mode = mode;
        memory->minimumStep = minimumStep;
        memory->frac = frac;
        memory->step = step;
        if (! repeated)
            memory = nullptr;
    }

#if defined(TAVINOR_READ_AVX2)
    // The read of a moving delay with vectors, which keeps no weights: the
    // same calls as the general path below, without its bookkeeping.
    if (memory == nullptr && useAvx2 && (mode == 2 || mode == 3))
    {
        const double phase0 = frac * step;
        const std::vector<double>* rows = step == (double) kPhases ? &kernel32ByPhase
                                          : step == 64.0           ? &kernel32By64
                                          : step == 16.0           ? &kernel32By16
                                                                   : nullptr;
        if (rows != nullptr)
        {
            const int spacing = (int) step;
            const int columns = DspTables::kKernel32Size / spacing;
            const int count = countTaps(phase0, step, kKernel32Limit, n + 1);
            const int p = std::min((int) phase0, spacing - 1);
            const double* row = rows->data() + (size_t) (p * columns + columns - 1);
            spacedSumsAvx2<twoRings>(row, row + columns, phase0 - p, ringA, ringB, n, count, sumA, sumB);
        }
        else
        {
            const int taps = countTaps(phase0, step, kKernel32Limit, n + 1);
            interpolatedSumsAvx2<twoRings>(kernel32Pairs.data(), ringA, ringB, n, phase0, step, taps, sumA, sumB);
        }
        scale(mode, step, sumA, sumB, readA, readB);
        return;
    }
#endif

    // At the kernel's own spacing every tap shares one phase: the two rows of
    // that phase and the next, interpolated once, cover the whole read. fused
    // says which rounding the interpolation takes (the vector reads fuse it).
    auto sums = [&](const double* row, const double* next, double t, int count, int allTaps, bool fused) {
        if (memory != nullptr)
        {
            double* weights = memory->weights + kMostArrangedTaps - 1;
#if defined(TAVINOR_READ_AVX2)
            if (fused)
            {
                fusedWeights(row, next, t, count, weights);
                memory->sumsOne = rememberedSumsAvx2<false>;
                memory->sumsTwo = rememberedSumsAvx2<true>;
                memory->fused = true;
            }
            else
#endif
            {
                plainWeights(row, next, t, count, weights);
                memory->sumsOne = rememberedSums<false>;
                memory->sumsTwo = rememberedSums<true>;
                memory->fused = false;
            }
            memory->taps = count;
            memory->allTaps = allTaps;
            (twoRings ? memory->sumsTwo : memory->sumsOne)(weights, ringA, ringB, n, count, sumA, sumB);
            return;
        }
#if defined(TAVINOR_READ_AVX2)
        if (fused)
        {
            spacedSumsAvx2<twoRings>(row, next, t, ringA, ringB, n, count, sumA, sumB);
            return;
        }
#endif
        spacedSums<twoRings>(row, next, t, ringA, ringB, n, count, sumA, sumB);
    };
    auto spaced = [&](const std::vector<double>& rows, int size, int spacing, double phase0, double limit) {
        const int columns = size / spacing;
        const int count = countTaps(phase0, (double) spacing, limit, n + 1);
        const int allTaps = memory != nullptr ? countTaps(phase0, (double) spacing, limit, columns) : count;
        const int p = std::min((int) phase0, spacing - 1);
        const double* row = rows.data() + (size_t) (p * columns + columns - 1);
        sums(row, row + columns, phase0 - p, count, allTaps, useAvx2);
    };

    switch (mode)
    {
        case 1:
            spaced(kernel16ByPhase, DspTables::kKernel16Size, kPhases, frac * kPhases, kKernel16Limit);
            break;
        case 2:
        case 3:
        {
            const double phase0 = frac * step;
            // The common spacings (at rest, and the smallest steps of the
            // quality settings, where a fast glide holds the step) read
            // contiguous rows; any other takes the kernel tap by tap.
            if (step == (double) kPhases)
                spaced(kernel32ByPhase, DspTables::kKernel32Size, kPhases, phase0, kKernel32Limit);
            else if (step == 64.0)
                spaced(kernel32By64, DspTables::kKernel32Size, 64, phase0, kKernel32Limit);
            else if (step == 16.0)
                spaced(kernel32By16, DspTables::kKernel32Size, 16, phase0, kKernel32Limit);
            else
            {
                const int taps = countTaps(phase0, step, kKernel32Limit, n + 1);
#if defined(TAVINOR_READ_AVX2)
                if (useAvx2)
                    interpolatedSumsAvx2<twoRings>(kernel32Pairs.data(), ringA, ringB, n, phase0, step, taps, sumA, sumB);
                else
#endif
                    interpolatedSums<twoRings>(kernel32Pairs.data(), ringA, ringB, n, phase0, step, taps, sumA, sumB);
            }
            break;
        }
        default:
        {
            // The nearest phase below, no interpolation: the same row twice.
            const int p = (int) (frac * kPhases);
            const int allTaps = (kKernel16Limit - 1 - p) / kPhases + 1;
            const int count = std::min(allTaps, n + 1);
            const double* row = kernel16ByPhase.data() + (size_t) (p * DspTables::kTaps16 + DspTables::kTaps16 - 1);
            sums(row, row, 0.0, count, allTaps, false);
            break;
        }
    }
    scale(mode, step, sumA, sumB, readA, readB);
}

double FractionalReader::read(int mode, double minimumStep, const double* ring, double position,
                                         double delay, double previousDelay) const
{
    double value = 0.0, unused = 0.0;
    readRings<false>(nullptr, mode, minimumStep, ring, nullptr, position, delay, previousDelay, value, unused);
    return value;
}

void FractionalReader::read(int mode, double minimumStep, const double* ringA, const double* ringB,
                                       double position, double delay, double previousDelay, double& readA,
                                       double& readB) const
{
    readRings<true>(nullptr, mode, minimumStep, ringA, ringB, position, delay, previousDelay, readA, readB);
}

int FractionalReader::readRun(Memory& memory, int mode, double minimumStep, const double* ringA,
                              const double* ringB, double firstBase, double shift, double delay, double previousDelay,
                              int count, double* readA, double* readB) const
{
#if defined(TAVINOR_READ_AVX2)
    if (! memory.fused || memory.sumsOne == nullptr || memory.mode != mode || memory.minimumStep != minimumStep)
        return 0;
    const double firstPosition = (firstBase - delay) - shift;
    const int n0 = (int) firstPosition;
    if (n0 + 1 < memory.allTaps || memory.allTaps > memory.taps)
        return 0;
    // The samples the run may take: each at the next position, with the
    // phase and step (from the delay and the one before) of the kept weights.
    // Within one binade the positions (firstBase + s) - delay are the first
    // one plus s, rounded alike: same fraction, consecutive whole parts. The
    // first and last positions tell for all between.
    if (firstPosition - n0 != memory.frac || stepOf(mode, minimumStep, delay, previousDelay) != memory.step)
        return 0;
    int run = count;
    if (count > 1)
    {
        if (stepOf(mode, minimumStep, delay, delay) != memory.step)
            return 1;
        const double first = firstBase - delay;
        const double last = (firstBase + (count - 1)) - delay;
        int e0 = 0, e1 = 0;
        std::frexp(first, &e0);
        std::frexp(last, &e1);
        if (e0 != e1)
            run = 1;
    }
    run -= run % 4;
    const double* weights = memory.weights + kMostArrangedTaps - 1;
    alignas(32) double sums[4];
    for (int s = 0; s < run; s += 4)
    {
        fourSumsAvx2(weights, ringA, n0 + s, memory.allTaps, sums);
        for (int k = 0; k < 4; ++k)
        {
            double unused = 0.0;
            scale(mode, memory.step, sums[k], 0.0, readA[s + k], unused);
        }
        if (ringB != nullptr)
        {
            fourSumsAvx2(weights, ringB, n0 + s, memory.allTaps, sums);
            for (int k = 0; k < 4; ++k)
            {
                double unused = 0.0;
                scale(mode, memory.step, sums[k], 0.0, readB[s + k], unused);
            }
        }
    }
    return run;
#else
    (void) memory; (void) mode; (void) minimumStep; (void) ringA; (void) ringB; (void) firstBase; (void) shift;
    (void) delay;
    (void) previousDelay; (void) count; (void) readA; (void) readB;
    return 0;
#endif
}

void FractionalReader::read(Memory& memory, int mode, double minimumStep, const double* ringA, const double* ringB,
                            double position, double delay, double previousDelay, double& readA, double& readB) const
{
    if (ringB != nullptr)
        readRings<true>(&memory, mode, minimumStep, ringA, ringB, position, delay, previousDelay, readA, readB);
    else
        readRings<false>(&memory, mode, minimumStep, ringA, nullptr, position, delay, previousDelay, readA, readB);
}


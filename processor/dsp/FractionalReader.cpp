#include "processor/dsp/FractionalReader.h"

#include "processor/dsp/DspCommon.h"
#include "processor/dsp/DspTables.h"
#include "processor/dsp/SimdLanes.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace
{
constexpr int kPhases = DspTables::kPhases;
constexpr int kKernel16Limit = 8190;
constexpr int kKernel32Limit = 16382;
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
// for one or two rings, the caller saying how the weights h_j come about. The
// ring is walked as one contiguous span (the rings hold a guard, so a read
// never wraps), in float.
//
// weights(j) gives the weights of the taps of one vector from tap j up, the
// highest tap in lane 0 (matching ring[n - j - width + 1] .. ring[n - j] in
// memory). It is called for j = 0, width, 2 * width .. in turn, each once, so
// it may carry its own state from one call to the next.
// Two partial sums of four lanes to a ring keep the additions of a round
// independent of each other; weight(j) gives tap j alone, for the last three
// taps at most.
template <bool twoRings, typename Weights, typename Weight>
inline void accumulateSse2(const float* ringA, const float* ringB, int n, int taps, Weights&& weights,
                           Weight&& weight, float& sumA, float& sumB)
{
    __m128 a0 = _mm_setzero_ps(), a1 = _mm_setzero_ps(), b0 = _mm_setzero_ps(), b1 = _mm_setzero_ps();
    int j = 0;
    for (; j + 8 <= taps; j += 8)
    {
        const __m128 h0 = weights(j);
        const __m128 h1 = weights(j + 4);
        a0 = _mm_add_ps(a0, _mm_mul_ps(h0, _mm_loadu_ps(ringA + n - j - 3)));
        a1 = _mm_add_ps(a1, _mm_mul_ps(h1, _mm_loadu_ps(ringA + n - j - 7)));
        if constexpr (twoRings)
        {
            b0 = _mm_add_ps(b0, _mm_mul_ps(h0, _mm_loadu_ps(ringB + n - j - 3)));
            b1 = _mm_add_ps(b1, _mm_mul_ps(h1, _mm_loadu_ps(ringB + n - j - 7)));
        }
    }
    if (j + 4 <= taps)
    {
        const __m128 h0 = weights(j);
        a0 = _mm_add_ps(a0, _mm_mul_ps(h0, _mm_loadu_ps(ringA + n - j - 3)));
        if constexpr (twoRings)
            b0 = _mm_add_ps(b0, _mm_mul_ps(h0, _mm_loadu_ps(ringB + n - j - 3)));
        j += 4;
    }
    auto reduce = [](__m128 x0, __m128 x1) {
        const __m128 s = _mm_add_ps(x0, x1);
        const __m128 h = _mm_add_ps(s, _mm_movehl_ps(s, s));
        return _mm_cvtss_f32(_mm_add_ss(h, _mm_shuffle_ps(h, h, _MM_SHUFFLE(1, 1, 1, 1))));
    };
    float a = reduce(a0, a1);
    float b = twoRings ? reduce(b0, b1) : 0.0f;
    for (; j < taps; ++j)
    {
        const float h = weight(j);
        a += h * ringA[n - j];
        if constexpr (twoRings)
            b += h * ringB[n - j];
    }
    sumA = a;
    sumB = b;
}

// With eight taps to a vector and the products fused with their sums, for
// processors with AVX2 and FMA (chosen at run time; the build itself assumes
// only SSE2): a read of more than 32 taps keeps sixteen partial sums to a
// ring, tap j in partial sum j mod 16 (two vectors: lane L of the first takes
// taps 7 - L, 23 - L, .., of the second 15 - L, 31 - L, ..), so that two
// chains of sums run side by side; a shorter one keeps eight, tap j in
// partial sum j mod 8 (the first vector; the second stays zero), which the
// reads eight at a time mirror without spilling. The taps left after the
// last whole vector come in a vector of their own under a mask, with
// weights and ring reads of zero in the lanes past the read.
// lastWeights(j, mask) gives those weights. The partial sums are added up in
// a fixed order (reduceAvx2). The callables given must carry the same
// target.
constexpr int kMostNarrowTaps = 32;

SIMD_AVX2_FMA inline __m256i tailMask(int left)
{
    // Lane L holds tap j + 7 - L: the lanes from 8 - left up are in.
    return _mm256_cmpgt_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(7 - left));
}

SIMD_AVX2_FMA inline float reduceAvx2(__m256 x0, __m256 x1)
{
    const __m256 s = _mm256_add_ps(x0, x1);
    const __m128 h = _mm_add_ps(_mm256_castps256_ps128(s), _mm256_extractf128_ps(s, 1));
    const __m128 h2 = _mm_add_ps(h, _mm_movehl_ps(h, h));
    return _mm_cvtss_f32(_mm_add_ss(h2, _mm_shuffle_ps(h2, h2, _MM_SHUFFLE(1, 1, 1, 1))));
}

// The taps of one or two rings from tap j on (j a multiple of 16, the calls
// of weights up to j made), into the partial sums a0, a1 (and b0, b1).
template <bool twoRings, typename Weights, typename LastWeights>
SIMD_AVX2_FMA inline void continueAvx2(const float* ringA, const float* ringB, int n, int taps,
                                                             int j, Weights&& weights, LastWeights&& lastWeights,
                                                             __m256& a0, __m256& a1, __m256& b0, __m256& b1)
{
    const bool wide = taps > kMostNarrowTaps;
    for (; j + 16 <= taps; j += 16)
    {
        const __m256 h0 = weights(j);
        const __m256 h1 = weights(j + 8);
        a0 = _mm256_fmadd_ps(h0, _mm256_loadu_ps(ringA + n - j - 7), a0);
        if constexpr (twoRings)
            b0 = _mm256_fmadd_ps(h0, _mm256_loadu_ps(ringB + n - j - 7), b0);
        if (wide)
        {
            a1 = _mm256_fmadd_ps(h1, _mm256_loadu_ps(ringA + n - j - 15), a1);
            if constexpr (twoRings)
                b1 = _mm256_fmadd_ps(h1, _mm256_loadu_ps(ringB + n - j - 15), b1);
        }
        else
        {
            a0 = _mm256_fmadd_ps(h1, _mm256_loadu_ps(ringA + n - j - 15), a0);
            if constexpr (twoRings)
                b0 = _mm256_fmadd_ps(h1, _mm256_loadu_ps(ringB + n - j - 15), b0);
        }
    }
    if (j + 8 <= taps)
    {
        const __m256 h0 = weights(j);
        a0 = _mm256_fmadd_ps(h0, _mm256_loadu_ps(ringA + n - j - 7), a0);
        if constexpr (twoRings)
            b0 = _mm256_fmadd_ps(h0, _mm256_loadu_ps(ringB + n - j - 7), b0);
        j += 8;
    }
    if (j < taps)
    {
        const __m256i mask = tailMask(taps - j);
        const __m256 h = lastWeights(j, mask);
        const __m256 xA = _mm256_maskload_ps(ringA + n - j - 7, mask);
        // The vector's place among the partial sums.
        const bool second = wide && (j & 8) != 0;
        if (! second)
            a0 = _mm256_fmadd_ps(h, xA, a0);
        else
            a1 = _mm256_fmadd_ps(h, xA, a1);
        if constexpr (twoRings)
        {
            const __m256 xB = _mm256_maskload_ps(ringB + n - j - 7, mask);
            if (! second)
                b0 = _mm256_fmadd_ps(h, xB, b0);
            else
                b1 = _mm256_fmadd_ps(h, xB, b1);
        }
    }
}

template <bool twoRings, typename Weights, typename LastWeights>
SIMD_AVX2_FMA inline void accumulateAvx2(const float* ringA, const float* ringB, int n,
                                                               int taps, Weights&& weights,
                                                               LastWeights&& lastWeights, float& sumA, float& sumB)
{
    __m256 a0 = _mm256_setzero_ps(), a1 = _mm256_setzero_ps(), b0 = _mm256_setzero_ps(), b1 = _mm256_setzero_ps();
    continueAvx2<twoRings>(ringA, ringB, n, taps, 0, weights, lastWeights, a0, a1, b0, b1);
    sumA = reduceAvx2(a0, a1);
    sumB = twoRings ? reduceAvx2(b0, b1) : 0.0f;
}

// Two reads with weights of their own (the two channels of a line whose
// delays differ), in one pass while both have taps left: each read's sums
// are those of accumulateAvx2 on its own ring, bit for bit.
template <typename WeightsA, typename LastWeightsA, typename WeightsB, typename LastWeightsB>
SIMD_AVX2_FMA inline void accumulateTwoAvx2(const float* ringA, int nA, int tapsA,
                                                                  WeightsA&& weightsA, LastWeightsA&& lastWeightsA,
                                                                  const float* ringB, int nB, int tapsB,
                                                                  WeightsB&& weightsB, LastWeightsB&& lastWeightsB,
                                                                  float& sumA, float& sumB)
{
    __m256 a0 = _mm256_setzero_ps(), a1 = _mm256_setzero_ps(), b0 = _mm256_setzero_ps(), b1 = _mm256_setzero_ps();
    int j = 0;
    // Side by side where both keep sixteen partial sums (the short reads
    // chain theirs, and two of those overlap anyway).
    const bool wide = tapsA > kMostNarrowTaps && tapsB > kMostNarrowTaps;
    for (; wide && j + 16 <= tapsA && j + 16 <= tapsB; j += 16)
    {
        const __m256 hA0 = weightsA(j);
        const __m256 hB0 = weightsB(j);
        const __m256 hA1 = weightsA(j + 8);
        const __m256 hB1 = weightsB(j + 8);
        a0 = _mm256_fmadd_ps(hA0, _mm256_loadu_ps(ringA + nA - j - 7), a0);
        b0 = _mm256_fmadd_ps(hB0, _mm256_loadu_ps(ringB + nB - j - 7), b0);
        a1 = _mm256_fmadd_ps(hA1, _mm256_loadu_ps(ringA + nA - j - 15), a1);
        b1 = _mm256_fmadd_ps(hB1, _mm256_loadu_ps(ringB + nB - j - 15), b1);
    }
    __m256 unused0 = _mm256_setzero_ps(), unused1 = _mm256_setzero_ps();
    continueAvx2<false>(ringA, nullptr, nA, tapsA, j, weightsA, lastWeightsA, a0, a1, unused0, unused1);
    continueAvx2<false>(ringB, nullptr, nB, tapsB, j, weightsB, lastWeightsB, b0, b1, unused0, unused1);
    // Both reductions side by side, each as reduceAvx2 adds.
    const __m256 sA = _mm256_add_ps(a0, a1);
    const __m256 sB = _mm256_add_ps(b0, b1);
    const __m128 hA = _mm_add_ps(_mm256_castps256_ps128(sA), _mm256_extractf128_ps(sA, 1));
    const __m128 hB = _mm_add_ps(_mm256_castps256_ps128(sB), _mm256_extractf128_ps(sB, 1));
    // Lanes: A0 + A2, A1 + A3, B0 + B2, B1 + B3.
    const __m128 h2 = _mm_add_ps(_mm_movelh_ps(hA, hB), _mm_movehl_ps(hB, hA));
    // Lanes 0 and 2: A and B.
    const __m128 h3 = _mm_add_ps(h2, _mm_shuffle_ps(h2, h2, _MM_SHUFFLE(3, 3, 1, 1)));
    sumA = _mm_cvtss_f32(h3);
    sumB = _mm_cvtss_f32(_mm_movehl_ps(h3, h3));
}

// The kernel interpolated linearly at a phase, from its entries in pairs
// (pairs[2i] = entry i, pairs[2i + 1] = entry i + 1).
inline float pairWeight(const float* pairs, double phase)
{
    const int i = (int) phase;
    const float t = (float) (phase - i);
    return pairs[2 * i] + (pairs[2 * i + 1] - pairs[2 * i]) * t;
}

// sum over j < taps of h(phase0 + j * step) * ring[n - j] for one or two rings,
// h the kernel interpolated linearly between neighbouring entries, which come
// as pairs so a tap takes one load of both. Phases are worked out in double
// from j (a float phase near the kernel's end would be off by a good part of
// an entry's spacing), the interpolation in float.
template <bool twoRings>
inline void interpolatedSums(const float* pairs, const float* ringA, const float* ringB, int n, double phase0,
                             double step, int taps, float& sumA, float& sumB)
{
    const __m128d vStep = _mm_set1_pd(step);
    const __m128d vPhase0 = _mm_set1_pd(phase0);
    const __m128d four = _mm_set1_pd(4.0);
    // Lanes 0..3 hold taps j + 3 .. j: the first pair of phases taps j + 3
    // and j + 2, the second j + 1 and j.
    __m128d tapsHigh = _mm_set_pd(2.0, 3.0), tapsLow = _mm_set_pd(0.0, 1.0);
    auto pair = [pairs](int i) { return _mm_castsi128_ps(_mm_loadl_epi64((const __m128i*) (pairs + 2 * i))); };
    auto weights = [&](int) {
        const __m128d high = _mm_add_pd(vPhase0, _mm_mul_pd(tapsHigh, vStep));
        const __m128d low = _mm_add_pd(vPhase0, _mm_mul_pd(tapsLow, vStep));
        tapsHigh = _mm_add_pd(tapsHigh, four);
        tapsLow = _mm_add_pd(tapsLow, four);
        const __m128i wholeHigh = _mm_cvttpd_epi32(high);
        const __m128i wholeLow = _mm_cvttpd_epi32(low);
        const __m128 t = _mm_movelh_ps(_mm_cvtpd_ps(_mm_sub_pd(high, _mm_cvtepi32_pd(wholeHigh))),
                                       _mm_cvtpd_ps(_mm_sub_pd(low, _mm_cvtepi32_pd(wholeLow))));
        const __m128 p01 = _mm_unpacklo_ps(pair(_mm_cvtsi128_si32(wholeHigh)),
                                           pair(_mm_cvtsi128_si32(_mm_srli_si128(wholeHigh, 4))));
        const __m128 p23 = _mm_unpacklo_ps(pair(_mm_cvtsi128_si32(wholeLow)),
                                           pair(_mm_cvtsi128_si32(_mm_srli_si128(wholeLow, 4))));
        const __m128 lo = _mm_movelh_ps(p01, p23);
        const __m128 hi = _mm_movehl_ps(p23, p01);
        return _mm_add_ps(lo, _mm_mul_ps(_mm_sub_ps(hi, lo), t));
    };
    auto weight = [&](int j) { return pairWeight(pairs, phase0 + (double) j * step); };
    accumulateSse2<twoRings>(ringA, ringB, n, taps, weights, weight, sumA, sumB);
}

// The weights of the same read eight taps to a vector, as called by
// accumulateAvx2 (in turn, from tap 0): the pairs of eight taps come in two
// gathers of four, which one shuffle parts into entries and successors.
struct InterpolatedWeightsAvx2
{
    const float* pairs;
    __m256d step, phase0;
    // Lane L holds tap j + 7 - L. The shuffle puts pairs 0, 1 of the first
    // gather in lanes 0, 1, of the second in lanes 2, 3, and pairs 2, 3 of
    // each in lanes 4, 5 and 6, 7: so the first gathers taps j + 7, j + 6,
    // j + 3, j + 2 and the second j + 5, j + 4, j + 1, j.
    __m256d tapsA, tapsB;

    SIMD_AVX2_FMA __m256 next(bool last)
    {
        const __m256d phaseA = _mm256_fmadd_pd(tapsA, step, phase0);
        const __m256d phaseB = _mm256_fmadd_pd(tapsB, step, phase0);
        tapsA = _mm256_add_pd(tapsA, _mm256_set1_pd(8.0));
        tapsB = _mm256_add_pd(tapsB, _mm256_set1_pd(8.0));
        __m128i wholeA = _mm256_cvttpd_epi32(phaseA);
        __m128i wholeB = _mm256_cvttpd_epi32(phaseB);
        const __m128 tA = _mm256_cvtpd_ps(_mm256_sub_pd(phaseA, _mm256_cvtepi32_pd(wholeA)));
        const __m128 tB = _mm256_cvtpd_ps(_mm256_sub_pd(phaseB, _mm256_cvtepi32_pd(wholeB)));
        if (last)
        {
            // Lanes past the read may lie past the kernel: kept within it
            // (their weights are masked off).
            const __m128i lastPair = _mm_set1_epi32(DspTables::kKernel32Size - 1);
            wholeA = _mm_min_epi32(wholeA, lastPair);
            wholeB = _mm_min_epi32(wholeB, lastPair);
        }
        const __m256d none = _mm256_setzero_pd();
        const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
        const __m256 gA = _mm256_castpd_ps(_mm256_mask_i32gather_pd(none, (const double*) pairs, wholeA, all, 8));
        const __m256 gB = _mm256_castpd_ps(_mm256_mask_i32gather_pd(none, (const double*) pairs, wholeB, all, 8));
        const __m256 lo = _mm256_shuffle_ps(gA, gB, _MM_SHUFFLE(2, 0, 2, 0));
        const __m256 hi = _mm256_shuffle_ps(gA, gB, _MM_SHUFFLE(3, 1, 3, 1));
        const __m256 t = _mm256_set_m128(_mm_shuffle_ps(tA, tB, _MM_SHUFFLE(3, 2, 3, 2)),
                                         _mm_shuffle_ps(tA, tB, _MM_SHUFFLE(1, 0, 1, 0)));
        return _mm256_fmadd_ps(_mm256_sub_ps(hi, lo), t, lo);
    }
    SIMD_AVX2_FMA __m256 operator()(int) { return next(false); }
    SIMD_AVX2_FMA __m256 operator()(int, __m256i mask)
    {
        return _mm256_and_ps(next(true), _mm256_castsi256_ps(mask));
    }
};

SIMD_AVX2_FMA inline InterpolatedWeightsAvx2 interpolatedWeightsAvx2(const float* pairs,
                                                                                           double phase0, double step)
{
    return { pairs, _mm256_set1_pd(step), _mm256_set1_pd(phase0), _mm256_setr_pd(7.0, 6.0, 3.0, 2.0),
             _mm256_setr_pd(5.0, 4.0, 1.0, 0.0) };
}

template <bool twoRings>
SIMD_AVX2_FMA void interpolatedSumsAvx2(const float* pairs, const float* ringA,
                                                              const float* ringB, int n, double phase0,
                                                              double step, int taps, float& sumA, float& sumB)
{
    InterpolatedWeightsAvx2 weights = interpolatedWeightsAvx2(pairs, phase0, step);
    accumulateAvx2<twoRings>(ringA, ringB, n, taps, weights, weights, sumA, sumB);
}

// sum over j < taps of (row[j] + (next[j] - row[j]) * t) * ring[n - j], with
// row and next given in reverse tap order ending at tap 0 (row[-j] is tap j):
// the kernel at the read's own spacing, interpolated between two neighbouring
// phases, against the ring.
template <bool twoRings>
inline void spacedSums(const float* row, const float* next, float t, const float* ringA, const float* ringB, int n,
                       int taps, float& sumA, float& sumB)
{
    const __m128 vt = _mm_set1_ps(t);
    auto weights = [&](int j) {
        const __m128 lo = _mm_loadu_ps(row - j - 3);
        const __m128 hi = _mm_loadu_ps(next - j - 3);
        return _mm_add_ps(lo, _mm_mul_ps(_mm_sub_ps(hi, lo), vt));
    };
    auto weight = [&](int j) { return row[-j] + (next[-j] - row[-j]) * t; };
    accumulateSse2<twoRings>(ringA, ringB, n, taps, weights, weight, sumA, sumB);
}

// The weights of spacedSumsAvx2 from tap j on (lane L tap j + 7 - L), the
// interpolation fused; under a mask, zero past the read.
SIMD_AVX2_FMA inline __m256 spacedWeightsAvx2(const float* row, const float* next, __m256 vt,
                                                                    int j)
{
    const __m256 lo = _mm256_loadu_ps(row - j - 7);
    const __m256 hi = _mm256_loadu_ps(next - j - 7);
    return _mm256_fmadd_ps(_mm256_sub_ps(hi, lo), vt, lo);
}

SIMD_AVX2_FMA inline __m256 spacedWeightsAvx2(const float* row, const float* next, __m256 vt,
                                                                    int j, __m256i mask)
{
    const __m256 lo = _mm256_maskload_ps(row - j - 7, mask);
    const __m256 hi = _mm256_maskload_ps(next - j - 7, mask);
    return _mm256_fmadd_ps(_mm256_sub_ps(hi, lo), vt, lo);
}

// The weights of spacedSumsAvx2, as called by accumulateAvx2.
struct SpacedWeightsAvx2
{
    const float* row;
    const float* next;
    __m256 t;

    SIMD_AVX2_FMA __m256 operator()(int j) const { return spacedWeightsAvx2(row, next, t, j); }
    SIMD_AVX2_FMA __m256 operator()(int j, __m256i mask) const
    {
        return spacedWeightsAvx2(row, next, t, j, mask);
    }
};

// The same with eight taps to a vector and fused products, for processors
// with AVX2 and FMA.
template <bool twoRings>
SIMD_AVX2_FMA void spacedSumsAvx2(const float* row, const float* next, float t,
                                                        const float* ringA, const float* ringB, int n, int taps,
                                                        float& sumA, float& sumB)
{
    const SpacedWeightsAvx2 weights { row, next, _mm256_set1_ps(t) };
    accumulateAvx2<twoRings>(ringA, ringB, n, taps, weights, weights, sumA, sumB);
}

// A read of a moving delay as the vector path takes it: at one of the
// arranged spacings (row set) or tap by tap.
struct MovingRead
{
    const float* ring = nullptr;
    int n = 0;
    int taps = 0;
    const float* row = nullptr;   // null: tap by tap
    int columns = 0;
    float t = 0.0f;
    double phase0 = 0.0;
    double step = 0.0;
};

// How the vector path reads ring at n + frac moving by step: at the arranged
// spacing rows give (null: tap by tap), or tap by tap.
SIMD_ALWAYS_INLINE inline MovingRead movingReadOf(const std::vector<float>* rows, const float* ring, int n, double frac, double step)
{
    MovingRead r;
    r.ring = ring;
    r.n = n;
    r.phase0 = frac * step;
    r.step = step;
    r.taps = countTaps(r.phase0, step, kKernel32Limit, n + 1);
    if (rows != nullptr)
    {
        const int spacing = (int) step;
        r.columns = DspTables::kKernel32Size / spacing;
        const int p = std::min((int) r.phase0, spacing - 1);
        r.row = rows->data() + (size_t) (p * r.columns + r.columns - 1);
        r.t = (float) (r.phase0 - p);
    }
    return r;
}

// Two such reads in one pass (see accumulateTwoAvx2).
template <typename WeightsA>
SIMD_AVX2_FMA inline void twoSumsWithAvx2(WeightsA& weightsA, const MovingRead& a,
                                                                const MovingRead& b, const float* pairs, float& sumA,
                                                                float& sumB)
{
    if (b.row != nullptr)
    {
        const SpacedWeightsAvx2 weightsB { b.row, b.row + b.columns, _mm256_set1_ps(b.t) };
        accumulateTwoAvx2(a.ring, a.n, a.taps, weightsA, weightsA, b.ring, b.n, b.taps, weightsB, weightsB, sumA,
                          sumB);
    }
    else
    {
        InterpolatedWeightsAvx2 weightsB = interpolatedWeightsAvx2(pairs, b.phase0, b.step);
        accumulateTwoAvx2(a.ring, a.n, a.taps, weightsA, weightsA, b.ring, b.n, b.taps, weightsB, weightsB, sumA,
                          sumB);
    }
}

SIMD_AVX2_FMA void twoSumsAvx2(const MovingRead& a, const MovingRead& b, const float* pairs,
                                                     float& sumA, float& sumB)
{
    if (a.row != nullptr)
    {
        const SpacedWeightsAvx2 weightsA { a.row, a.row + a.columns, _mm256_set1_ps(a.t) };
        twoSumsWithAvx2(weightsA, a, b, pairs, sumA, sumB);
    }
    else
    {
        InterpolatedWeightsAvx2 weightsA = interpolatedWeightsAvx2(pairs, a.phase0, a.step);
        twoSumsWithAvx2(weightsA, a, b, pairs, sumA, sumB);
    }
}

// The sums of spacedSums and spacedSumsAvx2 with the weights already worked
// out (weights[-j] the weight of tap j): the same accumulation, so the same
// sums bit for bit, given the weights those compute (plainWeights and
// fusedWeights below).
template <bool twoRings>
void rememberedSums(const float* weights, const float* ringA, const float* ringB, int n, int taps, float& sumA,
                    float& sumB)
{
    auto loads = [weights](int j) { return _mm_loadu_ps(weights - j - 3); };
    auto load = [weights](int j) { return weights[-j]; };
    accumulateSse2<twoRings>(ringA, ringB, n, taps, loads, load, sumA, sumB);
}

template <bool twoRings>
SIMD_AVX2_FMA void rememberedSumsAvx2(const float* weights, const float* ringA,
                                                            const float* ringB, int n, int taps, float& sumA,
                                                            float& sumB)
{
    auto loads = [weights](int j) SIMD_AVX2_FMA { return _mm256_loadu_ps(weights - j - 7); };
    auto lastLoads = [weights](int j, __m256i mask) SIMD_AVX2_FMA {
        return _mm256_maskload_ps(weights - j - 7, mask);
    };
    accumulateAvx2<twoRings>(ringA, ringB, n, taps, loads, lastLoads, sumA, sumB);
}

// Partial sums of rememberedSumsAvx2 for eight reads at once, of the samples
// n0 .. n0 + 7, a vector lane for each read: taps first + k, first + k +
// period, .. in partial[first + k], k < count, each added in the order the
// single read adds it, of one ring or two (the weights loaded once for both).
template <int period, int first, int count, bool twoRings>
SIMD_AVX2_FMA inline void partialSumsAvx2(const float* weights, const float* ringA,
                                                                const float* ringB, int taps, __m256* partialA,
                                                                __m256* partialB)
{
    __m256 a[count], b[count];
    for (int k = 0; k < count; ++k)
        a[k] = b[k] = _mm256_setzero_ps();
    auto term = [&](int k, int tap) SIMD_AVX2_FMA {
        const __m256 h = _mm256_broadcast_ss(weights - tap);
        a[k] = _mm256_fmadd_ps(h, _mm256_loadu_ps(ringA - tap), a[k]);
        if constexpr (twoRings)
            b[k] = _mm256_fmadd_ps(h, _mm256_loadu_ps(ringB - tap), b[k]);
    };
    int j = 0;
    for (; j + period <= taps; j += period)
        for (int k = 0; k < count; ++k)
            term(k, j + first + k);
    for (int k = 0; k < count && j + first + k < taps; ++k)
        term(k, j + first + k);
    for (int k = 0; k < count; ++k)
    {
        partialA[first + k] = a[k];
        if constexpr (twoRings)
            partialB[first + k] = b[k];
    }
}

// The eight reads of a sum, scaled as FractionalReader::scale scales them
// and rounded to float.
SIMD_AVX2_FMA inline void scaleEightAvx2(__m256 sums, int mode, double step, float* reads)
{
    // sum * step / 512 is (sum * step) * (1 / 512), both exact the same.
    const bool stretched = DelayParameters::readsStretched32(mode);
    const __m256d factor = _mm256_set1_pd(stretched ? step : DspTables::kKernel16ReadGain);
    const __m256d after = _mm256_set1_pd(stretched ? 1.0 / DspTables::kPhases : 1.0);
    const __m256d first = _mm256_cvtps_pd(_mm256_castps256_ps128(sums));
    const __m256d second = _mm256_cvtps_pd(_mm256_extractf128_ps(sums, 1));
    const __m128 firstReads = _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_mul_pd(first, factor), after));
    const __m128 secondReads = _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_mul_pd(second, factor), after));
    _mm256_storeu_ps(reads, _mm256_set_m128(secondReads, firstReads));
}

// The eight reads from the sixteen partial sums of each, added up as
// reduceAvx2 adds them (lane L of its two vectors holds partial sums 7 - L
// and 15 - L), then scaled.
SIMD_AVX2_FMA inline void eightReadsAvx2(const __m256 (&partial)[16], int mode, double step,
                                                               float* reads)
{
    __m256 s[8];
    for (int lane = 0; lane < 8; ++lane)
        s[lane] = _mm256_add_ps(partial[7 - lane], partial[15 - lane]);
    __m256 h[4];
    for (int lane = 0; lane < 4; ++lane)
        h[lane] = _mm256_add_ps(s[lane], s[lane + 4]);
    const __m256 h0 = _mm256_add_ps(h[0], h[2]);
    const __m256 h1 = _mm256_add_ps(h[1], h[3]);
    scaleEightAvx2(_mm256_add_ps(h0, h1), mode, step, reads);
}

// eightReadsAvx2 for a read of at most kMostNarrowTaps taps, of one ring or
// of two with the same weights (each weight loaded once for both): the
// partial sum p[k] takes taps k, k + 8, .., and lane L of the single read's
// first vector holds p[7 - L] (its second vector is zero). The partial sums
// go in the pairs the reduction adds first, so that few are live at once.
template <bool twoRings>
SIMD_AVX2_FMA inline void narrowReadsAvx2(const float* weights, const float* ringA,
                                                                const float* ringB, int taps, int mode, double step,
                                                                float* readsA, float* readsB)
{
    const __m256 zero = _mm256_setzero_ps();
    // reduceAvx2: each lane plus the zero of the second vector, then lanes
    // L and L + 4, then 0 and 2, 1 and 3, then those two.
    auto lane = [zero](__m256 x) SIMD_AVX2_FMA {
        __m256 y = _mm256_add_ps(x, zero);
        // Kept: x + 0 is not x where x is -0.
        asm("" : "+x"(y));
        return y;
    };
    auto pair = [&](int high, int low, __m256& sumA, __m256& sumB) SIMD_AVX2_FMA {
        __m256 a0 = zero, a1 = zero, b0 = zero, b1 = zero;
        for (int t = high; t < taps; t += 8)
        {
            const __m256 h = _mm256_broadcast_ss(weights - t);
            a0 = _mm256_fmadd_ps(h, _mm256_loadu_ps(ringA - t), a0);
            if constexpr (twoRings)
                b0 = _mm256_fmadd_ps(h, _mm256_loadu_ps(ringB - t), b0);
        }
        for (int t = low; t < taps; t += 8)
        {
            const __m256 h = _mm256_broadcast_ss(weights - t);
            a1 = _mm256_fmadd_ps(h, _mm256_loadu_ps(ringA - t), a1);
            if constexpr (twoRings)
                b1 = _mm256_fmadd_ps(h, _mm256_loadu_ps(ringB - t), b1);
        }
        sumA = _mm256_add_ps(lane(a0), lane(a1));
        if constexpr (twoRings)
            sumB = _mm256_add_ps(lane(b0), lane(b1));
    };
    __m256 hA[4], hB[4];
    pair(7, 3, hA[0], hB[0]);
    pair(6, 2, hA[1], hB[1]);
    pair(5, 1, hA[2], hB[2]);
    pair(4, 0, hA[3], hB[3]);
    scaleEightAvx2(_mm256_add_ps(_mm256_add_ps(hA[0], hA[2]), _mm256_add_ps(hA[1], hA[3])), mode, step, readsA);
    if constexpr (twoRings)
        scaleEightAvx2(_mm256_add_ps(_mm256_add_ps(hB[0], hB[2]), _mm256_add_ps(hB[1], hB[3])), mode, step,
                       readsB);
}

// The reads of rememberedSumsAvx2 for eight samples at once, n0 .. n0 + 7 of
// ring A (a delay at rest reads along the ring), and with the same weights
// those from n0B on of ring B when given, a vector lane for each read: every
// partial sum added in the order the single read adds it.
SIMD_AVX2_FMA void eightSumsAvx2(const float* weights, const float* ringA, int n0,
                                                       const float* ringB, int n0B, int taps, int mode, double step,
                                                       float* readsA, float* readsB)
{
    __m256 partialA[16], partialB[16];
    const float* a = ringA + n0;
    const float* b = ringB != nullptr ? ringB + n0B : nullptr;
    if (taps > kMostNarrowTaps)
    {
        if (b == nullptr)
        {
            partialSumsAvx2<16, 0, 8, false>(weights, a, nullptr, taps, partialA, partialB);
            partialSumsAvx2<16, 8, 8, false>(weights, a, nullptr, taps, partialA, partialB);
        }
        else
        {
            partialSumsAvx2<16, 0, 4, true>(weights, a, b, taps, partialA, partialB);
            partialSumsAvx2<16, 4, 4, true>(weights, a, b, taps, partialA, partialB);
            partialSumsAvx2<16, 8, 4, true>(weights, a, b, taps, partialA, partialB);
            partialSumsAvx2<16, 12, 4, true>(weights, a, b, taps, partialA, partialB);
        }
    }
    else
    {
        if (b != nullptr)
            narrowReadsAvx2<true>(weights, a, b, taps, mode, step, readsA, readsB);
        else
            narrowReadsAvx2<false>(weights, a, nullptr, taps, mode, step, readsA, nullptr);
        return;
    }
    if (b != nullptr)
        eightReadsAvx2(partialB, mode, step, readsB);
    eightReadsAvx2(partialA, mode, step, readsA);
}

// The weights of spacedSumsAvx2, fused as there.
SIMD_AVX2_FMA void fusedWeights(const float* row, const float* next, float t, int taps,
                                                      float* weights)
{
    const __m256 vt = _mm256_set1_ps(t);
    int j = 0;
    for (; j + 8 <= taps; j += 8)
        _mm256_storeu_ps(weights - j - 7, spacedWeightsAvx2(row, next, vt, j));
    if (j < taps)
    {
        const __m256i mask = tailMask(taps - j);
        _mm256_maskstore_ps(weights - j - 7, mask, spacedWeightsAvx2(row, next, vt, j, mask));
    }
}

// The weights of spacedSums: the product rounded before the sum.
void plainWeights(const float* row, const float* next, float t, int taps, float* weights)
{
    for (int j = 0; j < taps; ++j)
    {
        const float product = (next[-j] - row[-j]) * t;
        weights[-j] = row[-j] + product;
    }
}

// A kernel of `size` entries arranged for reads at a whole spacing that divides
// the phase count: row p (0..spacing) holds entries p + spacing * c, c = 0 ..
// size / spacing - 1, in reverse order; entries past the kernel read as 0 (no
// read ever weighs them).
std::vector<float> arrangeBySpacing(const double* kernel, int size, int spacing)
{
    const int columns = size / spacing;
    std::vector<float> rows((size_t) (spacing + 1) * (size_t) columns, 0.0f);
    for (int p = 0; p <= spacing; ++p)
        for (int c = 0; c < columns; ++c)
        {
            const int entry = p + spacing * c;
            if (entry < size)
                rows[(size_t) (p * columns + columns - 1 - c)] = (float) kernel[entry];
        }
    return rows;
}

// Entry i and entry i + 1 of a kernel side by side; past the end reads as 0.
std::vector<float> arrangeInPairs(const double* kernel, int size)
{
    std::vector<float> pairs((size_t) (2 * size), 0.0f);
    for (int i = 0; i < size; ++i)
    {
        pairs[(size_t) (2 * i)] = (float) kernel[i];
        pairs[(size_t) (2 * i + 1)] = i + 1 < size ? (float) kernel[i + 1] : 0.0f;
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
    useAvx2 = allowAvx2 && DspCommon::processorHasAvx2(true);
}

// The read of a moving delay with vectors, which keeps no weights: the same
// calls as sumsOf would make, without its bookkeeping.
template <bool twoRings>
SIMD_ALWAYS_INLINE inline void FractionalReader::movingSumsAvx2(Reading& r, double frac,
                                                                            double step) const
{
    const MovingRead m = movingReadOf(rowsOf(step), r.ringA, r.n, frac, step);
    if (m.row != nullptr)
        spacedSumsAvx2<twoRings>(m.row, m.row + m.columns, m.t, r.ringA, r.ringB, r.n, m.taps, r.sumA, r.sumB);
    else
        interpolatedSumsAvx2<twoRings>(kernel32Pairs.data(), r.ringA, r.ringB, r.n, m.phase0, step, m.taps, r.sumA,
                                       r.sumB);
}

// The sums of a read by its mode: the 16-tap kernel at the nearest phase or
// interpolated between phases, or the 32-tap kernel at its step.
template <bool twoRings>
SIMD_ALWAYS_INLINE inline void FractionalReader::sumsOf(Reading& r, int mode, double frac,
                                                                    double step) const
{
    switch (mode)
    {
        case DelayParameters::kInterpolated16:
            spacedSumsOf<twoRings>(r, kernel16ByPhase, DspTables::kKernel16Size, kPhases, frac * kPhases,
                                   kKernel16Limit);
            break;
        case DelayParameters::kStretched32:
        case DelayParameters::kStretched32Alike:
        {
            const double phase0 = frac * step;
            // The common spacings (at rest, and the smallest steps of the
            // quality settings, where a fast glide holds the step) read
            // contiguous rows; any other takes the kernel tap by tap.
            if (step == (double) kPhases)
                spacedSumsOf<twoRings>(r, kernel32ByPhase, DspTables::kKernel32Size, kPhases, phase0, kKernel32Limit);
            else if (step == 64.0)
                spacedSumsOf<twoRings>(r, kernel32By64, DspTables::kKernel32Size, 64, phase0, kKernel32Limit);
            else if (step == 16.0)
                spacedSumsOf<twoRings>(r, kernel32By16, DspTables::kKernel32Size, 16, phase0, kKernel32Limit);
            else
            {
                const int taps = countTaps(phase0, step, kKernel32Limit, r.n + 1);
                if (useAvx2)
                    interpolatedSumsAvx2<twoRings>(kernel32Pairs.data(), r.ringA, r.ringB, r.n, phase0, step, taps,
                                                   r.sumA, r.sumB);
                else
                    interpolatedSums<twoRings>(kernel32Pairs.data(), r.ringA, r.ringB, r.n, phase0, step, taps,
                                               r.sumA, r.sumB);
            }
            break;
        }
        default:
        {
            // The nearest phase below, no interpolation: the same row twice.
            const int p = (int) (frac * kPhases);
            const int allTaps = (kKernel16Limit - 1 - p) / kPhases + 1;
            const int count = std::min(allTaps, r.n + 1);
            const float* row = kernel16ByPhase.data() + (size_t) (p * DspTables::kTaps16 + DspTables::kTaps16 - 1);
            // With no interpolation the fused weights are the entries
            // themselves, as the plain ones are.
            rowSums<twoRings>(r, row, row, 0.0f, count, allTaps, useAvx2);
            break;
        }
    }
}

// At the kernel's own spacing every tap shares one phase: the two rows of
// that phase and the next, interpolated once, cover the whole read.
template <bool twoRings>
SIMD_ALWAYS_INLINE inline void FractionalReader::spacedSumsOf(Reading& r, const std::vector<float>& rows,
                                                                          int size, int spacing, double phase0,
                                                                          double limit) const
{
    const int columns = size / spacing;
    const int count = countTaps(phase0, (double) spacing, limit, r.n + 1);
    const int allTaps = r.memory != nullptr ? countTaps(phase0, (double) spacing, limit, columns) : count;
    const int p = std::min((int) phase0, spacing - 1);
    const float* row = rows.data() + (size_t) (p * columns + columns - 1);
    rowSums<twoRings>(r, row, row + columns, (float) (phase0 - p), count, allTaps, useAvx2);
}

// The sums of the rows row and next interpolated at t, keeping the weights
// where the read has a memory. fused says which rounding the interpolation
// takes (the vector reads fuse it).
template <bool twoRings>
SIMD_ALWAYS_INLINE inline void FractionalReader::rowSums(Reading& r, const float* row, const float* next,
                                                                     float t, int count, int allTaps,
                                                                     bool fused) const
{
    Memory* memory = r.memory;
    if (memory != nullptr)
    {
        float* weights = memory->weights + kMostArrangedTaps - 1;
        if (fused)
        {
            fusedWeights(row, next, t, count, weights);
            memory->sumsOne = rememberedSumsAvx2<false>;
            memory->sumsTwo = rememberedSumsAvx2<true>;
            memory->fused = true;
        }
        else
        {
            plainWeights(row, next, t, count, weights);
            memory->sumsOne = rememberedSums<false>;
            memory->sumsTwo = rememberedSums<true>;
            memory->fused = false;
        }
        memory->taps = count;
        memory->allTaps = allTaps;
        (twoRings ? memory->sumsTwo : memory->sumsOne)(weights, r.ringA, r.ringB, r.n, count, r.sumA, r.sumB);
        return;
    }
    if (fused)
    {
        spacedSumsAvx2<twoRings>(row, next, t, r.ringA, r.ringB, r.n, count, r.sumA, r.sumB);
        return;
    }
    spacedSums<twoRings>(row, next, t, r.ringA, r.ringB, r.n, count, r.sumA, r.sumB);
}

template <bool twoRings>
void FractionalReader::readRings(Memory* memory, int mode, double minimumStep, const float* ringA,
                                 const float* ringB, double position, double delay, double previousDelay,
                                 double& readA, double& readB) const
{
    const int n = (int) position;
    const double frac = position - n;
    const double step = stepOf(mode, minimumStep, delay, previousDelay);

    // The weights are kept from the second of two reads alike on: a read
    // that moves on at every sample would only pay for keeping them.
    if (memory != nullptr)
    {
        const bool repeated = repeats(*memory, mode, minimumStep, frac, step);
        keepKey(*memory, mode, minimumStep, frac, step);
        if (! repeated)
            memory = nullptr;
    }

    Reading r { ringA, ringB, n, memory };
    if (memory == nullptr && useAvx2 && DelayParameters::readsStretched32(mode))
        movingSumsAvx2<twoRings>(r, frac, step);
    else
        sumsOf<twoRings>(r, mode, frac, step);
    scale(mode, step, r.sumA, r.sumB, readA, readB);
}

double FractionalReader::read(int mode, double minimumStep, const float* ring, double position,
                                         double delay, double previousDelay) const
{
    double value = 0.0, unused = 0.0;
    readRings<false>(nullptr, mode, minimumStep, ring, nullptr, position, delay, previousDelay, value, unused);
    return value;
}

void FractionalReader::read(int mode, double minimumStep, const float* ringA, const float* ringB,
                                       double position, double delay, double previousDelay, double& readA,
                                       double& readB) const
{
    readRings<true>(nullptr, mode, minimumStep, ringA, ringB, position, delay, previousDelay, readA, readB);
}

SIMD_ALWAYS_INLINE inline int FractionalReader::runOf(Setting setting, Run run, const RunChannel& channel,
                                                                 int& n0) const
{
    const Memory& memory = channel.memory;
    const int mode = setting.mode;
    const double minimumStep = setting.minimumStep, delay = channel.delay;
    if (! useAvx2 || ! memory.fused || memory.sumsOne == nullptr || memory.mode != mode
        || memory.minimumStep != minimumStep)
        return 0;
    const double firstPosition = (run.firstBase - delay) - channel.shift;
    n0 = (int) firstPosition;
    if (n0 + 1 < memory.allTaps || memory.allTaps > memory.taps)
        return 0;
    // The samples the run may take: each at the next position, with the
    // phase and step (from the delay and the one before) of the kept weights.
    // Within one binade the positions (firstBase + s) - delay are the first
    // one plus s, rounded alike: same fraction, consecutive whole parts. The
    // first and last positions tell for all between.
    if (firstPosition - n0 != memory.frac
        || stepOf(mode, minimumStep, delay, channel.previousDelay) != memory.step)
        return 0;
    const int count = run.count;
    if (count > 1)
    {
        // A glide that comes to rest: the first read keeps the glide's step,
        // the rest take another. Read one by one.
        if (stepOf(mode, minimumStep, delay, delay) != memory.step)
            return 0;
        const double first = run.firstBase - delay;
        const double last = (run.firstBase + (count - 1)) - delay;
        int e0 = 0, e1 = 0;
        std::frexp(first, &e0);
        std::frexp(last, &e1);
        if (e0 != e1)
            return 0;
    }
    return count - count % 8;
}

int FractionalReader::readRun(Setting setting, Run run, const RunChannel& channel, const float* ringB,
                              float* readsB) const
{
    int n0 = 0;
    const int taken = runOf(setting, run, channel, n0);
    const Memory& memory = channel.memory;
    const float* weights = memory.weights + kMostArrangedTaps - 1;
    for (int s = 0; s < taken; s += 8)
        eightSumsAvx2(weights, channel.ring, n0 + s, ringB, n0 + s, memory.allTaps, setting.mode, memory.step,
                      channel.reads + s, ringB != nullptr ? readsB + s : nullptr);
    return taken;
}

int FractionalReader::readRunTwo(Setting setting, Run run, const RunChannel& a, const RunChannel& b) const
{
    int n0A = 0, n0B = 0;
    const int runA = runOf(setting, run, a, n0A);
    const int runB = runOf(setting, run, b, n0B);
    const int taken = std::min(runA, runB);
    const Memory& memoryA = a.memory;
    const Memory& memoryB = b.memory;
    const float* weightsA = memoryA.weights + kMostArrangedTaps - 1;
    const float* weightsB = memoryB.weights + kMostArrangedTaps - 1;
    const int mode = setting.mode;
    // Kept weights of one key are the same weights (the delays of the two
    // channels often differ by whole samples alone): one pass for both.
    const bool same = memoryA.frac == memoryB.frac && memoryA.step == memoryB.step
                      && memoryA.allTaps == memoryB.allTaps;
    for (int s = 0; s < taken; s += 8)
    {
        if (same)
            eightSumsAvx2(weightsA, a.ring, n0A + s, b.ring, n0B + s, memoryA.allTaps, mode, memoryA.step,
                          a.reads + s, b.reads + s);
        else
        {
            eightSumsAvx2(weightsA, a.ring, n0A + s, nullptr, 0, memoryA.allTaps, mode, memoryA.step, a.reads + s,
                          nullptr);
            eightSumsAvx2(weightsB, b.ring, n0B + s, nullptr, 0, memoryB.allTaps, mode, memoryB.step, b.reads + s,
                          nullptr);
        }
    }
    return taken;
}

void FractionalReader::readTwoApart(Memory& memoryA, Memory& memoryB, int mode, double minimumStep,
                                    const float* ringA, double positionA, double delayA, double previousDelayA,
                                    const float* ringB, double positionB, double delayB, double previousDelayB,
                                    double& readA, double& readB) const
{
    const Channel a { memoryA, ringA, positionA, delayA, previousDelayA };
    const Channel b { memoryB, ringB, positionB, delayB, previousDelayB };
    double unused = 0.0;
    if (useAvx2 && DelayParameters::readsStretched32(mode))
    {
        // What readRings makes of each read and its memory: a read that
        // repeats the last one's key keeps its weights and goes alone.
        const int nA = (int) a.position, nB = (int) b.position;
        const double fracA = a.position - nA, fracB = b.position - nB;
        const double stepA = stepOf(mode, minimumStep, a.delay, a.previousDelay);
        const double stepB = stepOf(mode, minimumStep, b.delay, b.previousDelay);
        if (! repeats(a.memory, mode, minimumStep, fracA, stepA)
            && ! repeats(b.memory, mode, minimumStep, fracB, stepB))
        {
            keepKey(a.memory, mode, minimumStep, fracA, stepA);
            keepKey(b.memory, mode, minimumStep, fracB, stepB);
            const MovingRead movingA = movingReadOf(rowsOf(stepA), a.ring, nA, fracA, stepA);
            const MovingRead movingB = movingReadOf(rowsOf(stepB), b.ring, nB, fracB, stepB);
            float sumA = 0.0f, sumB = 0.0f;
            twoSumsAvx2(movingA, movingB, kernel32Pairs.data(), sumA, sumB);
            scale(mode, stepA, sumA, 0.0f, readA, unused);
            scale(mode, stepB, sumB, 0.0f, readB, unused);
            return;
        }
    }
    readKept(a.memory, mode, minimumStep, a.ring, nullptr, a.position, a.delay, a.previousDelay, readA, unused);
    readKept(b.memory, mode, minimumStep, b.ring, nullptr, b.position, b.delay, b.previousDelay, readB, unused);
}

void FractionalReader::read(Memory& memory, int mode, double minimumStep, const float* ringA, const float* ringB,
                            double position, double delay, double previousDelay, double& readA, double& readB) const
{
    if (ringB != nullptr)
        readRings<true>(&memory, mode, minimumStep, ringA, ringB, position, delay, previousDelay, readA, readB);
    else
        readRings<false>(&memory, mode, minimumStep, ringA, nullptr, position, delay, previousDelay, readA, readB);
}


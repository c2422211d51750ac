#include "processor/dsp/LookAheadLimiter.h"

#include "processor/dsp/DspCommon.h"
#include "processor/dsp/FastMath.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{
using DspCommon::kDenormalGuard;
constexpr double kSilenceDb = -320.0;
constexpr double kThresholdRangeDb = -24.0;
constexpr double kAverageReferenceRate = 44100.0;
constexpr int kAverageReferenceHalfLength = 10;
constexpr float kAttackRate = 0.25f;
constexpr float kReleaseRate = 0.000444f;
// Soft knee: below kKneeWidth dB over the threshold the reduction follows a
// tanh curve of this slope instead of the overshoot itself.
constexpr double kKneeSlope = 0.5;
constexpr double kKneeWidth = 2.0;

// ln 10 / 20: a gain in decibels d is e^(d ln 10 / 20).
constexpr double kDecibelToLn = 0.11512925464970228420;

// Mean of `length` history values from `start` on (the histories are written
// twice over, so no window wraps). Four sums side by side: a single running
// sum would wait on each addition in turn, twice a sample.
double windowMean(const std::array<double, LookAheadLimiter::kHistorySize>& history, int start, int length,
                  double reciprocal)
{
    const double* h = history.data() + start;
#if defined(__SSE2__)
    __m128d a = _mm_setzero_pd(), b = _mm_setzero_pd();
    int j = 0;
    for (; j + 4 <= length; j += 4)
    {
        a = _mm_add_pd(a, _mm_loadu_pd(h + j));
        b = _mm_add_pd(b, _mm_loadu_pd(h + j + 2));
    }
    a = _mm_add_pd(a, b);
    double sum = _mm_cvtsd_f64(a) + _mm_cvtsd_f64(_mm_unpackhi_pd(a, a));
    for (; j < length; ++j)
        sum += h[j];
    return sum * reciprocal;
#else
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int j = 0;
    for (; j + 4 <= length; j += 4)
    {
        s0 += h[j];
        s1 += h[j + 1];
        s2 += h[j + 2];
        s3 += h[j + 3];
    }
    for (; j < length; ++j)
        s0 += h[j];
    return ((s0 + s1) + (s2 + s3)) * reciprocal;
#endif
}
} // namespace

LookAheadLimiter::LookAheadLimiter()
{
    setThresholdControl(0.0f);
    prepare(44100.0);
}

void LookAheadLimiter::prepare(double sampleRate)
{
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate))
        sampleRate = 44100.0;
    context.set(sampleRate);

    reset();

    attackCoefficient = kAttackRate * context.kF;
    releaseCoefficient = kReleaseRate * context.kF;

    // The audio ring holds 960 positions; beyond about 289 kHz the nominal
    // look-ahead would reach past it, so it is held at the ring's reach.
    const double delay = sampleRate * kLookAheadSeconds;
    lookAhead = (int) std::clamp(delay, 0.0, (double) (kAudioPositions - 1));

    // Each of the two averages is centred 64 samples back, so the gain reduction
    // reaches the output 128 samples after its peak, ahead of the delayed audio
    // from 44.1 kHz upwards. Below that rate the averaging window grows while the
    // look-ahead shrinks: the window is kept inside the history and within the
    // look-ahead, and its centre is moved nearer, so that the reduction still
    // arrives before the peak instead of after it.
    const double half = kAverageReferenceHalfLength * kAverageReferenceRate / sampleRate;
    int n = (int) std::clamp(half, 1.0, (double) (kHistoryPositions / 2));
    int centreBack = kHistoryCentre;
    if (sampleRate < kAverageReferenceRate)
    {
        n = std::max(1, std::min(n, lookAhead / 4));
        centreBack = std::clamp(lookAhead / 2 - n, n - 1, kHistoryCentre);
    }
    averageHalfLength = n;
    averageLength = 2 * n;
    averageReciprocal = 1.0 / (double) averageLength;
    windowOffset = kHistoryPositions - centreBack;
}

double LookAheadLimiter::slideWindow(std::array<double, kHistorySize>& history, double& sum, int h, int start,
                                     int length, double value)
{
    // Position h takes the value; the window then moves on by one. Sliding,
    // the sum loses the value that leaves and gains the one that enters,
    // and takes a written value that lands inside it. Once a round (at
    // position 0, where the window also jumps back a round) it is summed
    // afresh, so that rounding never builds up.
    auto inWindow = [length](int position, int windowStart) {
        return ((position - windowStart) % kHistoryPositions + kHistoryPositions) % kHistoryPositions < length;
    };
    const int previousStart = start - 1;
    if (h != 0 && inWindow(h, previousStart))
        sum += value - history[(size_t) h];
    history[(size_t) h] = value;
    history[(size_t) (h + kHistoryPositions)] = value;
    if (h == 0)
        sum = windowMean(history, start, length, 1.0);
    else
        sum += history[(size_t) (start + length - 1)] - history[(size_t) previousStart];
    return sum;
}

void LookAheadLimiter::reset()
{
    ringLeft.fill(0.0f);
    ringRight.fill(0.0f);
    reductionHistory.fill(0.0);
    averageHistory.fill(0.0);
    historyIndex = 0;
    audioIndex = 0;
    smoothedReduction = 0.0f;
    lastAverage = 0.0f;
    windowSums[0] = windowSums[1] = 0.0;
}

void LookAheadLimiter::setThresholdControl(float v)
{
    thresholdControl = v;
    const double db = (1.0 - (double) v) * kThresholdRangeDb;
    thresholdDb = (float) db;
    makeupGain = (float) (std::pow(10.0, db / -20.0) + kDenormalGuard);
}

void LookAheadLimiter::process(float* left, float* right, int numSamples)
{
    if (left == nullptr || right == nullptr)
        return;
    run<true>(left, right, left, right, numSamples);
}

void LookAheadLimiter::follow(const float* left, const float* right, int numSamples)
{
    if (left == nullptr || right == nullptr)
        return;
    run<false>(left, right, nullptr, nullptr, numSamples);
}

template <bool writeOutput>
void LookAheadLimiter::run(const float* inLeftSamples, const float* inRightSamples, float* outLeft, float* outRight,
                           int numSamples)
{
    // In pieces, three passes each: what every sample gives by itself (its
    // level's overshoot through the knee), then what recurs from sample to
    // sample (the smoothed reduction and its two averages), then the gains.
    constexpr int kPiece = 256;
    alignas(16) float overshoots[kPiece];
    alignas(16) double averages[kPiece];
    // A piece writes all its audio before it reads its delayed audio back:
    // no longer than the ring's reach beyond the look-ahead, or a write would
    // land where a read of the piece still looks.
    const int piece = std::max(1, std::min(kPiece, kAudioPositions - lookAhead));
    for (int done = 0; done < numSamples; done += piece)
    {
        const int count = std::min(piece, numSamples - done);
        const float* inL = inLeftSamples + done;
        const float* inR = inRightSamples + done;
        kneeOvershoots(inL, inR, overshoots, count);

        float s = smoothedReduction;
        int p = audioIndex;
        int h = historyIndex;
        const int n = averageHalfLength;
        const int length = averageLength;
        const double reciprocal = averageReciprocal;
        for (int i = 0; i < count; ++i)
        {
            ringLeft[(size_t) p] = inL[i];
            ringLeft[(size_t) (p + kAudioPositions)] = inL[i];
            ringRight[(size_t) p] = inR[i];
            ringRight[(size_t) (p + kAudioPositions)] = inR[i];
            if (++p >= kAudioPositions)
                p = 0;

            const float o = overshoots[i];
            const float c = o > s ? attackCoefficient : releaseCoefficient;
            s = s - ((s - o) * c + (float) kDenormalGuard);

            const int start = h + windowOffset - n;
            const double firstAverage = slideWindow(reductionHistory, windowSums[0], h, start, length, s) * reciprocal;
            averages[i] = slideWindow(averageHistory, windowSums[1], h, start, length, firstAverage) * reciprocal;
            if (++h >= kHistoryPositions)
                h = 0;
        }
        if (count > 0)
            lastAverage = (float) averages[count - 1];

        if constexpr (writeOutput)
        {
            // The audio a look-ahead back, under the gain of the reduction.
            const int readOffset = kAudioPositions - lookAhead;
            int q = audioIndex;
            for (int i = 0; i < count; i += 2)
            {
                const __m128d e = FastMath::exp(_mm_mul_pd(_mm_loadu_pd(averages + i), _mm_set1_pd(-kDecibelToLn)));
                alignas(16) double g[2];
                _mm_store_pd(g, e);
                for (int k = 0; k < 2 && i + k < count; ++k)
                {
                    const float gain = (float) g[k] * outputGain * makeupGain;
                    outLeft[done + i + k] = ringLeft[(size_t) (q + readOffset)] * gain;
                    outRight[done + i + k] = ringRight[(size_t) (q + readOffset)] * gain;
                    if (++q >= kAudioPositions)
                        q = 0;
                }
            }
        }

        smoothedReduction = s;
        audioIndex = p;
        historyIndex = h;
    }
}

void LookAheadLimiter::kneeOvershoots(const float* inLeft, const float* inRight, float* overshoots, int count) const
{
    const double threshold = thresholdDb;
    for (int i = 0; i < count; i += 2)
    {
        // Peak of the louder channel, its level in decibels (silence far below).
        const int lanes = std::min(2, count - i);
        double peaks[2] = { 1.0, 1.0 };
        for (int k = 0; k < lanes; ++k)
            peaks[k] = std::max(std::fabs((double) inLeft[i + k]), std::fabs((double) inRight[i + k]));
        const __m128d peak = _mm_loadu_pd(peaks);
        const __m128d loud = _mm_cmpgt_pd(peak, _mm_setzero_pd());
        const __m128d safePeak = _mm_or_pd(_mm_and_pd(loud, peak), _mm_andnot_pd(loud, _mm_set1_pd(1.0)));
        const __m128d db = _mm_mul_pd(_mm_set1_pd(20.0), _mm_mul_pd(FastMath::log(safePeak), _mm_set1_pd(FastMath::kLog10E)));
        const __m128d level = _mm_or_pd(_mm_and_pd(loud, db), _mm_andnot_pd(loud, _mm_set1_pd(kSilenceDb)));

        // Soft knee below kKneeWidth dB over the threshold.
        const __m128d over = _mm_sub_pd(level, _mm_set1_pd(threshold));
        const __m128d y = _mm_mul_pd(_mm_sub_pd(over, _mm_set1_pd(kKneeWidth)), _mm_set1_pd(kKneeSlope));
        const __m128d e = FastMath::exp(_mm_mul_pd(_mm_set1_pd(2.0), y));
        const __m128d softened = _mm_add_pd(
            _mm_sub_pd(_mm_set1_pd(1.0), _mm_div_pd(_mm_set1_pd(2.0), _mm_add_pd(e, _mm_set1_pd(1.0)))),
            _mm_set1_pd(kDenormalGuard));
        const __m128d kneed = _mm_add_pd(_mm_mul_pd(_mm_set1_pd(kKneeWidth), softened), _mm_set1_pd(kKneeWidth));
        const __m128d inKnee = _mm_cmplt_pd(over, _mm_set1_pd(kKneeWidth));
        const __m128d overshoot = _mm_or_pd(_mm_and_pd(inKnee, kneed), _mm_andnot_pd(inKnee, over));
        alignas(16) double result[2];
        _mm_store_pd(result, overshoot);
        for (int k = 0; k < lanes; ++k)
            overshoots[i + k] = (float) result[k];
    }
}

#include "processor/dsp/LookAheadLimiter.h"

#include "processor/dsp/DelayParameters.h"
#include "processor/dsp/DspCommon.h"
#include "processor/dsp/FastMath.h"
#include "processor/dsp/SimdLanes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace
{
using DspCommon::kDenormalGuard;
constexpr double kSilenceDb = -320.0;
constexpr double kAverageReferenceRate = 44100.0;
constexpr int kAverageReferenceHalfLength = 10;
constexpr float kAttackRate = 0.25f;
constexpr float kReleaseRate = 0.000444f;
// The threshold (in decibels) and the output gain glide as the engine's mix
// and output gain do, with this base rate times k.
constexpr double kSettingSmoothing = 0.002;
// Soft knee: below kKneeWidth dB over the threshold the reduction follows a
// tanh curve of this slope instead of the overshoot itself.
constexpr double kKneeSlope = 0.5;
constexpr double kKneeWidth = 2.0;
// From this far below the threshold on, the knee's reduction is exactly 0:
// e^(overshoot - 2) is then below 2^-53 (from about 34.7 dB below), so 1 + it
// rounds to 1, and the tanh to -1.
constexpr double kKneeFloorDb = -36.0;

// ln 10 / 20: a gain in decibels d is e^(d ln 10 / 20).
constexpr double kDecibelToLn = 0.11512925464970228420;

// The audio goes through in pieces of at most this many samples.
constexpr int kPieceLength = 256;

// Sum of `length` history values from h on (the histories are written twice
// over, so no window wraps). Four sums side by side: a single running sum
// would wait on each addition in turn. Once a round, so kept out of line.
SIMD_NEVER_INLINE double windowSum(const double* h, int length)
{
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
    return sum;
}
} // namespace

LookAheadLimiter::LookAheadLimiter(bool allowAvx2)
{
    useAvx2 = allowAvx2 && DspCommon::processorHasAvx2();
    setThresholdControl(0.0f);
    prepare(44100.0);
}

void LookAheadLimiter::prepare(double sampleRate)
{
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate))
        sampleRate = 44100.0;
    context.set(sampleRate);

    attackCoefficient = kAttackRate * context.kF;
    releaseCoefficient = kReleaseRate * context.kF;
    settingCoefficient = (float) (kSettingSmoothing * context.k);

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
    // The window starts n before h + windowOffset and moves on by one a
    // sample, so h lies at the same place relative to it every sample.
    const int writeFromStart = ((n + 1 - windowOffset) % kHistoryPositions + kHistoryPositions) % kHistoryPositions;
    writeInWindow = writeFromStart < averageLength;

    reset();
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
    guard.reset(lookAhead);
    guardStale = false;
    thresholdNow = thresholdDb;
    makeupNow = makeupGain;
    outputGainNow = outputGain;
    makeupSettledFor = kAudioPositions;
    makeupRingLive = false;
    fresh = true;
}

namespace
{
float makeupOf(double thresholdDb)
{
    return (float) (std::pow(10.0, thresholdDb / -20.0) + kDenormalGuard);
}

float kneeFloorOf(double thresholdDb)
{
    return (float) std::pow(10.0, (thresholdDb + kKneeFloorDb) / 20.0);
}
} // namespace

void LookAheadLimiter::setThresholdControl(float v)
{
    thresholdControl = v;
    const double db = DelayParameters::limiterThresholdDecibels((double) v);
    thresholdDb = (float) db;
    kneeFloorPeak = kneeFloorOf((double) thresholdDb);
    makeupGain = makeupOf(db);
    if (fresh)
    {
        thresholdNow = thresholdDb;
        makeupNow = makeupGain;
    }
    else if (thresholdNow != thresholdDb)
    {
        startMoving();
    }
}

void LookAheadLimiter::setOutputGain(float g)
{
    outputGain = g;
    if (fresh)
        outputGainNow = g;
    else if (outputGainNow != outputGain)
        startMoving();
}

void LookAheadLimiter::startMoving()
{
    if (makeupRingLive)
        return;
    makeupRing.fill(makeupNow);
    makeupRingLive = true;
}

void LookAheadLimiter::process(float* left, float* right, int numSamples)
{
    if (left == nullptr || right == nullptr)
        return;
    if (guardStale)
        rebuildGuard();
    run<true>(left, right, left, right, numSamples);
    fresh = false;
}

void LookAheadLimiter::follow(const float* left, const float* right, int numSamples)
{
    if (left == nullptr || right == nullptr)
        return;
    // Nothing goes out: the output gain has nothing to glide over.
    outputGainNow = outputGain;
    run<false>(left, right, nullptr, nullptr, numSamples);
    guardStale = true;
    fresh = false;
}

void LookAheadLimiter::rebuildGuard()
{
    // The guard's state rests on the last two look-aheads of audio; the ring
    // holds that up to about 144 kHz, beyond it the oldest limits are taken
    // as 1, which changes only how early the gain starts down, never whether
    // a sample stays below the ceiling (its own limit is always in the ring).
    guard.reset(lookAhead);
    const int span = std::min(2 * lookAhead + 1, kAudioPositions);
    for (int back = span; back >= 1; --back)
    {
        const int position = (audioIndex - back + kAudioPositions) % kAudioPositions;
        const float peak = std::max(std::fabs(ringLeft[(size_t) position]), std::fabs(ringRight[(size_t) position]));
        const float makeup = makeupRingLive ? makeupRing[(size_t) position] : makeupGain;
        guard.step((double) makeup * (double) peak);
    }
    guardStale = false;
}

void LookAheadLimiter::CeilingGuard::reset(int lookAheadSamples)
{
    length = (uint32_t) lookAheadSamples + 1;
    held.fill((int64_t) kUnit);
    heldFull = (int64_t) length * (int64_t) kUnit;
    heldSum = heldFull;
    meanScale = 1.0 / (double) heldFull;
    minimaFront = minimaBack = 0;
    time = 0;
}

double LookAheadLimiter::CeilingGuard::step(double level)
{
    // Rounded down, so that no limit, and no mean of limits, is above its gain.
    const int64_t limit = level > 1.0 ? (int64_t) (kUnit / level) : (int64_t) kUnit;
    while (minimaBack != minimaFront && minimaValues[(minimaBack - 1) & kMask] >= limit)
        --minimaBack;
    minimaValues[minimaBack & kMask] = limit;
    minimaTimes[minimaBack & kMask] = time;
    ++minimaBack;
    if (time - minimaTimes[minimaFront & kMask] >= length)
        ++minimaFront;
    const int64_t smallest = minimaValues[minimaFront & kMask];
    heldSum += smallest - held[(time - length) & kMask];
    held[time & kMask] = smallest;
    ++time;
    return heldSum >= heldFull ? 1.0 : (double) heldSum * meanScale;
}

namespace
{
// Writes value at history position h (both copies) and returns the sum of the
// averaging window from start on, kept in sum from one sample to the next.
// Sliding, the sum loses the value that leaves and gains the one that enters,
// and takes a written value that lands inside the window. Once a round (at
// position 0, where the window also jumps back a round) it is summed afresh,
// so that rounding never builds up.
template <bool atRoundStart>
inline double slideWindow(double* history, double& sum, int h, int start, int length, bool writeInWindow,
                          double value)
{
    if (! atRoundStart && writeInWindow)
        sum += value - history[h];
    history[h] = value;
    history[h + LookAheadLimiter::kHistoryPositions] = value;
    if (atRoundStart)
        sum = windowSum(history + start, length);
    else
        sum += history[start + length - 1] - history[start - 1];
    return sum;
}

// One step of the smoothed reduction s towards the overshoot o: fast while
// o is above it, slow below. Chosen without a branch, which noise would
// mislead every few samples.
// Beyond 2^-40 the guard's addition leaves a float as it is: there the step
// is s less the product alone, and the value waits on three operations a
// sample instead of four (the check stands aside, and rarely fails but in
// silence, where it fails every sample).
// Both products are made and the one the comparison chooses is taken after
// (the comparison no longer stands between the value and its product).
inline __m128 smoothStep(__m128 s, float o, __m128 attack, __m128 release)
{
    // The value lives in the first lane (the others are of no account), so
    // that it never leaves the vector registers on its way round.
    const __m128 ov = _mm_set_ss(o);
    const __m128 rising = _mm_cmpgt_ss(ov, s);
    const __m128 d = _mm_sub_ss(s, ov);
    const __m128 t = _mm_or_ps(_mm_and_ps(rising, _mm_mul_ss(d, attack)), _mm_andnot_ps(rising, _mm_mul_ss(d, release)));
    if (__builtin_expect(std::fabs(_mm_cvtss_f32(t)) >= 0x1p-40f, 1))
        return _mm_sub_ss(s, t);
    return _mm_sub_ss(s, _mm_add_ss(t, _mm_set_ss((float) kDenormalGuard)));
}

// Both copies of the audio ring take a piece of audio from position p on
// (a piece is shorter than the ring, so it wraps at most once).
void storeAudio(float* ring, int p, const float* x, int count)
{
    const int first = std::min(count, LookAheadLimiter::kAudioPositions - p);
    std::copy(x, x + first, ring + p);
    std::copy(x, x + first, ring + p + LookAheadLimiter::kAudioPositions);
    std::copy(x + first, x + count, ring);
    std::copy(x + first, x + count, ring + LookAheadLimiter::kAudioPositions);
}
} // namespace

void LookAheadLimiter::glidePiece(const float* peaks, float* overshoots, double* guardGains, int count)
{
    // The threshold glides in decibels; each sample takes the make-up gain of
    // its threshold along with it through the look-ahead.
    alignas(16) float thresholds[kPieceLength + 4];
    alignas(16) float makeups[kPieceLength];
    float threshold = thresholdNow;
    float makeup = makeupNow;
    for (int i = 0; i < count; ++i)
    {
        if (threshold != thresholdDb)
        {
            threshold = DspCommon::glideTo(threshold, thresholdDb, settingCoefficient);
            makeup = threshold == thresholdDb ? makeupGain : makeupOf((double) threshold);
            makeupSettledFor = 0;
        }
        else if (makeupSettledFor < kAudioPositions)
        {
            ++makeupSettledFor;
        }
        thresholds[i] = threshold;
        makeups[i] = makeup;
    }
    std::fill(thresholds + count, thresholds + count + 4, threshold);
    // The glide goes one way: its lower end gives the lower floor.
    const float lowest = std::min(thresholdNow, threshold);
    kneeOvershoots(peaks, overshoots, count, thresholds,
                   lowest == thresholdDb ? kneeFloorPeak : kneeFloorOf((double) lowest));
    thresholdNow = threshold;
    makeupNow = makeup;
    storeAudio(makeupRing.data(), audioIndex, makeups, count);
    if (guardGains != nullptr)
        for (int i = 0; i < count; ++i)
            guardGains[i] = guard.step((double) makeups[i] * (double) peaks[i]);
}

namespace
{
// Each sample's louder channel, padded past count for the knee's lanes of four.
void peaksOf(const float* inL, const float* inR, float* peaks, int count)
{
    for (int i = 0; i < count; ++i)
        peaks[i] = std::max(std::fabs(inL[i]), std::fabs(inR[i]));
    std::fill(peaks + count, peaks + count + 4, 1.0f);
}
} // namespace

template <bool writeOutput>
void LookAheadLimiter::run(const float* inLeftSamples, const float* inRightSamples, float* outLeft, float* outRight,
                           int numSamples)
{
    // In pieces, passes each: what every sample gives by itself (its
    // louder channel's peak, and that level's overshoot through the knee),
    // then what recurs from sample to sample (the smoothed reduction and its
    // two averages, the ceiling guard), then the gains.
    constexpr int kPiece = kPieceLength;
    alignas(16) float peaks[kPiece + 4];
    alignas(16) float overshoots[kPiece + 4];
    alignas(16) double averages[kPiece + 4];
    alignas(16) double guardGains[kPiece];
    // A piece writes all its audio before it reads its delayed audio back:
    // no longer than the ring's reach beyond the look-ahead, or a write would
    // land where a read of the piece still looks.
    const int piece = std::max(1, std::min(kPiece, kAudioPositions - lookAhead));
    for (int done = 0; done < numSamples; done += piece)
    {
        const int count = std::min(piece, numSamples - done);
        const float* inL = inLeftSamples + done;
        const float* inR = inRightSamples + done;
        peaksOf(inL, inR, peaks, count);
        const bool moving = isMoving();
        overshootPiece(peaks, overshoots, writeOutput ? guardGains : nullptr, count, moving);
        storeAudio(ringLeft.data(), audioIndex, inL, count);
        storeAudio(ringRight.data(), audioIndex, inR, count);
        smoothPiece(overshoots, averages, count);
        if constexpr (writeOutput)
            delayedOutput(averages, guardGains, outLeft + done, outRight + done, count, moving);
        audioIndex = (audioIndex + count) % kAudioPositions;
    }
}

void LookAheadLimiter::overshootPiece(const float* peaks, float* overshoots, double* guardGains, int count,
                                      bool moving)
{
    if (moving)
    {
        glidePiece(peaks, overshoots, guardGains, count);
        return;
    }
    makeupRingLive = false;
    kneeOvershoots(peaks, overshoots, count);
    if (guardGains == nullptr)
        return;
    const double makeup = makeupGain;
    for (int i = 0; i < count; ++i)
        guardGains[i] = guard.step(makeup * (double) peaks[i]);
}

void LookAheadLimiter::smoothPiece(const float* overshoots, double* averages, int count)
{
    __m128 s = _mm_set_ss(smoothedReduction);
    int h = historyIndex;
    double firstSum = windowSums[0];
    double secondSum = windowSums[1];
    double* firstHistory = reductionHistory.data();
    double* secondHistory = averageHistory.data();
    const int startOffset = windowOffset - averageHalfLength;
    const int length = averageLength;
    const bool inWindow = writeInWindow;
    const double reciprocal = averageReciprocal;
    const __m128 attack = _mm_set_ss(attackCoefficient);
    const __m128 release = _mm_set_ss(releaseCoefficient);
    auto step = [&](auto atRoundStart, int i) {
        constexpr bool resum = decltype(atRoundStart)::value;
        s = smoothStep(s, overshoots[i], attack, release);
        const float reduction = _mm_cvtss_f32(s);
        const int start = h + startOffset;
        const double first =
            slideWindow<resum>(firstHistory, firstSum, h, start, length, inWindow, reduction) * reciprocal;
        averages[i] = slideWindow<resum>(secondHistory, secondSum, h, start, length, inWindow, first) * reciprocal;
    };
    for (int i = 0; i < count;)
    {
        // A round of the histories starts at position 0; the rest of it
        // slides on without a check.
        if (h == 0)
        {
            step(std::true_type {}, i++);
            h = 1;
            continue;
        }
        const int stretch = std::min(count - i, kHistoryPositions - h);
        for (const int end = i + stretch; i < end; ++i, ++h)
            step(std::false_type {}, i);
        if (h == kHistoryPositions)
            h = 0;
    }
    windowSums[0] = firstSum;
    windowSums[1] = secondSum;
    if (count > 0)
        lastAverage = (float) averages[count - 1];
    smoothedReduction = _mm_cvtss_f32(s);
    historyIndex = h;
}

void LookAheadLimiter::delayedOutput(double* averages, const double* guardGains, float* outLeft, float* outRight,
                                     int count, bool moving)
{
    // The audio a look-ahead back, under the gain of the reduction or,
    // where that would let it out above the ceiling, the guard's.
    averages[count] = 0.0;
    const int readOffset = kAudioPositions - lookAhead;
    int q = audioIndex;
    for (int i = 0; i < count; i += 2)
    {
        const __m128d e = FastMath::exp(_mm_mul_pd(_mm_loadu_pd(averages + i), _mm_set1_pd(-kDecibelToLn)));
        alignas(16) double g[2];
        _mm_store_pd(g, e);
        for (int k = 0; k < 2 && i + k < count; ++k)
        {
            float gain;
            if (moving)
            {
                // Each sample under the make-up gain it came in with.
                outputGainNow = DspCommon::glideTo(outputGainNow, outputGain, settingCoefficient);
                gain = (float) std::min(g[k], guardGains[i + k]) * outputGainNow
                       * makeupRing[(size_t) (q + readOffset)];
            }
            else
            {
                gain = (float) std::min(g[k], guardGains[i + k]) * outputGain * makeupGain;
            }
            outLeft[i + k] = ringLeft[(size_t) (q + readOffset)] * gain;
            outRight[i + k] = ringRight[(size_t) (q + readOffset)] * gain;
            if (++q >= kAudioPositions)
                q = 0;
        }
    }
}

namespace
{
// The overshoots of a piece through the knee. Compiled twice, for SSE2 and
// for AVX2, from the compiler's vector types (four samples a vector: two
// halves on SSE2, one whole vector on AVX2): FastMath's logarithm and
// exponential lane by lane, and no fused multiply-add, so the same results
// either way.
using SimdLanes::Doubles4;
using SimdLanes::Floats4;
using SimdLanes::Lanes4;
using SimdLanes::pick;
using SimdLanes::splat;

template <bool perSample>
SIMD_ALWAYS_INLINE inline void kneePasses(const float* peaks, float* overshoots, int count,
                                                      float kneeFloorPeak, float thresholdDb, const float* thresholds)
{
    // Two passes, the level and then the knee, four samples a step: each
    // step's chain of operations is long, and short loops let the processor
    // work on several steps at once. Samples far below the threshold (quiet
    // passages, silence, the tails of echoes) skip both: their reduction is 0.
    alignas(32) double levels[kPieceLength + 4];
    const __m128 floor = _mm_set1_ps(kneeFloorPeak);
    auto quiet = [floor](const float* four) { return _mm_movemask_ps(_mm_cmplt_ps(_mm_load_ps(four), floor)) == 15; };
    auto loadPeaks = [](const float* four) {
        Floats4 p;
        std::memcpy(&p, four, sizeof p);
        return __builtin_convertvector(p, Doubles4);
    };

    // The level of the louder channel in decibels (silence far below).
    for (int i = 0; i < count; i += 4)
    {
        if (quiet(peaks + i))
            continue;
        const Doubles4 peak = loadPeaks(peaks + i);
        const Lanes4 loud = peak > 0.0;
        const Doubles4 safePeak = pick(loud, peak, splat<Doubles4>(1.0));
        const Doubles4 db = 20.0 * (FastMath::log(safePeak) * FastMath::kLog10E);
        const Doubles4 level = pick(loud, db, splat<Doubles4>(kSilenceDb));
        std::memcpy(levels + i, &level, sizeof level);
    }

    // Soft knee below kKneeWidth dB over the threshold.
    const double threshold = (double) thresholdDb;
    for (int i = 0; i < count; i += 4)
    {
        if (quiet(peaks + i))
        {
            std::fill(overshoots + i, overshoots + i + 4, 0.0f);
            continue;
        }
        Doubles4 levelDb;
        std::memcpy(&levelDb, levels + i, sizeof levelDb);
        Doubles4 over = levelDb - threshold;
        if constexpr (perSample)
        {
            Floats4 t;
            std::memcpy(&t, thresholds + i, sizeof t);
            over = levelDb - __builtin_convertvector(t, Doubles4);
        }
        const Doubles4 y = (over - kKneeWidth) * kKneeSlope;
        const Doubles4 e = FastMath::exp(2.0 * y);
        const Doubles4 softened = (1.0 - 2.0 / (e + 1.0)) + kDenormalGuard;
        const Doubles4 kneed = kKneeWidth * softened + kKneeWidth;
        const Floats4 out = __builtin_convertvector(pick(over < kKneeWidth, kneed, over), Floats4);
        std::memcpy(overshoots + i, &out, sizeof out);
    }
}

void kneePassesSse2(const float* peaks, float* overshoots, int count, float kneeFloorPeak, float thresholdDb)
{
    kneePasses<false>(peaks, overshoots, count, kneeFloorPeak, thresholdDb, nullptr);
}

void kneeMovingSse2(const float* peaks, float* overshoots, int count, float kneeFloorPeak, const float* thresholds)
{
    kneePasses<true>(peaks, overshoots, count, kneeFloorPeak, 0.0f, thresholds);
}

SIMD_AVX2 void kneePassesAvx2(const float* peaks, float* overshoots, int count,
                                                    float kneeFloorPeak, float thresholdDb)
{
    kneePasses<false>(peaks, overshoots, count, kneeFloorPeak, thresholdDb, nullptr);
}

SIMD_AVX2 void kneeMovingAvx2(const float* peaks, float* overshoots, int count,
                                                    float kneeFloorPeak, const float* thresholds)
{
    kneePasses<true>(peaks, overshoots, count, kneeFloorPeak, 0.0f, thresholds);
}
} // namespace

void LookAheadLimiter::kneeOvershoots(const float* peaks, float* overshoots, int count) const
{
    if (useAvx2)
    {
        kneePassesAvx2(peaks, overshoots, count, kneeFloorPeak, thresholdDb);
        return;
    }
    kneePassesSse2(peaks, overshoots, count, kneeFloorPeak, thresholdDb);
}

void LookAheadLimiter::kneeOvershoots(const float* peaks, float* overshoots, int count, const float* thresholds,
                                      float floorPeak) const
{
    if (useAvx2)
    {
        kneeMovingAvx2(peaks, overshoots, count, floorPeak, thresholds);
        return;
    }
    kneeMovingSse2(peaks, overshoots, count, floorPeak, thresholds);
}

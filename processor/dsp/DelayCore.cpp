#include "processor/dsp/DelayCore.h"

#include "processor/dsp/DelayParameters.h"
#include "processor/dsp/DspCommon.h"
#include "processor/dsp/DspTables.h"
#include "processor/dsp/SimdLanes.h"

#include <algorithm>
#include <cstring>
#include <cmath>
#include <new>
#include <type_traits>

namespace
{
using DspCommon::cleanInput;
using DspCommon::kDenormalGuard;
using DspCommon::kTwoPi;

constexpr float kLoopGainScale = 0.99f;

// Smoother base rates (times the rate's smoothing factor k).
constexpr float kSmoother1Rate = 0.0005f;
constexpr float kSmoother2Rate = 0.001f;
constexpr float kSmoother3Rate = 0.002f;
constexpr float kSmoother4Rate = 0.0005f;
constexpr double kDelaySmoothingRate = 0.002;
constexpr double kTremoloSmoothingRate = 0.01;
constexpr double kMeterDecayRate = 1.0e-5;
constexpr double kInactiveBelow = 2.0e-5;
// A ring sample smaller than this is silence as far as activity goes (-180 dB).
constexpr double kSilentWrite = 1.0e-9;
// The furthest back a read reaches beyond the delay (the longest kernel).
constexpr int kReadReach = DspTables::kKernel32Size / 16 + DspTables::kTaps32;

// Time modulation in scale mode works on the left length in seconds times this.
constexpr double kScaleModeFactor = 1428.0;

// Fractional read.
constexpr int kPhases = DspTables::kPhases;

// Filters.
constexpr float kOversampledLowest = 22.0f;
constexpr float kOversampledHighest = 88000.0f;
constexpr int kOversampledEntries = 176000;
constexpr float kLoopLowest = 22.0f;
constexpr float kLoopHighest = 22000.0f;
constexpr int kLoopEntries = 44000;
constexpr float kLoopQ = 0.6f;
constexpr float kColourFrequency = 2000.0f;
constexpr float kColourQ = 1.0f;
constexpr int kColourEntries = 4000;
constexpr int kOversampling = 4;
// A biquad tuned at or above the Nyquist frequency of its own rate becomes
// unstable; fixed frequency ranges reach it at rates below 44.1 kHz.
constexpr float kHighestNyquistFraction = 0.499f;

// Cut-off position to semitones above 22 Hz, and hertz back to the filter range.
constexpr float kOversampledSemitoneScale = 0.83f * 143.58942f;
constexpr float kLoopSemitoneScale = (float) DelayParameters::kCutoffSemitones;
constexpr float kOversampledNormalise = 1.1366478e-05f;
constexpr float kLoopNormalise = 4.5500045e-05f;
constexpr float kLowestPitchHz = 22.0f;
constexpr float kHighestCutoffPosition = 2.0f;   // control 1 plus full modulation

// Filter kinds as the biquad knows them.
constexpr int kKindOff = 0;
constexpr int kKindLowPass = 1;
constexpr int kKindBandPass = 2;
constexpr int kKindBandPassPeak = 3;
constexpr int kKindHighPass = 4;
constexpr int kKindForType[DelayParameters::kNumFilterTypes] = { kKindOff, kKindLowPass, kKindBandPass, kKindHighPass };

// What the rings hold is limited: runaway feedback (freeze keeps adding the
// input) would otherwise end in inf and NaN.
constexpr double kRingLimit = 1.0e4;

struct RateTrim
{
    double rate;
    double trim;
};
constexpr RateTrim kReadTrims[] = { { 44100.0, 0.0 },    { 48000.0, 0.119 },  { 88200.0, 4.36 },
                                    { 96000.0, 4.96 },   { 176400.0, 13.12 }, { 192000.0, 14.64 } };

using DspCommon::isSwitchOn;

inline float cleanModulation(const float* buffer, int i)
{
    if (buffer == nullptr)
        return 0.0f;
    const float m = buffer[i];
    return m >= 0.0f ? std::min(m, 1.0f) : 0.0f;   // NaN reads as 0
}

// One step of a one-pole glide of state towards target.
inline double glide(double state, double target, double coefficient)
{
    return state - (state - target) * coefficient + kDenormalGuard;
}

inline double limitRing(double x)
{
    if (std::isnan(x))
        return 0.0;
    return std::clamp(x, -kRingLimit, kRingLimit);
}

// limitRing as a choice of values, not of paths, so that a run of writes can
// go through vector instructions.
inline double limitRingAll(double x)
{
    double y = x < -kRingLimit ? -kRingLimit : x;
    y = kRingLimit < y ? kRingLimit : y;
    return x == x ? y : 0.0;
}

// Sample w of a ring of `maximum` samples sits at w + kReadReach, and also
// kReadReach (or a multiple of maximum, for rings shorter than the guard)
// below: the guard holds the ring's end.
inline void writeRing(float* ring, int maximum, int w, float x)
{
    ring[w + kReadReach] = x;
    for (int p = w + kReadReach - maximum; p >= 0; p -= maximum)
        ring[p] = x;
}

// A read position counts samples as if three copies of the ring lay one after
// the other (between one and three rings back from the write index); what
// takes it to the stored ring. Whole numbers: the position keeps its fraction.
inline double ringShift(double position, int maximum)
{
    const int n = (int) position;
    return (double) ((n >= 2 * maximum ? 2 * maximum : maximum) - kReadReach);
}

// Where the sample `distance` before w lies in a ring stored once.
inline int wrapBack(int w, int distance, int maximum)
{
    const int index = w - distance;
    return index < 0 ? index + maximum : index;
}
} // namespace

//==============================================================================
void DelayCore::Smoother::step()
{
    // glide() on two lanes at a time, each operation as there.
    const __m128d c = _mm_set1_pd((double) coefficient);
    const __m128d guard = _mm_set1_pd(kDenormalGuard);
    for (int lane = 0; lane < 4; lane += 2)
    {
        const __m128d s = _mm_loadu_pd(state + lane);
        const __m128d t = _mm_loadu_pd(target + lane);
        _mm_storeu_pd(state + lane, _mm_add_pd(_mm_sub_pd(s, _mm_mul_pd(_mm_sub_pd(s, t), c)), guard));
    }
}

bool DelayCore::Smoother::isAtRest(int lane) const
{
    return glide(state[lane], target[lane], (double) coefficient) == state[lane];
}

bool DelayCore::Smoother::isAtRest() const
{
    for (int lane = 0; lane < 4; ++lane)
        if (glide(state[lane], target[lane], (double) coefficient) != state[lane])
            return false;
    return true;
}

void DelayCore::Smoother::settle()
{
    for (int lane = 0; lane < 4; ++lane)
        state[lane] = target[lane];
}

//==============================================================================
void DelayCore::Biquad::allocate(int entries)
{
    tableEntries = entries;
    coarseSinCos.assign((size_t) (2 * ((entries + kFineEntries - 1) / kFineEntries)), 0.0);
    fineSinCos.assign((size_t) (2 * kFineEntries), 0.0);
    for (size_t i = 1; i < coarseSinCos.size(); i += 2)
        coarseSinCos[i] = 1.0;
    for (size_t i = 1; i < fineSinCos.size(); i += 2)
        fineSinCos[i] = 1.0;
}

void DelayCore::Biquad::setRate(double rate)
{
    computedFor[0] = computedFor[1] = Source();
    context.set(rate);
    const double r = context.rate;
    auto fill = [r](std::vector<double>& table, int entriesPerStep) {
        for (size_t i = 0; i < table.size() / 2; ++i)
        {
            const double w = kTwoPi * ((double) ((int) i * entriesPerStep) / 2.0) / r;
            table[2 * i] = std::sin(w);
            table[2 * i + 1] = std::cos(w);
        }
    };
    fill(coarseSinCos, kFineEntries);
    fill(fineSinCos, 1);
}

namespace
{
using SimdLanes::Doubles4;

// A biquad's coefficients from the sine and cosine of its frequency and
// 1 / 2Q, on one channel (double) or four side by side (Doubles4), each
// operation the same in both.
template <typename T>
inline void coefficientsFrom(int kind, T sinW, T cosW, T halfOverQ, T& b0, T& b1, T& b2, T& a1, T& a2)
{
    const T alpha = sinW * halfOverQ;
    T nb0 {}, nb1 {}, nb2 {};
    switch (kind)
    {
        case kKindLowPass:
            nb0 = nb2 = (1.0 - cosW) * 0.5;
            nb1 = 1.0 - cosW;
            break;
        case kKindBandPass:
            nb0 = sinW * 0.5;
            nb2 = -sinW * 0.5;
            break;
        case kKindBandPassPeak:
            nb0 = alpha;
            nb2 = -alpha;
            break;
        case kKindHighPass:
            nb0 = nb2 = (1.0 + cosW) * 0.5;
            nb1 = -(1.0 + cosW);
            break;
        default:
            break;
    }
    // Each coefficient times 1 / a0: one division instead of five.
    const T scale = 1.0 / (1.0 + alpha);
    b0 = nb0 * scale + kDenormalGuard;
    b1 = nb1 * scale + kDenormalGuard;
    b2 = nb2 * scale + kDenormalGuard;
    a1 = -2.0 * cosW * scale + kDenormalGuard;
    a2 = (1.0 - alpha) * scale + kDenormalGuard;
}
} // namespace

int DelayCore::Biquad::entryOf(float frequency) const
{
    const float highestHere = std::min(highest, kHighestNyquistFraction * context.rateF);
    const float f = std::clamp(frequency, std::min(lowest, highestHere), highestHere);
    return std::clamp((int) (2.0f * f), 0, tableEntries - 1);
}

bool DelayCore::Biquad::keeps(int channel, int index) const
{
    // The coefficients follow from the table entry, the kind and the Q alone:
    // a cut-off that stays on its entry keeps them.
    return computedFor[channel].index == index && computedFor[channel].kind == kind && computedFor[channel].q == q;
}

void DelayCore::Biquad::sinCosOf(int index, double& sinW, double& cosW) const
{
    // Sine and cosine of the entry's frequency from a coarse and a fine step
    // (angle addition): two small tables that stay in the cache where one of
    // every entry spread a modulated cut-off's lookups over megabytes.
    const double* coarse = coarseSinCos.data() + 2 * (index / kFineEntries);
    const double* fine = fineSinCos.data() + 2 * (index % kFineEntries);
    sinW = coarse[0] * fine[1] + coarse[1] * fine[0];
    cosW = coarse[1] * fine[1] - coarse[0] * fine[0];
}

void DelayCore::Biquad::computeCoefficients(int channel, float frequency)
{
    const int index = entryOf(frequency);
    if (keeps(channel, index))
        return;
    computedFor[channel] = { index, kind, q };
    double sinW = 0.0, cosW = 0.0;
    sinCosOf(index, sinW, cosW);
    coefficientsFrom<double>(kind, sinW, cosW, 0.5 / (double) q, b0[channel], b1[channel], b2[channel], a1[channel],
                             a2[channel]);
}

namespace
{
// coefficientsFrom() of count table entries, four at a time (each operation
// as one entry alone takes it), into rows b0, b1, b2, a1, a2.
template <int>
SIMD_ALWAYS_INLINE inline void coefficientsOfEntries(const int* entries, int count, int kind,
                                                                 double halfOverQ, const double* coarseSinCos,
                                                                 const double* fineSinCos, int fineEntries,
                                                                 double (*out)[4 * ((2 * 256 + 3) / 4)])
{
    const Doubles4 halfOverQ4 = { halfOverQ, halfOverQ, halfOverQ, halfOverQ };
    for (int j = 0; j < count; j += 4)
    {
        Doubles4 coarseSin, coarseCos, fineSin, fineCos;
        for (int k = 0; k < 4; ++k)
        {
            const int index = entries[std::min(j + k, count - 1)];
            const double* coarse = coarseSinCos + 2 * (index / fineEntries);
            const double* fine = fineSinCos + 2 * (index % fineEntries);
            coarseSin[k] = coarse[0];
            coarseCos[k] = coarse[1];
            fineSin[k] = fine[0];
            fineCos[k] = fine[1];
        }
        const Doubles4 sinW = coarseSin * fineCos + coarseCos * fineSin;
        const Doubles4 cosW = coarseCos * fineCos - coarseSin * fineSin;
        Doubles4 c[5];
        coefficientsFrom<Doubles4>(kind, sinW, cosW, halfOverQ4, c[0], c[1], c[2], c[3], c[4]);
        for (int r = 0; r < 5; ++r)
            std::memcpy(out[r] + j, &c[r], sizeof c[r]);
    }
}

void coefficientsOfEntriesSse2(const int* entries, int count, int kind, double halfOverQ, const double* coarseSinCos,
                               const double* fineSinCos, int fineEntries, double (*out)[4 * ((2 * 256 + 3) / 4)])
{
    coefficientsOfEntries<0>(entries, count, kind, halfOverQ, coarseSinCos, fineSinCos, fineEntries, out);
}

SIMD_AVX2 void coefficientsOfEntriesAvx2(const int* entries, int count, int kind,
                                                               double halfOverQ, const double* coarseSinCos,
                                                               const double* fineSinCos, int fineEntries,
                                                               double (*out)[4 * ((2 * 256 + 3) / 4)])
{
    coefficientsOfEntries<1>(entries, count, kind, halfOverQ, coarseSinCos, fineSinCos, fineEntries, out);
}

} // namespace

void DelayCore::Biquad::coefficientRows(const int (*entries)[2], int numSamples, double (*rows)[5][2]) const
{
    static_assert(kPiece == 256, "the entries' scratch is sized for pieces of 256");
    // The coefficients of every entry, four at a time: of one entry where
    // all are the same, of the left one where both channels share theirs,
    // of both otherwise.
    const int lanes = 2 * numSamples;
    const int* flat = entries[0];
    bool allSame = true, pairsSame = true;
    for (int i = 0; i < numSamples; ++i)
    {
        allSame = allSame && entries[i][0] == flat[0] && entries[i][1] == flat[0];
        pairsSame = pairsSame && entries[i][0] == entries[i][1];
    }
    int single[kPiece];
    const int* which = flat;
    int count = lanes;
    if (allSame)
        count = 1;
    else if (pairsSame)
    {
        for (int i = 0; i < numSamples; ++i)
            single[i] = entries[i][0];
        which = single;
        count = numSamples;
    }
    alignas(32) double computed[5][4 * ((2 * kPiece + 3) / 4)];
    const double halfOverQ = 0.5 / (double) q;
    if (useAvx2)
        coefficientsOfEntriesAvx2(which, count, kind, halfOverQ, coarseSinCos.data(), fineSinCos.data(),
                                  kFineEntries, computed);
    else
        coefficientsOfEntriesSse2(which, count, kind, halfOverQ, coarseSinCos.data(), fineSinCos.data(),
                                  kFineEntries, computed);
    if (count == lanes)
    {
        for (int i = 0; i < numSamples; ++i)
            for (int r = 0; r < 5; ++r)
                _mm_storeu_pd(rows[i][r], _mm_load_pd(computed[r] + 2 * i));
    }
    else
    {
        for (int i = 0; i < numSamples; ++i)
            for (int r = 0; r < 5; ++r)
                _mm_storeu_pd(rows[i][r], _mm_set1_pd(computed[r][allSame ? 0 : i]));
    }
}

void DelayCore::Biquad::storeCoefficients(double (&row)[5][2]) const
{
    std::memcpy(row[0], b0, sizeof row[0]);
    std::memcpy(row[1], b1, sizeof row[1]);
    std::memcpy(row[2], b2, sizeof row[2]);
    std::memcpy(row[3], a1, sizeof row[3]);
    std::memcpy(row[4], a2, sizeof row[4]);
}

float DelayCore::Biquad::process(const double (&row)[5][2], int channel, float input)
{
    const double x = input;
    const double y = row[0][channel] * x + row[1][channel] * memories.x1[channel]
                     + row[2][channel] * memories.x2[channel] - row[3][channel] * memories.y1[channel]
                     - row[4][channel] * memories.y2[channel];
    memories.x2[channel] = memories.x1[channel];
    memories.x1[channel] = x;
    memories.y2[channel] = memories.y1[channel];
    memories.y1[channel] = y;
    return (float) y;
}

void DelayCore::Biquad::processPair(const double (&row)[5][2], float& left, float& right)
{
    // process() on both channels side by side, each operation as there.
    const __m128d x = _mm_setr_pd((double) left, (double) right);
    const __m128d vx1 = _mm_loadu_pd(memories.x1), vy1 = _mm_loadu_pd(memories.y1);
    __m128d y = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(row[0]), x), _mm_mul_pd(_mm_loadu_pd(row[1]), vx1));
    y = _mm_add_pd(y, _mm_mul_pd(_mm_loadu_pd(row[2]), _mm_loadu_pd(memories.x2)));
    y = _mm_sub_pd(y, _mm_mul_pd(_mm_loadu_pd(row[3]), vy1));
    y = _mm_sub_pd(y, _mm_mul_pd(_mm_loadu_pd(row[4]), _mm_loadu_pd(memories.y2)));
    _mm_storeu_pd(memories.x2, vx1);
    _mm_storeu_pd(memories.x1, x);
    _mm_storeu_pd(memories.y2, vy1);
    _mm_storeu_pd(memories.y1, y);
    left = (float) _mm_cvtsd_f64(y);
    right = (float) _mm_cvtsd_f64(_mm_unpackhi_pd(y, y));
}

void DelayCore::Biquad::clearMemories()
{
    for (int c = 0; c < 2; ++c)
        memories.x1[c] = memories.x2[c] = memories.y1[c] = memories.y2[c] = 0.0;
}

//==============================================================================
DelayCore::DelayCore(const double* kernel32Table, const double* kernel16Table, const float* semitoneTable,
                     const float* fineTuneTable, bool allowAvx2)
    : useAvx2(allowAvx2 && DspCommon::processorHasAvx2()),
      reader(kernel32Table, kernel16Table, allowAvx2),
      semitones(semitoneTable),
      fineTune(fineTuneTable)
{
    oversampledFilter.useAvx2 = loopFilter.useAvx2 = colourFilter.useAvx2 = useAvx2;
    smoother1.baseRate = kSmoother1Rate;
    smoother2.baseRate = kSmoother2Rate;
    smoother3.baseRate = kSmoother3Rate;
    smoother4.baseRate = kSmoother4Rate;

    oversampledFilter.kind = kKindLowPass;
    oversampledFilter.lowest = kOversampledLowest;
    oversampledFilter.highest = kOversampledHighest;
    oversampledFilter.q = 1.0f;
    oversampledFilter.allocate(kOversampledEntries);

    loopFilter.kind = kKindLowPass;
    loopFilter.lowest = kLoopLowest;
    loopFilter.highest = kLoopHighest;
    loopFilter.q = kLoopQ;
    loopFilter.allocate(kLoopEntries);

    colourFilter.kind = kKindBandPassPeak;
    colourFilter.lowest = kColourFrequency;
    colourFilter.highest = kColourFrequency;
    colourFilter.q = kColourQ;
    colourFilter.allocate(kColourEntries);

    frozenLoop.setLatencies(DspTables::getKernelLatency(kernel32Table, DspTables::kTaps32),
                            DspTables::getKernelLatency(kernel16Table, DspTables::kTaps16));
    frozenLoop.setMode(interpolationMode);

    prepare(1024, 2, 44100.0f);
    updateLengths();
}

DelayCore::~DelayCore() = default;

void DelayCore::refreshDerived()
{
    offsetSamples = DelayParameters::stereoOffsetFraction(stereoOffsetControl) * leftLength;
    timeModDepth = (float) std::pow((double) timeModBase, 10.0 * leftLength / context.rate + 1.0);
}

void DelayCore::updateLengths()
{
    TavinorDelayLine::updateLengths();
    refreshDerived();
}

bool DelayCore::prepare(int /*blockSize*/, int maxSeconds, float sampleRate)
{
    double rate = 0.0;
    int newIntegerRate = 0, maximumLength = 0;
    if (! computeLimits(maxSeconds, sampleRate, rate, newIntegerRate, maximumLength))
        return false;

    // Each sample once, behind a guard that repeats the ring's last kReadReach
    // samples, so that a read never wraps; the offset ring is read a single
    // sample at a time and wraps its index.
    const size_t newRingLength = (size_t) maximumLength + (size_t) kReadReach;
    // Rings of the size they already have (a host's suspend and resume, often
    // on its audio thread) are emptied where they are: nothing is allocated
    // or freed.
    const bool sameSize = leftRing != nullptr && rightRing != nullptr && offsetRing != nullptr
                          && maximumLength == maxLength && (int) newRingLength == ringLength;
    std::unique_ptr<float[]> newLeft, newRight, newOffset;
    if (sameSize)
    {
        std::fill(leftRing.get(), leftRing.get() + ringLength, 0.0f);
        std::fill(rightRing.get(), rightRing.get() + ringLength, 0.0f);
        std::fill(offsetRing.get(), offsetRing.get() + maxLength, 0.0f);
    }
    else
    {
        newLeft.reset(new (std::nothrow) float[newRingLength]());
        newRight.reset(new (std::nothrow) float[newRingLength]());
        newOffset.reset(new (std::nothrow) float[(size_t) maximumLength]());
        if (newLeft == nullptr || newRight == nullptr || newOffset == nullptr)
            return false;
    }

    applyPreparation(rate, newIntegerRate, maximumLength);
    updateLengths();

    if (! sameSize)
    {
        // Free the old rings before the new ones take over their role.
        leftRing = std::move(newLeft);
        rightRing = std::move(newRight);
        offsetRing = std::move(newOffset);
        ringLength = (int) newRingLength;
    }

    oversampledFilter.clearMemories();
    loopFilter.clearMemories();
    frozenFilter.memories = Biquad::Memories();
    colourFilter.clearMemories();

    for (const auto& t : kReadTrims)
        if (context.rate == t.rate)
            readTrim = t.trim;

    oversampledFilter.setRate(kOversampling * context.rate);
    loopFilter.setRate(context.rate);
    colourFilter.setRate(context.rate);
    // The colour filter never moves: its coefficients follow from the rate alone.
    colourFilter.computeCoefficients(0, kColourFrequency);
    colourFilter.computeCoefficients(1, kColourFrequency);
    {
        double row[5][2];
        colourFilter.storeCoefficients(row);
        inputSection.setColourCoefficients(row);
    }

    const float k = context.kF;
    smoother1.coefficient = smoother1.baseRate * k;
    smoother2.coefficient = smoother2.baseRate * k;
    smoother3.coefficient = smoother3.baseRate * k;
    smoother4.coefficient = smoother4.baseRate * k;
    setSmootherTargets();
    smoother1.settle();
    smoother2.settle();
    smoother3.settle();
    setSecondStageTargets();
    smoother4.settle();

    inputSection.clear();
    writeIndex = 0;
    frozenLoop.prepare(context.rate);

    tremoloSmoothing = kTremoloSmoothingRate * context.k;
    delaySmoothing = kDelaySmoothingRate * context.k;
    meterDecay = 1.0 - kMeterDecayRate * context.k;
    leftMeter = rightMeter = 0.0;
    previousLeftDelay = previousRightDelay = 0.0;
    leftActive = rightActive = false;
    leftQuietWrites = rightQuietWrites = maximumLength + kReadReach + 1;
    // The modulated-delay stages start where the delay is, not at zero.
    resetSmoothers = true;
    return true;
}

void DelayCore::clear()
{
    oversampledFilter.clearMemories();
    loopFilter.clearMemories();
    frozenFilter.memories = Biquad::Memories();
    colourFilter.clearMemories();
    // The oversampler too: what it holds of the old input would come out
    // first, and be echoed, as a click.
    inputSection.clear();
    if (leftRing != nullptr)
    {
        std::fill(leftRing.get(), leftRing.get() + ringLength, 0.0f);
        std::fill(rightRing.get(), rightRing.get() + ringLength, 0.0f);
        std::fill(offsetRing.get(), offsetRing.get() + maxLength, 0.0f);
    }
    leftQuietWrites = rightQuietWrites = maxLength + kReadReach + 1;
    frozenLoop.reset();
    resetSmoothers = true;
}

//==============================================================================
void DelayCore::setParameter(int k, float v)
{
    if (! std::isfinite(v))
        return;
    v = std::clamp(v, 0.0f, 1.0f);

    using P = DelayParameters;
    switch (k)
    {
        case P::kBalance: setBalance(v); break;
        case P::kLevel: setLevel(v); break;
        case P::kMidSide: setMidSide(isSwitchOn(v)); break;
        case P::kSwap: setSwapChannels(isSwitchOn(v)); break;
        case P::kMono: setMonoInput(isSwitchOn(v)); break;
        case P::kFilterMode: setFilterPlacement(P::choiceOf(v, P::kNumFilterPlacements)); break;
        case P::kFilterInLoop: setFilterInLoop(isSwitchOn(v)); break;
        case P::kCutoff: setCutoff(v); break;
        case P::kResonance: setResonance(v); break;
        case P::kFilterType: setFilterType(P::choiceOf(v, P::kNumFilterTypes)); break;
        case P::kOverdrive: setOverdriveOn(isSwitchOn(v)); break;
        case P::kPreamp: setPreamp(v); break;
        case P::kColor: setColor(v); break;
        case P::kOverdriveGain: setOverdriveGain(v); break;
        case P::kFeedback: setFeedback(P::bipolar(v)); break;
        case P::kFreeze: setFreeze(isSwitchOn(v)); break;
        case P::kStereoOffset: setStereoOffset(v); break;
        case P::kModSource: setModulationSource(P::choiceOf(v, P::kNumModulators)); break;
        case P::kModScale: setTimeModScale(isSwitchOn(v)); break;
        case P::kTimeModDepth: setTimeModDepth(v); break;
        case P::kCutoffModDepth: setCutoffModDepth(v); break;
        case P::kTremoloDepth: setTremoloDepth(v); break;
        default: break;
    }
}

void DelayCore::setBalance(float v) { balance = DelayParameters::balanceGain(v); }

void DelayCore::setLevel(float v) { level = DelayParameters::levelGain(v); }

void DelayCore::setMidSide(bool on) { midSide = on; }

void DelayCore::setSwapChannels(bool on) { swapChannels = on; }

void DelayCore::setMonoInput(bool on) { monoInput = on; }

void DelayCore::setFilterPlacement(int placement) { filterPlacement = placement; }

void DelayCore::setFilterInLoop(bool on) { filterInLoop = on; }

void DelayCore::setCutoff(float v) { cutoff = v; }

void DelayCore::setResonance(float v)
{
    resonance = v;
    oversampledFilter.q = DelayParameters::resonanceQ(v);
}

void DelayCore::setFilterType(int type)
{
    type = std::clamp(type, 0, DelayParameters::kNumFilterTypes - 1);
    if (type == filterType)
        return;
    filterType = type;
    oversampledFilter.kind = kKindForType[type];
    loopFilter.kind = kKindForType[type];
    oversampledFilter.clearMemories();
    inputSection.clearFilter();
    loopFilter.clearMemories();
    frozenFilter.memories = Biquad::Memories();
}

void DelayCore::setOverdriveOn(bool on) { overdriveOn = on; }

void DelayCore::setPreamp(float v) { preampGain = (float) DelayParameters::preampGain(v); }

void DelayCore::setColor(float v) { colour = DelayParameters::colourAmount(v); }

void DelayCore::setOverdriveGain(float v) { overdriveGain = DelayParameters::overdriveGain(v); }

void DelayCore::setFeedback(float newFeedback)
{
    if (! std::isfinite(newFeedback))
        return;
    feedback = std::clamp(newFeedback, -1.0f, 1.0f);
    loopGain = kLoopGainScale * feedback;
}

void DelayCore::setFreeze(bool on) { freeze = on; }

void DelayCore::setStereoOffset(float v)
{
    if (v != stereoOffsetControl)
    {
        stereoOffsetControl = v;
        refreshDerived();
    }
}

void DelayCore::setModulationSource(int source)
{
    modulationSource = std::clamp(source, 0, DelayParameters::kNumModulators - 1);
}

void DelayCore::setTimeModScale(bool on) { timeModScale = on; }

void DelayCore::setTimeModDepth(float v)
{
    if (v != timeModBase)
    {
        timeModBase = v;
        refreshDerived();
    }
}

void DelayCore::setCutoffModDepth(float v) { cutoffModDepth = v; }

void DelayCore::setTremoloDepth(float v) { tremoloDepth = v; }

void DelayCore::setInterpolation(int mode, double minimumStep)
{
    interpolationMode = std::clamp<int>(mode, DelayParameters::kNearestPhase16, DelayParameters::kStretched32Alike);
    minimumKernelStep = std::isfinite(minimumStep) ? std::clamp(minimumStep, 1.0, (double) kPhases) : kPhases;
    frozenLoop.setMode(interpolationMode);
}

void DelayCore::setModulation(const float* left, const float* right, bool smooth)
{
    modulationLeft = left;
    modulationRight = right;
    smoothModulatedDelay = smooth;
}

//==============================================================================
float DelayCore::meterToDisplay(double meter)
{
    struct Step { double above; float display; };
    static constexpr Step steps[] = { { 1.413, 1.0f },   { 1.0, 0.875f },   { 0.708, 0.75f },
                                      { 0.501, 0.625f }, { 0.355, 0.5f },   { 0.251, 0.375f },
                                      { 0.178, 0.25f },  { 0.126, 0.125f } };
    for (const auto& s : steps)
        if (meter > s.above)
            return s.display;
    return 0.0f;
}

float DelayCore::getLeftMeter() const { return meterToDisplay(leftMeter); }

float DelayCore::getRightMeter() const { return meterToDisplay(rightMeter); }

double DelayCore::getLeftTimeMs() const { return leftLength / context.rate * 1000.0 + 0.1; }

void DelayCore::frozenFilterRow()
{
    int entries[1][2];
    for (int c = 0; c < 2; ++c)
    {
        float oversampledHz = 0.0f, loopHz = 0.0f;
        cutoffFrequencies(frozenFilter.modulation[c], oversampledHz, loopHz);
        entries[0][c] = loopFilter.entryOf(loopHz);
    }
    loopFilter.coefficientRows(entries, 1, &frozenFilter.row);
}

int DelayCore::frozenDistance(int c) const
{
    // As long as the line's echoes take at its time, or a synced line's
    // note value: that keeps the host's beat.
    const double length = c == 0 ? leftLength : rightLength;
    return synced ? FrozenLoop::nearestDistance(length, maxLength)
                  : frozenLoop.wholeDistance(length + readTrim, maxLength);
}

FrozenLoop::Measure DelayCore::heldMeasure(int distanceLeft, int distanceRight) const
{
    // Runs once, when freeze comes on: the last samples of a pass one by one,
    // a long pass's others at a stride (the loop takes them in one by one
    // over its first passes).
    constexpr int kMost = FrozenLoop::kMostHeldSamples;
    const float* rings[2] = { leftRing.get(), rightRing.get() };
    const int distances[2] = { distanceLeft, distanceRight };
    auto square = [&](int c, int back) {
        const double x = (double) rings[c][wrapBack(writeIndex, back, maxLength) + kReadReach];
        return x * x;
    };
    FrozenLoop::Measure held;
    for (int c = 0; c < 2; ++c)
    {
        const int pass = std::clamp(distances[c], 1, maxLength);
        const int samples = std::min(pass, kMost);
        double sum = 0.0;
        for (int back = 1; back <= samples; ++back)
            sum += square(c, back);
        const int stride = (pass - samples + kMost - 1) / kMost;
        double rest = 0.0;
        int count = 0;
        for (int back = samples + 1; back <= pass; back += stride, ++count)
            rest += square(c, back);
        held.pass[c] = pass;
        held.samples[c] = samples;
        held.squares[c] = sum;
        held.restMean[c] = count > 0 ? rest / (double) count : 0.0;
    }
    return held;
}

// Out of line: the loop of a line that is not frozen stays as tight as it was.
SIMD_NEVER_INLINE void DelayCore::trackFrozen(int w, float writtenLeft, float writtenRight, float inLeft,
                                                      float inRight)
{
    const int maximum = maxLength;
    const float* rings[2] = { leftRing.get(), rightRing.get() };
    frozenLoop.track(writtenLeft, writtenRight, inLeft, inRight, [&](int c, int back) {
        return rings[c][wrapBack(w, back, maximum) + kReadReach];
    });
}

//==============================================================================
void DelayCore::setSmootherTargets()
{
    smoother1.target[0] = offsetSamples;
    smoother1.target[1] = leftLength;
    smoother1.target[2] = rightLength;
    // Frozen, the loop keeps everything (and still takes the input).
    smoother1.target[3] = freeze ? (feedback >= 0.0f ? 1.0f : -1.0f) : loopGain;
    smoother2.target[0] = level;
    smoother2.target[1] = timeModDepth;
    smoother2.target[2] = 0.0f;
    smoother2.target[3] = 0.0f;
    smoother3.target[0] = preampGain;
    smoother3.target[1] = colour;
    smoother3.target[2] = overdriveGain;
    smoother3.target[3] = tremoloDepth;
}

void DelayCore::setSecondStageTargets()
{
    smoother4.target[0] = smoother1.state[1];
    smoother4.target[1] = smoother1.state[2];
    smoother4.target[2] = smoother2.state[1];
    smoother4.target[3] = balance;
}

void DelayCore::cutoffFrequencies(float modulation, float& oversampledHz, float& loopHz) const
{
    const float c = std::clamp(cutoff + cutoffModDepth * modulation, 0.0f, kHighestCutoffPosition);

    // The semitone is never negative (c is not): truncation is its floor,
    // without a call into the library.
    auto pitch = [this](float semitone) {
        const float whole = (float) (int) semitone;
        const int index = std::clamp((int) whole, 0, DspTables::kSemitoneCount - 1);
        const int fine = std::clamp((int) ((semitone - whole) * 1023.0f), 0, DspTables::kFineCount - 1);
        return semitones[index] * fineTune[fine];
    };

    const float f4 = pitch(c * kOversampledSemitoneScale);
    const float q4 = (f4 - kLowestPitchHz) * kOversampledNormalise;
    oversampledHz = q4 * kOversampledHighest + kOversampledLowest;
    loopHz = 0.0f;
    if (filterInLoop)
    {
        const float f1 = pitch(c * kLoopSemitoneScale);
        const float q1 = (f1 - kLowestPitchHz) * kLoopNormalise;
        loopHz = q1 * kLoopHighest + kLoopLowest;
    }
}

namespace
{
// What DelayCore::cutoffFrequencies and Biquad::entryOf give, eight
// modulation values at a time, each operation as one value alone takes it:
// the table entries of one filter (semitone scale, normalisation and range
// as there) for count values.
struct EntryScale
{
    float cutoff, depth, semitoneScale, normalise, highest, lowest, lowestHere, highestHere;
    int entries;
};

SIMD_AVX2 int cutoffEntriesAvx2(const float* modulation, int count, const EntryScale& e,
                                                      const float* semitones, const float* fineTune, int* out)
{
    const __m256 cutoff = _mm256_set1_ps(e.cutoff), depth = _mm256_set1_ps(e.depth);
    const __m256 zero = _mm256_setzero_ps(), top = _mm256_set1_ps(kHighestCutoffPosition);
    const __m256 scale = _mm256_set1_ps(e.semitoneScale);
    const __m256i lastSemitone = _mm256_set1_epi32(DspTables::kSemitoneCount - 1);
    const __m256i lastFine = _mm256_set1_epi32(DspTables::kFineCount - 1);
    const __m256i none = _mm256_setzero_si256();
    const __m256 fineSteps = _mm256_set1_ps(1023.0f), lowestPitch = _mm256_set1_ps(kLowestPitchHz);
    const __m256 normalise = _mm256_set1_ps(e.normalise), highest = _mm256_set1_ps(e.highest);
    const __m256 lowest = _mm256_set1_ps(e.lowest), low = _mm256_set1_ps(e.lowestHere);
    const __m256 high = _mm256_set1_ps(e.highestHere), two = _mm256_set1_ps(2.0f);
    const __m256i lastEntry = _mm256_set1_epi32(e.entries - 1);
    int i = 0;
    for (; i + 8 <= count; i += 8)
    {
        const __m256 m = _mm256_loadu_ps(modulation + i);
        const __m256 c = _mm256_min_ps(_mm256_max_ps(_mm256_add_ps(cutoff, _mm256_mul_ps(depth, m)), zero), top);
        const __m256 semitone = _mm256_mul_ps(c, scale);
        const __m256i wholeIndex = _mm256_cvttps_epi32(semitone);
        const __m256 whole = _mm256_cvtepi32_ps(wholeIndex);
        const __m256i index = _mm256_min_epi32(_mm256_max_epi32(wholeIndex, none), lastSemitone);
        const __m256i fine = _mm256_min_epi32(
            _mm256_max_epi32(_mm256_cvttps_epi32(_mm256_mul_ps(_mm256_sub_ps(semitone, whole), fineSteps)), none),
            lastFine);
        const __m256 f = _mm256_mul_ps(_mm256_i32gather_ps(semitones, index, 4), _mm256_i32gather_ps(fineTune, fine, 4));
        const __m256 q = _mm256_mul_ps(_mm256_sub_ps(f, lowestPitch), normalise);
        const __m256 hz = _mm256_add_ps(_mm256_mul_ps(q, highest), lowest);
        const __m256 held = _mm256_min_ps(_mm256_max_ps(hz, low), high);
        const __m256i entry =
            _mm256_min_epi32(_mm256_max_epi32(_mm256_cvttps_epi32(_mm256_mul_ps(two, held)), none), lastEntry);
        _mm256_storeu_si256((__m256i*) (out + i), entry);
    }
    return i;
}

} // namespace

void DelayCore::computeCutoffRows(int numSamples)
{
    // The filters' table entries under each channel's modulation, then the
    // oversampled filter's coefficients, several at a time (the loop
    // filter's take the same rows once the input section has run).
    Piece& p = *piece;
    int oversampledEntries[kPiece][2];
    int (&loopEntries)[kPiece][2] = p.loopEntries;
    const bool sameModulation =
        std::memcmp(p.modulation[0], p.modulation[1], sizeof(float) * (size_t) numSamples) == 0;
    const int channels = sameModulation ? 1 : 2;
    for (int c = 0; c < channels; ++c)
    {
        const float* modulation = p.modulation[c];
        int over[kPiece], loop[kPiece];
        int from = 0;
        if (useAvx2)
        {
            auto scaleOf = [this](const Biquad& filter, float semitoneScale, float normalise, float highest,
                                  float lowest) {
                const float highestHere = std::min(filter.highest, kHighestNyquistFraction * filter.context.rateF);
                return EntryScale { cutoff, cutoffModDepth, semitoneScale, normalise, highest, lowest,
                                    std::min(filter.lowest, highestHere), highestHere, filter.tableEntries };
            };
            from = cutoffEntriesAvx2(modulation, numSamples,
                                     scaleOf(oversampledFilter, kOversampledSemitoneScale, kOversampledNormalise,
                                             kOversampledHighest, kOversampledLowest),
                                     semitones, fineTune, over);
            if (filterInLoop)
                cutoffEntriesAvx2(modulation, numSamples,
                                  scaleOf(loopFilter, kLoopSemitoneScale, kLoopNormalise, kLoopHighest, kLoopLowest),
                                  semitones, fineTune, loop);
            else
                std::fill(loop, loop + from, 0);
        }
        for (int i = from; i < numSamples; ++i)
        {
            float oversampledHz = 0.0f, loopHz = 0.0f;
            cutoffFrequencies(modulation[i], oversampledHz, loopHz);
            over[i] = oversampledFilter.entryOf(oversampledHz);
            loop[i] = loopFilter.entryOf(loopHz);
        }
        for (int i = 0; i < numSamples; ++i)
        {
            oversampledEntries[i][c] = over[i];
            loopEntries[i][c] = loop[i];
        }
    }
    if (sameModulation)
        for (int i = 0; i < numSamples; ++i)
        {
            oversampledEntries[i][1] = oversampledEntries[i][0];
            loopEntries[i][1] = loopEntries[i][0];
        }
    oversampledFilter.coefficientRows(oversampledEntries, numSamples, inputSection.filter.values);
}

//==============================================================================
bool DelayCore::isReady() const
{
    return leftRing != nullptr && rightRing != nullptr && offsetRing != nullptr && maxLength >= 1;
}

void DelayCore::processTogether(DelayCore* const* cores, int count, float* const* lefts, float* const* rights,
                                int numSamples)
{
    count = std::min(count, LineInputSection::kMaxLines);
    DelayCore* ready[LineInputSection::kMaxLines];
    float* readyL[LineInputSection::kMaxLines];
    float* readyR[LineInputSection::kMaxLines];
    int numReady = 0;
    for (int n = 0; n < count; ++n)
    {
        if (! cores[n]->isReady())
        {
            cores[n]->process(lefts[n], rights[n], lefts[n], rights[n], numSamples);
            continue;
        }
        cores[n]->leftAverager.advance(numSamples);
        cores[n]->rightAverager.advance(numSamples);
        ready[numReady] = cores[n];
        readyL[numReady] = lefts[n];
        readyR[numReady] = rights[n];
        ++numReady;
    }

    LineInputSection* sections[LineInputSection::kMaxLines];
    float* sectionL[LineInputSection::kMaxLines];
    float* sectionR[LineInputSection::kMaxLines];
    for (int done = 0; done < numSamples; done += kPiece)
    {
        const int n = std::min(kPiece, numSamples - done);
        int numSections = 0;
        for (int k = 0; k < numReady; ++k)
        {
            DelayCore& core = *ready[k];
            core.preparePiece(readyL[k] + done, readyR[k] + done, done, n);
            if (core.pieceRun.section)
            {
                sections[numSections] = &core.inputSection;
                sectionL[numSections] = core.piece->section[0];
                sectionR[numSections] = core.piece->section[1];
                ++numSections;
            }
        }
        smoothTremolos(ready, numReady, n);
        LineInputSection::runTogether(sections, sectionL, sectionR, numSections, n, cores[0]->useAvx2);
        for (int k = 0; k < numReady; ++k)
            ready[k]->finishPiece(readyL[k] + done, readyR[k] + done, n);
    }
}

void DelayCore::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int numSamples)
{
    if (! isReady())
    {
        std::fill(outLeft, outLeft + numSamples, 0.0f);
        std::fill(outRight, outRight + numSamples, 0.0f);
        return;
    }

    leftAverager.advance(numSamples);
    rightAverager.advance(numSamples);

    for (int done = 0; done < numSamples; done += kPiece)
    {
        const int n = std::min(kPiece, numSamples - done);
        processPiece(inLeft + done, inRight + done, outLeft + done, outRight + done, done, n);
    }
}

namespace
{
// The ring writes of a plain run: input + loop gain * read, limited as
// limitRingAll limits it and rounded to float, into stored; returns the last
// sample whose write (before the rounding) is louder than silence, or -1.
// loops, when given, holds a loop gain per sample instead of loop.
int plainWrites(const float* input, const float* reads, const float* loops, float loop, int count, float* stored)
{
    int lastLoud = -1;
    for (int i = 0; i < count; ++i)
    {
        const double gain = loops != nullptr ? (double) loops[i] : (double) loop;
        const double write = limitRingAll((double) input[i] + gain * reads[i]);
        stored[i] = (float) write;
        if (std::abs(write) > kSilentWrite)
            lastLoud = i;
    }
    return lastLoud;
}

// The same, four writes at a time (the product of two floats is exact in
// double, so the sum rounds as the one above rounds it).
SIMD_AVX2 int plainWritesAvx2(const float* input, const float* reads, const float* loops,
                                                    float loop, int count, float* stored)
{
    const __m256d high = _mm256_set1_pd(kRingLimit);
    const __m256d low = _mm256_set1_pd(-kRingLimit);
    const __m256d silent = _mm256_set1_pd(kSilentWrite);
    const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffLL));
    const __m256d fixedGain = _mm256_set1_pd((double) loop);
    int lastLoud = -1;
    int i = 0;
    for (; i + 4 <= count; i += 4)
    {
        const __m256d gain = loops != nullptr ? _mm256_cvtps_pd(_mm_loadu_ps(loops + i)) : fixedGain;
        const __m256d x = _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(input + i)),
                                        _mm256_mul_pd(gain, _mm256_cvtps_pd(_mm_loadu_ps(reads + i))));
        __m256d y = _mm256_blendv_pd(x, low, _mm256_cmp_pd(x, low, _CMP_LT_OQ));
        y = _mm256_blendv_pd(y, high, _mm256_cmp_pd(high, y, _CMP_LT_OQ));
        y = _mm256_and_pd(y, _mm256_cmp_pd(x, x, _CMP_EQ_OQ));
        _mm_storeu_ps(stored + i, _mm256_cvtpd_ps(y));
        const int loud = _mm256_movemask_pd(_mm256_cmp_pd(_mm256_and_pd(y, magnitude), silent, _CMP_GT_OQ));
        if (loud != 0)
            lastLoud = i + 31 - __builtin_clz((unsigned) loud);
    }
    const int rest = plainWrites(input + i, reads + i, loops != nullptr ? loops + i : nullptr, loop, count - i,
                                 stored + i);
    return rest >= 0 ? i + rest : lastLoud;
}

// How many of the delays from the first on, up to limit (at least 1), equal
// the first on both channels.
int heldFor(const double* left, const double* right, int limit)
{
    const double dl = left[0], dr = right[0];
    int span = 1;
    const __m128d l = _mm_set1_pd(dl), r = _mm_set1_pd(dr);
    for (; span + 2 <= limit; span += 2)
    {
        const __m128d same = _mm_and_pd(_mm_cmpeq_pd(_mm_loadu_pd(left + span), l),
                                        _mm_cmpeq_pd(_mm_loadu_pd(right + span), r));
        const int mask = _mm_movemask_pd(same);
        if (mask != 0x3)
            return span + (mask & 1);
    }
    if (span < limit && left[span] == dl && right[span] == dr)
        ++span;
    return span;
}

// The meters' decay over eight steps, from below: a meter that takes none
// of eight outputs is at least meter * this after them (each step rounds by
// less than 2^-53, the power by less than 2^-50, the margin is 2^-20 and
// covers the rounding of the product to float too).
double eightDecaysBelow(double decay)
{
    double power = 1.0;
    for (int k = 0; k < 8; ++k)
        power *= decay;
    return power * (1.0 - 0x1p-20);
}
} // namespace

void DelayCore::readPiece(int from, int to, bool left, bool right)
{
    Piece& p = *piece;
    const int maximum = maxLength;
    const float* ringL = leftRing.get();
    const float* ringR = rightRing.get();
    const int mode = interpolationMode;
    const double smallest = minimumKernelStep;
    int w = writeIndex;
    double previousL = from > 0 ? p.delay[0][from - 1] : previousLeftDelay;
    double previousR = from > 0 ? p.delay[1][from - 1] : previousRightDelay;
    double unused = 0.0;
    for (int i = from; i < to;)
    {
        const double dl = p.delay[0][i];
        const double dr = p.delay[1][i];
        const double base = (double) (w - 1 + 2 * maximum);
        const bool both = left && right && dl == dr && previousL == previousR;
        // Positions as the read has always taken them, then moved onto the ring.
        const double positionL = base - dl;
        const double positionR = base - dr;
        const double shiftL = ringShift(positionL, maximum);
        const double shiftR = ringShift(positionR, maximum);

        // A delay at rest reads along the ring: eight reads at a time while
        // the delays hold and the write index does not wrap.
        // The run also ends where a position passes from the second ring's
        // worth to the third, which moves it on the stored ring.
        const int nL = (int) positionL, nR = (int) positionR;
        const int untilShift = std::min(nL < 2 * maximum ? 2 * maximum - nL : maximum,
                                        nR < 2 * maximum ? 2 * maximum - nR : maximum);
        const int spanLimit = std::min(std::min(to - i, maximum - w), std::max(untilShift, 1));
        const int span = heldFor(p.delay[0] + i, p.delay[1] + i, spanLimit);
        if (span >= 4)
        {
            int taken = 0;
            const FractionalReader::Run run { base, span };
            const FractionalReader::RunChannel runL { readMemory[0], ringL, shiftL, dl, previousL, p.read[0] + i };
            const FractionalReader::RunChannel runR { readMemory[1], ringR, shiftR, dr, previousR, p.read[1] + i };
            if (both)
                taken = reader.readRun({ mode, smallest }, run, runL, ringR, p.read[1] + i);
            else if (left && right)
                taken = reader.readRunTwo({ mode, smallest }, run, runL, runR);
            else
            {
                const int takenL = left ? reader.readRun({ mode, smallest }, run, runL) : span;
                const int takenR = right ? reader.readRun({ mode, smallest }, run, runR) : span;
                taken = std::min(takenL, takenR);
                if (! left)
                    std::fill(p.read[0] + i, p.read[0] + i + taken, 0.0f);
                if (! right)
                    std::fill(p.read[1] + i, p.read[1] + i + taken, 0.0f);
            }
            if (taken > 0)
            {
                i += taken;
                w += taken;
                if (w >= maximum)
                    w -= maximum;
                previousL = dl;
                previousR = dr;
                continue;
            }
        }

        double readL = 0.0, readR = 0.0;
        const double atL = positionL - shiftL;
        const double atR = positionR - shiftR;
        if (both)
        {
            reader.readKept(readMemory[0], mode, smallest, ringL, ringR, atL, dl, previousL, readL, readR);
        }
        else if (left && right)
            reader.readTwo({ mode, smallest }, { readMemory[0], ringL, atL, dl, previousL },
                           { readMemory[1], ringR, atR, dr, previousR }, readL, readR);
        else
        {
            if (left)
                reader.readKept(readMemory[0], mode, smallest, ringL, nullptr, atL, dl, previousL, readL, unused);
            if (right)
                reader.readKept(readMemory[1], mode, smallest, ringR, nullptr, atR, dr, previousR, readR, unused);
        }
        p.read[0][i] = (float) readL;
        p.read[1][i] = (float) readR;
        previousL = dl;
        previousR = dr;
        ++i;
        if (++w >= maximum)
            w = 0;
    }
}

void DelayCore::runPlain(int start, int end, int offset, RunState& state)
{
    Piece& p = *piece;
    // An inactive channel reads silence.
    alignas(32) static const float silence[kPiece] = {};
    const float* reads[2];
    const float* inputs[2] = { p.input[0] + start, p.input[1] + start };
    for (int c = 0; c < 2; ++c)
        reads[c] = state.active[c] ? p.read[c] + start : silence;
    writeRun(start, end, inputs, reads, state.quiet);
    finishOutputs(start, end, offset, reads, state);
}

void DelayCore::writeRun(int start, int end, const float* const* inputs, const float* const* reads, int* quiet)
{
    Piece& p = *piece;
    const int maximum = maxLength;
    const int count = end - start;
    const int quietHorizon = maximum + kReadReach;
    float* rings[2] = { leftRing.get(), rightRing.get() };
    const float loop = pieceRun.loopGain;
    const float* loops = pieceRun.smoothing ? p.loopGain + start : nullptr;
    for (int c = 0; c < 2; ++c)
    {
        const float* r = reads[c];
        const float* input = inputs[c];

        // Ring writes, in spans up to the end of the ring; the guard takes
        // the samples at the ring's end again.
        float* ring = rings[c];
        int lastLoud = -1;
        for (int done = 0, w = writeIndex; done < count;)
        {
            const int n = std::min(count - done, maximum - w);
            float* stored = ring + w + kReadReach;
            const float* gains = loops != nullptr ? loops + done : nullptr;
            const int loud = useAvx2 ? plainWritesAvx2(input + done, r + done, gains, loop, n, stored)
                                      : plainWrites(input + done, r + done, gains, loop, n, stored);
            if (loud >= 0)
                lastLoud = done + loud;
            for (int i = std::max(0, maximum - kReadReach - w); i < n; ++i)
                writeRing(ring, maximum, w + i, stored[i]);
            done += n;
            w = 0;
        }
        quiet[c] = lastLoud >= 0 ? std::min(count - 1 - lastLoud, quietHorizon + 1)
                                 : (int) std::min((long long) quiet[c] + count, (long long) quietHorizon + 1);
    }
}

namespace
{
// The meters of both channels over n outputs side by side, each step as one
// channel takes it (max(out, m) in the vector is std::max(m, out), equal
// values and NaNs included). Eight outputs below what the meters decay to
// over them cannot raise them: then the steps are the decay alone.
void meterRun(const float* outL, const float* outR, int n, double meterDecay, double* meters)
{
    const __m128d decay = _mm_set1_pd(meterDecay + kDenormalGuard);
    const __m128d below = _mm_set1_pd(eightDecaysBelow(meterDecay + kDenormalGuard));
    const __m128d smallest = _mm_set1_pd((double) FLT_MIN);
    __m128d meter = _mm_set_pd(meters[1], meters[0]);
    int i = 0;
    for (; i + 8 <= n; i += 8)
    {
        const __m128d bound = _mm_mul_pd(meter, below);
        const __m128 bounds = _mm_cvtpd_ps(bound);
        const __m128 boundL = _mm_shuffle_ps(bounds, bounds, 0x00);
        const __m128 boundR = _mm_shuffle_ps(bounds, bounds, 0x55);
        const __m128 under = _mm_and_ps(_mm_and_ps(_mm_cmplt_ps(_mm_loadu_ps(outL + i), boundL),
                                                   _mm_cmplt_ps(_mm_loadu_ps(outL + i + 4), boundL)),
                                        _mm_and_ps(_mm_cmplt_ps(_mm_loadu_ps(outR + i), boundR),
                                                   _mm_cmplt_ps(_mm_loadu_ps(outR + i + 4), boundR)));
        if (_mm_movemask_ps(under) == 0xf && _mm_movemask_pd(_mm_cmpge_pd(bound, smallest)) == 0x3)
        {
            for (int k = 0; k < 8; ++k)
                meter = _mm_mul_pd(meter, decay);
        }
        else
        {
            for (int k = i; k < i + 8; ++k)
                meter = _mm_max_pd(_mm_cvtps_pd(_mm_setr_ps(outL[k], outR[k], 0.0f, 0.0f)),
                                   _mm_mul_pd(meter, decay));
        }
    }
    for (; i < n; ++i)
        meter = _mm_max_pd(_mm_cvtps_pd(_mm_setr_ps(outL[i], outR[i], 0.0f, 0.0f)), _mm_mul_pd(meter, decay));
    _mm_storel_pd(meters, meter);
    _mm_storeh_pd(meters + 1, meter);
}

// Mid/side decoding of n outputs in place.
void decodeMidSide(float* left, float* right, int n)
{
    for (int i = 0; i < n; ++i)
    {
        const float decodedL = right[i] + left[i];
        const float decodedR = left[i] - right[i];
        left[i] = decodedL;
        right[i] = decodedR;
    }
}
} // namespace

void DelayCore::tremoloRun(int start, int end, int o, const float* const* reads, float (*outs)[kPiece]) const
{
    const Piece& p = *piece;
    const int maximum = maxLength;
    const int count = end - start;
    const float* ringO = offsetRing.get();
    // The other output than the offset ring's comes from it |o| samples
    // later: from the ring where that is before the run (taken before the
    // run's writes, which may reach it where |o| is nearly the ring), from
    // the run's own reads after. An offset of the whole ring reads what the
    // same sample writes.
    const int fromChannel = o < 0 ? 1 : 0;
    const int distance = std::abs(o) >= maximum ? 0 : std::abs(o);
    for (int c = 0; c < 2; ++c)
    {
        const float* tremolo = p.tremolo[c] + start;
        const float* depths = pieceRun.smoothing ? p.tremoloDepth + start : nullptr;
        const float depth = pieceRun.tremoloDepth;
        float* x = outs[c];
        auto tremoloOf = [&](const float* from, int first, int n) {
            if (depths != nullptr)
                for (int i = first; i < first + n; ++i)
                    x[i] = from[i - first] * (tremolo[i] * depths[i] + (1.0f - depths[i]));
            else
                for (int i = first; i < first + n; ++i)
                    x[i] = from[i - first] * (tremolo[i] * depth + (1.0f - depth));
        };
        if (c != fromChannel)
            tremoloOf(reads[c], 0, count);
        else
        {
            const int before = std::min(distance, count);
            for (int done = 0, from = wrapBack(writeIndex, distance, maximum); done < before;)
            {
                const int n = std::min(before - done, maximum - from);
                tremoloOf(ringO + from, done, n);
                done += n;
                from = 0;
            }
            tremoloOf(reads[fromChannel], before, count - before);
        }
    }
}

void DelayCore::keepOffsetReads(int count, const float* reads)
{
    const int maximum = maxLength;
    float* ringO = offsetRing.get();
    for (int done = 0, w = writeIndex; done < count;)
    {
        const int n = std::min(count - done, maximum - w);
        for (int i = 0; i < n; ++i)
            ringO[w + i] = reads[done + i];
        done += n;
        w = 0;
    }
}

void DelayCore::levelRun(int start, int end, const float (*outs)[kPiece]) const
{
    const Piece& p = *piece;
    const int count = end - start;
    for (int c = 0; c < 2; ++c)
    {
        float* out = pieceRun.outputs[c] + start;
        if (pieceRun.smoothing)
        {
            const float* balances = p.balance + start;
            const float* levels = p.level + start;
            for (int i = 0; i < count; ++i)
            {
                const float g = c == 0 ? std::min(2.0f - balances[i], 1.0f) : std::min(balances[i], 1.0f);
                out[i] = g * outs[c][i] * levels[i];
            }
        }
        else
        {
            const float b = pieceRun.balance;
            const float lev = pieceRun.level;
            const float g = c == 0 ? std::min(2.0f - b, 1.0f) : std::min(b, 1.0f);
            for (int i = 0; i < count; ++i)
                out[i] = g * outs[c][i] * lev;
        }
    }
}

void DelayCore::finishOutputs(int start, int end, int o, const float* const* reads, RunState& state)
{
    const int count = end - start;
    const int quietHorizon = maxLength + kReadReach;
    // The offset ring takes the read of one channel; the tremolo takes the
    // other channel's reads and this one's from the offset ring.
    float outs[2][kPiece];
    tremoloRun(start, end, o, reads, outs);
    keepOffsetReads(count, reads[o < 0 ? 1 : 0]);
    if (midSide)
        decodeMidSide(outs[0], outs[1], count);
    levelRun(start, end, outs);
    meterRun(pieceRun.outputs[0] + start, pieceRun.outputs[1] + start, count, meterDecay, state.meter);
    for (int c = 0; c < 2; ++c)
    {
        // A channel rests once its output has decayed and its ring is quiet:
        // not within the run for an active one, for good for an inactive one.
        if (state.meter[c] < kInactiveBelow && state.quiet[c] > quietHorizon)
            state.active[c] = false;
    }
}

void DelayCore::applyStereoModes(float& left, float& right) const
{
    if (monoInput)
        left = right = (left + right) * 0.5f;
    if (midSide)
    {
        const float mid = (left + right) * 0.5f;
        const float side = (left - right) * 0.5f;
        left = mid;
        right = side;
    }
    if (swapChannels)
        std::swap(left, right);
}

namespace
{
// The tremolo smoothing of N lines over a piece: both channels of a line side
// by side, the lines' recurrences interleaved, two samples of each line at a
// time; each step as one channel takes it alone.
template <int N>
void smoothTremoloLanes(const float* const* modL, const float* const* modR, float* const* outL, float* const* outR,
                        double* const* states, const double* smoothings, int numSamples)
{
    __m128d tremolo[N], smoothing[N];
    for (int k = 0; k < N; ++k)
    {
        tremolo[k] = _mm_loadu_pd(states[k]);
        smoothing[k] = _mm_set1_pd(smoothings[k]);
    }
    int i = 0;
    for (; i + 2 <= numSamples; i += 2)
        for (int k = 0; k < N; ++k)
        {
            const __m128 l = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(modL[k] + i));
            const __m128 r = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(modR[k] + i));
            const __m128 lr = _mm_unpacklo_ps(l, r);   // l0 r0 l1 r1
            const __m128d target0 = _mm_cvtps_pd(lr);
            const __m128d target1 = _mm_cvtps_pd(_mm_movehl_ps(lr, lr));
            tremolo[k] = _mm_sub_pd(tremolo[k], _mm_mul_pd(smoothing[k], _mm_sub_pd(tremolo[k], target0)));
            const __m128 narrow0 = _mm_cvtpd_ps(tremolo[k]);
            tremolo[k] = _mm_sub_pd(tremolo[k], _mm_mul_pd(smoothing[k], _mm_sub_pd(tremolo[k], target1)));
            const __m128 narrow1 = _mm_cvtpd_ps(tremolo[k]);
            const __m128 both = _mm_movelh_ps(narrow0, narrow1);   // l0 r0 l1 r1
            const __m128 split = _mm_shuffle_ps(both, both, _MM_SHUFFLE(3, 1, 2, 0));   // l0 l1 r0 r1
            _mm_storel_pi(reinterpret_cast<__m64*>(outL[k] + i), split);
            _mm_storeh_pi(reinterpret_cast<__m64*>(outR[k] + i), split);
        }
    for (; i < numSamples; ++i)
        for (int k = 0; k < N; ++k)
        {
            const __m128d target = _mm_cvtps_pd(_mm_setr_ps(modL[k][i], modR[k][i], 0.0f, 0.0f));
            tremolo[k] = _mm_sub_pd(tremolo[k], _mm_mul_pd(smoothing[k], _mm_sub_pd(tremolo[k], target)));
            const __m128 narrow = _mm_cvtpd_ps(tremolo[k]);
            _mm_store_ss(outL[k] + i, narrow);
            _mm_store_ss(outR[k] + i, _mm_shuffle_ps(narrow, narrow, _MM_SHUFFLE(1, 1, 1, 1)));
        }
    for (int k = 0; k < N; ++k)
        _mm_storeu_pd(states[k], tremolo[k]);
}
} // namespace

void DelayCore::smoothTremolos(DelayCore* const* cores, int count, int numSamples)
{
    constexpr int kGroup = 4;
    const float* modL[kGroup];
    const float* modR[kGroup];
    float* outL[kGroup];
    float* outR[kGroup];
    double* states[kGroup];
    double smoothings[kGroup];
    int n = 0;
    auto flush = [&]() {
        switch (n)
        {
            case 1: smoothTremoloLanes<1>(modL, modR, outL, outR, states, smoothings, numSamples); break;
            case 2: smoothTremoloLanes<2>(modL, modR, outL, outR, states, smoothings, numSamples); break;
            case 3: smoothTremoloLanes<3>(modL, modR, outL, outR, states, smoothings, numSamples); break;
            case 4: smoothTremoloLanes<4>(modL, modR, outL, outR, states, smoothings, numSamples); break;
            default: break;
        }
        n = 0;
    };
    for (int k = 0; k < count; ++k)
    {
        DelayCore& core = *cores[k];
        if (! core.pieceRun.tremoloPending)
            continue;
        core.pieceRun.tremoloPending = false;
        Piece& p = *core.piece;
        modL[n] = p.modulation[0];
        modR[n] = p.modulation[1];
        outL[n] = p.tremolo[0];
        outR[n] = p.tremolo[1];
        states[n] = core.tremoloState;
        smoothings[n] = core.tremoloSmoothing;
        if (++n == kGroup)
            flush();
    }
    flush();
}

namespace
{
// A delay plus the read trim, within the ring (NaN read as 0).
SIMD_ALWAYS_INLINE inline double clampedDelay(double delay, double trim, double longest)
{
    double d = std::clamp(delay + trim, 0.0, longest);
    if (! (d >= 0.0))
        d = 0.0;
    return d;
}

// cleanModulation four at a time: min(m, 1) where m >= 0, else 0 (NaN
// included).
void cleanModulationRun(const float* from, float* mod, int numSamples)
{
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    int i = 0;
    for (; i + 4 <= numSamples; i += 4)
    {
        const __m128 m = _mm_loadu_ps(from + i);
        _mm_storeu_ps(mod + i, _mm_and_ps(_mm_cmpge_ps(m, zero), _mm_min_ps(m, one)));
    }
    for (; i < numSamples; ++i)
        mod[i] = cleanModulation(from, i);
}

// cleanInput four at a time, both channels: finite values clamped to the
// limit, anything else 0.
void cleanInputRun(const float* inLeft, const float* inRight, float* l, float* r, int numSamples)
{
    int i = 0;
    for (; i + 4 <= numSamples; i += 4)
    {
        _mm_storeu_ps(l + i, DspCommon::cleanInputLanes(_mm_loadu_ps(inLeft + i)));
        _mm_storeu_ps(r + i, DspCommon::cleanInputLanes(_mm_loadu_ps(inRight + i)));
    }
    for (; i < numSamples; ++i)
    {
        l[i] = cleanInput(inLeft[i]);
        r[i] = cleanInput(inRight[i]);
    }
}
} // namespace

void DelayCore::prepareResting(const float* inLeft, const float* inRight, const float* modL, const float* modR,
                               int numSamples, bool& inputL, bool& inputR)
{
    Piece& p = *piece;
    const double longestDelay = (double) (maxLength - 1);
    const double Ll = smoother4.state[0];
    const double Lr = smoother4.state[1];
    const double m = smoother4.state[2];
    const float* mods[2] = { modL, modR };
    const double lengths[2] = { Ll, Lr };

    for (int c = 0; c < 2; ++c)
    {
        float* mod = p.modulation[c];
        if (mods[c] == nullptr)
            std::fill(mod, mod + numSamples, 0.0f);
        else
            cleanModulationRun(mods[c], mod, numSamples);

        // The modulated delay, d = L - m ml L. A depth too small to move the
        // delay by any modulation (the extremes give the same delay, and it
        // falls with the modulation) leaves it at its length.
        const double L = lengths[c];
        double* delay = p.delay[c];
        double unclamped = L;
        if (L - m * 0.0f * L == L - m * 1.0f * L)
        {
            std::fill(delay, delay + numSamples, clampedDelay(L, readTrim, longestDelay));
            unclamped = L - m * 0.0f * L;
        }
        else
        {
            for (int i = 0; i < numSamples; ++i)
                delay[i] = clampedDelay(L - m * mod[i] * L, readTrim, longestDelay);
            unclamped = L - m * mod[numSamples - 1] * L;
        }
        delayStage1[c] = delayStage2[c] = unclamped;
    }

    // The tremolo smoothing waits for smoothTremolos, which takes the
    // channels of several lines together.
    pieceRun.tremoloPending = true;

    // Input and its stereo modes.
    float* l = p.input[0];
    float* r = p.input[1];
    cleanInputRun(inLeft, inRight, l, r, numSamples);
    if (monoInput || midSide || swapChannels)
        for (int i = 0; i < numSamples; ++i)
        {
            float a = l[i], b = r[i];
            applyStereoModes(a, b);
            l[i] = a;
            r[i] = b;
        }
    for (int i = 0; i < numSamples && ! (inputL && inputR); ++i)
    {
        inputL = inputL || l[i] != 0.0f;
        inputR = inputR || r[i] != 0.0f;
    }
}

void DelayCore::processPiece(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                             int offsetInBlock, int numSamples)
{
    preparePiece(inLeft, inRight, offsetInBlock, numSamples);
    DelayCore* self = this;
    smoothTremolos(&self, 1, numSamples);
    if (pieceRun.section)
        inputSection.run(piece->section[0], piece->section[1], numSamples);
    finishPiece(outLeft, outRight, numSamples);
}

SIMD_ALWAYS_INLINE inline DelayCore::Smoothed DelayCore::smoothedNow() const
{
    const int longestOffset = maxLength - 1;
    Smoothed now;
    now.loopGain = (float) smoother1.state[3];
    now.offset = std::clamp((int) smoother1.state[0], -longestOffset, longestOffset);
    now.level = (float) smoother2.state[0];
    now.balance = (float) smoother4.state[3];
    now.preamp = (float) smoother3.state[0];
    now.colour = (float) smoother3.state[1];
    now.overdriveGain = (float) smoother3.state[2];
    now.tremoloDepth = (float) smoother3.state[3];
    return now;
}

SIMD_ALWAYS_INLINE inline void DelayCore::storeSmoothed(int i)
{
    Piece& p = *piece;
    const Smoothed now = smoothedNow();
    p.loopGain[i] = now.loopGain;
    p.offset[i] = now.offset;
    p.level[i] = now.level;
    p.balance[i] = now.balance;
    p.preamp[i] = now.preamp;
    p.colour[i] = now.colour;
    p.overdriveGain[i] = now.overdriveGain;
    p.tremoloDepth[i] = now.tremoloDepth;
}

SIMD_ALWAYS_INLINE inline void DelayCore::stepSmoothers(int i, const SmootherMotion& motion)
{
    if (motion.moving1)
        smoother1.step();
    if (motion.moving2)
        smoother2.step();
    if (motion.moving3)
        smoother3.step();
    if (resetSmoothers)
    {
        smoother1.state[1] = smoother1.target[1];
        smoother1.state[2] = smoother1.target[2];
    }
    if (motion.moving4)
    {
        setSecondStageTargets();
        smoother4.step();
    }
    if (resetSmoothers)
    {
        // After a reset the delay starts at its new length: the jump comes
        // before the delays are computed from the smoothed lengths.
        smoother4.state[0] = smoother4.target[0];
        smoother4.state[1] = smoother4.target[1];
        smoother4.state[2] = smoother4.target[2];
    }
    storeSmoothed(i);
}

DelayCore::SmootherMotion DelayCore::smootherMotion() const
{
    SmootherMotion motion;
    motion.moving1 = resetSmoothers || ! smoother1.isAtRest();
    motion.moving2 = resetSmoothers || ! smoother2.isAtRest();
    motion.moving3 = resetSmoothers || ! smoother3.isAtRest();
    motion.moving4 = motion.moving1 || motion.moving2 || ! smoother4.isAtRest();
    motion.any = motion.moving1 || motion.moving2 || motion.moving3 || motion.moving4;
    return motion;
}

bool DelayCore::delaysAtRest() const
{
    return ! timeModScale && ! smoothModulatedDelay && ! resetSmoothers && smoother1.isAtRest(1)
           && smoother1.isAtRest(2) && smoother2.isAtRest(1) && smoother4.isAtRest(0) && smoother4.isAtRest(1)
           && smoother4.isAtRest(2);
}

SIMD_ALWAYS_INLINE inline void DelayCore::modulatedDelays(float ml, float mr, double& dl, double& dr) const
{
    const double Ll = smoother4.state[0];
    const double Lr = smoother4.state[1];
    const double m = smoother4.state[2];
    dl = Ll;
    dr = Lr;
    if (timeModScale)
    {
        const double x = kScaleModeFactor * Ll / context.rate;
        if (x != 0.0)
        {
            const double ul = m * ml * x;
            const double ur = m * mr * x;
            dl = Ll - ((x + 1.0) * ul) / ((ul + 1.0) * x) * Ll;
            dr = Lr - ((x + 1.0) * ur) / ((ur + 1.0) * x) * Lr;
        }
    }
    else
    {
        dl = Ll - m * ml * Ll;
        dr = Lr - m * mr * Lr;
    }
}

SIMD_ALWAYS_INLINE inline void DelayCore::glideDelays(double& dl, double& dr)
{
    if (smoothModulatedDelay && ! resetSmoothers)
    {
        delayStage1[0] = glide(delayStage1[0], dl, delaySmoothing);
        delayStage2[0] = glide(delayStage2[0], delayStage1[0], delaySmoothing);
        delayStage1[1] = glide(delayStage1[1], dr, delaySmoothing);
        delayStage2[1] = glide(delayStage2[1], delayStage1[1], delaySmoothing);
        dl = delayStage2[0];
        dr = delayStage2[1];
    }
    else
    {
        delayStage1[0] = delayStage2[0] = dl;
        delayStage1[1] = delayStage2[1] = dr;
    }
    resetSmoothers = false;
}

void DelayCore::prepareGliding(const float* inLeft, const float* inRight, const float* modL, const float* modR,
                               int numSamples, const SmootherMotion& motion)
{
    Piece& p = *piece;
    const double longestDelay = (double) (maxLength - 1);
    double tremoloL = tremoloState[0], tremoloR = tremoloState[1];
    bool inputL = false, inputR = false;
    for (int i = 0; i < numSamples; ++i)
    {
        if (motion.any)
            stepSmoothers(i, motion);

        const float ml = cleanModulation(modL, i);
        const float mr = cleanModulation(modR, i);
        p.modulation[0][i] = ml;
        p.modulation[1][i] = mr;

        double dl = 0.0, dr = 0.0;
        modulatedDelays(ml, mr, dl, dr);
        glideDelays(dl, dr);
        p.delay[0][i] = clampedDelay(dl, readTrim, longestDelay);
        p.delay[1][i] = clampedDelay(dr, readTrim, longestDelay);

        tremoloL = tremoloL - tremoloSmoothing * (tremoloL - ml);
        tremoloR = tremoloR - tremoloSmoothing * (tremoloR - mr);
        p.tremolo[0][i] = (float) tremoloL;
        p.tremolo[1][i] = (float) tremoloR;

        // Input and its stereo modes.
        float l = cleanInput(inLeft[i]);
        float r = cleanInput(inRight[i]);
        applyStereoModes(l, r);
        p.input[0][i] = l;
        p.input[1][i] = r;
        inputL = inputL || l != 0.0f;
        inputR = inputR || r != 0.0f;
    }
    tremoloState[0] = tremoloL;
    tremoloState[1] = tremoloR;
    pieceRun.inputL = inputL;
    pieceRun.inputR = inputR;
}

void DelayCore::followFreeze(int offsetInBlock)
{
    if (freeze == frozenLoop.isFrozen())
        return;
    const bool wasHolding = frozenLoop.isActive();
    const double gainBefore = frozenLoop.gainBefore(smoother1.state[3]);
    smoother1.state[3] = smoother1.target[3];
    FrozenLoop::Measure held;
    if (freeze)
    {
        // Pressed again while it still fades back, the loop goes on as it was.
        if (! wasHolding)
        {
            frozenFilter.memories = loopFilter.memories;
            frozenFilter.modulation[0] = cleanModulation(modulationLeft, offsetInBlock);
            frozenFilter.modulation[1] = cleanModulation(modulationRight, offsetInBlock);
        }
        int distances[2];
        for (int c = 0; c < 2; ++c)
            distances[c] = wasHolding ? frozenLoop.distance(c) : frozenDistance(c);
        held = heldMeasure(distances[0], distances[1]);
    }
    frozenLoop.setFrozen(freeze, gainBefore, held);
}

void DelayCore::keepRestingSettings()
{
    const Smoothed now = smoothedNow();
    pieceRun.loopGain = now.loopGain;
    pieceRun.offset = now.offset;
    pieceRun.level = now.level;
    pieceRun.balance = now.balance;
    pieceRun.tremoloDepth = now.tremoloDepth;
}

void DelayCore::prepareSection(int numSamples)
{
    Piece& p = *piece;
    LineInputSection& s = inputSection;
    s.filterOn = filterType != DelayParameters::kFilterOff;
    s.filterAfter = filterPlacement == DelayParameters::kFilterAfterOverdrive;
    s.driveOn = overdriveOn;
    s.steadyDrive = ! pieceRun.smoothing;
    if (s.filterOn)
        computeCutoffRows(numSamples);
    if (overdriveOn)
    {
        if (pieceRun.smoothing)
        {
            std::copy(p.preamp, p.preamp + numSamples, s.preamp);
            std::copy(p.overdriveGain, p.overdriveGain + numSamples, s.gain);
            std::copy(p.colour, p.colour + numSamples, s.colour);
        }
        else
        {
            // The settings while no smoother moves.
            const Smoothed now = smoothedNow();
            std::fill(s.preamp, s.preamp + numSamples, now.preamp);
            std::fill(s.gain, s.gain + numSamples, now.overdriveGain);
            std::fill(s.colour, s.colour + numSamples, now.colour);
        }
    }
    std::copy(p.input[0], p.input[0] + numSamples, p.section[0]);
    std::copy(p.input[1], p.input[1] + numSamples, p.section[1]);
}

void DelayCore::preparePiece(const float* inLeft, const float* inRight, int offsetInBlock, int numSamples)
{
    PieceRun& run = pieceRun;
    run.tremoloPending = false;

    // The settings stay put for the whole block. Smoothers that have arrived
    // would step onto the value they hold: they are left alone until a
    // setting moves them again.
    setSmootherTargets();
    setSecondStageTargets();
    followFreeze(offsetInBlock);
    const SmootherMotion motion = smootherMotion();
    run.smoothing = motion.any;

    // What follows from the settings and the modulation alone. While the
    // lengths and the time-modulation depth rest (and their sources do),
    // the delays follow from the modulation alone, however the other
    // settings glide: the smoothers then step by themselves.
    const float* modL = modulationLeft != nullptr ? modulationLeft + offsetInBlock : nullptr;
    const float* modR = modulationRight != nullptr ? modulationRight + offsetInBlock : nullptr;
    if (delaysAtRest())
    {
        run.inputL = false;
        run.inputR = false;
        prepareResting(inLeft, inRight, modL, modR, numSamples, run.inputL, run.inputR);
        // (Delays at rest never follow a reset.)
        if (run.smoothing)
            for (int i = 0; i < numSamples; ++i)
                stepSmoothers(i, motion);
    }
    else
        prepareGliding(inLeft, inRight, modL, modR, numSamples, motion);
    keepRestingSettings();

    // Without filters, overdrive or mid/side, and with every setting at
    // rest, what the rings take and the lines give has no recursion of its
    // own: whole runs go at once (see runPlain).
    // Filters and overdrive only ever run on an active channel: a piece of
    // silence into a resting line goes the plain way too.
    // Frozen (or fading back from it), what the line feeds back is read as
    // FrozenLoop says; it plays the band-limited read as ever. The loop filter
    // then runs on both, the feedback with memories of its own and at the
    // cut-off it had when freeze came on.
    run.holding = frozenLoop.isActive();
    if (run.holding && loopFiltered())
        frozenFilterRow();
    const bool idle = ! leftActive && ! rightActive && ! run.inputL && ! run.inputR;
    run.plain = ! run.holding && ((filterType == DelayParameters::kFilterOff && ! overdriveOn) || idle);

    // The input section works on the line's input alone: it runs over the
    // whole piece ahead of the loop, whenever a channel may be active in the
    // piece (the loop takes its output only while one is).
    run.section = (filterType != DelayParameters::kFilterOff || overdriveOn) && ! idle;
    if (run.section)
        prepareSection(numSamples);
}

namespace
{
// The shortest and longest delay of both channels over n samples, side by
// side in several lanes (the delays are never NaN, so the order of the
// comparisons does not matter).
void delayExtremes(const double* left, const double* right, int n, double& shortest, double& longest)
{
    shortest = left[0];
    longest = left[0];
    __m128d low[2] = { _mm_set1_pd(shortest), _mm_set1_pd(shortest) };
    __m128d high[2] = { low[0], low[0] };
    const double* delays[2] = { left, right };
    for (int c = 0; c < 2; ++c)
    {
        const double* d = delays[c];
        int i = 0;
        for (; i + 4 <= n; i += 4)
            for (int h = 0; h < 2; ++h)
            {
                const __m128d x = _mm_loadu_pd(d + i + 2 * h);
                low[h] = _mm_min_pd(low[h], x);
                high[h] = _mm_max_pd(high[h], x);
            }
        for (; i < n; ++i)
        {
            shortest = std::min(shortest, d[i]);
            longest = std::max(longest, d[i]);
        }
    }
    alignas(16) double lows[4], highs[4];
    _mm_store_pd(lows, low[0]);
    _mm_store_pd(lows + 2, low[1]);
    _mm_store_pd(highs, high[0]);
    _mm_store_pd(highs + 2, high[1]);
    for (int k = 0; k < 4; ++k)
    {
        shortest = std::min(shortest, lows[k]);
        longest = std::max(longest, highs[k]);
    }
}
} // namespace

int DelayCore::runEnd(int start, int numSamples, double shortest, double longest) const
{
    const Piece& p = *piece;
    const double maximum = (double) maxLength;
    // Where the shortest delay spans the piece and the longest leaves the
    // guard alone, the piece is one run.
    if (shortest >= (double) (numSamples - 1) && longest + (double) kReadReach + 1.0 < maximum)
        return numSamples;
    int end = start + 1;
    while (end < numSamples)
    {
        const double distance = (double) (end - start);
        const double dl = p.delay[0][end], dr = p.delay[1][end];
        if (dl < distance || dr < distance || dl + (double) kReadReach + 1.0 >= maximum
            || dr + (double) kReadReach + 1.0 >= maximum)
            break;
        ++end;
    }
    return end;
}

bool DelayCore::holdsThrough(int start, int end, const RunState& state, int& offset) const
{
    const Piece& p = *piece;
    const int count = end - start;
    const int quietHorizon = maxLength + kReadReach;
    offset = pieceRun.smoothing ? p.offset[start] : pieceRun.offset;
    if (pieceRun.smoothing)
        for (int i = start + 1; i < end; ++i)
            if (p.offset[i] != offset)
                return false;

    // An active channel cannot rest before its ring has been quiet for a
    // horizon, an inactive one wakes only at input.
    for (int c = 0; c < 2; ++c)
    {
        if (state.active[c])
        {
            if ((long long) state.quiet[c] + count > quietHorizon)
                return false;
        }
        else
        {
            for (int i = start; i < end; ++i)
                if (p.input[c][i] != 0.0f)
                    return false;
        }
    }
    return true;
}

void DelayCore::filterRun(int start, int end)
{
    Piece& p = *piece;
    Biquad::Memories& m = loopFilter.memories;
    __m128d x1 = _mm_loadu_pd(m.x1), x2 = _mm_loadu_pd(m.x2);
    __m128d y1 = _mm_loadu_pd(m.y1), y2 = _mm_loadu_pd(m.y2);
    float* readL = p.read[0];
    float* readR = p.read[1];
    for (int i = start; i < end; ++i)
    {
        // Biquad::processPair, each operation as there.
        const double(&row)[5][2] = inputSection.filter.values[i];
        const __m128d x = _mm_setr_pd((double) readL[i], (double) readR[i]);
        __m128d y = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(row[0]), x), _mm_mul_pd(_mm_loadu_pd(row[1]), x1));
        y = _mm_add_pd(y, _mm_mul_pd(_mm_loadu_pd(row[2]), x2));
        y = _mm_sub_pd(y, _mm_mul_pd(_mm_loadu_pd(row[3]), y1));
        y = _mm_sub_pd(y, _mm_mul_pd(_mm_loadu_pd(row[4]), y2));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        readL[i] = (float) _mm_cvtsd_f64(y);
        readR[i] = (float) _mm_cvtsd_f64(_mm_unpackhi_pd(y, y));
    }
    _mm_storeu_pd(m.x1, x1);
    _mm_storeu_pd(m.x2, x2);
    _mm_storeu_pd(m.y1, y1);
    _mm_storeu_pd(m.y2, y2);
}

void DelayCore::filterThenWrite(int start, int end, bool filtered, RunState& state)
{
    Piece& p = *piece;
    for (int c = 0; c < 2; ++c)
        if (! state.active[c])
            std::fill(p.read[c] + start, p.read[c] + end, 0.0f);
    if (filtered)
        filterRun(start, end);
    const bool fromSection = pieceRun.section && (state.active[0] || state.active[1]);
    const float* inputs[2] = { (fromSection ? p.section[0] : p.input[0]) + start,
                               (fromSection ? p.section[1] : p.input[1]) + start };
    const float* reads[2] = { p.read[0] + start, p.read[1] + start };
    writeRun(start, end, inputs, reads, state.quiet);
}

SIMD_ALWAYS_INLINE inline DelayCore::LoopSample DelayCore::takeSample(int i, int w, RunState& state)
{
    Piece& p = *piece;
    bool* active = state.active;
    LoopSample x;
    x.input[0] = p.input[0][i];
    x.input[1] = p.input[1][i];
    // Activity follows what goes into each ring, so mono, mid/side and swap
    // never leave a channel holding sound that it does not read.
    if (x.input[0] != 0.0f)
        active[0] = true;
    if (x.input[1] != 0.0f)
        active[1] = true;
    x.read[0] = active[0] ? (float) p.read[0][i] : 0.0f;
    x.read[1] = active[1] ? (float) p.read[1][i] : 0.0f;
    // What goes back into the rings: the reads, or while frozen the loop's own.
    x.loop[0] = x.read[0];
    x.loop[1] = x.read[1];
    if (pieceRun.holding)
    {
        const int maximum = maxLength;
        frozenLoop.advance();
        auto whole = [&](const float* ring, int c) {
            return (double) ring[wrapBack(w, frozenLoop.distance(c), maximum) + kReadReach];
        };
        x.loop[0] = active[0] ? (float) frozenLoop.read(p.read[0][i], whole(leftRing.get(), 0)) : 0.0f;
        x.loop[1] = active[1] ? (float) frozenLoop.read(p.read[1][i], whole(rightRing.get(), 1)) : 0.0f;
    }

    // The input after the input section (run ahead over the piece).
    if (pieceRun.section && (active[0] || active[1]))
    {
        x.input[0] = p.section[0][i];
        x.input[1] = p.section[1][i];
    }
    return x;
}

SIMD_ALWAYS_INLINE inline void DelayCore::filterSample(int i, const RunState& state, LoopSample& x)
{
    const bool activeL = state.active[0], activeR = state.active[1];
    auto filter = [&](const double(&row)[5][2], float& left, float& right) {
        if (activeL && activeR)
            loopFilter.processPair(row, left, right);
        else if (activeL)
            left = loopFilter.process(row, 0, left);
        else if (activeR)
            right = loopFilter.process(row, 1, right);
    };
    filter(inputSection.filter.values[i], x.read[0], x.read[1]);
    if (pieceRun.holding)
    {
        std::swap(loopFilter.memories, frozenFilter.memories);
        filter(frozenFilter.row, x.loop[0], x.loop[1]);
        std::swap(loopFilter.memories, frozenFilter.memories);
    }
    else
    {
        x.loop[0] = x.read[0];
        x.loop[1] = x.read[1];
    }
}

SIMD_ALWAYS_INLINE inline void DelayCore::writeSample(int i, int w, RunState& state, const LoopSample& x)
{
    const int maximum = maxLength;
    const int quietHorizon = maximum + kReadReach;
    const bool holding = pieceRun.holding;
    // Ring write, three copies so the read never wraps.
    const float loop = pieceRun.smoothing ? piece->loopGain[i] : pieceRun.loopGain;
    const double feedback = holding ? frozenLoop.gain((double) loop) : (double) loop;
    const double writeL = limitRing((double) x.input[0] + feedback * x.loop[0]);
    const double writeR = limitRing((double) x.input[1] + feedback * x.loop[1]);
    if (holding && frozenLoop.isFrozen())
        trackFrozen(w, (float) writeL, (float) writeR, x.input[0], x.input[1]);
    writeRing(leftRing.get(), maximum, w, (float) writeL);
    writeRing(rightRing.get(), maximum, w, (float) writeR);
    int* quiet = state.quiet;
    quiet[0] = std::abs(writeL) > kSilentWrite ? 0 : std::min(quiet[0] + 1, quietHorizon + 1);
    quiet[1] = std::abs(writeR) > kSilentWrite ? 0 : std::min(quiet[1] + 1, quietHorizon + 1);
}

SIMD_ALWAYS_INLINE inline void DelayCore::playSample(int i, int w, RunState& state, const LoopSample& x)
{
    const Piece& p = *piece;
    const PieceRun& run = pieceRun;
    const int maximum = maxLength;
    float* ringO = offsetRing.get();
    const float readL = x.read[0], readR = x.read[1];

    // Stereo offset: one output is delayed by |o| more samples than the other.
    const int o = run.smoothing ? p.offset[i] : run.offset;
    float outL, outR;
    if (o < 0)
    {
        ringO[w] = readR;
        outL = readL;
        outR = (float) ringO[wrapBack(w, -o, maximum)];
    }
    else
    {
        ringO[w] = readL;
        outL = (float) ringO[wrapBack(w, o, maximum)];
        outR = readR;
    }

    // Tremolo.
    const float depth = run.smoothing ? p.tremoloDepth[i] : run.tremoloDepth;
    outL = outL * (p.tremolo[0][i] * depth + (1.0f - depth));
    outR = outR * (p.tremolo[1][i] * depth + (1.0f - depth));

    if (midSide)
    {
        const float decodedL = outR + outL;
        const float decodedR = outL - outR;
        outL = decodedL;
        outR = decodedR;
    }

    const float b = run.smoothing ? p.balance[i] : run.balance;
    const float lev = run.smoothing ? p.level[i] : run.level;
    outL = std::min(2.0f - b, 1.0f) * outL * lev;
    outR = std::min(b, 1.0f) * outR * lev;
    run.outputs[0][i] = outL;
    run.outputs[1][i] = outR;

    double* meter = state.meter;
    meter[0] = std::max(meter[0] * (meterDecay + kDenormalGuard), (double) outL);
    meter[1] = std::max(meter[1] * (meterDecay + kDenormalGuard), (double) outR);
    // A channel rests once its output has decayed and nothing it still has
    // to play is left in its ring (an echo after silence is not lost).
    const int quietHorizon = maximum + kReadReach;
    if (meter[0] < kInactiveBelow && state.quiet[0] > quietHorizon)
        state.active[0] = false;
    if (meter[1] < kInactiveBelow && state.quiet[1] > quietHorizon)
        state.active[1] = false;
}

template <bool deferred>
SIMD_ALWAYS_INLINE inline void DelayCore::loopSamples(int from, int to, RunState& state)
{
    Piece& p = *piece;
    const int maximum = maxLength;
    const bool filtered = loopFiltered();
    for (int i = from, w = writeIndex; i < to; ++i)
    {
        LoopSample x = takeSample(i, w, state);
        if (filtered)
            filterSample(i, state, x);
        writeSample(i, w, state, x);
        if constexpr (deferred)
        {
            p.read[0][i] = x.read[0];
            p.read[1][i] = x.read[1];
        }
        else
            playSample(i, w, state, x);
        if (++w >= maximum)
            w = 0;
    }
}

void DelayCore::finishRun(int start, int end, RunState& state)
{
    int offset = 0;
    const bool steady = holdsThrough(start, end, state, offset);
    if (steady && pieceRun.plain)
        runPlain(start, end, offset, state);
    else
    {
        // Where the run is steady, only the loop filter and the ring writes
        // go sample by sample; what they play goes into the piece's reads,
        // and the rest follows over the run (finishOutputs).
        const bool filtered = loopFiltered();
        if (steady && ! pieceRun.holding && ((state.active[0] && state.active[1]) || ! filtered))
            filterThenWrite(start, end, filtered, state);
        else if (steady)
            loopSamples<true>(start, end, state);
        else
            loopSamples<false>(start, end, state);
        if (steady)
        {
            const float* reads[2] = { piece->read[0] + start, piece->read[1] + start };
            finishOutputs(start, end, offset, reads, state);
        }
    }
    writeIndex = (writeIndex + (end - start)) % maxLength;
}

void DelayCore::finishPiece(float* outLeft, float* outRight, int numSamples)
{
    Piece& p = *piece;
    // The loop filter's coefficients, in the rows the input section is done with.
    if (pieceRun.section && loopFiltered())
        loopFilter.coefficientRows(p.loopEntries, numSamples, inputSection.filter.values);
    pieceRun.outputs[0] = outLeft;
    pieceRun.outputs[1] = outRight;

    // A read reaches back at least its delay: the samples a piece writes are
    // only read within it from the sample whose delay is shorter than its
    // distance from the piece's start. So the piece goes in runs in which
    // every read is of samples written before the run; each run reads first,
    // then writes. A read that reaches back nearly a whole ring (where the
    // three copies meet) starts a run of its own.
    double shortest = 0.0, longest = 0.0;
    delayExtremes(p.delay[0], p.delay[1], numSamples, shortest, longest);
    RunState state = { { leftActive, rightActive }, { leftQuietWrites, rightQuietWrites }, { leftMeter, rightMeter } };
    for (int start = 0; start < numSamples;)
    {
        const int end = runEnd(start, numSamples, shortest, longest);
        const bool mayReadL = state.active[0] || pieceRun.inputL;
        const bool mayReadR = state.active[1] || pieceRun.inputR;
        if (mayReadL || mayReadR)
            readPiece(start, end, mayReadL, mayReadR);
        finishRun(start, end, state);
        start = end;
    }

    leftActive = state.active[0];
    rightActive = state.active[1];
    leftQuietWrites = state.quiet[0];
    rightQuietWrites = state.quiet[1];
    previousLeftDelay = p.delay[0][numSamples - 1];
    previousRightDelay = p.delay[1][numSamples - 1];
    leftMeter = state.meter[0];
    rightMeter = state.meter[1];
    frozenLoop.elapse(numSamples);
}

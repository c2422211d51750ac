#include "processor/dsp/PreDelayCore.h"

#include "processor/dsp/DspCommon.h"
#include "processor/dsp/SimdLanes.h"

#include <algorithm>
#include <cmath>
#include <new>

using DspCommon::cleanInput;
using DspCommon::kDenormalGuard;

namespace
{
// The read is truncated to whole samples: a glide that stopped a hair short of
// a whole length would read one sample early, so it lands on the length. A
// glide that stands on its length stays there: towards 0 the denormal guard
// would otherwise push it just below 0 and let it cycle there for ever (the
// read is the same, but the block could never take the way of a glide at rest).
double glide(double smoothed, float length, double coefficient)
{
    const double target = length;
    if (smoothed == target)
        return target;
    return DspCommon::settleOnTarget(smoothed, smoothed - ((smoothed - target) * coefficient + kDenormalGuard),
                                     target);
}
} // namespace

PreDelayCore::PreDelayCore()
{
    prepare(1024, 2, 44100.0f);
}

PreDelayCore::~PreDelayCore() = default;

bool PreDelayCore::prepare(int /*blockSize*/, int maxSeconds, float sampleRate)
{
    double rate = 0.0;
    int newIntegerRate = 0, maximumLength = 0;
    if (! computeLimits(maxSeconds, sampleRate, rate, newIntegerRate, maximumLength))
        return false;

    const int newRingLength = maximumLength;
    // Rings of the size they already have are emptied where they are: a
    // host's suspend and resume (often on its audio thread) allocates nothing.
    if (leftRing != nullptr && rightRing != nullptr && newRingLength == ringLength)
    {
        clear();
    }
    else
    {
        std::unique_ptr<float[]> newLeft(new (std::nothrow) float[(size_t) newRingLength]());
        std::unique_ptr<float[]> newRight(new (std::nothrow) float[(size_t) newRingLength]());
        if (newLeft == nullptr || newRight == nullptr)
            return false;
        leftRing = std::move(newLeft);
        rightRing = std::move(newRight);
        ringLength = newRingLength;
    }

    applyPreparation(rate, newIntegerRate, maximumLength);
    updateLengths();
    writeIndex = 0;
    return true;
}

void PreDelayCore::sweepIn(float* ring, const float* input, int numSamples, float* output) const
{
    const int maximum = maxLength;
    for (int done = 0, w = writeIndex; done < numSamples;)
    {
        const int n = std::min(numSamples - done, maximum - w);
        int i = 0;
        for (; i + 4 <= n; i += 4)
        {
            const __m128 clean = DspCommon::cleanInputLanes(_mm_loadu_ps(input + done + i));
            _mm_storeu_ps(ring + w + i, clean);
            if (output != nullptr)
                _mm_storeu_ps(output + done + i, clean);
        }
        for (; i < n; ++i)
        {
            ring[w + i] = cleanInput(input[done + i]);
            if (output != nullptr)
                output[done + i] = ring[w + i];
        }
        done += n;
        w = 0;
    }
}

void PreDelayCore::sweepOut(const float* ring, float* output, int distance, int numSamples) const
{
    const int maximum = maxLength;
    for (int done = 0, from = writeIndex - distance < 0 ? writeIndex - distance + maximum : writeIndex - distance;
         done < numSamples;)
    {
        const int n = std::min(numSamples - done, maximum - from);
        std::copy(ring + from, ring + from + n, output + done);
        done += n;
        from = 0;
    }
}

void PreDelayCore::clear()
{
    if (leftRing == nullptr || rightRing == nullptr)
        return;
    std::fill(leftRing.get(), leftRing.get() + ringLength, 0.0f);
    std::fill(rightRing.get(), rightRing.get() + ringLength, 0.0f);
}

void PreDelayCore::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                           int numSamples)
{
    if (leftRing == nullptr || rightRing == nullptr || maxLength < 1)
    {
        std::fill(outLeft, outLeft + numSamples, 0.0f);
        std::fill(outRight, outRight + numSamples, 0.0f);
        return;
    }

    leftAverager.advance(numSamples);
    rightAverager.advance(numSamples);
    if (! sweepSteadyBlock(inLeft, inRight, outLeft, outRight, numSamples))
        processSamples(inLeft, inRight, outLeft, outRight, numSamples);
}

bool PreDelayCore::sweepSteadyBlock(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                                    int numSamples)
{
    // While the smoothed lengths keep to one whole distance for the whole
    // block (they have arrived, or glide within a sample), the block goes into
    // the rings and comes out of them at that distance, in two sweeps. A block
    // sweeps in ahead of its reads only where no write lands on a sample a
    // read of the block still wants (a distance no longer than the ring less
    // the block).
    const double c = context.k002F;   // the float factor, as every smoother takes it
    const int maximum = maxLength;
    const double longest = (double) (maximum - 1);
    const double sl = smoothedLeft, sr = smoothedRight;
    const int dl = (int) std::clamp(glide(sl, leftLength, c), 0.0, longest);
    const int dr = (int) std::clamp(glide(sr, rightLength, c), 0.0, longest);
    // The whole distances are compared as the values they come from: within
    // [d, d + 1) they truncate to d (d = 0 takes everything below 1).
    const double lowL = dl == 0 ? -INFINITY : (double) dl, highL = dl == (int) longest ? INFINITY : dl + 1.0;
    const double lowR = dr == 0 ? -INFINITY : (double) dr, highR = dr == (int) longest ? INFINITY : dr + 1.0;
    const GlideMemo glided = glideOfBlock(
        { { sl, sr, (double) leftLength, (double) rightLength, c, lowL, highL, lowR, highR }, numSamples });
    if (dl > maximum - numSamples || dr > maximum - numSamples || ! glided.inside)
        return false;

    // At distance 0 a sample comes out as it goes in: one sweep.
    sweepIn(leftRing.get(), inLeft, numSamples, dl == 0 ? outLeft : nullptr);
    sweepIn(rightRing.get(), inRight, numSamples, dr == 0 ? outRight : nullptr);
    if (dl != 0)
        sweepOut(leftRing.get(), outLeft, dl, numSamples);
    if (dr != 0)
        sweepOut(rightRing.get(), outRight, dr, numSamples);
    writeIndex = (writeIndex + numSamples) % maximum;
    smoothedLeft = glided.toLeft;
    smoothedRight = glided.toRight;
    return true;
}

PreDelayCore::GlideMemo PreDelayCore::glideOfBlock(const GlideMemo& key)
{
    // The glide's outcome depends on the lengths it starts from, its
    // targets, its factor and the distances it is held to alone: the
    // pre-delays of an engine, gliding alike (all at rest at the same
    // lengths), take the outcome of the first instead of waiting on
    // every step of their own.
    GlideMemo* memo = glideMemo;
    if (memo != nullptr && memo->sameStart(key))
        return *memo;
    GlideMemo glided = key;
    glideThrough(glided);
    if (memo != nullptr)
        *memo = glided;
    return glided;
}

void PreDelayCore::glideThrough(GlideMemo& g)
{
    // Both glides side by side, each step as glide() takes it, noting whether
    // every step keeps within the bounds of its whole distance.
    const GlideMemo::Start& start = g.start;
    const __m128d target = _mm_set_pd(start.targetRight, start.targetLeft);
    const __m128d factor = _mm_set1_pd(start.factor);
    const __m128d guard = _mm_set1_pd(kDenormalGuard);
    const __m128d low = _mm_set_pd(start.lowRight, start.lowLeft), high = _mm_set_pd(start.highRight, start.highLeft);
    __m128d smoothed = _mm_set_pd(start.right, start.left);
    __m128d inside = _mm_castsi128_pd(_mm_set1_epi32(-1));
    auto glideStep = [&](__m128d from) {
        const __m128d next = _mm_sub_pd(from, _mm_add_pd(_mm_mul_pd(_mm_sub_pd(from, target), factor), guard));
        const __m128d same = _mm_or_pd(_mm_cmpeq_pd(next, from), _mm_cmpeq_pd(from, target));
        return _mm_or_pd(_mm_and_pd(same, target), _mm_andnot_pd(same, next));
    };
    // A step depends on the state alone: a state that one step leaves bit for
    // bit as it is stays so for the whole block (the lengths at rest), and its
    // loop would only wait on its own results.
    const __m128d firstStep = glideStep(smoothed);
    const bool atRest =
        _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_castpd_si128(firstStep), _mm_castpd_si128(smoothed))) == 0xffff;
    if (atRest && g.numSamples > 0)
        inside = _mm_and_pd(_mm_cmpge_pd(smoothed, low), _mm_cmplt_pd(smoothed, high));
    else
        for (int i = 0; i < g.numSamples; ++i)
        {
            smoothed = glideStep(smoothed);
            inside = _mm_and_pd(inside, _mm_and_pd(_mm_cmpge_pd(smoothed, low), _mm_cmplt_pd(smoothed, high)));
        }
    g.toLeft = _mm_cvtsd_f64(smoothed);
    g.toRight = _mm_cvtsd_f64(_mm_unpackhi_pd(smoothed, smoothed));
    g.inside = _mm_movemask_pd(inside) == 3;
}

void PreDelayCore::processSamples(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                                  int numSamples)
{
    const double c = context.k002F;
    const int maximum = maxLength;
    const double longest = (double) (maximum - 1);
    float* left = leftRing.get();
    float* right = rightRing.get();
    for (int i = 0; i < numSamples; ++i)
    {
        smoothedLeft = glide(smoothedLeft, leftLength, c);
        smoothedRight = glide(smoothedRight, rightLength, c);

        const float l = cleanInput(inLeft[i]);
        const float r = cleanInput(inRight[i]);
        left[writeIndex] = l;
        right[writeIndex] = r;

        // A length beyond the ring (a free time above a short maximum) reads
        // the oldest sample the ring still holds.
        const int dl = (int) std::clamp(smoothedLeft, 0.0, longest);
        const int dr = (int) std::clamp(smoothedRight, 0.0, longest);
        outLeft[i] = left[writeIndex - dl < 0 ? writeIndex - dl + maximum : writeIndex - dl];
        outRight[i] = right[writeIndex - dr < 0 ? writeIndex - dr + maximum : writeIndex - dr];

        if (++writeIndex >= maximum)
            writeIndex = 0;
    }
}

bool PreDelayCore::readAhead(float* outLeft, float* outRight, int numSamples)
{
    const double c = context.k002F;
    const int maximum = maxLength;
    const double longest = (double) (maximum - 1);
    const float* left = leftRing.get();
    const float* right = rightRing.get();
    if (left == nullptr || right == nullptr || maximum < 1)
        return false;

    // The glide and the reads of process(), sample by sample, without the
    // writes: the same wherever every distance is longer than the samples
    // of the block before it (a read at distance d of sample i takes sample
    // i - d of the block). A glide step that leaves both lengths where they
    // are leaves them there for the whole block: one sweep at each distance.
    double sl = smoothedLeft, sr = smoothedRight;
    const bool atRest = glide(sl, leftLength, c) == sl && glide(sr, rightLength, c) == sr;
    if (atRest)
    {
        const int dl = (int) std::clamp(sl, 0.0, longest);
        const int dr = (int) std::clamp(sr, 0.0, longest);
        if (dl < numSamples || dr < numSamples)
            return false;
        sweepOut(left, outLeft, dl, numSamples);
        sweepOut(right, outRight, dr, numSamples);
        aheadLeft = sl;
        aheadRight = sr;
        return true;
    }
    int w = writeIndex;
    for (int i = 0; i < numSamples; ++i)
    {
        sl = glide(sl, leftLength, c);
        sr = glide(sr, rightLength, c);
        const int dl = (int) std::clamp(sl, 0.0, longest);
        const int dr = (int) std::clamp(sr, 0.0, longest);
        if (dl <= i || dr <= i)
            return false;
        outLeft[i] = left[w - dl < 0 ? w - dl + maximum : w - dl];
        outRight[i] = right[w - dr < 0 ? w - dr + maximum : w - dr];
        if (++w >= maximum)
            w = 0;
    }
    aheadLeft = sl;
    aheadRight = sr;
    return true;
}

void PreDelayCore::writeBehind(const float* inLeft, const float* inRight, int numSamples)
{
    leftAverager.advance(numSamples);
    rightAverager.advance(numSamples);
    sweepIn(leftRing.get(), inLeft, numSamples);
    sweepIn(rightRing.get(), inRight, numSamples);
    writeIndex = (writeIndex + numSamples) % maxLength;
    smoothedLeft = aheadLeft;
    smoothedRight = aheadRight;
}

#include "processor/dsp/TavinorDelayLine.h"

#include "processor/dsp/DelayParameters.h"

#include <climits>
#include <cmath>

namespace
{
constexpr double kDefaultTempo = 120.0;
constexpr float kDefaultFreeTime = 0.1f;
// A free time of one second is this many samples short of the rate, so that
// it always fits below a one-second maximum.
constexpr int kFreeLengthMargin = 32;
// Rings hold up to three copies of the maximum length and are indexed by int.
constexpr long long kLargestMaximumLength = INT_MAX / 4;
} // namespace

TavinorDelayLine::TavinorDelayLine()
{
    prepare(1024, 2, 44100.0f);
    setTempo(kDefaultTempo);
    setLeftFreeTime(kDefaultFreeTime);
    setRightFreeTime(kDefaultFreeTime);
    updateLengths();
}

TavinorDelayLine::~TavinorDelayLine() = default;

double TavinorDelayLine::multiplierForCode(int code, double current)
{
    if (code < 0 || code >= DelayParameters::kNumNoteLengths)
        return current;
    return DelayParameters::kRhythmicScales[code];
}

float TavinorDelayLine::syncedLength(int numerator, int denominator, double multiplier) const
{
    if (numerator <= 0)
        return 0.0f;

    const float limit = (float) maxLength;
    const float capped = maxLength > 0 ? (float) (maxLength - 1) : 0.0f;
    if (denominator <= 0)
        return capped;

    const double beatRate = tempo / 60.0 * 0.25;   // whole notes per second
    const float length = (float) (context.rate / (((double) denominator / (double) numerator) * multiplier * beatRate));
    if (! std::isfinite(length) || length >= limit)
        return capped;
    return length > 0.0f ? length : 0.0f;
}

float TavinorDelayLine::freeLength(float freeTime) const
{
    const float length = freeTime * (float) (integerRate - kFreeLengthMargin);
    if (! std::isfinite(length) || length <= 0.0f)
        return 0.0f;
    return length;
}

void TavinorDelayLine::updateLengths()
{
    if (synced)
    {
        leftLength = syncedLength(leftNumerator, leftDenominator, leftMultiplier);
        rightLength = linked ? leftLength : syncedLength(rightNumerator, rightDenominator, rightMultiplier);
    }
    else
    {
        leftLength = freeLength(leftFreeTime);
        rightLength = linked ? leftLength : freeLength(rightFreeTime);
    }
}

bool TavinorDelayLine::computeLimits(int maxSeconds, float sampleRate, double& rate, int& newIntegerRate,
                                     int& maximumLength) const
{
    SampleRateContext probe = context;
    probe.set((double) sampleRate);   // a rate that is not usable keeps the current one
    rate = probe.rate;
    newIntegerRate = (int) std::min(rate, (double) INT_MAX);
    if (newIntegerRate < 1)
        newIntegerRate = 1;

    const long long seconds = maxSeconds < 1 ? 1 : maxSeconds;
    const long long length = seconds * (long long) newIntegerRate;
    if (length > kLargestMaximumLength)
        return false;
    maximumLength = (int) length;
    return true;
}

void TavinorDelayLine::applyPreparation(double rate, int newIntegerRate, int maximumLength)
{
    context.set(rate);
    leftAverager.reset((float) rate);
    rightAverager.reset((float) rate);
    integerRate = newIntegerRate;
    maxLength = maximumLength;
}

bool TavinorDelayLine::prepare(int /*blockSize*/, int maxSeconds, float sampleRate)
{
    double rate = 0.0;
    int newIntegerRate = 0, maximumLength = 0;
    if (! computeLimits(maxSeconds, sampleRate, rate, newIntegerRate, maximumLength))
        return false;

    applyPreparation(rate, newIntegerRate, maximumLength);
    updateLengths();
    return true;
}

void TavinorDelayLine::setSynced(bool shouldBeSynced)
{
    synced = shouldBeSynced;
    updateLengths();
}

void TavinorDelayLine::setLinked(bool shouldBeLinked)
{
    linked = shouldBeLinked;
    updateLengths();
}

void TavinorDelayLine::setLeftFreeTime(float seconds)
{
    if (seconds != leftFreeTime)
    {
        leftFreeTime = seconds;
        updateLengths();
    }
}

void TavinorDelayLine::setRightFreeTime(float seconds)
{
    if (seconds != rightFreeTime)
    {
        rightFreeTime = seconds;
        updateLengths();
    }
}

void TavinorDelayLine::setLeftNoteLengthMode(int code)
{
    leftMultiplier = multiplierForCode(code, leftMultiplier);
    updateLengths();
}

void TavinorDelayLine::setRightNoteLengthMode(int code)
{
    rightMultiplier = multiplierForCode(code, rightMultiplier);
    updateLengths();
}

void TavinorDelayLine::setLeftNumerator(int n)
{
    leftNumerator = n;
    updateLengths();
}

void TavinorDelayLine::setLeftDenominator(int d)
{
    leftDenominator = d;
    updateLengths();
}

void TavinorDelayLine::setRightNumerator(int n)
{
    rightNumerator = n;
    updateLengths();
}

void TavinorDelayLine::setRightDenominator(int d)
{
    rightDenominator = d;
    updateLengths();
}

void TavinorDelayLine::setTempo(double bpm)
{
    if (! std::isfinite(bpm) || bpm <= 0.0)
        return;

    if (bpm != tempo)
    {
        tempo = bpm;
        if (synced)
            updateLengths();
    }
}

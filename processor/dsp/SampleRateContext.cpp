#include "processor/dsp/SampleRateContext.h"

#include <cmath>

namespace
{
constexpr double kReferenceRate = 44100.0;
constexpr double kIndexedRates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 192000.0 };
} // namespace

bool SampleRateContext::set(double sampleRate)
{
    if (! std::isfinite(sampleRate) || sampleRate <= 0.0)
        return false;

    rate = sampleRate;
    rateF = (float) sampleRate;

    for (int i = 0; i < (int) (sizeof(kIndexedRates) / sizeof(kIndexedRates[0])); ++i)
        if (sampleRate == kIndexedRates[i])
            rateIndex = i;

    invRate = 1.0 / sampleRate;
    invRateF = (float) invRate;
    halfInvRate = 1.0 / (2.0 * sampleRate);
    rateRatio = sampleRate / kReferenceRate;
    rateRatioF = (float) rateRatio;

    invRateRatio = kReferenceRate / sampleRate;
    k = 2.0 * (1.0 - std::pow(0.5, invRateRatio));
    kF = (float) k;

    pow2InvRatioMinus1 = std::pow(2.0, invRateRatio) - 1.0;
    pow2InvRatioMinus1F = (double) (float) pow2InvRatioMinus1;
    kCubed = k * k * k;
    kCubedF = (float) kCubed;
    nyquist = sampleRate * 0.5;
    k002 = 0.002 * k;
    k002F = (float) k002;
    k005F = (float) (0.005 * k);
    k0005F = (float) (0.0005 * k);
    samplesPerMsF = rateF * 0.001f;
    samplesPerMs = 0.001 * sampleRate;
    k002Again = k002;
    k002AgainF = k002F;
    return true;
}

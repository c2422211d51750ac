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
    k = 2.0 * (1.0 - std::pow(0.5, kReferenceRate / sampleRate));
    kF = (float) k;
    nyquist = sampleRate * 0.5;
    k002 = 0.002 * k;
    k002F = (float) k002;
    samplesPerMs = 0.001 * sampleRate;
    return true;
}

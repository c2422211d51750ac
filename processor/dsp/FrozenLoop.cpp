#include "processor/dsp/FrozenLoop.h"

#include "processor/dsp/DelayParameters.h"
#include "processor/dsp/DspTables.h"

#include <algorithm>
#include <cmath>

namespace
{
// The crossfade between the band-limited read and whole samples.
constexpr double kCrossfadeSeconds = 0.01;
// The levels are averaged over about one pass of the loop, never less than
// this: shorter loops would hear the input's level flicker.
constexpr double kShortestAverageSeconds = 0.05;
// How far above what it held, or above what the input brings in one pass,
// a frozen loop may build up (power: 6 dB). The levels above ripple by a few
// decibels with sparse material, and a loop held at its own level must stay
// below this.
constexpr double kHeadroomPower = 4.0;
// The ceiling never falls below this power (-80 dBFS): a loop whose level was
// not seen when freeze came on is not turned down to nothing.
constexpr double kLowestCeiling = 1.0e-8;
} // namespace

void FrozenLoop::setLatencies(double newLatency32, double newLatency16)
{
    latency32 = newLatency32;
    latency16 = newLatency16;
}

void FrozenLoop::prepare(double sampleRate)
{
    crossfadeStep = 1.0 / std::max(1.0, kCrossfadeSeconds * sampleRate);
    shortestAverage = std::max(1.0, kShortestAverageSeconds * sampleRate);
    hold = 0.0;
    reset();
}

void FrozenLoop::reset()
{
    loopPower = inputPower = 0.0;
    ceiling = kLowestCeiling;
    full = false;
    excess = 1.0;
}

void FrozenLoop::setFrozen(bool on, double heldPower)
{
    if (on == frozen)
        return;
    frozen = on;
    reset();
    if (on)
    {
        loopPower = std::isfinite(heldPower) ? std::max(0.0, heldPower) : 0.0;
        ceiling = std::max(kLowestCeiling, kHeadroomPower * loopPower);
    }
}

void FrozenLoop::setLoop(double loopLength, int mode)
{
    const bool stretched32 = DelayParameters::readsStretched32(mode);
    latency = stretched32 ? latency32 : latency16;
    makeUp = 1.0 / (stretched32 ? DspTables::kKernel32LargestGain : DspTables::kKernel16LargestGain);
    const double length = std::isfinite(loopLength) ? std::max(1.0, loopLength) : 1.0;
    averaging = 1.0 / std::max(shortestAverage, length);
    // A pass takes `length` samples: a correction of (ceiling / loopPower)^(1/2)
    // on every pass would overshoot its measure many times over in a loop
    // much shorter than the averaging. Spread over the averaging instead.
    correctionExponent = 0.5 * length * averaging;
}

int FrozenLoop::wholeDistance(double delay, int maximum) const
{
    // An impulse comes back through the band-limited read centred one sample
    // plus the delay plus the kernel's latency later.
    const double distance = delay + 1.0 + latency + 0.5;
    if (! (distance < (double) maximum))
        return std::max(1, maximum);
    return std::max(1, (int) distance);
}

void FrozenLoop::advance(bool atRest)
{
    if (frozen && atRest)
        hold = std::min(1.0, hold + crossfadeStep);
    else if (hold > 0.0)
        hold = std::max(0.0, hold - crossfadeStep);
}

void FrozenLoop::track(double readLeft, double readRight, double inLeft, double inRight)
{
    if (! frozen)
        return;
    const double fedBack = 0.5 * (readLeft * readLeft + readRight * readRight);
    const double taken = 0.5 * (inLeft * inLeft + inRight * inRight);
    loopPower += (fedBack - loopPower) * averaging;
    inputPower += (taken - inputPower) * averaging;
    ceiling = std::max(ceiling, kHeadroomPower * inputPower);
    full = loopPower >= ceiling;
    excess = loopPower > ceiling ? std::pow(ceiling / loopPower, correctionExponent) : 1.0;
}

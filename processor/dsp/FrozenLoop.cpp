#include "processor/dsp/FrozenLoop.h"

#include "processor/dsp/DelayParameters.h"

#include <algorithm>
#include <cmath>

namespace
{
// The crossfade between the band-limited read and whole samples.
constexpr double kCrossfadeSeconds = 0.01;
// How long the loop gain takes to its new value when freeze goes on or off:
// short enough that what goes round meanwhile keeps its level (5 ms at a
// fraction of it, within any 20 ms), long enough not to click.
constexpr double kGlideSeconds = 0.005;
// How far above what it held, or above what the input brings in one pass,
// a frozen loop may build up (power: 6 dB). The levels above ripple by a few
// decibels with sparse material, and a loop held at its own level must stay
// below this.
constexpr double kHeadroomPower = 4.0;
// The ceiling never falls below this power (-80 dBFS): a loop whose level was
// not seen when freeze came on is not turned down to nothing.
constexpr double kLowestCeiling = 1.0e-8;
// How far under the ceiling the loop gain starts to bend down (a fraction
// of the ceiling: 0.5 dB); it reaches 0 at the ceiling.
constexpr double kNarrowestBend = 1.0 - 0.8912509381337456;
// One sample moves the level of a pass of n samples by up to a few n-ths:
// over a bend narrower than this many n-ths, the loop gain of the next
// sample would overshoot what this one took back. (Only loops of less than
// about a hundred samples, a couple of milliseconds, bend over more.)
constexpr double kBendSamples = 12.0;
// Never from below the level a loop held when freeze came on (a quarter of
// the ceiling).
constexpr double kWidestBend = 0.75;
// The bend follows where the level puts it within this (or a quarter of a
// shorter pass): the level moves a little with every sample that comes in
// and leaves, and a loop gain that followed each of those would roughen
// what the loop keeps.
constexpr double kBendSeconds = 0.002;
constexpr double kBendPasses = 4.0;
// What comes in raises the ceiling at once by at least this share of its
// level (see follow()).
constexpr double kFastestInputShare = 0.5;
} // namespace

void FrozenLoop::prepare(double sampleRate)
{
    bendSmoothing = 1.0 / std::max(1.0, kBendSeconds * sampleRate);
    crossfadeStep = 1.0 / std::max(1.0, kCrossfadeSeconds * sampleRate);
    glideSamples = std::max(1, (int) (kGlideSeconds * sampleRate));
    glideStep = 1.0 / (double) glideSamples;
    frozen = false;
    hold = 0.0;
    gliding = 0;
    reset();
}

void FrozenLoop::reset()
{
    restartMeasure();
    released = Released();
}

void FrozenLoop::restartMeasure()
{
    inputPower = inputTrend = 0.0;
    measure.squares[0] = measure.squares[1] = 0.0;
    measure.restMean[0] = measure.restMean[1] = 0.0;
    ceiling = kLowestCeiling;
    bend = 1.0;
}

void FrozenLoop::setLatencies(double newLatency32, double newLatency16)
{
    latency32 = newLatency32;
    latency16 = newLatency16;
}

void FrozenLoop::setMode(int mode)
{
    latency = DelayParameters::readsStretched32(mode) ? latency32 : latency16;
}

int FrozenLoop::wholeDistance(double delay, int maximum) const
{
    // An impulse comes back through the band-limited read centred one sample
    // plus the delay plus the kernel's latency later.
    return nearestDistance(delay + 1.0 + latency, maximum);
}

int FrozenLoop::nearestDistance(double length, int maximum)
{
    const double nearest = length + 0.5;
    if (! (nearest < (double) maximum))
        return std::max(1, maximum);
    return std::max(1, (int) nearest);
}

void FrozenLoop::setFrozen(bool on, double gainBefore, const Measure& held)
{
    if (on == frozen)
        return;
    frozen = on;
    glideFrom = std::isfinite(gainBefore) ? gainBefore : 0.0;
    lastGain = glideFrom;
    gliding = glideSamples;
    if (! on)
    {
        released.ceiling = ceiling;
        released.pass = std::max(measure.pass[0], measure.pass[1]);
        released.elapsed = 0.0;
        restartMeasure();
        return;
    }
    restartMeasure();
    auto clean = [](double x) { return std::isfinite(x) ? std::max(0.0, x) : 0.0; };
    for (int c = 0; c < 2; ++c)
    {
        measure.pass[c] = loopDistance[c] = std::max(1, held.pass[c]);
        measure.samples[c] = std::clamp(held.samples[c], 1, measure.pass[c]);
        measure.squares[c] = clean(held.squares[c]);
        measure.restMean[c] = clean(held.restMean[c]);
    }
    // Over about one pass, as the loop's own level is measured: what comes in
    // counts alike in both (a sound into a short loop is not taken for more
    // than the input brings).
    averaging = 1.0 / (double) std::max(measure.pass[0], measure.pass[1]);
    const double shorterPass = (double) std::min(measure.pass[0], measure.pass[1]);
    bendFollow = std::min(1.0, std::max(bendSmoothing, kBendPasses / shorterPass));
    ceiling = ceilingOfPress(glideFrom);
}

double FrozenLoop::ceilingOfPress(double gain) const
{
    const double fresh = kHeadroomPower * level();
    if (! (released.ceiling > 0.0))
        return std::max(kLowestCeiling, fresh);
    // What the loop built up under the last ceiling fades with the loop gain
    // once freeze is off, by its square a pass (and not before a whole pass:
    // the level is measured over one). A press before it has faded takes no
    // more headroom over it: what the loop holds above it came in since, and
    // has the headroom a first press gives.
    const int pass = std::max({ released.pass, measure.pass[0], measure.pass[1] });
    const double g = std::min(1.0, std::abs(gain));
    const double kept = released.ceiling * std::pow(g * g, std::floor(released.elapsed / (double) pass));
    const double c = std::min(fresh, std::max(kept, fresh - (kHeadroomPower - 1.0) * kept));
    return std::max(kLowestCeiling, c);
}

void FrozenLoop::follow(double inLeft, double inRight)
{
    // The ceiling only ever rises: the ripple of the input's own waveform on
    // its level would raise it in steps, each a kink in the loop gain that
    // the loop then keeps; so the level is averaged twice, yet never taken
    // for less than half of the once-averaged one, so that what comes in
    // raises the ceiling as fast as the loop's own level.
    const double taken = 0.5 * (inLeft * inLeft + inRight * inRight);
    inputPower += (taken - inputPower) * averaging;
    inputTrend += (inputPower - inputTrend) * averaging;
    ceiling = std::max(ceiling, kHeadroomPower * std::max(inputTrend, kFastestInputShare * inputPower));

    const int pass = std::min(measure.pass[0], measure.pass[1]);
    const double width = std::clamp(kBendSamples / (double) pass, kNarrowestBend, kWidestBend);
    const double x = (level() / ceiling - (1.0 - width)) / width;
    const double target = x <= 0.0 ? 1.0 : x >= 1.0 ? 0.0 : 1.0 - easeOf(x);
    bend += (target - bend) * bendFollow;
}

double FrozenLoop::level() const
{
    double level = 0.0;
    for (int c = 0; c < 2; ++c)
    {
        const int missing = measure.pass[c] - measure.samples[c];
        const double rest = missing > 0 ? measure.restMean[c] * (double) missing : 0.0;
        level += 0.5 * (measure.squares[c] + rest) / (double) std::max(measure.pass[c], measure.samples[c]);
    }
    return level;
}

#include "processor/dsp/Clock.h"

#include <cmath>

namespace
{
// Edges closer than this fraction of a cycle to a cycle boundary are taken as
// lying on it, so rounding of the host position never produces a double edge.
constexpr double kBoundaryTolerance = 0.005;

// Far beyond any real countdown; keeps the double-to-int conversion defined
// for absurdly slow tempos.
constexpr double kMaxCountdown = 1.0e9;

// The position is a running sum of increments, so an edge that falls exactly
// on a sample arrives as a hair more than a whole number of samples away.
constexpr double kSampleTolerance = 1.0e-6;

int toCountdown (double samples) noexcept
{
    const double c = std::ceil (samples - kSampleTolerance);
    if (! (c > 0.0))
        return 0;
    return c >= kMaxCountdown ? static_cast<int> (kMaxCountdown) : static_cast<int> (c);
}
} // namespace

Clock::~Clock()
{
    cancelPendingUpdate();
}

void Clock::setRate (double r)
{
    if (r != rate)
    {
        rate = r;
        dirty = true;
    }
}

void Clock::setSampleRate (double sr)
{
    if (sr != sampleRate)
    {
        sampleRate = sr;
        dirty = true;
    }
}

void Clock::setTempo (double bpm)
{
    if (bpm != tempo)
    {
        tempo = bpm;
        dirty = true;
    }
}

void Clock::start (double ppqPosition)
{
    if (running)
        return;

    dirty = true;
    position = ppqPosition;
    state = -1;
    running = true;
    runningChanged.store (1);
    notifyMessageThread();
}

void Clock::stop()
{
    if (! running)
        return;

    dirty = true;
    position = 0.0;
    state = -1;
    running = false;
    runningChanged.store (1);
    notifyMessageThread();
}

void Clock::retrigger()
{
    dirty = true;
    position = 0.0;
    state = -1;
}

void Clock::recompute() noexcept
{
    dirty = false;

    // A host may report no tempo, a tempo of 0 or garbage: the clock then
    // stands still and waits for a usable tempo instead of dividing by zero.
    const bool usable = std::isfinite (tempo) && tempo > 0.0
                     && std::isfinite (sampleRate) && sampleRate > 0.0
                     && std::isfinite (rate) && rate > 0.0
                     && std::isfinite (position);
    if (! usable)
    {
        increment = 0.0;
        nextState = state;
        countdown = -1;
        return;
    }

    increment = tempo / (sampleRate * 60.0);
    const double period = 1.0 / rate;
    const double samplesPerBeat = sampleRate * 60.0 / tempo;
    const double cycleEnd = std::ceil (position / period) * period;
    const double cycleStart = cycleEnd - period;
    const double firstPartEnd = cycleStart + width * period;

    if (position < 0.0)
    {
        nextState = 0;
        countdown = -1;
        state = -1;
    }
    else if (state == -1)
    {
        nextState = 0;
        countdown = 0;
    }
    else if (position <= firstPartEnd)
    {
        if (state == 1)
        {
            nextState = 0;
            countdown = position > cycleStart + kBoundaryTolerance * period
                            ? toCountdown (samplesPerBeat * (cycleEnd - position))
                            : 0;
        }
        else
        {
            nextState = 1;
            countdown = toCountdown (samplesPerBeat * (firstPartEnd - position));
        }
    }
    else
    {
        if (state == 1)
        {
            nextState = 0;
            countdown = toCountdown (samplesPerBeat * (cycleEnd - position));
        }
        else
        {
            nextState = 1;
            countdown = position > cycleEnd - kBoundaryTolerance * period
                            ? toCountdown (samplesPerBeat * (cycleEnd + width * period - position))
                            : 0;
        }
    }
}

bool Clock::process()
{
    if (! running)
        return false;

    if (dirty)
        recompute();

    bool result = false;
    if (countdown != 0)
    {
        edge = false;
    }
    else if (state == nextState && state != -1)
    {
        edge = false;
    }
    else
    {
        positionAtEdge = position;
        restart = (state == -1);
        state = nextState;
        edgeHappened.store (1);
        edge = true;
        notifyMessageThread();
        result = true;
    }

    const int before = countdown;
    countdown -= 1;
    position += increment;
    if (before < 1)
        dirty = true;

    return result;
}

bool Clock::isNearerCycleStart() const noexcept
{
    const double x = position * rate;
    const double c = std::ceil (x);
    return (c - x) > (x - (c - 1.0));
}

double Clock::getPhase() const noexcept
{
    const double x = position * rate;
    return x - std::floor (x);
}

void Clock::addListener (Listener* l)
{
    if (l == nullptr || listeners.contains (l))
        return;
    listeners.add (l);
    numListeners.store (listeners.size());
}

void Clock::removeListener (Listener* l)
{
    listeners.remove (l);
    numListeners.store (listeners.size());
}

void Clock::notifyMessageThread() noexcept
{
    if (numListeners.load() > 0)
        triggerAsyncUpdate();
}

void Clock::handleAsyncUpdate()
{
    if (runningChanged.exchange (0) != 0)
        listeners.call ([this] (Listener& l) { l.clockRunningChanged (this); });
    if (edgeHappened.exchange (0) != 0)
        listeners.call ([this] (Listener& l) { l.clockEdge (this); });
}

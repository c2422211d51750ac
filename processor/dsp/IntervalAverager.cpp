#include "processor/dsp/IntervalAverager.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
constexpr int kStoredIntervals = 4;
} // namespace

void IntervalAverager::reset(float newScale)
{
    endSeries();
    newValue = false;
    average = 0.0f;
    scale = newScale;
    trigger.store(0);
}

void IntervalAverager::endSeries()
{
    counter = 0;
    lastInterval = 0;
    writeSlot = 0;
    intervalCount = 0;
    running = false;
    for (auto& i : intervals)
        i = 0.0;
}

void IntervalAverager::tick()
{
    advance(1);
}

void IntervalAverager::advance(int numSamples)
{
    if (numSamples <= 0)
        return;
    // Nobody tapping and no series running: the ticks would change nothing.
    // The trigger is read first, as it is cheaper than taking it.
    if (trigger.load(std::memory_order_relaxed) != 0 && trigger.exchange(0) != 0)
    {
        running = true;
        if (counter > 0)
        {
            intervalCount += 1;
            lastInterval = counter;
            intervals[writeSlot] = (double) counter;
            writeSlot = (writeSlot + 1) % kStoredIntervals;

            const int n = intervalCount < kStoredIntervals ? intervalCount : kStoredIntervals;
            double sum = 0.0;
            for (int i = 0; i < n; ++i)
                sum += intervals[i];
            if (scale > 0.0f)
            {
                average = (float) (sum / ((double) n * (double) scale));
                newValue = true;
            }
        }
        counter = 0;
    }

    if (! running)
        return;
    // Each tick counts one more; the tick that finds the count at twice the
    // last interval ends the series. The finished average and its flag are
    // results that the block's owner has not necessarily taken yet: they stay.
    constexpr long long largest = std::numeric_limits<int>::max();
    if (intervalCount > 0)
    {
        const long long limit = (long long) std::ceil(2.0 * (double) lastInterval);
        const long long ticksToEnd = counter >= limit ? 1 : limit - counter + 1;
        if (numSamples >= ticksToEnd)
        {
            endSeries();
            return;
        }
    }
    counter = (int) std::min(largest, (long long) counter + numSamples);
}

bool IntervalAverager::takeNewValue(bool consume)
{
    const bool waiting = newValue;
    if (consume)
        newValue = false;
    return waiting;
}

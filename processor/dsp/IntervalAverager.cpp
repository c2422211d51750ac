#include "processor/dsp/IntervalAverager.h"

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
    if (trigger.exchange(0) != 0)
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

    if (running)
    {
        const int before = counter;
        if (counter < std::numeric_limits<int>::max())
            counter += 1;
        if (intervalCount > 0 && (double) before >= 2.0 * (double) lastInterval)
        {
            // The series ends. The finished average and its flag are results
            // that the block's owner has not necessarily taken yet: keep them.
            endSeries();
        }
    }
}

bool IntervalAverager::takeNewValue(bool consume)
{
    const bool waiting = newValue;
    if (consume)
        newValue = false;
    return waiting;
}

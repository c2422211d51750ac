#include "processor/dsp/RoutingCrossfade.h"

#include <algorithm>

void RoutingCrossfade::prepare(double sampleRate)
{
    ramp.setLength(std::max(1, (int) (sampleRate * kSeconds)));
    ramp.standAt(true);
}

void RoutingCrossfade::start(int from, int to)
{
    fromRouting = from;
    toRouting = to;
    ramp.standAt(false);
    ramp.travel(true);
}

#include "processor/dsp/RoutingCrossfade.h"

#include <algorithm>

void RoutingCrossfade::prepare(int blockSize, double sampleRate)
{
    ramp.setLength(std::max(1, (int) (sampleRate * kSeconds)));
    ramp.standAt(true);
    weightBuffer.assign((size_t) std::max(1, blockSize), 1.0f);
}

void RoutingCrossfade::start(int from, int to)
{
    fromRouting = from;
    toRouting = to;
    ramp.standAt(false);
    ramp.travel(true);
}

const float* RoutingCrossfade::weights(int numSamples)
{
    ramp.fill(weightBuffer.data(), std::min(numSamples, (int) weightBuffer.size()));
    return weightBuffer.data();
}

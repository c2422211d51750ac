#pragma once

#include "processor/dsp/RaisedCosineRamp.h"

// A change of routing while audio flows. For a while every line takes in a
// crossfade of what the old routing and the new one give it, and the mix a
// crossfade of the two routings' outputs: neither the output nor what the
// lines keep for their later echoes steps, and the lines keep their echoes.
class RoutingCrossfade
{
public:
    static constexpr double kSeconds = 0.02;

    // The crossfade's length at the rate; a crossfade under way ends.
    void prepare(double sampleRate);

    void start(int fromRouting, int toRouting);
    void stop() { ramp.standAt(true); }
    bool isMoving() const { return ramp.isMoving(); }
    int from() const { return fromRouting; }
    int to() const { return toRouting; }

    // The new routing's weight for each of the next numSamples samples into
    // out; past the crossfade's end, 1.
    void fillWeights(float* out, int numSamples) { ramp.fill(out, numSamples); }

private:
    RaisedCosineRamp ramp;
    int fromRouting = 0;
    int toRouting = 0;
};

#include "processor/dsp/RaisedCosineRamp.h"

#include "processor/dsp/DspCommon.h"

#include <algorithm>
#include <cmath>

void RaisedCosineRamp::setLength(int samples)
{
    // Whatever way it was on, it now stands at the end it was going to.
    const bool atOne = direction > 0 || (direction == 0 && position == length);
    length = std::max(1, samples);
    standAt(atOne);
}

void RaisedCosineRamp::standAt(bool one)
{
    position = one ? length : 0;
    direction = 0;
}

void RaisedCosineRamp::travel(bool towardsOne)
{
    direction = towardsOne ? 1 : -1;
    if (position == (towardsOne ? length : 0))
        direction = 0;
}

int RaisedCosineRamp::samplesLeft() const
{
    if (direction > 0)
        return length - position;
    return direction < 0 ? position : 0;
}

float RaisedCosineRamp::gainAt(int p) const
{
    return (float) (0.5 - 0.5 * std::cos(DspCommon::kPi * (double) p / (double) length));
}

void RaisedCosineRamp::fill(float* out, int numSamples)
{
    int i = 0;
    for (; i < numSamples && direction != 0; ++i)
    {
        position += direction;
        if (position == 0 || position == length)
            direction = 0;
        out[i] = gainAt(position);
    }
    // Arrived: the rest stands exactly at its end.
    std::fill(out + i, out + numSamples, position == length ? 1.0f : 0.0f);
}

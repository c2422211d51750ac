#pragma once

// A gain that travels between 0 and 1 along half a cosine over a set number
// of samples: neither the gain nor its slope steps at either end, so a sound
// faded or crossfaded by it gains no click.
class RaisedCosineRamp
{
public:
    // The length of a whole way, in samples (at least 1). The ramp stops at
    // the end it stood at or was going to.
    void setLength(int samples);
    // Stands still at 1 (or at 0).
    void standAt(bool one);
    // From where it stands towards 1 (or towards 0).
    void travel(bool towardsOne);

    bool isMoving() const { return direction != 0; }
    bool standsAt(bool one) const { return ! isMoving() && position == (one ? length : 0); }
    // Samples until it arrives; 0 when it stands still.
    int samplesLeft() const;

    // The gains of the next numSamples samples into out; past its end the
    // ramp stands at the end it reached.
    void fill(float* out, int numSamples);

private:
    float gainAt(int p) const;

    int length = 1;
    int position = 1;
    int direction = 0;
};

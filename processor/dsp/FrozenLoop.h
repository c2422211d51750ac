#pragma once

#include <algorithm>
#include <cmath>

// What keeps a frozen line's loop at its level.
//
// Frozen, a line feeds back at exactly 1 (or -1), and every pass goes through
// its read. The band-limited read passes a little less than all of the signal
// (0.935 of it at low frequencies with 32 taps), and a loop at unity compounds
// that into a fade of many decibels a second; a ripple above that gain would
// compound into growth instead. So while the delay rests a frozen line reads
// whole samples, which pass every frequency at exactly unity: the loop comes
// back as it went in, pass after pass. While the delay moves (modulated, or
// gliding to a new time) a whole-sample read would click, so the band-limited
// read is taken, made up by its largest gain so that no frequency comes back
// louder. The loop crossfades between the two, and back to the plain read
// when freeze goes off.
//
// When freeze goes on or off the loop gain moves to its new value within a
// few milliseconds: what goes round just after the press is held as it
// sounded, not faded in for ever, and nothing steps.
//
// The input is still added while frozen. In a loop that loses nothing that
// alone would grow without end, so what the loop carries is held below a
// ceiling: the louder of what it held when freeze came on and what the input
// brings in about one pass, with headroom. The loop's level is the exact mean
// square of what the rings took over its last pass, so it stays put while the
// loop holds and follows what is added at once, whether it adds in phase or
// not; close under the ceiling the loop gain bends down smoothly, so that what
// comes in takes the place of as much of what is held. Below that the loop is
// left exactly as it is.
class FrozenLoop
{
public:
    // The kernels' latencies in samples (32-tap and 16-tap reads).
    void setLatencies(double latency32, double latency16);
    // Nothing is frozen or held after it.
    void prepare(double sampleRate);
    // The rings were emptied: nothing is held.
    void reset();

    // What a frozen loop measures its level over, per ring: one pass of the
    // loop (`pass` samples back). The last `samples` written sum to `squares`
    // when squared; when freeze comes on on a long loop, those further back
    // are taken in a few a sample, and until then count at `restMean`, the
    // mean square estimated from every so many of them.
    struct Measure
    {
        int pass[2] { 1, 1 };
        int samples[2] { 1, 1 };
        double squares[2] {};
        double restMean[2] {};
    };
    // The most samples of a ring measured one by one when freeze comes on
    // (and the most taken at a stride for the rest): that is done within one
    // block, and a long loop at a high rate would hold it up.
    static constexpr int kMostHeldSamples = 1 << 16;
    // Freeze goes on or off. gainBefore: the loop gain of the sample before
    // (see gainBefore()), which the loop gain moves on from; held: what the
    // rings hold when freeze comes on.
    void setFrozen(bool on, double gainBefore, const Measure& held);
    bool isFrozen() const { return frozen; }
    // Frozen, or still moving back from it (the read's crossfade, the loop gain).
    bool isActive() const { return frozen || hold > 0.0 || lift > 0.0 || gliding > 0; }
    // The loop gain the sample before took, given the smoothed one that a
    // line not held takes.
    double gainBefore(double smoothed) const { return isActive() ? lastGain : smoothed; }

    // Per piece: the loop's length in samples and the read's interpolation mode.
    void setLoop(double loopLength, int mode);

    // How far back the whole sample lies that stands for a band-limited read
    // at this delay (the read's latency included), within a ring of `maximum`.
    int wholeDistance(double delay, int maximum) const;
    // One sample: the crossfades move on (towards the whole samples while
    // frozen and the delays rest, towards the made-up band-limited read while
    // frozen), then the loop's read is taken from the band-limited read and
    // the whole sample.
    void advance(bool atRest);
    double read(double kernelRead, double wholeRead) const
    {
        if (hold >= 1.0)
            return wholeRead;
        const double made = lift > 0.0 ? kernelRead * (1.0 + (makeUp - 1.0) * lift) : kernelRead;
        return hold > 0.0 ? hold * wholeRead + (1.0 - hold) * made : made;
    }
    // The loop gain of this sample, from the smoothed one: on the way from
    // the gain before a press to it, and while frozen bent down under the
    // ceiling.
    double gain(double smoothed)
    {
        double g = smoothed;
        if (gliding > 0)
        {
            const double s = 1.0 - (double) --gliding * glideStep;
            g = glideFrom + (smoothed - glideFrom) * s * s * (3.0 - 2.0 * s);
        }
        if (frozen)
            g *= bend;
        lastGain = g;
        return g;
    }
    // While frozen, after each sample's loop gain and before its write: what
    // it writes to the rings, the loop's whole distances now, and what came
    // in. past(c, k): what ring c took k samples before (1 .. its maximum).
    template <typename Past>
    void track(float writtenLeft, float writtenRight, int distanceLeft, int distanceRight, double inLeft,
               double inRight, Past&& past)
    {
        if (! frozen)
            return;
        const float written[2] = { writtenLeft, writtenRight };
        const int distances[2] = { distanceLeft, distanceRight };
        for (int c = 0; c < 2; ++c)
        {
            // The measure follows the loop's length (a few samples a sample, so
            // that a jump costs no more than a glide), then the sample that
            // left it gives way to the new one.
            int& samples = measure.samples[c];
            double& squares = measure.squares[c];
            const int target = std::max(1, distances[c]);
            measure.pass[c] = target;
            for (int step = 0; step < kMostMeasureSteps && samples != target; ++step)
            {
                if (samples < target)
                    squares += square(past(c, ++samples));
                else
                    squares -= square(past(c, samples--));
            }
            if (samples == target)
                measure.restMean[c] = 0.0;   // all taken in: exact from now on
            squares += square(written[c]) - square(past(c, samples));
            if (! (squares > 0.0))
                squares = 0.0;
        }
        follow(inLeft, inRight);
    }

private:
    static constexpr int kMostMeasureSteps = 16;
    static double square(float x) { return (double) x * x; }
    // The input's level, the ceiling and the bend after a sample.
    void follow(double inLeft, double inRight);
    // The mean square of a pass of the loop, both channels together.
    double level() const;

    double latency32 = 0.0;
    double latency16 = 0.0;
    double latency = 0.0;
    double crossfadeStep = 1.0;
    int glideSamples = 1;
    double glideStep = 1.0;
    bool frozen = false;
    double hold = 0.0;         // 0 the band-limited read, 1 whole samples
    double makeUp = 1.0;       // on the band-limited read while frozen
    double lift = 0.0;         // how much of it: crossfades as the read does
    int gliding = 0;           // samples left of the loop gain's move
    double glideFrom = 0.0;
    double lastGain = 0.0;
    double averaging = 1.0;    // per-sample coefficient of the input's level
    double inputPower = 0.0;   // mean square of what comes in
    Measure measure;           // what the rings took over the loop's last pass
    double ceiling = 0.0;      // the most the loop's mean square may reach
    double bend = 1.0;         // on the loop gain, near the ceiling
};

#pragma once

#include <algorithm>
#include <cmath>

// What keeps a frozen line's loop as it was held.
//
// Frozen, a line feeds back at exactly 1 (or -1). The band-limited read passes
// a little less than all of the signal (0.935 of it at low frequencies with 32
// taps), and a loop at unity compounds that into a fade of many decibels a
// second; a ripple above that gain would compound into growth instead. So a
// frozen loop goes round in whole samples, which pass every frequency at
// exactly unity: the loop comes back as it went in, pass after pass.
//
// The loop is as long as the line's echoes take when freeze comes on, to the
// nearest sample (a synced line's: its note value, so that it keeps the
// host's beat), and keeps that length until freeze goes off. Whatever moves
// the delay meanwhile (the time knob, time modulation) moves only where the
// line plays the loop from, through the band-limited read as ever: what it
// held is never cut, stretched or smeared, and its passes never click. The
// loop crossfades between the band-limited read and whole samples when freeze
// goes on or off, along a curve without a kink: whatever the loop takes in
// it keeps, and a kink would tick on every pass.
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
// left exactly as it is. A loop frozen again before what it built up has
// faded keeps the ceiling it had: pressing freeze again and again does not
// raise it.
class FrozenLoop
{
public:
    // The kernels' latencies in samples (32-tap and 16-tap reads).
    void setLatencies(double latency32, double latency16);
    // The read's interpolation mode.
    void setMode(int mode);
    // Nothing is frozen, held or remembered after it.
    void prepare(double sampleRate);
    // The rings were emptied: nothing is held or remembered.
    void reset();

    // The whole distances a frozen loop goes round in, within a ring of
    // `maximum`: that of the echo of a band-limited read at this delay (the
    // read's latency included), or a length to the nearest sample.
    int wholeDistance(double delay, int maximum) const;
    static int nearestDistance(double length, int maximum);

    // What a frozen loop measures its level over, per ring: one pass of the
    // loop (`pass` samples back, the loop's distance). The last `samples`
    // written sum to `squares` when squared; when freeze comes on on a long
    // loop, those further back are taken in a few a sample, and until then
    // count at `restMean`, the mean square estimated from every so many of them.
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
    // rings hold over the loop's passes when freeze comes on.
    void setFrozen(bool on, double gainBefore, const Measure& held);
    bool isFrozen() const { return frozen; }
    // Frozen, or still moving back from it (the read's crossfade, the loop gain).
    bool isActive() const { return frozen || hold > 0.0 || gliding > 0; }
    // The loop gain the sample before took, given the smoothed one that a
    // line not held takes.
    double gainBefore(double smoothed) const { return isActive() ? lastGain : smoothed; }
    // How far back channel c's loop reads its whole samples.
    int distance(int c) const { return loopDistance[c]; }
    // Samples have gone by (once per piece, frozen or not).
    void elapse(int samples)
    {
        if (released.ceiling > 0.0)
            released.elapsed = std::min(released.elapsed + (double) samples, kLongestMemory);
    }

    // One sample: the crossfade moves on (towards the whole samples while
    // frozen, back to the band-limited read after), then the loop's read is
    // taken from the band-limited read and the whole sample.
    void advance()
    {
        if (frozen)
            hold = std::min(1.0, hold + crossfadeStep);
        else if (hold > 0.0)
            hold = std::max(0.0, hold - crossfadeStep);
    }
    double read(double kernelRead, double wholeRead) const
    {
        if (hold >= 1.0)
            return wholeRead;
        const double w = easeOf(hold);
        return w * wholeRead + (1.0 - w) * kernelRead;
    }
    // The loop gain of this sample, from the smoothed one: on the way from
    // the gain before a press to it, and while frozen bent down under the
    // ceiling.
    double gain(double smoothed)
    {
        double g = smoothed;
        if (gliding > 0)
            g = glideFrom + (smoothed - glideFrom) * easeOf(1.0 - (double) --gliding * glideStep);
        if (frozen)
            g *= bend;
        lastGain = g;
        return g;
    }
    // While frozen, after each sample's loop gain and before its write: what
    // it writes to the rings and what came in. past(c, k): what ring c took
    // k samples before (1 .. its maximum).
    template <typename Past>
    void track(float writtenLeft, float writtenRight, double inLeft, double inRight, Past&& past)
    {
        if (! frozen)
            return;
        const float written[2] = { writtenLeft, writtenRight };
        for (int c = 0; c < 2; ++c)
        {
            // The samples of a long pass not yet taken in come in a few a
            // sample, then the sample that left the pass gives way to the new one.
            int& samples = measure.samples[c];
            double& squares = measure.squares[c];
            const int target = measure.pass[c];
            for (int step = 0; step < kMostMeasureSteps && samples < target; ++step)
                squares += square(past(c, ++samples));
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
    static constexpr double kLongestMemory = 1.0e15;
    static double square(float x) { return (double) x * x; }
    // 0 to 1 as x goes from 0 to 1, leaving and reaching each end with
    // neither slope nor bend: what the loop holds keeps the move, pass after
    // pass, and a kink there would tick on every pass.
    static double easeOf(double x) { return x * x * x * (x * (x * 6.0 - 15.0) + 10.0); }
    // The input's level, the ceiling and the bend after a sample.
    void follow(double inLeft, double inRight);
    // The mean square of a pass of the loop, both channels together.
    double level() const;
    // The ceiling of a press, from what the loop holds now, kept below what
    // the last release left of its ceiling; gain: the loop gain since.
    double ceilingOfPress(double gain) const;
    // The measure and the input's level start again.
    void restartMeasure();

    double latency32 = 0.0;
    double latency16 = 0.0;
    double latency = 0.0;
    double crossfadeStep = 1.0;
    int glideSamples = 1;
    double glideStep = 1.0;
    bool frozen = false;
    double hold = 0.0;         // 0 the band-limited read, 1 whole samples
    int loopDistance[2] { 1, 1 };
    int gliding = 0;           // samples left of the loop gain's move
    double glideFrom = 0.0;
    double lastGain = 0.0;
    double averaging = 1.0;    // per-sample coefficient of the input's level
    double inputPower = 0.0;   // mean square of what comes in
    double inputTrend = 0.0;   // and its average
    Measure measure;           // what the rings took over the loop's last pass
    double ceiling = 0.0;      // the most the loop's mean square may reach
    double bend = 1.0;         // on the loop gain, near the ceiling
    double bendSmoothing = 1.0;   // per-sample coefficient of the bend's move
    double bendFollow = 1.0;      // the same for the loop's pass
    // The ceiling when freeze last went off (0: none), the pass it held, and
    // the samples since.
    struct Released
    {
        double ceiling = 0.0;
        int pass = 1;
        double elapsed = 0.0;
    };
    Released released;
};

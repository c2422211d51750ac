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
// The input is still added while frozen. In a loop that loses nothing that
// alone would grow without end, so what the loop carries is held below a
// ceiling: the louder of what it held when freeze came on and what the input
// brings in about one pass, with headroom. Below the ceiling the loop is left
// exactly as it is.
class FrozenLoop
{
public:
    // The kernels' latencies in samples (32-tap and 16-tap reads).
    void setLatencies(double latency32, double latency16);
    void prepare(double sampleRate);
    // The rings were emptied: nothing is held.
    void reset();

    // heldPower: the mean square of what the loop holds when freeze comes on.
    void setFrozen(bool on, double heldPower);
    bool isFrozen() const { return frozen; }
    // Frozen, or still fading from the whole-sample read back to the plain one.
    bool isActive() const { return frozen || hold > 0.0; }

    // Per piece: the loop's length in samples and the read's interpolation mode.
    void setLoop(double loopLength, int mode);

    // How far back the whole sample lies that stands for a band-limited read
    // at this delay (the read's latency included), within a ring of `maximum`.
    int wholeDistance(double delay, int maximum) const;

    // One sample: the crossfade moves on (towards the whole samples while
    // frozen and the delays rest), then the loop's read is taken from the
    // band-limited read and the whole sample.
    void advance(bool atRest);
    double read(double kernelRead, double wholeRead) const
    {
        if (hold >= 1.0)
            return wholeRead;
        const double made = frozen ? kernelRead * makeUp : kernelRead;
        return hold > 0.0 ? hold * wholeRead + (1.0 - hold) * made : made;
    }
    // The factor on the loop gain of a sample that takes this input: 1 below
    // the ceiling. At the ceiling what comes in takes the place of as much of
    // what the loop holds, so the loop stays there while input comes in, and
    // holds exactly once it stops.
    double gain(double inLeft, double inRight) const
    {
        if (! full)
            return excess;
        const double taken = 0.5 * (inLeft * inLeft + inRight * inRight);
        return taken > 0.0 ? excess * std::sqrt(std::max(0.0, 1.0 - taken / ceiling)) : excess;
    }
    // What this sample fed back (after the loop filter) and took in.
    void track(double readLeft, double readRight, double inLeft, double inRight);

private:
    double latency32 = 0.0;
    double latency16 = 0.0;
    double latency = 0.0;
    double crossfadeStep = 1.0;
    double shortestAverage = 1.0;
    bool frozen = false;
    double hold = 0.0;         // 0 the band-limited read, 1 whole samples
    double makeUp = 1.0;       // on the band-limited read while frozen
    double averaging = 1.0;    // per-sample coefficient of the two levels below
    double correctionExponent = 0.5;
    double loopPower = 0.0;    // mean square of what the loop feeds back
    double inputPower = 0.0;   // mean square of what comes in
    double ceiling = 0.0;      // the most loopPower may reach
    bool full = false;         // loopPower at the ceiling
    double excess = 1.0;       // takes back what went over it, over about one averaging
};

#pragma once

#include "processor/dsp/TavinorDelayLine.h"

#include <cstring>
#include <memory>

// The first stage of every delay line: a plain stereo delay without feedback or
// interpolation. The read moves in whole samples while the smoothed length
// glides after a time change.
class PreDelayCore : public TavinorDelayLine
{
public:
    PreDelayCore();
    ~PreDelayCore() override;

    // Input and output may be the same arrays. Never allocates.
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int numSamples);

    // Reallocates both rings (emptied) for the new maximum and rate. When the
    // rings cannot be had, returns false and keeps the previous rings, rate and
    // lengths. The smoothed lengths keep their values either way.
    bool prepare(int blockSize, int maxSeconds, float sampleRate) override;

    // Empties both rings; the smoothed lengths stay.
    void clear();

    float getSmoothedLeftLength() const { return (float) smoothedLeft; }
    float getSmoothedRightLength() const { return (float) smoothedRight; }

    // What one block's glide of the lengths came to: pre-delays that share one
    // (those of an engine, run one after another on one thread) take it
    // instead of gliding again when a block starts where the last one's did.
    struct GlideMemo
    {
        // Where a block's glide starts: the smoothed lengths, their targets,
        // the factor and the bounds of the whole distances; compared bit for
        // bit (nine doubles, no padding).
        struct Start
        {
            double left, right;
            double targetLeft, targetRight;
            double factor;
            double lowLeft, highLeft, lowRight, highRight;
        };
        static_assert(sizeof(Start) == 9 * sizeof(double), "compared as bytes: no padding");
        Start start {};
        int numSamples = -1;
        double toLeft = 0.0;
        double toRight = 0.0;
        bool inside = false;

        bool sameStart(const GlideMemo& other) const
        {
            return numSamples == other.numSamples && std::memcmp(&start, &other.start, sizeof start) == 0;
        }
    };
    // The memo to share (null: none); it must outlive the pre-delay's use of it.
    void shareGlides(GlideMemo* memo) { glideMemo = memo; }

    // process() in two halves, for a line whose input is known only after
    // its output is wanted (a line fed by another within the block): where
    // no read of the next numSamples reaches a sample of the block itself,
    // readAhead gives their output and returns true, and writeBehind must
    // then take their input; otherwise it returns false and nothing changes.
    bool readAhead(float* outLeft, float* outRight, int numSamples);
    void writeBehind(const float* inLeft, const float* inRight, int numSamples);

private:
    // The rings' writes and reads of a whole block at rest, from the write
    // index on; a sweep in with an output also puts what it writes there.
    void sweepIn(float* ring, const float* input, int numSamples, float* output = nullptr) const;
    void sweepOut(const float* ring, float* output, int distance, int numSamples) const;

    // The steps of process(): the whole block in sweeps where the lengths
    // keep to one whole distance through it (false, nothing done, where they
    // do not), else sample by sample.
    bool sweepSteadyBlock(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int numSamples);
    void processSamples(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int numSamples);
    // The glide of a block from the start of key (the shared memo's outcome
    // where it starts alike), and the glide itself, step by step.
    GlideMemo glideOfBlock(const GlideMemo& key);
    static void glideThrough(GlideMemo& glided);

    std::unique_ptr<float[]> leftRing;
    std::unique_ptr<float[]> rightRing;
    int ringLength = 0;
    int writeIndex = 0;
    // Double, so that the glide reaches the set length: in float it stops where
    // a step falls below the float spacing, samples short or long of it.
    double smoothedLeft = 0.0;
    double smoothedRight = 0.0;
    GlideMemo* glideMemo = nullptr;
    // The smoothed lengths at the end of the block readAhead read.
    double aheadLeft = 0.0;
    double aheadRight = 0.0;
};

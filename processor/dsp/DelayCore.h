#pragma once

#include "processor/dsp/FractionalReader.h"
#include "processor/dsp/FrozenLoop.h"
#include "processor/dsp/LineInputSection.h"
#include "processor/dsp/TavinorDelayLine.h"

#include <memory>
#include <vector>

// The sound of one delay line: a stereo feedback delay with band-limited
// fractional reading, an oversampled overdrive with a resonant filter before or
// after it, a second copy of the filter that can sit in the feedback loop,
// freeze, stereo input modes, a stereo offset between the outputs, tremolo,
// mid/side decoding, level, balance and peak meters.
//
// Continuous settings take the line parameter's normalised value v (0..1);
// switches and choices take the decoded value. setParameter(k, v) decodes a
// line parameter by its index and calls the matching setter.
class DelayCore : public TavinorDelayLine
{
public:
    // The tables belong to the engine and must outlive the core.
    // allowAvx2 false keeps every vector form of the line to SSE2 even where
    // AVX2 is there (for tests).
    DelayCore(const double* kernel32, const double* kernel16, const float* semitoneTable,
              const float* fineTuneTable, bool allowAvx2 = true);
    ~DelayCore() override;

    void updateLengths() override;

    // Reallocates the rings (emptied) for the new maximum and rate, rebuilds the
    // filter tables and settles every smoother. When the rings cannot be had,
    // returns false and keeps the previous preparation entirely.
    bool prepare(int blockSize, int maxSeconds, float sampleRate) override;

    // In place is allowed. Never allocates.
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int numSamples);

    // Empties the rings and filter memories; the next sample starts with the
    // lengths at their targets instead of gliding from the previous ones.
    void clear();

    // Line parameter k (the DelayParameters::LineParameter ids 1..10 and
    // 35..46) with its normalised value; others are ignored.
    void setParameter(int k, float v);

    // Each takes the curve of its parameter in DelayParameters.
    void setBalance(float v);
    void setLevel(float v);
    void setMidSide(bool on);
    void setSwapChannels(bool on);
    void setMonoInput(bool on);
    void setFilterPlacement(int placement);   // a DelayParameters::FilterPlacement
    void setFilterInLoop(bool on);
    void setCutoff(float v);
    void setResonance(float v);
    void setFilterType(int type);             // a DelayParameters::FilterType
    void setOverdriveOn(bool on);
    void setPreamp(float v);
    void setColor(float v);
    void setOverdriveGain(float v);
    void setFeedback(float feedback);   // -1..1
    void setFreeze(bool on);
    void setStereoOffset(float v);
    void setModulationSource(int source);     // the modulator, 0 or 1
    void setTimeModScale(bool on);
    void setTimeModDepth(float v);
    void setCutoffModDepth(float v);
    void setTremoloDepth(float v);

    // Quality: a DelayParameters::InterpolationMode and the smallest kernel
    // step of the stretched read.
    void setInterpolation(int mode, double minimumStep);
    // Per-sample modulation (0..1) read through these pointers, written by the
    // engine; null reads as 0. smooth adds two one-pole stages to the delay.
    void setModulation(const float* left, const float* right, bool smooth);

    // process() of several lines at once (at most LineInputSection::kMaxLines),
    // each on its own buffers (in place allowed), the same as each line's
    // process() in turn: piece by piece, the input sections of the lines run
    // side by side ahead of each line's feedback loop.
    static void processTogether(DelayCore* const* cores, int count, float* const* lefts, float* const* rights,
                                int numSamples);

    // The settings as their curves left them.
    float getLevel() const { return level; }
    float getPreampGain() const { return preampGain; }
    float getOverdriveGain() const { return overdriveGain; }
    float getFeedback() const { return feedback; }
    int getModulationSource() const { return modulationSource; }
    bool isFrozen() const { return freeze; }
    float getLoopGain() const { return loopGain; }
    float getStereoOffsetSamples() const { return offsetSamples; }
    float getTimeModDepth() const { return timeModDepth; }
    int getInterpolationMode() const { return interpolationMode; }
    double getMinimumKernelStep() const { return minimumKernelStep; }
    double getReadTrim() const { return readTrim; }

    // Peak meters as nine-step display levels 0, 0.125 .. 1.0.
    float getLeftMeter() const;
    float getRightMeter() const;
    // Left length in milliseconds (+ 0.1).
    double getLeftTimeMs() const;

private:
    // Lanes are kept in double: in float a lane holding a length of tens of
    // thousands of samples stops short of its target once a step falls below
    // the float spacing there, leaving the delay off its set time (by samples
    // at 44.1 kHz, by a hundred at 192 kHz) and different on the two sides.
    struct Smoother
    {
        double state[4] {};
        double target[4] {};
        float baseRate = 0.0f;
        float coefficient = 0.0f;

        void step();
        void settle();
        // Whether a step would leave every lane where it is (and so would
        // every further step while the targets stay).
        bool isAtRest() const;
        bool isAtRest(int lane) const;
    };

    // A stereo biquad with its own rate and sine and cosine of every half
    // hertz up to its highest frequency (entries, indexed by twice the
    // frequency), from a coarse and a fine table of both side by side.
    // Table, coefficients and memories are double: a low cut-off at four times
    // a high rate puts the poles so near the unit circle that float rounding
    // of cos w (or of the feedback sums) moves them onto or outside it.
    struct Biquad
    {
        SampleRateContext context;
        static constexpr int kFineEntries = 512;
        int tableEntries = 1;
        std::vector<double> coarseSinCos;   // entries 0, 512, 1024 ..
        std::vector<double> fineSinCos;     // entries 0 to 511
        float lowest = 22.0f;
        float highest = 22000.0f;
        int kind = 1;
        float q = 1.0f;
        bool useAvx2 = false;
        double b0[2] {}, b1[2] {}, b2[2] {}, a1[2] {}, a2[2] {};
        struct Memories
        {
            double x1[2] {}, x2[2] {}, y1[2] {}, y2[2] {};
        };
        Memories memories;
        // What the coefficients of each channel were computed from (none yet: index -1).
        struct Source
        {
            int index = -1;
            int kind = 0;
            float q = 0.0f;
        };
        Source computedFor[2];

        void allocate(int entries);
        void setRate(double rate);
        void computeCoefficients(int channel, float frequency);
        // The coefficients of the table entries of both channels (entries[i][c]),
        // sample by sample, as rows of b0, b1, b2, a1, a2.
        void coefficientRows(const int (*entries)[2], int numSamples, double (*rows)[5][2]) const;
        int entryOf(float frequency) const;
        bool keeps(int channel, int index) const;
        void sinCosOf(int index, double& sinW, double& cosW) const;
        // The coefficients as a row of b0, b1, b2, a1, a2 for both channels.
        void storeCoefficients(double (&row)[5][2]) const;
        // One sample of a channel, or of each channel, with the coefficients of a row.
        float process(const double (&row)[5][2], int channel, float x);
        void processPair(const double (&row)[5][2], float& left, float& right);
        void clearMemories();
    };

    // A block is worked through in pieces of at most kPiece samples: first
    // what follows from the settings and the modulation alone (the delays, the
    // input after its stereo modes, the smoothed settings), then the reads of
    // the rings, then sample by sample what feeds back.
    static constexpr int kPiece = 256;
    struct Piece
    {
        double delay[2][kPiece];
        float read[2][kPiece];   // what plays and feeds back is float
        float input[2][kPiece];
        float modulation[2][kPiece];
        float tremolo[2][kPiece];
        // The smoothed settings, sample by sample, while any smoother moves.
        float loopGain[kPiece];
        int offset[kPiece];
        float level[kPiece];
        float balance[kPiece];
        float preamp[kPiece];
        float colour[kPiece];
        float overdriveGain[kPiece];
        float tremoloDepth[kPiece];
        // The input after the input section (where it runs) and the loop
        // filter's table entries, sample by sample.
        float section[2][kPiece];
        int loopEntries[kPiece][2];
    };
    // offsetInBlock: where the piece starts in the engine's block (and so in
    // the modulation buffers).
    void processPiece(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int offsetInBlock,
                      int numSamples);
    // processPiece in two: what comes before the input section (which then
    // runs on piece.section where pieceRun.section holds), and the feedback
    // loop after it.
    void preparePiece(const float* inLeft, const float* inRight, int offsetInBlock, int numSamples);
    void finishPiece(float* outLeft, float* outRight, int numSamples);
    // preparePiece in steps. Which smoothers move through the piece (a reset
    // moves them all), and one step of those that do, stored for sample i.
    struct SmootherMotion
    {
        bool moving1 = false, moving2 = false, moving3 = false, moving4 = false;
        bool any = false;
    };
    SmootherMotion smootherMotion() const;
    void stepSmoothers(int i, const SmootherMotion& motion);
    // The settings a sample takes, where the smoothers stand.
    struct Smoothed
    {
        float loopGain;
        int offset;
        float level, balance, preamp, colour, overdriveGain, tremoloDepth;
    };
    Smoothed smoothedNow() const;
    void storeSmoothed(int i);
    // Whether the lengths and the time-modulation depth rest (and their
    // sources do): then prepareResting takes the piece.
    bool delaysAtRest() const;
    // The first part of processPiece while the delays glide, sample by
    // sample: the smoothers, the modulated delays (through two one-pole
    // stages where asked), the tremolo and the input.
    void prepareGliding(const float* inLeft, const float* inRight, const float* modL, const float* modR,
                        int numSamples, const SmootherMotion& motion);
    void modulatedDelays(float ml, float mr, double& dl, double& dr) const;
    void glideDelays(double& dl, double& dr);
    // Freeze going on or off, before the smoothers step: the loop gain moves
    // at once, from where it was (FrozenLoop takes it there within a few
    // milliseconds): at the smoother's pace what goes round after the press
    // would keep a fade for ever.
    void followFreeze(int offsetInBlock);
    // The settings as the smoothers leave them, for the piece's runs while
    // none moves.
    void keepRestingSettings();
    // The input section's switches, cut-off rows, drive settings and input.
    void prepareSection(int numSamples);
    // Whether process() has rings to work on.
    bool isReady() const;
    // Whether the second filter sits in the feedback loop.
    bool loopFiltered() const { return filterInLoop && filterType != DelayParameters::kFilterOff; }
    // What preparePiece leaves for finishPiece (the resting values are the
    // settings while no smoother moves), and where finishPiece plays.
    struct PieceRun
    {
        bool smoothing = false;   // the piece's smoothed values instead of the resting ones
        bool inputL = false;
        bool inputR = false;
        bool holding = false;
        bool plain = false;
        bool section = false;   // the input section runs on this piece
        bool tremoloPending = false;   // smoothTremolos still owes the piece its tremolo
        float loopGain = 0.0f;
        int offset = 0;
        float level = 0.0f;
        float balance = 0.0f;
        float tremoloDepth = 0.0f;
        float* outputs[2] = { nullptr, nullptr };
    };
    PieceRun pieceRun;
    // What the runs of a piece hand on, channel by channel: whether it is
    // active, for how many writes its ring has been quiet, its meter.
    struct RunState
    {
        bool active[2];
        int quiet[2];
        double meter[2];
    };
    // One sample of the feedback loop: its input, what plays (the read) and
    // what feeds back (the read, or the frozen loop's).
    struct LoopSample
    {
        float input[2];
        float read[2];
        float loop[2];
    };
    // Mono, mid/side and swap on one input sample of each channel, in place.
    void applyStereoModes(float& left, float& right) const;
    // The first part of processPiece while nothing glides (every smoother at
    // rest, no extra delay smoothing, linear time modulation): the same
    // values, a channel and a quantity at a time.
    void prepareResting(const float* inLeft, const float* inRight, const float* modL, const float* modR,
                        int numSamples, bool& inputL, bool& inputR);
    // The tremolo smoothing that prepareResting leaves for later, of several
    // lines at once: a recurrence per channel, which one channel alone waits
    // on at every step, while the channels of four lines go through together
    // (each step as each channel takes it alone).
    static void smoothTremolos(DelayCore* const* cores, int count, int numSamples);
    // Reads samples from..to - 1 of the piece into piece.read, for the
    // channels that may be active.
    void readPiece(int from, int to, bool left, bool right);
    // Where the run from start ends: at the first sample whose read reaches
    // back into the run, or nearly a whole ring back (see finishPiece).
    int runEnd(int start, int numSamples, double shortest, double longest) const;
    // Whether each channel keeps its activity through samples start..end - 1
    // and the stereo offset holds (then the run is steady); offset: the
    // offset at the run's start.
    bool holdsThrough(int start, int end, const RunState& state, int& offset) const;
    // One run of the piece after its reads, the plain way, over the run, or
    // sample by sample; moves the write index past it.
    void finishRun(int start, int end, RunState& state);
    // A steady run where nothing but the activity recurs: no filter or
    // overdrive runs (none is on, or both channels rest through the run), a
    // quantity at a time.
    void runPlain(int start, int end, int offset, RunState& state);
    // A steady run where nothing recurs but the loop filter: it goes over the
    // run first (its memories in registers), then the ring writes.
    void filterThenWrite(int start, int end, bool filtered, RunState& state);
    void filterRun(int start, int end);
    // The ring writes of a run: inputs + loop gain * reads (the resting loop
    // gain, or the piece's while smoothing), limited; quiet follows them.
    void writeRun(int start, int end, const float* const* inputs, const float* const* reads, int* quiet);
    // The part of a steady run after its ring writes, a quantity at a time:
    // the offset ring and the stereo offset o (constant through the run),
    // tremolo, mid/side, level and balance, the outputs and the meters, and
    // whether a channel rests at the run's end. reads: what each channel
    // plays (silence where it rests); the activity holds through the run.
    void finishOutputs(int start, int end, int o, const float* const* reads, RunState& state);
    // finishOutputs in steps: the stereo offset and the tremolo into outs,
    // the offset ring's share of the reads, level and balance into the outputs.
    void tremoloRun(int start, int end, int o, const float* const* reads, float (*outs)[kPiece]) const;
    void keepOffsetReads(int count, const float* reads);
    void levelRun(int start, int end, const float (*outs)[kPiece]) const;
    // Samples from..to - 1 one at a time through the loop: take, filter,
    // write, and play (or, deferred, leave what plays in the piece's reads
    // for finishOutputs), each step below.
    template <bool deferred>
    void loopSamples(int from, int to, RunState& state);
    LoopSample takeSample(int i, int w, RunState& state);
    void filterSample(int i, const RunState& state, LoopSample& x);
    void writeSample(int i, int w, RunState& state, const LoopSample& x);
    void playSample(int i, int w, RunState& state, const LoopSample& x);
    // The stereo offset in samples and the time-modulation depth: both follow
    // their control and the left length.
    void refreshDerived();
    // Smoothers 1 to 3 follow the settings; smoother 4 is the second stage of
    // the lengths and the time-modulation depth, and carries the balance.
    void setSmootherTargets();
    void setSecondStageTargets();
    // The filters' coefficients for the cut-off under each channel's
    // modulation, for every sample of the piece: the oversampled filter's
    // into the input section's rows, the loop filter's table entries into
    // the piece (finishPiece turns them into rows).
    void computeCutoffRows(int numSamples);
    void cutoffFrequencies(float modulation, float& oversampledHz, float& loopHz) const;
    static float meterToDisplay(double meter);
    // The whole distance channel c's loop goes round in when freeze comes on.
    int frozenDistance(int c) const;
    // The loop filter's coefficients for the frozen loop, per piece.
    void frozenFilterRow();
    // What the rings hold for a frozen loop of these whole distances: the
    // squares of the samples of each ring it measures its level over.
    FrozenLoop::Measure heldMeasure(int distanceLeft, int distanceRight) const;
    // While frozen, after a sample went to the rings at w: the loop's measure
    // follows what it wrote and took in.
    void trackFrozen(int w, float writtenLeft, float writtenRight, float inLeft, float inRight);

    // Settings
    float stereoOffsetControl = 0.0f;
    float feedback = 0.5f;
    float loopGain = 0.495f;
    float cutoff = 0.0f;
    float resonance = 0.0f;
    int filterType = 0;
    bool overdriveOn = false;
    float preampGain = 0.0f;
    float colour = 0.0f;
    float overdriveGain = 0.0f;
    float timeModDepth = 0.0f;
    float timeModBase = 0.0f;
    float cutoffModDepth = 0.0f;
    float tremoloDepth = 0.0f;
    float balance = 0.0f;
    float level = 0.0f;
    bool midSide = false;
    bool monoInput = false;
    bool swapChannels = false;

    Smoother smoother1, smoother2, smoother3, smoother4;
    LineInputSection inputSection;

    double readTrim = 0.0;
    bool resetSmoothers = false;
    int interpolationMode = 0;
    double minimumKernelStep = 512.0;

    bool useAvx2 = false;   // the vector forms of the line may use AVX2
    FractionalReader reader;
    FractionalReader::Memory readMemory[2];   // left (or both), right
    const float* semitones = nullptr;
    const float* fineTune = nullptr;

    // Float: what the rings take and give passes through float on the way
    // (the input, the reads fed back and played), and half the bytes is half
    // of what a long read waits for.
    std::unique_ptr<float[]> leftRing;
    std::unique_ptr<float[]> rightRing;
    std::unique_ptr<float[]> offsetRing;
    int ringLength = 0;
    int writeIndex = 0;
    double previousLeftDelay = 0.0;
    double previousRightDelay = 0.0;

    float offsetSamples = 0.0f;
    bool freeze = false;
    bool leftActive = false;
    bool rightActive = false;
    int leftQuietWrites = 0;     // samples since the ring last took sound
    int rightQuietWrites = 0;
    int modulationSource = 0;
    bool smoothModulatedDelay = false;
    const float* modulationLeft = nullptr;
    const float* modulationRight = nullptr;

    std::unique_ptr<Piece> piece = std::make_unique<Piece>();

    double delayStage1[2] {};
    double delayStage2[2] {};
    double delaySmoothing = 0.002;
    double tremoloState[2] {};
    double tremoloSmoothing = 0.01;
    double leftMeter = 0.0;
    double rightMeter = 0.0;
    double meterDecay = 1.0 - 1.0e-5;

    Biquad oversampledFilter;
    Biquad loopFilter;
    Biquad colourFilter;
    // The loop filter on what a frozen line feeds back: its memories, and
    // the cut-off modulation of each channel when freeze came on, which it
    // keeps (what the line plays follows the modulation as ever), with the
    // coefficients of that.
    struct FrozenFilter
    {
        Biquad::Memories memories;
        float modulation[2] {};
        double row[5][2] {};
    };
    FrozenFilter frozenFilter;

    int filterPlacement = 0;
    bool filterInLoop = false;
    bool timeModScale = false;

    // Last: what only a frozen line works on stays out of the way of the rest.
    FrozenLoop frozenLoop;
};

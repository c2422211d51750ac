#pragma once

#include "processor/dsp/DelayParameters.h"
#include "processor/dsp/SampleRateContext.h"
#include "processor/dsp/LookAheadLimiter.h"
#include "processor/dsp/PreDelayCore.h"
#include "processor/dsp/RoutingCrossfade.h"
#include "processor/dsp/SoundChange.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class DelayCore;
class IntervalAverager;
class TavinorDelayLine;
class PreDelayCore;
class DspTables;

// The whole sound of the product: four delay lines (each a pre-delay followed by
// a delay core) wired in one of nine routings, two modulators that feed the
// lines per sample, the mix with the dry signal, the output gain, the look-ahead
// limiter and the meters. Single-threaded by contract: the owner calls every
// operation under its engine lock, except tapTime and the meter and display
// reads, which are atomic. It takes the parameters of DelayParameters, by
// their ids and names.
class DelayEngine : public DelayParameters
{
public:
    static constexpr int kNumOscillators = 2 * kNumModulators;
    static constexpr int kNumModulationBuffers = 8;
    static constexpr int kDefaultMaxDelaySeconds = 3;
    static constexpr int kMinMaxDelaySeconds = 1;
    static constexpr int kMaxMaxDelaySeconds = 15;

    // The oscillators' shapes (the waveforms, and saw up: saw down inverted).
    enum Shape { shapeTriangle = 0, shapeSine = 1, shapeSquare = 2, shapeSawDown = 3, shapeSawUp = 4, shapeRandom = 5 };
    enum EnvelopeState { envelopeIdle = 0, envelopeAttack = 1, envelopeDecay = 2, envelopeHold = 4, envelopeRelease = 5 };

    // Indices of the modulation buffers.
    enum ModulationBuffer
    {
        bufferOscillator1Left = 0, bufferOscillator1Right, bufferOscillator2Left, bufferOscillator2Right,
        bufferEnvelope1, bufferEnvelope2, bufferPeakFollower1, bufferPeakFollower2
    };

    // One LFO voice: modulator m has oscillators 2m (left) and 2m + 1 (right).
    struct Oscillator
    {
        int shape = shapeTriangle;
        bool invert = false;
        double phase = 0.0;
        double phaseOffset = 0.0;
        double increment = 0.0;
        uint32_t noiseA = 0x67452301u;
        uint32_t noiseB = 0xefcdab89u;
        float held = 0.0f;
        bool synced = false;
        double rateFactor = 1.0;
        double rate = 1.0;
        double freeRate = 1.0;
        double tempo = 120.0;
        float smoothed = 0.5f;

        void noiseStep();
        void updateRate(double inverseRate);
        // The shape's value at the current phase (-1..1), then one sample's advance.
        double tick();
        // count ticks, each mapped to 0..1 and smoothed with the coefficient
        // into out (what the modulation buffers hold).
        void run(float* out, int count, float coefficient);
        // Value of the shape at a wrapped phase, without the invert.
        double shapeValue(double wrappedPhase) const;
        void resetPhase(double newPhase);
    };

    struct Envelope
    {
        int state = envelopeIdle;
        double value = 0.0;
        double target = 0.0;
        double coefficient = 0.0;
        double attackCoefficient = 0.0;
        double decayCoefficient = 0.0;
        double releaseCoefficient = 0.0;
        double sustain = 0.5;
        int holdLength = 8820;
        int holdCounter = 0;

        void start();
        float tick();
        // count ticks into out.
        void run(float* out, int count);
    };

    struct PeakFollower
    {
        double value = 0.0;
        double attackPole = 0.0;
        double releasePole = 0.0;
        double sensitivity = 1.0;

        float tick(double x);
    };

    struct LevelDetector
    {
        float level = 0.0f;
        float timeFactor = 1.0f;
        float onThreshold = 0.0f;
        float offThreshold = 0.0f;
        float gate = 0.0f;
        int gateCounter = 0;

        // True when the gate opens at this sample.
        bool tick(double x, float k, int closeAfterSamples);
        // The gate's step at the level this sample left (the second half of tick).
        bool gateStep(int closeAfterSamples);
    };

    struct Modulator
    {
        int kind = kindOscillator;
        int retriggerMode = kRetriggerNone;
        Envelope envelope;
        PeakFollower follower;
        LevelDetector detector;
        // Control values the rate-dependent coefficients are computed from.
        double attackControl = 0.0;
        double decayControl = 0.5;
        double holdControl = 0.2;
        double releaseControl = 0.5;
        double followerAttackControl = 0.0;
        double followerReleaseControl = 0.5;
        bool retriggeredInBlock = false;
    };

    // allowAvx2 false keeps to SSE2 even where AVX2 is there (for tests).
    explicit DelayEngine(bool allowAvx2 = true);
    ~DelayEngine();

    DelayEngine(const DelayEngine&) = delete;
    DelayEngine& operator=(const DelayEngine&) = delete;

    void prepare(int blockSize, double sampleRate);
    void releaseResources() {}

    // The read of every delay core for a Quality (anything else reads as Low).
    void setQuality(int choice);
    // Whole seconds, held to 1..15; empties every delay ring. False when the
    // rings could not be had: the previous maximum stays, and so does the
    // sound (the rings are emptied all the same).
    bool setMaxDelayTime(int seconds);
    // Host tempo; a tempo that is not finite or not above zero is ignored.
    void setTempo(double bpm);

    // An EngineParameter (kMod1First..kOutputGain) with its normalised value;
    // other ids are ignored.
    void setGlobalParameter(int id, float v);
    // Line 0..3, LineParameter k with its normalised value.
    void setLineParameter(int line, int k, float v);

    void setModulatorSync(int modulator, bool shouldBeSynced);
    void setModulatorFreeRate(int modulator, double v);
    // Rate factor (cycles per beat) of a synced modulator.
    void setModulatorRate(int modulator, double factor);
    // Moves a synced modulator's phase to the fractional part of a position
    // counted in oscillator cycles.
    void syncModulatorPhase(int modulator, double cyclePosition);
    void retriggerModulator(int modulator);
    void refreshModulationRouting();

    // In place: channels[0] always, channels[1] when stereoIn or stereoOut.
    void process(float** channels, int numSamples, bool stereoIn, bool stereoOut);

    // A TimeStage: the delay core or the pre-delay; a TapChannel (anything
    // but the left is the right).
    void tapTime(int line, int stage, int channel);
    double getTappedTimeMs(int line, int stage, int channel) const;
    // Whether that averager produced a new average since the last call (the
    // flag is cleared by the call).
    bool takeNewTappedTime(int line, int stage, int channel);
    double getLeftTimeMs(int line) const;

    // Whether the lines that a routing lets run together (their inputs known
    // before the block) run side by side (the default), or every line in
    // turn; both sound the same.
    void setLinesSideBySide(bool on) { linesSideBySide = on; }

    // After a preset: phases to 0, work buffers and every delay ring emptied.
    void reset();
    // The settings written between these two make a new sound (a preset, a
    // state). While audio flows they are held, the old sound fades out, and
    // at the silent sample they take effect, the engine is reset and the new
    // sound fades in. Before any audio they take effect as they come and the
    // engine is reset at the end.
    void beginSoundChange();
    void endSoundChange();

    // Meters, read from any thread.
    void getOutputLevels(float& left, float& right) const;
    void getOutputClips(bool& left, bool& right) const;
    void getLineLevels(float levels[8]) const;

    // Display values per modulator, read from any thread. The two take
    // operations clear their flag.
    float getDetectorLevel(int modulator) const;
    bool takeRetriggerEvent(int modulator);
    float getPeakFollowerLevel(int modulator) const;
    int getLfoLampFrame(int modulator) const;
    bool takeRestart(int modulator);

    // Inspection.
    int getRouting() const { return routing; }
    int getMaxDelayTime() const { return maxDelaySeconds; }
    int getBlockSize() const { return blockSize; }
    double getSampleRate() const { return context.rate; }
    bool isLimiterOn() const { return limiterOn; }
    float getOutputGainTarget() const { return outputGainTarget; }
    float getWetAmount() const { return wetAmount; }
    float getLineMixGain(int line) const;
    const float* getModulationBuffer(int index) const;
    const Oscillator& getOscillator(int index) const { return oscillators[(size_t) index]; }
    // The smoothing coefficient the oscillators' values are given to the lines with.
    float getOscillatorCoefficient() const { return oscillatorCoefficient; }
    const Modulator& getModulator(int index) const { return modulators[(size_t) index]; }
    DelayCore& getDelayCore(int line) { return *delayCores[(size_t) line]; }
    PreDelayCore& getPreDelayCore(int line) { return *preDelayCores[(size_t) line]; }
    const LookAheadLimiter& getLimiter() const { return limiter; }

private:
    void processChunk(float* left, float* right, int numSamples, bool stereoIn, bool stereoOut);
    // The old sound has faded out: the held settings take effect at once, as
    // before any audio, and nothing of the old sound is kept.
    void makeHeldChange();
    // At once without audio; while audio flows, through a crossfade.
    void changeRouting(int next);
    // The modulators over numSamples of input (the detectors' gates stay
    // open at least detectorCloseAfter samples): each one by itself through
    // the block, the oscillators and envelopes in stretches between the
    // samples where their detector retriggers them.
    void runModulators(const float* inLeft, const float* inRight, int numSamples, int detectorCloseAfter);
    // The mix of the branches that routing `layout` mixes.
    void mixLines(float* left, float* right, const float* inRight, int numSamples, bool stereoOut, int layout);
    // The lines through the routing: in waves of lines side by side (or
    // one step after the other when they may not go side by side).
    void runRouting(int numSamples);
    // Steps whose delay cores run side by side at once, and where each works.
    struct Wave;
    void runStepsInTurn(int numSamples);
    // The lines in turn, each in its own work buffer, on a crossfade between
    // two routings (what each takes in, and which of them are mixed).
    void runRoutingCrossfade(const float* dryLeft, const float* dryRight, int numSamples);
    // Step k joins the wave (its pre-delay run or read ahead), if it can.
    bool joinWave(Wave& wave, int k, const bool* done, int first, int numSamples);
    // The wave's delay cores side by side, then the feeds they give and
    // their outputs where the routing's table has them.
    void runWave(const Wave& wave, bool* done, int numSamples);
    void updateMeters(const float* left, const float* right, int numSamples);
    void publishBlockResults();
    void recomputeModulatorCoefficients(int modulator);
    void retriggerInternal(int modulator);
    bool prepareLines();
    void clearWorkBuffers();
    void applyOutputGain();
    // The output gain its control gives (with the guard the stored sound has).
    float outputGainOfControl() const;
    // A parameter of a modulator (valid id, v in 0..1).
    void setModulatorParameter(int id, float v);
    // The limiter switched while audio flows crossfades between its paths.
    void switchLimiter(bool on);
    // The limiter's output (or, while it is off, what it follows) from the
    // mixed block in place; a switch crossfades between the two paths.
    void runLimiter(float* left, float* right, int numSamples, float outputGainBefore);
    void followLimiter(float* left, float* right, int numSamples, float outputGainBefore);
    void crossfadeLimiter(float* left, float* right, int numSamples);
    bool isLimiterSwitching() const { return switchPosition != (limiterOn ? switchLength : 0); }
    // The delay core or the pre-delay; null for a line or stage that does not exist.
    TavinorDelayLine* delayStage(int line, int stage) const;
    // The averager behind a tap: null for a line or stage that does not exist.
    IntervalAverager* tapAverager(int line, int stage, int channel) const;
    float* work(int buffer, int channel) { return workBuffers[(size_t) (2 * buffer + channel)].data(); }

    SampleRateContext context;
    int maxDelaySeconds = kDefaultMaxDelaySeconds;

    std::array<Oscillator, kNumOscillators> oscillators;
    std::array<Modulator, kNumModulators> modulators;

    std::unique_ptr<DspTables> tables;
    std::array<std::unique_ptr<DelayCore>, kNumLines> delayCores;
    std::array<std::unique_ptr<PreDelayCore>, kNumLines> preDelayCores;

    LookAheadLimiter limiter;
    bool limiterOn = false;
    float outputGainControl = 0.5f;
    float outputGainTarget = 1.0f;
    // Switched while audio flows, the limiter's delayed path and the undelayed
    // one crossfade over switchLength samples: 0 is off, switchLength on.
    // Meanwhile the mix runs at unity gain and the undelayed path carries the
    // output gain itself (offPathGain, gliding as the mix's would).
    int switchLength = 1;
    int switchPosition = 0;
    float offPathGain = 1.0f;
    // The undelayed path during a crossfade, or the audio the limiter follows
    // brought back to unity gain.
    std::array<std::vector<float>, 2> limiterBuffers;
    // The new routing's weight through a block of a routing crossfade.
    std::vector<float> crossfadeWeights;

    int blockSize = 0;
    std::array<std::vector<float>, kNumModulationBuffers> modulationBuffers;
    std::array<std::vector<float>, 2 * kNumLines> workBuffers;
    // Per block: the detectors' input and the samples after which each modulator retriggers.
    std::vector<double> detectorInput;
    std::array<std::vector<int>, kNumModulators> retriggerPoints;
    // The pre-delays' shared outcome of a block's glide (they glide alike at rest).
    PreDelayCore::GlideMemo preDelayGlides;

    // The routing last set; a crossfade towards it may be under way.
    int routing = 0;
    RoutingCrossfade routingFade;
    SoundChange soundChange;
    bool linesSideBySide = true;
    std::array<float, kNumLines> lineMixGains {};
    float wetAmount = 0.0f;
    std::array<float, kNumLines> smoothedLineGains {};
    float smoothedWet = 0.0f;
    float smoothedOutputGain = 1.0f;
    float mixCoefficient = 0.002f;
    float oscillatorCoefficient = 0.05f;
    bool useAvx2 = false;

    // Output meter state per channel.
    std::array<double, 2> clipHold {};
    std::array<double, 2> meterPeak {};
    std::array<double, 2> meterStage1 {};
    std::array<double, 2> meterStage2 {};
    double meterFall = 0.0;
    double displayCoefficient = 0.0;

    // Published values.
    std::array<std::atomic<float>, 2> outputLevels {};
    std::array<std::atomic<int>, 2> outputClipFlags {};
    std::array<std::atomic<float>, 2 * kNumLines> lineLevels {};
    std::array<std::atomic<float>, kNumModulators> detectorLevels {};
    std::array<std::atomic<float>, kNumModulators> peakLevels {};
    std::array<std::atomic<int>, kNumModulators> retriggerEventFlags {};
    std::array<std::atomic<int>, kNumModulators> restartFlags {};
    std::array<std::atomic<int>, kNumModulators> lfoLampFrames {};
    std::array<std::atomic<int>, 4 * kNumLines> tapResultFlags {};
};

#pragma once

#include "processor/dsp/SampleRateContext.h"

#include <array>
#include <cstdint>

// Guards the engine's summed stereo output: the audio is delayed by a few
// milliseconds while a soft-knee gain reduction, derived from the louder
// channel and smoothed twice by moving averages, is applied to it together
// with the make-up gain of the threshold and the output gain. The smoothed
// reduction alone lets short peaks through (a click passes it nearly whole),
// so a ceiling guard, looking just as far ahead, takes over wherever it would
// let a sample out above the ceiling (the output gain).
// Settings written while audio flows glide (the threshold in decibels, the
// output gain as the engine's own output gain does), so that moving them makes
// no click; each sample keeps the make-up gain it came in with through the
// look-ahead, so the ceiling holds while they move. Settings written before
// any audio since the last reset take effect at once.
class LookAheadLimiter
{
public:
    static constexpr int kAudioPositions = 960;
    static constexpr int kAudioRingSize = 2 * kAudioPositions + 1;
    // The gain-reduction histories are rings of 128 positions, each value
    // written twice (at h and h + 128) so that every averaging window can be
    // read without wrapping.
    static constexpr int kHistoryPositions = 128;
    static constexpr int kHistorySize = 2 * kHistoryPositions + 1;
    static constexpr int kHistoryCentre = 64;
    static constexpr double kLookAheadSeconds = 0.003319;

    // allowAvx2 false keeps to SSE2 even where AVX2 is there (for tests).
    explicit LookAheadLimiter(bool allowAvx2 = true);

    // Clears every ring and history and recomputes the rate-dependent values.
    void prepare(double sampleRate);
    // Forgets all audio and gain history without touching the settings.
    void reset();
    // In place on the two arrays (which may be the same array for a mono fold).
    void process(float* left, float* right, int numSamples);
    // Takes the audio into the look-ahead and the gain reduction as process
    // does, but leaves it unchanged. Fed while the limiter is switched off, it
    // switches on without a gap, its reduction already set for the level.
    void follow(const float* left, const float* right, int numSamples);

    // Threshold control 0..1: the threshold
    // (DelayParameters::limiterThresholdDecibels) and its make-up gain.
    void setThresholdControl(float v);
    void setOutputGain(float g);

    float getThresholdControl() const { return thresholdControl; }
    float getThresholdDb() const { return thresholdDb; }
    float getMakeupGain() const { return makeupGain; }
    float getOutputGain() const { return outputGain; }
    int getLookAheadSamples() const { return lookAhead; }
    // Nothing has gone through since the last prepare or reset.
    bool isFresh() const { return fresh; }
    int getAverageHalfLength() const { return averageHalfLength; }
    float getLastAverage() const { return lastAverage; }

private:
    // The largest gain each output sample may take so that it stays at or
    // below the ceiling: per input sample the gain that puts it exactly on
    // the ceiling, the smallest of these over the look-ahead, then the mean
    // of that over the look-ahead again. Each output sample's gain is thus a
    // mean of values none above its own limit, and the gain glides down to it
    // across the look-ahead and back up after. Fixed point, so that the
    // running sum is exact.
    class CeilingGuard
    {
    public:
        static constexpr int kCapacity = 1024;   // a power of two beyond the look-ahead's reach

        // Neutral (gain 1) over a look-ahead of the given samples.
        void reset(int lookAheadSamples);
        // Takes the next input sample's peak times the make-up gain and
        // returns the gain for the output sample a look-ahead earlier.
        double step(double level);

    private:
        static constexpr double kUnit = 4503599627370496.0;   // 2^52, the gain 1
        static constexpr uint32_t kMask = kCapacity - 1;

        // The smallest limit over the look-ahead: limits in rising order from
        // the oldest, each with its time; a new one drops every larger one.
        std::array<int64_t, kCapacity> minimaValues {};
        std::array<uint32_t, kCapacity> minimaTimes {};
        uint32_t minimaFront = 0;
        uint32_t minimaBack = 0;
        // The last `length` smallest limits, and their sum.
        std::array<int64_t, kCapacity> held {};
        int64_t heldSum = 0;
        int64_t heldFull = 0;
        double meanScale = 1.0;
        uint32_t time = 0;
        uint32_t length = 1;
    };

    // One pass over the audio; without outputs only the state moves on.
    template <bool writeOutput>
    void run(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int numSamples);
    // While settings move, a piece's thresholds and make-up gains sample by
    // sample, its overshoots through the knee and (given guardGains) the
    // ceiling guard's gains.
    void glidePiece(const float* peaks, float* overshoots, double* guardGains, int count);
    // A piece's overshoots through the knee and (given guardGains) the
    // ceiling guard's gains, the settings moving or not.
    void overshootPiece(const float* peaks, float* overshoots, double* guardGains, int count, bool moving);
    // The smoothed reduction and its two moving averages over a piece.
    void smoothPiece(const float* overshoots, double* averages, int count);
    // A piece of the audio a look-ahead back under the gain of its averaged
    // reduction, or where that is lower, the guard's (averages padded by one).
    void delayedOutput(double* averages, const double* guardGains, float* outLeft, float* outRight, int count,
                       bool moving);

    // The overshoot of each sample's louder channel over the threshold,
    // through the soft knee, from the peaks (padded to a multiple of four);
    // with thresholds, each sample over its own (also padded).
    void kneeOvershoots(const float* peaks, float* overshoots, int count) const;
    void kneeOvershoots(const float* peaks, float* overshoots, int count, const float* thresholds,
                        float floorPeak) const;

    // Whether a setting is still on its way, or a make-up gain that moved is
    // still in the look-ahead.
    bool isMoving() const
    {
        return thresholdNow != thresholdDb || outputGainNow != outputGain || makeupSettledFor <= lookAhead;
    }
    // A setting starts to glide: the make-up gains of the audio in the
    // look-ahead are kept from here on.
    void startMoving();

    // The ceiling guard as if it had run all along over the audio in the
    // look-ahead ring: after following.
    void rebuildGuard();

    SampleRateContext context;

    std::array<float, kAudioRingSize> ringLeft {};
    std::array<float, kAudioRingSize> ringRight {};
    std::array<double, kHistorySize> reductionHistory {};
    std::array<double, kHistorySize> averageHistory {};
    int historyIndex = 0;
    int audioIndex = 0;

    int averageHalfLength = 10;
    int averageLength = 20;
    double averageReciprocal = 1.0 / 20.0;
    int lookAhead = 146;
    // Index offset from h to the centre of the averaging window (128 - samples back).
    int windowOffset = kHistoryPositions - kHistoryCentre;
    // Whether position h, written as the window moves on, lies inside the window.
    bool writeInWindow = false;

    float thresholdControl = 0.0f;
    float thresholdDb = -24.0f;
    float makeupGain = 1.0f;
    // Peaks below this give no reduction at all (see the knee).
    float kneeFloorPeak = 0.0f;

    float outputGain = 1.0f;
    // The gliding settings: the threshold and make-up gain that incoming audio
    // takes, the output gain applied to outgoing audio; their coefficient.
    float thresholdNow = -24.0f;
    float makeupNow = 1.0f;
    float outputGainNow = 1.0f;
    float settingCoefficient = 0.002f;
    // Samples since the make-up gain of incoming audio last moved.
    int makeupSettledFor = kAudioPositions;
    bool makeupRingLive = false;
    // Nothing has gone through since the last reset: settings apply at once.
    bool fresh = true;
    float smoothedReduction = 0.0f;
    float attackCoefficient = 0.25f;
    float releaseCoefficient = 0.000444f;
    float lastAverage = 0.0f;
    // The running sums of the two averaging windows.
    double windowSums[2] = { 0.0, 0.0 };

    CeilingGuard guard;
    // Following does not keep the guard; it is rebuilt before the next output.
    bool guardStale = false;
    bool useAvx2 = false;

    // The make-up gain each sample in the audio rings came in with, laid out
    // as they are; kept while settings move (else all are makeupGain). Last,
    // away from what every sample reads.
    std::array<float, kAudioRingSize> makeupRing {};
};

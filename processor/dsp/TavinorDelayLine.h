#pragma once

#include "processor/dsp/IntervalAverager.h"
#include "processor/dsp/SampleRateContext.h"

// Timing of one delay stage: the left and right lengths in samples, free (a
// fraction of one second) or tempo-synced (a note value times a rhythmic scale),
// the right channel optionally linked to the left, and the length limit that
// follows from the maximum delay time. Also carries one tap averager per channel.
class TavinorDelayLine
{
public:
    TavinorDelayLine();
    virtual ~TavinorDelayLine();

    TavinorDelayLine(const TavinorDelayLine&) = delete;
    TavinorDelayLine& operator=(const TavinorDelayLine&) = delete;

    // Recomputes the left and right lengths from the current settings.
    virtual void updateLengths();

    // Takes the rate and the maximum delay time (whole seconds, at least 1),
    // resets the averagers and recomputes the lengths. Returns false when the
    // stage could not get its buffers; it then keeps its previous state.
    virtual bool prepare(int blockSize, int maxSeconds, float sampleRate);

    void setSynced(bool shouldBeSynced);
    void setLinked(bool shouldBeLinked);
    void setLeftFreeTime(float seconds);
    void setRightFreeTime(float seconds);
    // A DelayParameters::NoteLength: the note value's length against the
    // rate multiplies by its rhythmic scale. Any other code keeps the scale.
    void setLeftNoteLengthMode(int code);
    void setRightNoteLengthMode(int code);
    void setLeftNumerator(int n);
    void setLeftDenominator(int d);
    void setRightNumerator(int n);
    void setRightDenominator(int d);

    // Tempo in beats per minute. A tempo that is not finite or not above zero
    // is ignored: the lengths keep following the last usable tempo.
    void setTempo(double bpm);

    IntervalAverager& getLeftAverager() { return leftAverager; }
    IntervalAverager& getRightAverager() { return rightAverager; }
    const IntervalAverager& getLeftAverager() const { return leftAverager; }
    const IntervalAverager& getRightAverager() const { return rightAverager; }

    float getLeftLength() const { return leftLength; }
    float getRightLength() const { return rightLength; }
    int getMaxLength() const { return maxLength; }
    double getTempo() const { return tempo; }
    bool isSynced() const { return synced; }
    bool isLinked() const { return linked; }
    const SampleRateContext& getContext() const { return context; }

protected:
    // The rate, integer rate and maximum length that prepare would take, without
    // changing anything, so that subclasses can size their rings before they
    // commit. False when the maximum length would not fit the ring indices.
    bool computeLimits(int maxSeconds, float sampleRate, double& rate, int& newIntegerRate,
                       int& maximumLength) const;
    // Commits a preparation whose buffers are already in place.
    void applyPreparation(double rate, int integerRate, int maximumLength);

    IntervalAverager leftAverager;
    IntervalAverager rightAverager;
    double tempo = 120.0;
    double leftMultiplier = 1.0;
    int leftNumerator = 3;
    int leftDenominator = 16;
    double rightMultiplier = 1.0;
    int rightNumerator = 3;
    int rightDenominator = 16;
    bool synced = false;
    bool linked = false;
    float leftFreeTime = 0.1f;
    float rightFreeTime = 0.1f;
    float leftLength = 0.0f;
    float rightLength = 0.0f;
    int maxLength = 0;
    int integerRate = 44100;
    SampleRateContext context;

private:
    float syncedLength(int numerator, int denominator, double multiplier) const;
    float freeLength(float freeTime) const;
    static double multiplierForCode(int code, double current);
};

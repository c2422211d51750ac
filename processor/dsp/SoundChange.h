#pragma once

#include "processor/dsp/DelayParameters.h"
#include "processor/dsp/RaisedCosineRamp.h"

#include <array>
#include <bitset>
#include <limits>

// A change of the whole sound (a preset, a state) made while audio flows. The
// settings written for it are held while the old sound fades out; at the
// silent sample between the two sounds the engine makes them and starts
// afresh, carrying no tail of the old sound over, and the new sound fades in.
// The fade-out works on the output, after everything that remembers the old
// sound; the fade-in on the input, before everything that will remember the
// new one, so that its echoes come in as smoothly as it does.
class SoundChange
{
public:
    static constexpr double kFadeSeconds = 0.012;

    // The fades' length at the rate; whatever fades stands still at full gain.
    void prepare(double sampleRate);

    // A change is being written. While audio flows, its settings are held
    // from here on; without audio, they are made as they come.
    void begin(bool audioFlows);
    // Its settings are written: true when the old sound now fades out before
    // they are made (false: they are made, and the engine starts afresh at once).
    bool end();

    bool isHolding() const { return holding; }
    void holdLine(int line, int k, float v);
    void holdGlobal(int id, float v);
    void holdModulatorRate(int modulator, double factor);
    void holdQuality(int choice);

    // Samples until the old sound has faded out; a block is cut there.
    int samplesToSilence() const
    {
        return fadeOutRamp.isMoving() ? fadeOutRamp.samplesLeft() : std::numeric_limits<int>::max();
    }
    // The old sound has faded out and no change is still being written.
    bool isReadyToChange() const { return holding && openChanges == 0 && fadeOutRamp.standsAt(false); }
    // At the silent sample: the held settings go to the engine (which has
    // setLineParameter, setGlobalParameter, setModulatorRate and setQuality),
    // then the new sound fades in, or, without fadeIn, starts at full gain.
    template <typename Engine>
    void makeHeld(Engine& engine, bool fadeIn);

    // The input of a block (right null for a single channel) on the fade-in.
    void fadeIn(float* left, float* right, int numSamples)
    {
        if (! fadeInRamp.standsAt(true))
            applyRamp(fadeInRamp, left, right, numSamples);
    }
    // The output of a block on the fade-out.
    void fadeOut(float* left, float* right, int numSamples)
    {
        if (! fadeOutRamp.standsAt(true))
            applyRamp(fadeOutRamp, left, right, numSamples);
    }

private:
    static constexpr int kNumLineValues = DelayParameters::kNumLines * DelayParameters::kNumTemplateParameters;
    static constexpr int kNumGlobals = DelayParameters::kOutputGain - DelayParameters::kMod1First + 1;

    // What the engine is to take at the silent sample; a later write of the
    // same setting replaces an earlier one.
    struct Held
    {
        std::array<float, kNumLineValues> lineValues {};
        std::bitset<kNumLineValues> lines;
        std::array<float, kNumGlobals> globalValues {};
        std::bitset<kNumGlobals> globals;
        std::array<double, DelayParameters::kNumModulators> rates {};
        std::bitset<DelayParameters::kNumModulators> rated;
        int quality = 0;
        bool qualityHeld = false;
    };

    void applyRamp(RaisedCosineRamp& ramp, float* left, float* right, int numSamples);

    Held held;
    bool holding = false;
    int openChanges = 0;
    RaisedCosineRamp fadeOutRamp;
    RaisedCosineRamp fadeInRamp;
    // The gains of a piece of a block.
    std::array<float, 128> gains {};
};

template <typename Engine>
void SoundChange::makeHeld(Engine& engine, bool fadeIn)
{
    holding = false;
    for (int i = 0; i < kNumLineValues; ++i)
        if (held.lines[(size_t) i])
            engine.setLineParameter(i / DelayParameters::kNumTemplateParameters,
                                    i % DelayParameters::kNumTemplateParameters, held.lineValues[(size_t) i]);
    for (int i = 0; i < kNumGlobals; ++i)
        if (held.globals[(size_t) i])
            engine.setGlobalParameter(DelayParameters::kMod1First + i, held.globalValues[(size_t) i]);
    for (int m = 0; m < DelayParameters::kNumModulators; ++m)
        if (held.rated[(size_t) m])
            engine.setModulatorRate(m, held.rates[(size_t) m]);
    if (held.qualityHeld)
        engine.setQuality(held.quality);
    held = Held();

    fadeOutRamp.standAt(true);
    fadeInRamp.standAt(! fadeIn);
    fadeInRamp.travel(true);
}

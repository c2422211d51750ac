#pragma once

// The three settings whose cost the benchmark measures, shared with the tests
// that hold the engine's sound to its reference renders. Each configures a
// freshly prepared engine.

#include "core/ParameterManager.h"
#include "processor/Tavinor.h"
#include "processor/dsp/DelayEngine.h"
#include "processor/dsp/DelayParameters.h"

namespace BenchSettings
{
using P = DelayParameters;

inline void setFreeTimes(DelayEngine& e, int line, float left, float right)
{
    e.setLineParameter(line, P::kDelaySync, 0.0f);
    e.setLineParameter(line, P::kDelayLeftMs, left);
    e.setLineParameter(line, P::kDelayRightMs, right);
}

// The free LFO rate control of a rate in hertz.
inline float rateControl(double hz)
{
    return (float) P::freeRateControl(hz);
}

// Four parallel lines at unity level, half wet: the base of B and C.
inline void configureBase(DelayEngine& e)
{
    for (int line = 0; line < P::kNumLines; ++line)
    {
        e.setLineParameter(line, P::kLineState, 0.0f);
        e.setLineParameter(line, P::kLevel, 0.75f);
        e.setLineParameter(line, P::kBalance, 0.5f);
    }
    e.setGlobalParameter(P::kDryWet, 0.5f);
    e.setGlobalParameter(P::kOutputGain, 0.5f);
}

// A: the product's default sound, as a new instance starts: every value of the
// shipped parameter set, lines 2 to 4 silent, the default realtime quality.
inline void configureDefault(DelayEngine& e)
{
    ParameterManager parameters;
    parameters.loadFromResource("parameters.xml");
    for (int line = 0; line < P::kNumLines; ++line)
        for (int k = 0; k < P::kNumTemplateParameters; ++k)
            e.setLineParameter(line, k, parameters.getNormalisedValue(k));
    for (int line = 1; line < P::kNumLines; ++line)
        e.setLineParameter(line, P::kLevel, 0.0f);
    for (int id = P::kMod1First; id <= P::kOutputGain; ++id)
        e.setGlobalParameter(id, parameters.getNormalisedValue(id));
    e.setQuality(parameters.getIntValue(Tavinor::kRealtimeQuality));
    e.setTempo(120.0);
}

// B: four parallel lines, each with filter, overdrive and loop filter, a 2 Hz
// sine on delay time and cut-off; quality High.
inline void configureRich(DelayEngine& e)
{
    configureBase(e);
    e.setGlobalParameter(P::kMod1First + P::kModulatorType, P::choiceValue(P::kindOscillator, P::kNumModulatorKinds));
    e.setGlobalParameter(P::kMod1Waveform, P::choiceValue(P::kWaveformSine, P::kNumWaveforms));
    e.setGlobalParameter(P::kMod1Frequency, rateControl(2.0));
    for (int line = 0; line < P::kNumLines; ++line)
    {
        setFreeTimes(e, line, 0.11f + 0.07f * (float) line, 0.13f + 0.05f * (float) line);
        e.setLineParameter(line, P::kFilterType, P::choiceValue(P::kFilterLowPass, P::kNumFilterTypes));
        e.setLineParameter(line, P::kCutoff, 0.6f);
        e.setLineParameter(line, P::kResonance, 0.3f);
        e.setLineParameter(line, P::kFilterInLoop, 1.0f);
        e.setLineParameter(line, P::kOverdrive, 1.0f);
        e.setLineParameter(line, P::kPreamp, 0.4f);
        e.setLineParameter(line, P::kColor, 0.7f);
        e.setLineParameter(line, P::kOverdriveGain, 0.5f);
        e.setLineParameter(line, P::kFeedback, 0.8f);
        e.setLineParameter(line, P::kModSource, P::choiceValue(0, P::kNumModulators));
        e.setLineParameter(line, P::kTimeModDepth, 0.2f);
        e.setLineParameter(line, P::kCutoffModDepth, 0.3f);
    }
    e.setGlobalParameter(P::kRouting, P::choiceValue(P::kRoutingParallel, P::kNumRoutings));
    e.setQuality(P::kQualityHigh);
}

// C: the most expensive settings: quality Best, serial routing, both
// modulators fast (a 10 Hz sine and a 7 Hz triangle, lines taking them in
// turn) at full depth on time, cut-off and tremolo, a band-pass at full
// resonance before the overdrive plus the loop filter, 1 s delays behind
// 20 ms pre-delays, limiter on. While the read moves faster than real time
// the band-limited read stretches its kernel over up to 1024 taps.
inline void configureWorst(DelayEngine& e)
{
    configureBase(e);
    e.setGlobalParameter(P::kMod1First + P::kModulatorType, P::choiceValue(P::kindOscillator, P::kNumModulatorKinds));
    e.setGlobalParameter(P::kMod1Waveform, P::choiceValue(P::kWaveformSine, P::kNumWaveforms));
    e.setGlobalParameter(P::kMod1Frequency, rateControl(10.0));
    e.setGlobalParameter(P::kMod2First + P::kModulatorType, P::choiceValue(P::kindOscillator, P::kNumModulatorKinds));
    e.setGlobalParameter(P::kMod2Waveform, P::choiceValue(P::kWaveformTriangle, P::kNumWaveforms));
    e.setGlobalParameter(P::kMod2Frequency, rateControl(7.0));
    for (int line = 0; line < P::kNumLines; ++line)
    {
        setFreeTimes(e, line, 1.0f, 1.0f);
        e.setLineParameter(line, P::kFilterType, P::choiceValue(P::kFilterBandPass, P::kNumFilterTypes));
        e.setLineParameter(line, P::kResonance, 1.0f);
        e.setLineParameter(line, P::kCutoff, 0.5f);
        e.setLineParameter(line, P::kFilterMode,
                           P::choiceValue(P::kFilterBeforeOverdrive, P::kNumFilterPlacements));
        e.setLineParameter(line, P::kFilterInLoop, 1.0f);
        e.setLineParameter(line, P::kOverdrive, 1.0f);
        e.setLineParameter(line, P::kPreamp, 0.6f);
        e.setLineParameter(line, P::kColor, 0.9f);
        e.setLineParameter(line, P::kOverdriveGain, 0.5f);   // the shipped default: the lines sound
        e.setLineParameter(line, P::kFeedback, 0.85f);
        e.setLineParameter(line, P::kModSource, P::choiceValue(line % 2, P::kNumModulators));
        e.setLineParameter(line, P::kModScale, 0.0f);
        e.setLineParameter(line, P::kTimeModDepth, 1.0f);
        e.setLineParameter(line, P::kCutoffModDepth, 1.0f);
        e.setLineParameter(line, P::kTremoloDepth, 1.0f);
        e.setLineParameter(line, P::kPreDelaySync, 0.0f);
        e.setLineParameter(line, P::kPreDelayLeftMs, 0.02f);
        e.setLineParameter(line, P::kPreDelayRightMs, 0.02f);
    }
    e.setGlobalParameter(P::kRouting, P::choiceValue(P::kRoutingSerial, P::kNumRoutings));
    e.setGlobalParameter(P::kLimiter, 1.0f);
    e.setGlobalParameter(P::kLimiterThreshold, 0.5f);
    e.setQuality(P::kQualityBest);
}

struct Setting
{
    const char* key;
    const char* description;
    void (*configure)(DelayEngine&);
};

inline constexpr Setting kSettings[] = {
    { "A", "the default sound", configureDefault },
    { "B", "four parallel lines, filter, drive, loop filter, 2 Hz LFO on time and cut-off, High", configureRich },
    { "C", "Best, serial, two fast LFOs on time, cut-off and tremolo, resonant filter, 1 s, limiter",
      configureWorst },
};
} // namespace BenchSettings

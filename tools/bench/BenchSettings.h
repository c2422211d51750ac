#pragma once

// The three settings whose cost the benchmark measures, shared with the tests
// that hold the engine's sound to its reference renders. Each configures a
// freshly prepared engine.

#include "core/ParameterManager.h"
#include "processor/Tavinor.h"
#include "processor/dsp/DelayEngine.h"

#include <cmath>

namespace BenchSettings
{
inline void setFreeTimes(DelayEngine& e, int line, float left, float right)
{
    e.setLineParameter(line, Tavinor::kDelaySync, 0.0f);
    e.setLineParameter(line, Tavinor::kDelayLeftMs, left);
    e.setLineParameter(line, Tavinor::kDelayRightMs, right);
}

// Free LFO rate control for a rate in hertz (inverse of the rate curve).
inline float rateControl(double hz)
{
    return (float) (std::log((hz + 1.494765100692059) / 1.5947651006752834) / 3.258840824040285);
}

// Four parallel lines at unity level, half wet: the base of B and C.
inline void configureBase(DelayEngine& e)
{
    for (int line = 0; line < DelayEngine::kNumLines; ++line)
    {
        e.setLineParameter(line, Tavinor::kLineState, 0.0f);
        e.setLineParameter(line, Tavinor::kLevel, 0.75f);
        e.setLineParameter(line, Tavinor::kBalance, 0.5f);
    }
    e.setGlobalParameter(Tavinor::kDryWet, 0.5f);
    e.setGlobalParameter(Tavinor::kOutputGain, 0.5f);
}

// A: the product's default sound, as a new instance starts: every value of the
// shipped parameter set, lines 2 to 4 silent, the default realtime quality.
inline void configureDefault(DelayEngine& e)
{
    ParameterManager parameters;
    parameters.loadFromResource("parameters.xml");
    for (int line = 0; line < DelayEngine::kNumLines; ++line)
        for (int k = 0; k < Tavinor::kNumTemplateParameters; ++k)
            e.setLineParameter(line, k, parameters.getNormalisedValue(k));
    for (int line = 1; line < DelayEngine::kNumLines; ++line)
        e.setLineParameter(line, Tavinor::kLevel, 0.0f);
    for (int id = Tavinor::kMod1First; id <= Tavinor::kOutputGain; ++id)
        e.setGlobalParameter(id, parameters.getNormalisedValue(id));
    e.setQuality(parameters.getIntValue(Tavinor::kRealtimeQuality));
    e.setTempo(120.0);
}

// B: four parallel lines, each with filter, overdrive and loop filter, a 2 Hz
// sine on delay time and cut-off; quality High.
inline void configureRich(DelayEngine& e)
{
    configureBase(e);
    e.setGlobalParameter(Tavinor::kMod1First, 0.0f);
    e.setGlobalParameter(Tavinor::kMod1Waveform, 0.75f);   // sine
    e.setGlobalParameter(Tavinor::kMod1Frequency, rateControl(2.0));
    for (int line = 0; line < DelayEngine::kNumLines; ++line)
    {
        setFreeTimes(e, line, 0.11f + 0.07f * (float) line, 0.13f + 0.05f * (float) line);
        e.setLineParameter(line, Tavinor::kFilterType, 1.0f / 3.0f);   // low-pass
        e.setLineParameter(line, Tavinor::kCutoff, 0.6f);
        e.setLineParameter(line, Tavinor::kResonance, 0.3f);
        e.setLineParameter(line, Tavinor::kFilterInLoop, 1.0f);
        e.setLineParameter(line, Tavinor::kOverdrive, 1.0f);
        e.setLineParameter(line, Tavinor::kPreamp, 0.4f);
        e.setLineParameter(line, Tavinor::kColor, 0.7f);
        e.setLineParameter(line, Tavinor::kOverdriveGain, 0.5f);
        e.setLineParameter(line, Tavinor::kFeedback, 0.8f);
        e.setLineParameter(line, Tavinor::kModSource, 0.0f);
        e.setLineParameter(line, Tavinor::kTimeModDepth, 0.2f);
        e.setLineParameter(line, Tavinor::kCutoffModDepth, 0.3f);
    }
    e.setGlobalParameter(Tavinor::kRouting, 0.0f);
    e.setQuality(2);
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
    e.setGlobalParameter(Tavinor::kMod1First, 0.0f);
    e.setGlobalParameter(Tavinor::kMod1Waveform, 0.75f);   // sine
    e.setGlobalParameter(Tavinor::kMod1Frequency, rateControl(10.0));
    e.setGlobalParameter(Tavinor::kMod2First, 0.0f);
    e.setGlobalParameter(Tavinor::kMod2Waveform, 1.0f);    // triangle
    e.setGlobalParameter(Tavinor::kMod2First + 7, rateControl(7.0));
    for (int line = 0; line < DelayEngine::kNumLines; ++line)
    {
        setFreeTimes(e, line, 1.0f, 1.0f);
        e.setLineParameter(line, Tavinor::kFilterType, 2.0f / 3.0f);   // band-pass
        e.setLineParameter(line, Tavinor::kResonance, 1.0f);
        e.setLineParameter(line, Tavinor::kCutoff, 0.5f);
        e.setLineParameter(line, Tavinor::kFilterMode, 0.0f);          // before the overdrive
        e.setLineParameter(line, Tavinor::kFilterInLoop, 1.0f);
        e.setLineParameter(line, Tavinor::kOverdrive, 1.0f);
        e.setLineParameter(line, Tavinor::kPreamp, 0.6f);
        e.setLineParameter(line, Tavinor::kColor, 0.9f);
        e.setLineParameter(line, Tavinor::kOverdriveGain, 0.5f);   // the shipped default: the lines sound
        e.setLineParameter(line, Tavinor::kFeedback, 0.85f);
        e.setLineParameter(line, Tavinor::kModSource, (float) (line % 2));
        e.setLineParameter(line, Tavinor::kModScale, 0.0f);
        e.setLineParameter(line, Tavinor::kTimeModDepth, 1.0f);
        e.setLineParameter(line, Tavinor::kCutoffModDepth, 1.0f);
        e.setLineParameter(line, Tavinor::kTremoloDepth, 1.0f);
        e.setLineParameter(line, Tavinor::kPreDelaySync, 0.0f);
        e.setLineParameter(line, Tavinor::kPreDelayLeftMs, 0.02f);
        e.setLineParameter(line, Tavinor::kPreDelayRightMs, 0.02f);
    }
    e.setGlobalParameter(Tavinor::kRouting, 1.0f / 8.0f);   // "Serial"
    e.setGlobalParameter(Tavinor::kLimiter, 1.0f);
    e.setGlobalParameter(Tavinor::kLimiterThreshold, 0.5f);
    e.setQuality(3);
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

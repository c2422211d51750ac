#pragma once

#include "processor/dsp/DspCommon.h"

#include <algorithm>
#include <cmath>

// What the delay lines and the engine take, named once: the id of each
// parameter, beside it the curve from its normalised value v (0..1) to what it
// sets, and the codes of its choices. The processor takes its ids from here
// (Tavinor::kFeedback is DelayParameters::kFeedback), its display texts and
// the DSP compute each curve with the same function, and the benchmark sets
// the engine with these names too.
//
// Ids, as hosts, presets and stored states know them (never renumbered):
//   0..46      what one line takes, LineParameter k below. As host parameters
//              they are the selected line's proxies: the processor passes them
//              on to that line.
//   1000..1046, 2000..2046, 3000..3046, 4000..4046
//              line L's own k, at getLineParameterBase(L) + k = 1000 (L + 1) + k.
//   47..66, 67..86
//              MOD 1 and MOD 2, modulator m's ModulatorParameter j at
//              kMod1First + kModulatorIdStride m + j.
//   87..91     the master section: limiter, its threshold, dry/wet, routing,
//              output gain.
//   92..117    the processor's own settings (processor/Tavinor.h), which the
//              engine never sees; 118..125 legacy ids of old stored settings.
//
// A switch is on from v = 0.5 up (DspCommon::isSwitchOn); a choice of n items
// takes item i at v = i / (n - 1) (choiceValue) and reads back the nearest
// (choiceOf).
struct DelayParameters
{
    static constexpr int kNumLines = 4;
    static constexpr int kNumModulators = 2;

    //==========================================================================
    // What a line takes: its template index k.
    enum LineParameter : int
    {
        kLineState = 0,             // switch: muted in the mix (lineMixGain)
        kBalance = 1,               // balanceGain
        kLevel = 2,                 // levelGain
        kMidSide = 3,               // InputMode (a switch to the engine)
        kSwap = 4,                  // switch
        kMono = 5,                  // switch
        kFilterMode = 6,            // FilterPlacement
        kFilterInLoop = 7,          // switch: a copy of the filter in the feedback loop
        kCutoff = 8,                // cut-off position (cutoffHz)
        kResonance = 9,             // resonanceQ
        kFilterType = 10,           // FilterType
        // The delay's timing; the pre-delay's below take the same order.
        kDelaySync = 11,            // switch: tempo-synced note values, or free times
        kDelayJoin = 12,            // switch: the right channel takes the left's time
        kDelayLeftKnob = 13,        // the knob of the free time (timeFromKnob); the engine takes the time
        kDelayRightKnob = 14,
        kDelayLeftMs = 15,          // free time: v is a fraction of one second (0..1000 ms)
        kDelayRightMs = 16,
        kDelayLeftScale = 17,       // NoteLength (kRhythmicScales)
        kDelayRightScale = 18,
        kDelayLeftNumerator = 19,   // noteNumeratorOf
        kDelayLeftDenominator = 20, // noteDenominatorOf
        kDelayRightNumerator = 21,
        kDelayRightDenominator = 22,
        kPreDelaySync = 23,
        kPreDelayJoin = 24,
        kPreDelayLeftKnob = 25,
        kPreDelayRightKnob = 26,
        kPreDelayLeftMs = 27,
        kPreDelayRightMs = 28,
        kPreDelayLeftScale = 29,
        kPreDelayRightScale = 30,
        kPreDelayLeftNumerator = 31,   // preDelayNumeratorOf: a synced pre-delay may be nothing
        kPreDelayLeftDenominator = 32,
        kPreDelayRightNumerator = 33,
        kPreDelayRightDenominator = 34,
        kOverdrive = 35,            // switch
        kPreamp = 36,               // preampDecibels, preampGain
        kColor = 37,                // colourAmount
        kOverdriveGain = 38,        // overdriveGain
        kFeedback = 39,             // bipolar
        kFreeze = 40,               // switch
        kStereoOffset = 41,         // stereoOffsetFraction
        kModSource = 42,            // the modulator (0 or 1) that modulates the line
        kModScale = 43,             // switch: time modulation on a logarithmic scale
        kTimeModDepth = 44,         // v (the line makes it follow its length)
        kCutoffModDepth = 45,       // v
        kTremoloDepth = 46          // v
    };
    static constexpr int kNumTemplateParameters = 47;

    // Line L's parameter k is getLineParameterBase(L) + k.
    static constexpr int kLineIdStride = 1000;
    static constexpr int getLineParameterBase(int line) { return kLineIdStride * (line + 1); }

    static constexpr bool isLineParameterId(int id)
    {
        return id >= getLineParameterBase(0) && id < getLineParameterBase(kNumLines)
               && id % kLineIdStride < kNumTemplateParameters;
    }

    // The line and the template index of a line parameter's id.
    static constexpr int lineOfId(int id) { return id / kLineIdStride - 1; }
    static constexpr int templateIndexOfId(int id) { return id % kLineIdStride; }

    // The timing parameters of the delay and of the pre-delay, k 11..34.
    static constexpr bool isTimingParameter(int k) { return k >= kDelaySync && k <= kPreDelayRightDenominator; }
    static constexpr bool isPreDelayParameter(int k) { return k >= kPreDelaySync && k <= kPreDelayRightDenominator; }

    //==========================================================================
    // What a modulator takes: j of its ids kMod1First + kModulatorIdStride m + j.
    enum ModulatorParameter : int
    {
        kModulatorType = 0,         // ModulatorKind
        kModulatorRetrigger = 1,    // RetriggerMode
        kDetectorSpeed = 2,         // detectorTimeFactor
        kDetectorOnThreshold = 3,   // detectorThreshold
        kDetectorOffThreshold = 4,  // detectorThreshold
        kModulatorSync = 5,         // switch: the LFO's rate follows the tempo
        kModulatorScale = 6,        // NoteLength of the synced rate (the processor's)
        kModulatorFrequency = 7,    // freeRateHz
        kModulatorRate = 8,         // synced rate choice (syncedRateFactor, the processor's)
        kModulatorWaveform = 9,     // Waveform
        kModulatorInvert = 10,      // switch
        kModulatorStereoPhase = 11, // stereoPhaseRadians, stereoPhaseDegrees
        kEnvelopeAttack = 12,       // attackSeconds, attackCoefficient
        kEnvelopeDecay = 13,        // envelopeSeconds, timeCoefficient
        kEnvelopeSustain = 14,      // v
        kEnvelopeHold = 15,         // holdSeconds
        kEnvelopeRelease = 16,      // envelopeSeconds, timeCoefficient
        kFollowerSensitivity = 17,  // followerSensitivity
        kFollowerAttack = 18,       // timeCoefficient
        kFollowerRelease = 19       // timeCoefficient
    };
    static constexpr int kModulatorIdStride = 20;

    // The ids the engine takes beyond the lines.
    enum EngineParameter : int
    {
        kMod1First = 47,
        kMod1RetriggerMode = kMod1First + kModulatorRetrigger,
        kMod1Scale = kMod1First + kModulatorScale,
        kMod1Frequency = kMod1First + kModulatorFrequency,
        kMod1Rate = kMod1First + kModulatorRate,
        kMod1Waveform = kMod1First + kModulatorWaveform,
        kMod1Invert = kMod1First + kModulatorInvert,
        kMod2First = kMod1First + kModulatorIdStride,
        kMod2RetriggerMode = kMod2First + kModulatorRetrigger,
        kMod2Scale = kMod2First + kModulatorScale,
        kMod2Frequency = kMod2First + kModulatorFrequency,
        kMod2Rate = kMod2First + kModulatorRate,
        kMod2Waveform = kMod2First + kModulatorWaveform,
        kMod2Invert = kMod2First + kModulatorInvert,
        kLimiter = kMod1First + kNumModulators * kModulatorIdStride,   // 87, switch
        kLimiterThreshold = 88,     // limiterThresholdDecibels
        kDryWet = 89,               // v: the wet share of the mix
        kRouting = 90,              // LineRouting
        kOutputGain = 91            // outputGain
    };

    static constexpr bool isModulatorId(int id) { return id >= kMod1First && id < kLimiter; }
    static constexpr int modulatorOfId(int id) { return (id - kMod1First) / kModulatorIdStride; }
    static constexpr int modulatorParameterOfId(int id) { return (id - kMod1First) % kModulatorIdStride; }

    //==========================================================================
    // Codes of the choices, in the order of their items.

    enum InputMode : int { kInputLeftRight = 0, kInputMidSide = 1 };
    static constexpr int kNumInputModes = 2;
    enum FilterPlacement : int { kFilterBeforeOverdrive = 0, kFilterAfterOverdrive = 1 };
    static constexpr int kNumFilterPlacements = 2;
    enum FilterType : int { kFilterOff = 0, kFilterLowPass = 1, kFilterBandPass = 2, kFilterHighPass = 3 };
    static constexpr int kNumFilterTypes = 4;

    // A note value's rhythmic scale: "Full", "Dotted", "Triplet".
    enum NoteLength : int { kNoteFull = 0, kNoteDotted = 1, kNoteTriplet = 2 };
    static constexpr int kNumNoteLengths = 3;

    // The two timing stages of a line (also the time panel the processor
    // shows), and the channel a tap times.
    enum TimeStage : int { kStageDelay = 0, kStagePreDelay = 1 };
    static constexpr int kNumTimeStages = 2;
    enum TapChannel : int { kTapChannelLeft = 1, kTapChannelRight = 2 };

    // "LFO", "Envelope", "Peak Follower".
    enum ModulatorKind : int { kindOscillator = 0, kindEnvelope = 1, kindPeakFollower = 2 };
    static constexpr int kNumModulatorKinds = 3;

    enum RetriggerMode : int { kRetriggerNone = 0, kRetriggerMidiNote = 1, kRetriggerInputLevel = 2 };
    static constexpr int kNumRetriggerModes = 3;

    // "Saw Down" stays item 1: old presets' "Saw Up" becomes it, inverted.
    enum Waveform : int
    {
        kWaveformRandom = 0, kWaveformSawDown = 1, kWaveformSquare = 2, kWaveformSine = 3, kWaveformTriangle = 4
    };
    static constexpr int kNumWaveforms = 5;

    // How the four lines are wired ("Parallel" .. "Mixed 6").
    enum LineRouting : int
    {
        kRoutingParallel = 0, kRoutingSerial = 1, kRoutingTappedSerial = 2, kRoutingMixed1 = 3, kRoutingMixed2 = 4,
        kRoutingMixed3 = 5, kRoutingMixed4 = 6, kRoutingMixed5 = 7, kRoutingMixed6 = 8
    };
    static constexpr int kNumRoutings = 9;

    // The realtime and offline qualities (processor settings the engine takes):
    // "Low", "Medium", "High", "Best".
    enum Quality : int { kQualityLow = 0, kQualityMedium = 1, kQualityHigh = 2, kQualityBest = 3 };

    // How the band-limited read of a delay weighs the ring. Mode 3 reads as
    // mode 2; no quality chooses it.
    enum InterpolationMode : int
    {
        kNearestPhase16 = 0,    // the 16-tap kernel at the nearest phase below
        kInterpolated16 = 1,    // the 16-tap kernel interpolated between phases
        kStretched32 = 2,       // the 32-tap kernel interpolated, stretched while the delay shortens fast
        kStretched32Alike = 3
    };
    static bool readsStretched32(int mode) { return mode == kStretched32 || mode == kStretched32Alike; }

    // A quality's read: its interpolation mode and the smallest step the
    // stretched kernel may take (512 phases: no stretch).
    struct ReadQuality
    {
        int mode;
        double minimumStep;
    };
    static constexpr ReadQuality readQualityOf(int quality)
    {
        switch (quality)
        {
            case kQualityMedium: return { kInterpolated16, 128.0 };
            case kQualityHigh: return { kStretched32, 64.0 };
            case kQualityBest: return { kStretched32, 16.0 };
            default: return { kNearestPhase16, 512.0 };
        }
    }

    // The normalised value of choice `index` of `count` items (what a host
    // sets to choose it).
    static constexpr float choiceValue(int index, int count) { return (float) index / (float) (count - 1); }
    // The choice of `count` items a normalised value reads back as.
    static int choiceOf(float v, int count) { return std::clamp(DspCommon::roundChoice(v, count - 1), 0, count - 1); }

    //==========================================================================
    // Curves. Where the display and the DSP compute a curve in different
    // precisions, it is a template: each takes it in its own type (the DSP in
    // float, the display in double) and gets what it always got.

    // Line state: the line's gain in the mix, 0 while it is off.
    static float lineMixGain(float v) { return 1.0f - v; }

    // Balance b, 0..2: the left output takes min(2 - b, 1), the right min(b, 1).
    static float balanceGain(float v) { return 2.0f * v; }

    // Level: 0 at v = 0, 1 (0 dB) at 0.75, 4 (+12 dB) at 1.
    template <typename T>
    static T levelGain(T v)
    {
        return T(-0.5625) / (v - T(1.125)) - T(0.5);
    }

    // Cut-off position: 22 Hz up by 119.589 semitones (22 kHz), as the display
    // shows it. The filters take the same span from the engine's pitch tables
    // (DelayCore::cutoffFrequencies), the loop filter's over 22 Hz..22 kHz,
    // where modulation may take the position up to 2.
    static constexpr double kCutoffLowestHz = 22.0;
    static constexpr double kCutoffSemitones = 119.58941144;
    static double cutoffHz(double v)
    {
        return (std::pow(2.0, v * kCutoffSemitones / 12.0) * kCutoffLowestHz - kCutoffLowestHz) * 1.003276;
    }

    // Resonance: the Q of the filter before or after the overdrive, 1..8.
    static float resonanceQ(float v) { return 1.0f + 7.0f * std::clamp(v, 0.0f, 1.0f); }

    // Free time knob: its position for a time (a fraction of one second), and
    // back; logarithmic, 0 at 0 s and 1 at 1 s.
    static double knobFromTime(double t)
    {
        const double v = (std::log(t + kKnobTimeOffset) + kKnobLogOffset) / kKnobScale;
        return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
    }
    static double timeFromKnob(double v)
    {
        const double t = (std::exp(kKnobScale * v) - 1.0) * kKnobTimeScale + 1e-20;
        return std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0.0;
    }

    // Note values: numerators and denominators 1..32; a pre-delay's numerator
    // 0..32.
    static int noteNumeratorOf(float v) { return DspCommon::roundChoice(v, 31) + 1; }
    static int noteDenominatorOf(float v) { return DspCommon::roundChoice(v, 31) + 1; }
    static int preDelayNumeratorOf(float v) { return DspCommon::roundChoice(v, 32); }

    // Rhythmic scale: what a note length multiplies a rate by ("Dotted" is
    // half as long again, so 2/3 of the rate).
    static constexpr double kRhythmicScales[kNumNoteLengths] = { 1.0, 2.0 / 3.0, 1.5 };

    // Preamp: 0 to +48 dB.
    static double preampDecibels(double v) { return 48.0 * v; }
    static double preampGain(double v) { return std::pow(10.0, preampDecibels(v) / 20.0); }

    // Colour: -1 at 0, 0 at 0.5, 2 at 1. The display shows the control as a
    // bipolar percentage.
    static float colourAmount(float v) { return 2.0f * v * v + v - 1.0f; }

    // Overdrive gain: 0.125 (-18.06 dB) at 0 to 1.0 (0 dB) at 1.
    template <typename T>
    static T overdriveGain(T v)
    {
        return T(-0.175) * v / (v - T(1.2)) + T(0.125);
    }

    // A bipolar control: -1 at 0, 0 at 0.5, +1 at 1. The feedback (the
    // display shows it as a percentage).
    template <typename T>
    static T bipolar(T v)
    {
        return T(2) * v - T(1);
    }

    // Stereo offset: the offset between the two outputs as a fraction of the
    // left delay, -0.5..0.5 (the display names the side: left or mid below 0,
    // right or side above).
    template <typename T>
    static T stereoOffsetFraction(T v)
    {
        return v - T(0.5);
    }

    // Detector speed: what the detector's level follower multiplies its rates
    // by, 0.05..1.5.
    template <typename T>
    static T detectorTimeFactor(T v)
    {
        return T(1.45) * v * v + T(0.05);
    }

    // Detector thresholds: 0 dB at v = 0 down to -64 dB at 1; and the control
    // of a level (what the detector's meter shows against the thresholds).
    static constexpr double kDetectorRangeDb = 64.0;
    static double detectorThreshold(double v) { return std::pow(10.0, -kDetectorRangeDb * v / 20.0); }
    static double detectorControlOf(double level) { return -(20.0 * std::log10(level) / kDetectorRangeDb); }

    // Free LFO rate: 0.1 Hz at 0 to 40 Hz at 1; and the control of a rate.
    static double freeRateHz(double v)
    {
        return std::exp(kRateCurveExponent * v) * kRateCurveScale - kRateCurveOffset + DspCommon::kDenormalGuard;
    }
    static double freeRateControl(double hz)
    {
        return std::log((hz + kRateCurveOffset) / kRateCurveScale) / kRateCurveExponent;
    }

    // Synced LFO rate: choice i of the 11 ("32/1" .. "1/32") is 2^(i - 7)
    // cycles a beat, one a beat at "1/4".
    static constexpr int kNumSyncedRates = 11;
    static double syncedRateFactor(int choice) { return std::pow(2.0, choice - kSyncedRateOfOneCyclePerBeat); }

    // Stereo phase: the right oscillator ahead of the left by up to half a
    // cycle.
    static double stereoPhaseRadians(double v) { return DspCommon::kPi * v; }
    static double stereoPhaseDegrees(double v) { return 180.0 * v; }

    // Envelope attack: what the display shows, 1 ms to 3.5 s, and the
    // coefficient of the engine's one-pole rise at a rate (k: the rate's
    // smoothing factor).
    static double attackSeconds(double v)
    {
        return 0.7982456140350878 * v / (1.0 - 0.7719298245614036 * v) * 0.999714285 + 0.001;
    }
    static double attackCoefficient(double v, double k)
    {
        const double a = v * v * v;
        return (-kAttackCurveA * a / (a + kAttackCurveB) + kAttackCurveC) * k + DspCommon::kDenormalGuard;
    }

    // Envelope decay and release (and the follower's attack and release, shown
    // as percentages): what the display shows, 10 ms to 20 s, and the
    // coefficient of the engine's one-pole glide at a rate.
    static double envelopeSeconds(double v)
    {
        return (1.0 - std::exp(2.7725887222397834 * v)) * -1.3333333333333324 * 0.9995 + 0.01;
    }
    static double timeCoefficient(double v, double k)
    {
        return (1.0 / (std::pow(kTimeCurveBase, v) * kTimeCurveScale) + kTimeCurveFloor) * k
               + DspCommon::kDenormalGuard;
    }

    // Envelope hold: 0..1 s.
    static double holdSeconds(double v) { return v; }

    // Follower sensitivity: 0 to +24 dB on the input.
    static double followerSensitivity(double v) { return std::pow(10.0, 24.0 * v / 20.0); }

    // Limiter threshold: -24 dB at 0 to 0 dB at 1.
    static double limiterThresholdDecibels(double v) { return (1.0 - v) * -24.0; }

    // Output gain: 0 at 0, 1 (0 dB) at 0.5, 4 (+12 dB) at 1.
    template <typename T>
    static T outputGain(T v)
    {
        return T(4) * v * v;
    }

private:
    static constexpr double kKnobTimeOffset = 0.0010983983513728978;
    static constexpr double kKnobLogOffset = 6.813902204446729;
    static constexpr double kKnobScale = 6.815;
    static constexpr double kKnobTimeScale = 1.0983983513728977 / 1000.0;
    static constexpr int kSyncedRateOfOneCyclePerBeat = 7;
    static constexpr double kRateCurveExponent = 3.258840824040285;
    static constexpr double kRateCurveScale = 1.5947651006752834;
    static constexpr double kRateCurveOffset = 1.494765100692059;
    static constexpr double kAttackCurveA = 0.015498038557004743;
    static constexpr double kAttackCurveB = 0.0001631799795832926;
    static constexpr double kAttackCurveC = 0.015499999999999247;
    static constexpr double kTimeCurveBase = 584630.0485056847;
    static constexpr double kTimeCurveScale = 52.64586955682043;
    static constexpr double kTimeCurveFloor = 5.157509637010767e-6;
};

#include "processor/dsp/DelayEngine.h"

#include "processor/dsp/DelayCore.h"
#include "processor/dsp/DspCommon.h"
#include "processor/dsp/DspTables.h"
#include "processor/dsp/FastMath.h"
#include "processor/dsp/PreDelayCore.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <emmintrin.h>
#include <xmmintrin.h>

namespace
{
using DspCommon::isSwitchOn;
using DspCommon::kDenormalGuard;
using DspCommon::kDenormalGuardF;
using DspCommon::kPi;
using DspCommon::kTwoPi;
using DspCommon::roundChoice;

constexpr double kNoiseScale = 4.656613e-10;
constexpr double kOscillatorSmoothing = 0.05;
constexpr double kMixSmoothing = 0.002;

// Envelope and follower coefficient curves of the controls.
constexpr double kAttackCurveA = 0.015498038557004743;
constexpr double kAttackCurveB = 0.0001631799795832926;
constexpr double kAttackCurveC = 0.015499999999999247;
constexpr double kTimeCurveBase = 584630.0485056847;
constexpr double kTimeCurveScale = 52.64586955682043;
constexpr double kTimeCurveFloor = 5.157509637010767e-6;

// Free LFO rate: 0.1 Hz at 0 to 40 Hz at 1.
constexpr double kRateCurveExponent = 3.258840824040285;
constexpr double kRateCurveScale = 1.5947651006752834;
constexpr double kRateCurveOffset = 1.494765100692059;

constexpr double kEnvelopeAttackTarget = 2.0;
constexpr double kDecayMargin = 0.01;

constexpr float kDetectorAttackRate = 0.01f;
constexpr float kDetectorReleaseRate = 0.001f;
constexpr double kDetectorGateMs = 10.0;
constexpr double kDetectorRangeDb = 64.0;
constexpr float kDetectorSilentDisplay = 5.0f;

constexpr double kSilenceDb = -320.0;
constexpr double kMeterFloorDb = -60.0;
constexpr double kMeterScale = 0.015151516;  // 0 at -60 dB, 1 at +6 dB
constexpr double kMeterPeakBias = 0.08;
constexpr double kClipHoldSeconds = 0.5;
constexpr double kMeterFallHz = 0.5;
constexpr double kMeterDisplayHz = 6.0;

constexpr double kTimeOffset = 0.0010983983513728978;
constexpr double kTimeLogOffset = 6.813902204446729;
constexpr double kTimeCurve = 6.815;
constexpr double kTimeScale = 1.0983983513728977;

// MXCSR bits: flush-to-zero and denormals-are-zero.
constexpr unsigned kFlushToZero = 0x8000u;
constexpr unsigned kDenormalsAreZero = 0x0040u;

// Keeps denormals off for the duration of one engine call and gives the caller
// back exactly the floating-point state it had.
class ScopedNoDenormals
{
public:
    ScopedNoDenormals() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushToZero | kDenormalsAreZero); }
    ~ScopedNoDenormals() { _mm_setcsr(saved); }
    ScopedNoDenormals(const ScopedNoDenormals&) = delete;
    ScopedNoDenormals& operator=(const ScopedNoDenormals&) = delete;

private:
    unsigned saved;
};

double wrapPhase(double phi)
{
    if (phi >= 0.0 && phi <= kTwoPi)
        return phi;
    phi = std::fmod(phi, kTwoPi);
    if (phi < 0.0)
        phi += kTwoPi;
    return phi;
}

double attackCoefficient(double v, double k)
{
    const double a = v * v * v;
    return (-kAttackCurveA * a / (a + kAttackCurveB) + kAttackCurveC) * k + kDenormalGuard;
}

double timeCoefficient(double v, double k)
{
    return (1.0 / (std::pow(kTimeCurveBase, v) * kTimeCurveScale) + kTimeCurveFloor) * k + kDenormalGuard;
}

double freeRateOf(double v)
{
    return std::exp(kRateCurveExponent * v) * kRateCurveScale - kRateCurveOffset + kDenormalGuard;
}

float clean(float x)
{
    return std::isfinite(x) ? x : 0.0f;
}

// One sample of a one-pole smoother towards its target. In float a glide
// towards 1 would stop 1.5e-5 short of it (fully wet, the dry signal would
// still leak through at -96 dB), so it lands on its target.
float glide(float current, float target, float coefficient)
{
    return DspCommon::settleOnTarget(current, current - (current - target) * coefficient + kDenormalGuardF, target);
}

// One step of a routing: line k's pre-delay reads buffer `from` and writes
// buffer `to`; the delay core then works in place in `to`.
struct RoutingStep
{
    int line;
    int from;
    int to;
};

struct RoutingMix
{
    int buffer;
    int gain;
};

struct Routing
{
    // Pre-delays first where the table runs them all before the delay cores.
    bool preDelaysFirst;
    RoutingStep steps[4];
    int numMixes;
    RoutingMix mixes[4];
};

const Routing kRoutings[DelayEngine::kNumRoutings] = {
    // 0 "Parallel"
    { true, { { 0, 0, 0 }, { 1, 1, 1 }, { 2, 2, 2 }, { 3, 3, 3 } }, 4, { { 0, 0 }, { 1, 1 }, { 2, 2 }, { 3, 3 } } },
    // 1 "Serial"
    { false, { { 0, 0, 0 }, { 1, 0, 0 }, { 2, 0, 0 }, { 3, 0, 0 } }, 1, { { 0, 3 } } },
    // 2 "Tapped Serial"
    { false, { { 0, 0, 0 }, { 1, 0, 1 }, { 2, 1, 2 }, { 3, 2, 3 } }, 4, { { 0, 0 }, { 1, 1 }, { 2, 2 }, { 3, 3 } } },
    // 3 "Mixed 1"
    { false, { { 0, 0, 0 }, { 1, 0, 0 }, { 2, 2, 2 }, { 3, 3, 3 } }, 3, { { 0, 1 }, { 2, 2 }, { 3, 3 } } },
    // 4 "Mixed 2"
    { false, { { 0, 0, 0 }, { 1, 0, 1 }, { 2, 2, 2 }, { 3, 3, 3 } }, 4, { { 0, 0 }, { 1, 1 }, { 2, 2 }, { 3, 3 } } },
    // 5 "Mixed 3"
    { false, { { 0, 0, 0 }, { 1, 0, 0 }, { 2, 2, 2 }, { 3, 2, 2 } }, 2, { { 0, 1 }, { 2, 3 } } },
    // 6 "Mixed 4"
    { false, { { 0, 0, 0 }, { 1, 0, 1 }, { 2, 2, 2 }, { 3, 2, 3 } }, 4, { { 0, 0 }, { 1, 1 }, { 2, 2 }, { 3, 3 } } },
    // 7 "Mixed 5"
    { false, { { 0, 0, 0 }, { 1, 0, 0 }, { 2, 0, 0 }, { 3, 3, 3 } }, 2, { { 0, 2 }, { 3, 3 } } },
    // 8 "Mixed 6"
    { false, { { 0, 0, 0 }, { 1, 0, 1 }, { 2, 1, 2 }, { 3, 3, 3 } }, 4, { { 0, 0 }, { 1, 1 }, { 2, 2 }, { 3, 3 } } },
};
} // namespace

//==============================================================================
void DelayEngine::Oscillator::noiseStep()
{
    noiseA ^= noiseB;
    held = (float) ((double) (int32_t) noiseB * kNoiseScale + kDenormalGuard);
    noiseB = noiseA + noiseB;
}

void DelayEngine::Oscillator::updateRate(double inverseRate)
{
    rate = synced ? tempo / 60.0 * rateFactor : freeRate;
    increment = rate * inverseRate * kTwoPi + kDenormalGuard;
}

double DelayEngine::Oscillator::shapeValue(double phi) const
{
    switch (shape)
    {
        case shapeTriangle:
            return (phi < kPi ? (phi - kPi * 0.5) * (2.0 / kPi) : (1.5 * kPi - phi) * (2.0 / kPi)) + kDenormalGuard;
        case shapeSine:
            return FastMath::sin(phi - kPi * 0.25) + kDenormalGuard;
        case shapeSquare:
            return (phi < kPi ? 1.0 : -1.0) + kDenormalGuard;
        case shapeSawDown:
            return (kTwoPi - phi) / kPi - 1.0 + kDenormalGuard;
        case shapeSawUp:
            return phi / kPi - 1.0 + kDenormalGuard;
        case shapeRandom:
        default:
            return held;
    }
}

double DelayEngine::Oscillator::tick()
{
    const double x = shapeValue(wrapPhase(phase + phaseOffset));

    phase += increment;
    if (phase + phaseOffset > kTwoPi)
    {
        phase -= kTwoPi;
        noiseStep();
        // Only a rate far beyond any LFO's can leave more than one turn behind.
        if (phase + phaseOffset > kTwoPi)
            phase = wrapPhase(phase + phaseOffset) - phaseOffset;
    }
    return invert ? -x : x;
}

void DelayEngine::Oscillator::resetPhase(double newPhase)
{
    phase = newPhase;
    noiseStep();
}

namespace
{
// tick() and the smoothing of run() with the shape known ahead: the loop
// holds no choice that stays the same for every sample.
template <int shape>
inline double shapeOf(double phi, float held)
{
    switch (shape)
    {
        case DelayEngine::shapeTriangle:
            return (phi < kPi ? (phi - kPi * 0.5) * (2.0 / kPi) : (1.5 * kPi - phi) * (2.0 / kPi)) + kDenormalGuard;
        case DelayEngine::shapeSine:
            return FastMath::sin(phi - kPi * 0.25) + kDenormalGuard;
        case DelayEngine::shapeSquare:
            return (phi < kPi ? 1.0 : -1.0) + kDenormalGuard;
        case DelayEngine::shapeSawDown:
            return (kTwoPi - phi) / kPi - 1.0 + kDenormalGuard;
        case DelayEngine::shapeSawUp:
            return phi / kPi - 1.0 + kDenormalGuard;
        default:
            return held;
    }
}
} // namespace

template <int shape>
static void runOscillator(DelayEngine::Oscillator& o, float* out, int count, float coefficient)
{
    double phase = o.phase;
    const double offset = o.phaseOffset;
    const double increment = o.increment;
    float smoothed = o.smoothed;
    for (int i = 0; i < count; ++i)
    {
        double x = shapeOf<shape>(wrapPhase(phase + offset), o.held);
        phase += increment;
        if (phase + offset > kTwoPi)
        {
            phase -= kTwoPi;
            o.noiseStep();
            if (phase + offset > kTwoPi)
                phase = wrapPhase(phase + offset) - offset;
        }
        if (o.invert)
            x = -x;
        const float u = (float) (0.5 * x + 0.5 + kDenormalGuard);
        smoothed = glide(smoothed, u, coefficient);
        out[i] = smoothed;
    }
    o.phase = phase;
    o.smoothed = smoothed;
}

void DelayEngine::Oscillator::run(float* out, int count, float coefficient)
{
    switch (shape)
    {
        case shapeTriangle: runOscillator<shapeTriangle>(*this, out, count, coefficient); break;
        case shapeSine: runOscillator<shapeSine>(*this, out, count, coefficient); break;
        case shapeSquare: runOscillator<shapeSquare>(*this, out, count, coefficient); break;
        case shapeSawDown: runOscillator<shapeSawDown>(*this, out, count, coefficient); break;
        case shapeSawUp: runOscillator<shapeSawUp>(*this, out, count, coefficient); break;
        default: runOscillator<shapeRandom>(*this, out, count, coefficient); break;
    }
}

//==============================================================================
void DelayEngine::Envelope::start()
{
    state = envelopeAttack;
    target = kEnvelopeAttackTarget;
    coefficient = attackCoefficient;
}

void DelayEngine::Envelope::run(float* out, int count)
{
    // At rest at zero each tick steps below zero and is held at zero again.
    if (value == 0.0 && target == 0.0 && (state == envelopeIdle || state == envelopeRelease))
    {
        std::fill(out, out + count, 0.0f);
        return;
    }
    for (int i = 0; i < count; ++i)
        out[i] = tick();
}

float DelayEngine::Envelope::tick()
{
    if (state != envelopeHold)
        value = value - ((value - target) * coefficient + kDenormalGuard);
    else
        ++holdCounter;

    if (state == envelopeAttack && value >= 1.0)
    {
        value = 1.0;
        state = envelopeDecay;
        target = sustain;
        coefficient = decayCoefficient;
    }
    if (state == envelopeDecay && value - kDecayMargin < sustain)
    {
        state = envelopeHold;
        holdCounter = 0;
    }
    if (state == envelopeHold && holdCounter >= holdLength)
    {
        state = envelopeRelease;
        coefficient = releaseCoefficient;
        target = 0.0;
    }
    if (value < 0.0)
        value = 0.0;
    return (float) value;
}

//==============================================================================
float DelayEngine::PeakFollower::tick(double x)
{
    x *= sensitivity;
    const double pole = x > value ? attackPole : releasePole;
    value = std::clamp(x * (1.0 - pole) + value * pole, 0.0, 1.0);
    return (float) value;
}

bool DelayEngine::LevelDetector::tick(double x, float k, int closeAfterSamples)
{
    const float e = (float) (x * x);
    float c = e > level ? k * kDetectorAttackRate : k * kDetectorReleaseRate;
    c *= timeFactor;
    level = c * e + (1.0f - c) * level;
    return gateStep(closeAfterSamples);
}

bool DelayEngine::LevelDetector::gateStep(int closeAfterSamples)
{
    bool opened = false;
    if (gate == 0.0f && level >= onThreshold)
    {
        gate = 1.0f;
        opened = true;
    }
    if (gate != 0.0f)
    {
        ++gateCounter;
        if (gateCounter > closeAfterSamples && level < offThreshold)
        {
            gate = 0.0f;
            gateCounter = 0;
        }
    }
    return opened;
}

//==============================================================================
DelayEngine::DelayEngine()
{
    tables = std::make_unique<DspTables>();
    for (int line = 0; line < kNumLines; ++line)
    {
        delayCores[(size_t) line] = std::make_unique<DelayCore>(tables->getKernel32(), tables->getKernel16(),
                                                                 tables->getSemitones(), tables->getFineTune());
        preDelayCores[(size_t) line] = std::make_unique<PreDelayCore>();
        preDelayCores[(size_t) line]->shareGlides(&preDelayGlides);
    }

    for (int m = 0; m < kNumModulators; ++m)
    {
        auto& mod = modulators[(size_t) m];
        mod.detector.timeFactor = (float) (1.45 * 0.25 + 0.05);
        mod.detector.onThreshold = (float) std::pow(10.0, -32.0 / 20.0);
        mod.detector.offThreshold = mod.detector.onThreshold;
        setModulatorFreeRate(m, 0.0);
    }

    for (auto& level : detectorLevels)
        level.store(kDetectorSilentDisplay);

    // Sizes the buffers and rings and hands the lines their modulation buffers.
    prepare(1024, 44100.0);
}

DelayEngine::~DelayEngine() = default;

void DelayEngine::prepare(int newBlockSize, double sampleRate)
{
    newBlockSize = std::max(1, newBlockSize);
    // A rate the context refuses (not finite, not above zero) leaves the
    // previous rate in place.
    context.set(sampleRate);
    const double fs = context.rate;

    // Emptied at the new size; at the size they already have this cannot fail.
    auto sizeBuffers = [this](int size) {
        for (auto& b : modulationBuffers)
            b.assign((size_t) size, 0.0f);
        for (auto& b : workBuffers)
            b.assign((size_t) size, 0.0f);
        detectorInput.assign((size_t) size, 0.0);
        for (auto& r : retriggerPoints)
            r.assign((size_t) size, 0);
    };
    try
    {
        sizeBuffers(newBlockSize);
        blockSize = newBlockSize;
    }
    catch (const std::bad_alloc&)
    {
        // Keep the previous size; process works in chunks of it.
        sizeBuffers(blockSize);
    }

    for (auto& o : oscillators)
    {
        o.phase = 0.0;
        o.updateRate(context.invRate);
    }
    for (int m = 0; m < kNumModulators; ++m)
        recomputeModulatorCoefficients(m);

    mixCoefficient = (float) (kMixSmoothing * context.k);
    oscillatorCoefficient = (float) (kOscillatorSmoothing * context.k);

    prepareLines();
    limiter.prepare(fs);

    meterFall = 1.0 - std::exp(-kTwoPi * kMeterFallHz / fs) + kDenormalGuard;
    displayCoefficient = std::exp(-kTwoPi * kMeterDisplayHz / fs) + kDenormalGuard;

    refreshModulationRouting();
}

bool DelayEngine::prepareLines()
{
    const float rate = (float) context.rate;
    bool prepared = true;
    for (int line = 0; line < kNumLines; ++line)
    {
        // A core that cannot have its rings keeps its previous ones.
        prepared = preDelayCores[(size_t) line]->prepare(blockSize, maxDelaySeconds, rate) && prepared;
        prepared = delayCores[(size_t) line]->prepare(blockSize, maxDelaySeconds, rate) && prepared;
    }
    return prepared;
}

void DelayEngine::recomputeModulatorCoefficients(int m)
{
    auto& mod = modulators[(size_t) m];
    const double k = context.k;
    mod.envelope.attackCoefficient = attackCoefficient(mod.attackControl, k);
    mod.envelope.decayCoefficient = timeCoefficient(mod.decayControl, k);
    mod.envelope.releaseCoefficient = timeCoefficient(mod.releaseControl, k);
    mod.envelope.holdLength = (int) (mod.holdControl * context.rate);
    switch (mod.envelope.state)
    {
        case envelopeAttack: mod.envelope.coefficient = mod.envelope.attackCoefficient; break;
        case envelopeDecay: mod.envelope.coefficient = mod.envelope.decayCoefficient; break;
        case envelopeRelease:
        case envelopeIdle: mod.envelope.coefficient = mod.envelope.releaseCoefficient; break;
        default: break;
    }
    mod.follower.attackPole = 1.0 - timeCoefficient(mod.followerAttackControl, k) + kDenormalGuard;
    mod.follower.releasePole = 1.0 - timeCoefficient(mod.followerReleaseControl, k) + kDenormalGuard;
}

void DelayEngine::setQuality(int choice)
{
    int mode = 0;
    double step = 512.0;
    switch (choice)
    {
        case 1: mode = 1; step = 128.0; break;
        case 2: mode = 2; step = 64.0; break;
        case 3: mode = 2; step = 16.0; break;
        default: break;
    }
    for (auto& core : delayCores)
        core->setInterpolation(mode, step);
}

bool DelayEngine::setMaxDelayTime(int seconds)
{
    const int previous = maxDelaySeconds;
    maxDelaySeconds = std::clamp(seconds, kMinMaxDelaySeconds, kMaxMaxDelaySeconds);
    if (blockSize <= 0 || prepareLines())
        return true;
    // Some lines got the longer rings and some did not: bring them all back to
    // the maximum that every line can hold.
    maxDelaySeconds = previous;
    prepareLines();
    return false;
}

void DelayEngine::setTempo(double bpm)
{
    if (!std::isfinite(bpm) || bpm <= 0.0)
        return;
    // Held in single precision: host tempos that differ only in the digits
    // beyond a float's reach are one tempo and recompute nothing.
    const double tempo = (double) (float) bpm;
    if (!(tempo > 0.0) || !std::isfinite(tempo))
        return;
    for (auto& o : oscillators)
    {
        if (o.tempo != tempo)
        {
            o.tempo = tempo;
            if (o.synced)
                o.updateRate(context.invRate);
        }
    }
    for (int line = 0; line < kNumLines; ++line)
    {
        preDelayCores[(size_t) line]->setTempo(tempo);
        delayCores[(size_t) line]->setTempo(tempo);
    }
}

//==============================================================================
void DelayEngine::setGlobalParameter(int id, float v)
{
    if (id < 47 || id > 91 || !std::isfinite(v))
        return;
    v = std::clamp(v, 0.0f, 1.0f);

    if (id <= 86)
    {
        const int m = id < 67 ? 0 : 1;
        const int j = id - (m == 0 ? 47 : 67);
        auto& mod = modulators[(size_t) m];
        Oscillator& left = oscillators[(size_t) (2 * m)];
        Oscillator& right = oscillators[(size_t) (2 * m + 1)];
        switch (j)
        {
            case 0:
                mod.kind = std::clamp(roundChoice(v, 2), 0, 2);
                refreshModulationRouting();
                break;
            case 1: mod.retriggerMode = std::clamp(roundChoice(v, 2), 0, 2); break;
            case 2: mod.detector.timeFactor = 1.45f * v * v + 0.05f; break;
            case 3: mod.detector.onThreshold = (float) std::pow(10.0, -kDetectorRangeDb * v / 20.0); break;
            case 4: mod.detector.offThreshold = (float) std::pow(10.0, -kDetectorRangeDb * v / 20.0); break;
            case 5: setModulatorSync(m, isSwitchOn(v)); break;
            case 7: setModulatorFreeRate(m, v); break;
            case 9:
            {
                static constexpr int kShapeOfChoice[5] = { shapeRandom, shapeSawDown, shapeSquare, shapeSine, shapeTriangle };
                const int shape = kShapeOfChoice[std::clamp(roundChoice(v, 4), 0, 4)];
                left.shape = shape;
                right.shape = shape;
                refreshModulationRouting();
                break;
            }
            case 10:
                left.invert = isSwitchOn(v);
                right.invert = isSwitchOn(v);
                break;
            case 11: right.phaseOffset = kPi * v; break;
            case 12: mod.attackControl = v; recomputeModulatorCoefficients(m); break;
            case 13: mod.decayControl = v; recomputeModulatorCoefficients(m); break;
            case 14: mod.envelope.sustain = v; break;
            case 15: mod.holdControl = v; recomputeModulatorCoefficients(m); break;
            case 16: mod.releaseControl = v; recomputeModulatorCoefficients(m); break;
            case 17: mod.follower.sensitivity = std::pow(10.0, 24.0 * v / 20.0); break;
            case 18: mod.followerAttackControl = v; recomputeModulatorCoefficients(m); break;
            case 19: mod.followerReleaseControl = v; recomputeModulatorCoefficients(m); break;
            default: break; // 6 and 8 (synced scale and rate) arrive as setModulatorRate
        }
        return;
    }

    switch (id)
    {
        case 87:
        {
            // The limiter follows the output while it is off, so it takes
            // over from there without a gap.
            limiterOn = isSwitchOn(v);
            applyOutputGain();
            break;
        }
        case 88: limiter.setThresholdControl(v); break;
        case 89: wetAmount = v; break;
        case 90:
            routing = std::clamp(roundChoice(v, 8), 0, kNumRoutings - 1);
            clearWorkBuffers();
            break;
        case 91:
            outputGainControl = v;
            applyOutputGain();
            break;
        default: break;
    }
}

void DelayEngine::applyOutputGain()
{
    // A limiter that is on applies the output gain itself, after its reduction.
    const float gain = 4.0f * outputGainControl * outputGainControl + kDenormalGuardF;
    if (limiterOn)
    {
        limiter.setOutputGain(gain);
        outputGainTarget = 1.0f;
    }
    else
    {
        outputGainTarget = gain;
    }
}

void DelayEngine::setLineParameter(int line, int k, float v)
{
    if (line < 0 || line >= kNumLines || k < 0 || k > 46 || !std::isfinite(v))
        return;
    v = std::clamp(v, 0.0f, 1.0f);

    if (k == 0)
    {
        lineMixGains[(size_t) line] = 1.0f - v;
        return;
    }
    if (k >= 11 && k <= 34)
    {
        // The timing settings of the delay core (11 to 22) and of the
        // pre-delay (23 to 34) come in the same order.
        const int stage = k >= 23 ? 1 : 0;
        TavinorDelayLine& timing = *delayStage(line, stage);
        // A pre-delay's numerators start at 0, a delay core's at 1.
        const int numerator = stage == 1 ? roundChoice(v, 32) : roundChoice(v, 31) + 1;
        switch (k - (stage == 1 ? 23 : 11))
        {
            case 0: timing.setSynced(isSwitchOn(v)); break;
            case 1: timing.setLinked(isSwitchOn(v)); break;
            case 4: timing.setLeftFreeTime(v); break;
            case 5: timing.setRightFreeTime(v); break;
            case 6: timing.setLeftNoteLengthMode(roundChoice(v, 2)); break;
            case 7: timing.setRightNoteLengthMode(roundChoice(v, 2)); break;
            case 8: timing.setLeftNumerator(numerator); break;
            case 9: timing.setLeftDenominator(roundChoice(v, 31) + 1); break;
            case 10: timing.setRightNumerator(numerator); break;
            case 11: timing.setRightDenominator(roundChoice(v, 31) + 1); break;
            default: break; // 2 and 3: the knob twins of the free times
        }
        return;
    }
    delayCores[(size_t) line]->setParameter(k, v);
    if (k == 42)
        refreshModulationRouting();
}

//==============================================================================
void DelayEngine::setModulatorSync(int m, bool shouldBeSynced)
{
    if (m < 0 || m >= kNumModulators)
        return;
    for (int i = 2 * m; i < 2 * m + 2; ++i)
    {
        auto& o = oscillators[(size_t) i];
        if (o.synced != shouldBeSynced)
        {
            o.synced = shouldBeSynced;
            o.updateRate(context.invRate);
        }
    }
}

void DelayEngine::setModulatorFreeRate(int m, double v)
{
    if (m < 0 || m >= kNumModulators || !std::isfinite(v))
        return;
    const double rate = freeRateOf(std::clamp(v, 0.0, 1.0));
    for (int i = 2 * m; i < 2 * m + 2; ++i)
    {
        auto& o = oscillators[(size_t) i];
        o.freeRate = rate;
        if (!o.synced)
            o.updateRate(context.invRate);
    }
}

void DelayEngine::setModulatorRate(int m, double factor)
{
    if (m < 0 || m >= kNumModulators || !std::isfinite(factor) || factor < 0.0)
        return;
    for (int i = 2 * m; i < 2 * m + 2; ++i)
    {
        auto& o = oscillators[(size_t) i];
        o.rateFactor = factor;
        if (o.synced)
            o.updateRate(context.invRate);
    }
}

void DelayEngine::syncModulatorPhase(int m, double cyclePosition)
{
    if (m < 0 || m >= kNumModulators || !std::isfinite(cyclePosition))
        return;
    if (!oscillators[(size_t) (2 * m)].synced)
        return;
    const double fraction = cyclePosition - std::floor(cyclePosition);
    const double phase = (double) (float) (fraction * kTwoPi);
    oscillators[(size_t) (2 * m)].resetPhase(phase);
    oscillators[(size_t) (2 * m + 1)].resetPhase(phase);
}

void DelayEngine::retriggerInternal(int m)
{
    oscillators[(size_t) (2 * m)].resetPhase(0.0);
    oscillators[(size_t) (2 * m + 1)].resetPhase(0.0);
    modulators[(size_t) m].envelope.start();
}

void DelayEngine::retriggerModulator(int m)
{
    if (m < 0 || m >= kNumModulators)
        return;
    restartFlags[(size_t) m].store(1);
    retriggerInternal(m);
}

void DelayEngine::refreshModulationRouting()
{
    for (int line = 0; line < kNumLines; ++line)
    {
        auto& core = *delayCores[(size_t) line];
        const int m = std::clamp(core.getModulationSource(), 0, kNumModulators - 1);
        const auto& mod = modulators[(size_t) m];
        const float* left = nullptr;
        const float* right = nullptr;
        bool smooth = true;
        switch (mod.kind)
        {
            case kindEnvelope:
                left = right = modulationBuffers[(size_t) (bufferEnvelope1 + m)].data();
                break;
            case kindPeakFollower:
                left = right = modulationBuffers[(size_t) (bufferPeakFollower1 + m)].data();
                break;
            default:
                left = modulationBuffers[(size_t) (bufferOscillator1Left + 2 * m)].data();
                right = modulationBuffers[(size_t) (bufferOscillator1Right + 2 * m)].data();
                smooth = oscillators[(size_t) (2 * m)].shape > shapeSine;
                break;
        }
        core.setModulation(left, right, smooth);
    }
}

//==============================================================================
void DelayEngine::process(float** channels, int numSamples, bool stereoIn, bool stereoOut)
{
    if (channels == nullptr || channels[0] == nullptr || numSamples <= 0 || blockSize <= 0)
        return;
    if ((stereoIn || stereoOut) && channels[1] == nullptr)
        return;

    ScopedNoDenormals noDenormals;

    for (auto& mod : modulators)
        mod.retriggeredInBlock = false;

    float* left = channels[0];
    float* right = (stereoIn || stereoOut) ? channels[1] : channels[0];
    for (int done = 0; done < numSamples;)
    {
        const int n = std::min(blockSize, numSamples - done);
        processChunk(left + done, right + done, n, stereoIn, stereoOut);
        done += n;
    }

    publishBlockResults();
}

void DelayEngine::runModulators(const float* inLeft, const float* inRight, int numSamples, int detectorCloseAfter)
{
    // Left plus right, or right minus left when the sum is negative.
    double* x = detectorInput.data();
    for (int i = 0; i < numSamples; ++i)
    {
        const double sum = (double) inLeft[i] + (double) inRight[i];
        x[i] = sum < 0.0 ? (double) inRight[i] - (double) inLeft[i] : sum;
    }

    static_assert(kNumModulators == 2, "the detectors and followers go side by side in pairs");
    auto& mod0 = modulators[0];
    auto& mod1 = modulators[1];

    // Both followers side by side, each step as PeakFollower::tick takes it
    // (a recurrence: one follower alone waits on every step). The clamp
    // std::clamp(v, 0, 1) is min(1, max(0, v)) in the vector's order of
    // operands, zeros of either sign included.
    {
        float* follower0 = modulationBuffers[(size_t) bufferPeakFollower1].data();
        float* follower1 = modulationBuffers[(size_t) (bufferPeakFollower1 + 1)].data();
        const __m128d sensitivity = _mm_set_pd(mod1.follower.sensitivity, mod0.follower.sensitivity);
        const __m128d attack = _mm_set_pd(mod1.follower.attackPole, mod0.follower.attackPole);
        const __m128d release = _mm_set_pd(mod1.follower.releasePole, mod0.follower.releasePole);
        const __m128d one = _mm_set1_pd(1.0), zero = _mm_setzero_pd();
        __m128d value = _mm_set_pd(mod1.follower.value, mod0.follower.value);
        for (int i = 0; i < numSamples; ++i)
        {
            const __m128d in = _mm_mul_pd(_mm_set1_pd(x[i]), sensitivity);
            const __m128d rising = _mm_cmpgt_pd(in, value);
            const __m128d pole = _mm_or_pd(_mm_and_pd(rising, attack), _mm_andnot_pd(rising, release));
            const __m128d next = _mm_add_pd(_mm_mul_pd(in, _mm_sub_pd(one, pole)), _mm_mul_pd(value, pole));
            value = _mm_min_pd(one, _mm_max_pd(zero, next));
            const __m128 narrow = _mm_cvtpd_ps(value);
            _mm_store_ss(follower0 + i, narrow);
            _mm_store_ss(follower1 + i, _mm_shuffle_ps(narrow, narrow, _MM_SHUFFLE(1, 1, 1, 1)));
        }
        _mm_storel_pd(&mod0.follower.value, value);
        _mm_storeh_pd(&mod1.follower.value, value);
    }

    // Both detectors' levels side by side (each step as LevelDetector::tick
    // takes it), a stretch at a time, then each gate along its levels.
    constexpr int kStretch = 256;
    alignas(16) float levels[kNumModulators][kStretch];
    int numPoints[kNumModulators] = {};
    const float k = context.kF;
    const __m128 attackRate = _mm_setr_ps(k * kDetectorAttackRate * mod0.detector.timeFactor,
                                          k * kDetectorAttackRate * mod1.detector.timeFactor, 0.0f, 0.0f);
    const __m128 releaseRate = _mm_setr_ps(k * kDetectorReleaseRate * mod0.detector.timeFactor,
                                           k * kDetectorReleaseRate * mod1.detector.timeFactor, 0.0f, 0.0f);
    for (int from = 0; from < numSamples; from += kStretch)
    {
        const int count = std::min(kStretch, numSamples - from);
        const __m128 one = _mm_set1_ps(1.0f);
        __m128 level = _mm_setr_ps(mod0.detector.level, mod1.detector.level, 0.0f, 0.0f);
        for (int i = 0; i < count; ++i)
        {
            const __m128 e = _mm_set1_ps((float) (x[from + i] * x[from + i]));
            const __m128 rising = _mm_cmpgt_ps(e, level);
            const __m128 c = _mm_or_ps(_mm_and_ps(rising, attackRate), _mm_andnot_ps(rising, releaseRate));
            level = _mm_add_ps(_mm_mul_ps(c, e), _mm_mul_ps(_mm_sub_ps(one, c), level));
            _mm_store_ss(levels[0] + i, level);
            _mm_store_ss(levels[1] + i, _mm_shuffle_ps(level, level, _MM_SHUFFLE(1, 1, 1, 1)));
        }

        // The detector hears the input alone; where its gate opens (with the
        // retrigger from the input chosen) the modulator starts again from the
        // next sample on.
        for (int m = 0; m < kNumModulators; ++m)
        {
            auto& mod = modulators[(size_t) m];
            int* points = retriggerPoints[(size_t) m].data();
            const bool retriggers = mod.retriggerMode == kRetriggerFromDetector;
            for (int i = 0; i < count; ++i)
            {
                mod.detector.level = levels[m][i];
                if (mod.detector.gateStep(detectorCloseAfter) && retriggers)
                    points[numPoints[m]++] = from + i;
            }
        }
    }

    for (int m = 0; m < kNumModulators; ++m)
    {
        auto& mod = modulators[(size_t) m];
        const int* points = retriggerPoints[(size_t) m].data();
        if (numPoints[m] > 0)
            mod.retriggeredInBlock = true;

        float* envelope = modulationBuffers[(size_t) (bufferEnvelope1 + m)].data();
        float* left = modulationBuffers[(size_t) (bufferOscillator1Left + 2 * m)].data();
        float* right = modulationBuffers[(size_t) (bufferOscillator1Right + 2 * m)].data();
        for (int p = 0, from = 0; from < numSamples; ++p)
        {
            const int to = p < numPoints[m] ? points[p] + 1 : numSamples;
            oscillators[(size_t) (2 * m)].run(left + from, to - from, oscillatorCoefficient);
            oscillators[(size_t) (2 * m + 1)].run(right + from, to - from, oscillatorCoefficient);
            mod.envelope.run(envelope + from, to - from);
            if (p < numPoints[m])
                retriggerInternal(m);
            from = to;
        }
    }
}

void DelayEngine::processChunk(float* left, float* right, int numSamples, bool stereoIn, bool stereoOut)
{
    const float* inRight = stereoIn ? right : left;
    const int detectorCloseAfter = (int) (context.samplesPerMs * kDetectorGateMs);

    // Samples that are not finite would live on in the feedback loops: the
    // engine hears them as silence.
    for (int i = 0; i < numSamples; ++i)
        left[i] = clean(left[i]);
    if (stereoIn)
        for (int i = 0; i < numSamples; ++i)
            right[i] = clean(right[i]);

    runModulators(left, inRight, numSamples, detectorCloseAfter);
    for (int b = 0; b < kNumLines; ++b)
    {
        std::copy(left, left + numSamples, workBuffers[(size_t) (2 * b)].begin());
        std::copy(inRight, inRight + numSamples, workBuffers[(size_t) (2 * b + 1)].begin());
    }

    runRouting(numSamples);
    mixLines(left, right, inRight, numSamples, stereoOut);

    float* outRight = stereoOut ? right : left;
    if (limiterOn)
        limiter.process(left, outRight, numSamples);
    else
        limiter.follow(left, outRight, numSamples);

    updateMeters(left, outRight, numSamples);
}

void DelayEngine::mixLines(float* left, float* right, const float* inRight, int numSamples, bool stereoOut)
{
    const Routing& route = kRoutings[routing];
    const float* branches[kNumLines][2] {};
    for (int j = 0; j < route.numMixes; ++j)
    {
        branches[j][0] = workBuffers[(size_t) (2 * route.mixes[j].buffer)].data();
        branches[j][1] = workBuffers[(size_t) (2 * route.mixes[j].buffer + 1)].data();
    }

    // One sample of the mix from the smoothed gains of that sample.
    auto mixSample = [&](int i, const float* gains, float wet, float outputGain) {
        float mixLeft = 0.0f;
        float mixRight = 0.0f;
        for (int j = 0; j < route.numMixes; ++j)
        {
            const float g = gains[route.mixes[j].gain];
            mixLeft += branches[j][0][i] * g;
            mixRight += branches[j][1][i] * g;
        }
        mixLeft += kDenormalGuardF;
        mixRight += kDenormalGuardF;

        const float dryLeft = left[i];
        const float dryRight = inRight[i];
        const float outLeft = dryLeft + (mixLeft - dryLeft) * wet + kDenormalGuardF;
        const float outRight = dryRight + (mixRight - dryRight) * wet + kDenormalGuardF;
        if (stereoOut)
        {
            left[i] = clean(outLeft * outputGain + kDenormalGuardF);
            right[i] = clean(outRight * outputGain + kDenormalGuardF);
        }
        else
        {
            left[i] = clean((outRight + outLeft) * 0.5f * outputGain + kDenormalGuardF);
        }
    };

    // Smoothers that have arrived hold their value: the whole block mixes
    // with the same gains.
    bool arrived = glide(smoothedWet, wetAmount, mixCoefficient) == smoothedWet
                   && glide(smoothedOutputGain, outputGainTarget, mixCoefficient) == smoothedOutputGain;
    for (int k = 0; k < kNumLines && arrived; ++k)
        arrived = glide(smoothedLineGains[(size_t) k], lineMixGains[(size_t) k], mixCoefficient)
                  == smoothedLineGains[(size_t) k];
    if (arrived)
    {
        for (int i = 0; i < numSamples; ++i)
            mixSample(i, smoothedLineGains.data(), smoothedWet, smoothedOutputGain);
        return;
    }

    for (int i = 0; i < numSamples; ++i)
    {
        for (int k = 0; k < kNumLines; ++k)
            smoothedLineGains[(size_t) k] = glide(smoothedLineGains[(size_t) k], lineMixGains[(size_t) k], mixCoefficient);
        smoothedWet = glide(smoothedWet, wetAmount, mixCoefficient);
        smoothedOutputGain = glide(smoothedOutputGain, outputGainTarget, mixCoefficient);
        mixSample(i, smoothedLineGains.data(), smoothedWet, smoothedOutputGain);
    }
}

void DelayEngine::runRouting(int numSamples)
{
    const Routing& route = kRoutings[routing];
    if (! linesSideBySide)
    {
        for (const RoutingStep& s : route.steps)
        {
            preDelayCores[(size_t) s.line]->process(work(s.from, 0), work(s.from, 1), work(s.to, 0), work(s.to, 1),
                                                    numSamples);
            delayCores[(size_t) s.line]->process(work(s.to, 0), work(s.to, 1), work(s.to, 0), work(s.to, 1),
                                                 numSamples);
        }
        return;
    }

    // The steps go in waves, each wave's delay cores side by side. A step
    // joins the wave when every earlier step still to run is in it, and
    //  - its pre-delay reads a buffer no member writes: it runs as ever;
    //  - or it reads what a member's line gives (a serial feed), and every
    //    read of the pre-delay in this block reaches back before the block:
    //    the pre-delay gives its output ahead, and takes its input (that
    //    member's output) once the wave's lines have run.
    // Each member works in a buffer of its own: the one the table gives it,
    // or where an earlier member works there, a buffer that no step of the
    // routing uses. The buffers then take the members' outputs in the
    // table's order, as they would in turn.
    bool used[kNumLines] {};
    for (const RoutingStep& s : route.steps)
        used[s.from] = used[s.to] = true;

    bool done[kNumLines] {};
    for (int first = 0; first < kNumLines;)
    {
        int members[kNumLines];
        int feeder[kNumLines];       // the member whose output a member's pre-delay takes, or -1
        float* lane[kNumLines][2];   // where each member's line works
        int count = 0;
        bool spare[kNumLines];
        for (int b = 0; b < kNumLines; ++b)
            spare[b] = ! used[b];

        for (int k = first; k < kNumLines; ++k)
        {
            if (done[k])
                continue;
            const RoutingStep& s = route.steps[k];
            // Only a step whose every earlier step has run or is a member.
            bool blocked = false;
            for (int j = first; j < k && ! blocked; ++j)
                if (! done[j])
                {
                    bool member = false;
                    for (int m = 0; m < count; ++m)
                        member = member || members[m] == j;
                    blocked = ! member;
                }
            if (blocked)
                break;

            // The last member that writes the buffer this pre-delay reads.
            int feeds = -1;
            for (int m = 0; m < count; ++m)
                if (route.steps[members[m]].to == s.from)
                    feeds = m;
            // Where a member already works in the buffer this step writes,
            // this one works in a spare buffer.
            bool sharing = false;
            for (int m = 0; m < count; ++m)
                sharing = sharing || lane[m][0] == work(s.to, 0);
            int buffer = s.to;
            if (sharing)
            {
                buffer = -1;
                for (int b = 0; b < kNumLines && buffer < 0; ++b)
                    if (spare[b])
                        buffer = b;
                if (buffer < 0)
                    break;
            }
            if (feeds >= 0)
            {
                if (! preDelayCores[(size_t) s.line]->readAhead(work(buffer, 0), work(buffer, 1), numSamples))
                    break;
            }
            else
                preDelayCores[(size_t) s.line]->process(work(s.from, 0), work(s.from, 1), work(buffer, 0),
                                                        work(buffer, 1), numSamples);
            if (sharing)
                spare[buffer] = false;
            members[count] = k;
            feeder[count] = feeds;
            lane[count][0] = work(buffer, 0);
            lane[count][1] = work(buffer, 1);
            ++count;
        }

        DelayCore* cores[kNumLines];
        for (int m = 0; m < count; ++m)
            cores[m] = delayCores[(size_t) route.steps[members[m]].line].get();
        float* lefts[kNumLines];
        float* rights[kNumLines];
        for (int m = 0; m < count; ++m)
        {
            lefts[m] = lane[m][0];
            rights[m] = lane[m][1];
        }
        DelayCore::processTogether(cores, count, lefts, rights, numSamples);

        for (int m = 0; m < count; ++m)
        {
            const RoutingStep& s = route.steps[members[m]];
            if (feeder[m] >= 0)
                preDelayCores[(size_t) s.line]->writeBehind(lane[feeder[m]][0], lane[feeder[m]][1], numSamples);
        }
        for (int m = 0; m < count; ++m)
        {
            const RoutingStep& s = route.steps[members[m]];
            if (lane[m][0] != work(s.to, 0))
            {
                std::copy(lane[m][0], lane[m][0] + numSamples, work(s.to, 0));
                std::copy(lane[m][1], lane[m][1] + numSamples, work(s.to, 1));
            }
            done[members[m]] = true;
        }
        while (first < kNumLines && done[first])
            ++first;
    }
}

void DelayEngine::updateMeters(const float* left, const float* right, int numSamples)
{
    const float* outs[2] = { left, right };
    for (int c = 0; c < 2; ++c)
    {
        double hold = clipHold[(size_t) c];
        const float* x = outs[c];
        for (int i = 0; i < numSamples; ++i)
        {
            if (std::fabs(x[i]) > 1.0f)
                hold = kClipHoldSeconds;
            else if (hold > 0.0)
                hold -= context.invRate;
        }
        clipHold[(size_t) c] = hold;
    }

    // The peaks and their display smoothing of both channels side by side,
    // each step as one channel takes it (max(m, peak) in the vector is
    // std::max(peak, m)), a stretch at a time. The meters are for the eye: a
    // quick logarithm serves them.
    constexpr int kStretch = 256;
    alignas(16) double levels[2][kStretch];
    const __m128d floor = _mm_set1_pd(kMeterFloorDb), scale = _mm_set1_pd(kMeterScale);
    const __m128d guard = _mm_set1_pd(kDenormalGuard), bias = _mm_set1_pd(kMeterPeakBias);
    const __m128d fall = _mm_set1_pd(meterFall), display = _mm_set1_pd(displayCoefficient);
    __m128d peak = _mm_set_pd(meterPeak[1], meterPeak[0]);
    __m128d s1 = _mm_set_pd(meterStage1[1], meterStage1[0]);
    __m128d s2 = _mm_set_pd(meterStage2[1], meterStage2[0]);
    for (int from = 0; from < numSamples; from += kStretch)
    {
        const int count = std::min(kStretch, numSamples - from);
        FastMath::decibelsOf(left + from, levels[0], count, kSilenceDb);
        FastMath::decibelsOf(right + from, levels[1], count, kSilenceDb);
        for (int i = 0; i < count; ++i)
        {
            const __m128d db = _mm_set_pd(levels[1][i], levels[0][i]);
            const __m128d m = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(db, floor), scale), guard);
            peak = _mm_max_pd(m, peak);
            peak = _mm_add_pd(_mm_sub_pd(peak, _mm_mul_pd(_mm_add_pd(peak, bias), fall)), guard);
            s1 = _mm_add_pd(peak, _mm_mul_pd(_mm_sub_pd(s1, peak), display));
            s2 = _mm_add_pd(s1, _mm_mul_pd(_mm_sub_pd(s2, s1), display));
        }
    }
    _mm_storel_pd(&meterPeak[0], peak);
    _mm_storeh_pd(&meterPeak[1], peak);
    _mm_storel_pd(&meterStage1[0], s1);
    _mm_storeh_pd(&meterStage1[1], s1);
    _mm_storel_pd(&meterStage2[0], s2);
    _mm_storeh_pd(&meterStage2[1], s2);
}

void DelayEngine::publishBlockResults()
{
    for (int c = 0; c < 2; ++c)
    {
        outputLevels[(size_t) c].store((float) std::clamp(meterStage2[(size_t) c], 0.0, 1.0));
        outputClipFlags[(size_t) c].store(clipHold[(size_t) c] > 0.0 ? 1 : 0);
    }
    for (int line = 0; line < kNumLines; ++line)
    {
        auto& core = *delayCores[(size_t) line];
        lineLevels[(size_t) (2 * line)].store(std::clamp(core.getLeftMeter(), 0.0f, 1.0f));
        lineLevels[(size_t) (2 * line + 1)].store(std::clamp(core.getRightMeter(), 0.0f, 1.0f));

        auto& pre = *preDelayCores[(size_t) line];
        IntervalAverager* averagers[4] = { &core.getLeftAverager(), &core.getRightAverager(),
                                           &pre.getLeftAverager(), &pre.getRightAverager() };
        for (int a = 0; a < 4; ++a)
            if (averagers[a]->takeNewValue(true))
                tapResultFlags[(size_t) (4 * line + a)].store(1);
    }
    for (int m = 0; m < kNumModulators; ++m)
    {
        const auto& mod = modulators[(size_t) m];
        const float level = mod.detector.level;
        const float display = level > 0.0f ? (float) (-(20.0 * std::log10((double) level) / kDetectorRangeDb))
                                            : kDetectorSilentDisplay;
        detectorLevels[(size_t) m].store(display);
        peakLevels[(size_t) m].store(modulationBuffers[(size_t) (bufferPeakFollower1 + m)][0]);
        if (mod.retriggeredInBlock)
        {
            retriggerEventFlags[(size_t) m].store(1);
            restartFlags[(size_t) m].store(1);
        }
        lfoLampFrames[(size_t) m].store(oscillators[(size_t) (2 * m)].phase <= kPi ? 1 : 0);
    }
}

//==============================================================================
TavinorDelayLine* DelayEngine::delayStage(int line, int stage) const
{
    if (line < 0 || line >= kNumLines)
        return nullptr;
    if (stage == 0)
        return delayCores[(size_t) line].get();
    if (stage == 1)
        return preDelayCores[(size_t) line].get();
    return nullptr;
}

IntervalAverager* DelayEngine::tapAverager(int line, int stage, int channel) const
{
    TavinorDelayLine* target = delayStage(line, stage);
    if (target == nullptr)
        return nullptr;
    return channel == 1 ? &target->getLeftAverager() : &target->getRightAverager();
}

void DelayEngine::tapTime(int line, int stage, int channel)
{
    if (auto* averager = tapAverager(line, stage, channel))
        averager->raiseTrigger();
}

double DelayEngine::getTappedTimeMs(int line, int stage, int channel) const
{
    const auto* averager = tapAverager(line, stage, channel);
    return averager != nullptr ? (double) averager->getAverage() * 1000.0 : 0.0;
}

bool DelayEngine::takeNewTappedTime(int line, int stage, int channel)
{
    if (line < 0 || line >= kNumLines || stage < 0 || stage > 1)
        return false;
    const int a = 2 * stage + (channel == 1 ? 0 : 1);
    return tapResultFlags[(size_t) (4 * line + a)].exchange(0) == 1;
}

double DelayEngine::getLeftTimeMs(int line) const
{
    if (line < 0 || line >= kNumLines)
        return 0.0;
    return delayCores[(size_t) line]->getLeftTimeMs();
}

void DelayEngine::clearWorkBuffers()
{
    for (auto& b : workBuffers)
        std::fill(b.begin(), b.end(), 0.0f);
}

void DelayEngine::reset()
{
    for (auto& o : oscillators)
        o.resetPhase(0.0);
    clearWorkBuffers();
    for (int line = 0; line < kNumLines; ++line)
    {
        delayCores[(size_t) line]->clear();
        preDelayCores[(size_t) line]->clear();
    }
}

//==============================================================================
void DelayEngine::getOutputLevels(float& left, float& right) const
{
    left = outputLevels[0].load();
    right = outputLevels[1].load();
}

void DelayEngine::getOutputClips(bool& left, bool& right) const
{
    left = outputClipFlags[0].load() == 1;
    right = outputClipFlags[1].load() == 1;
}

void DelayEngine::getLineLevels(float levels[8]) const
{
    for (int i = 0; i < 2 * kNumLines; ++i)
        levels[i] = lineLevels[(size_t) i].load();
}

float DelayEngine::getDetectorLevel(int m) const
{
    return m >= 0 && m < kNumModulators ? detectorLevels[(size_t) m].load() : kDetectorSilentDisplay;
}

bool DelayEngine::takeRetriggerEvent(int m)
{
    return m >= 0 && m < kNumModulators && retriggerEventFlags[(size_t) m].exchange(0) == 1;
}

float DelayEngine::getPeakFollowerLevel(int m) const
{
    return m >= 0 && m < kNumModulators ? peakLevels[(size_t) m].load() : 0.0f;
}

int DelayEngine::getLfoLampFrame(int m) const
{
    return m >= 0 && m < kNumModulators ? lfoLampFrames[(size_t) m].load() : 0;
}

bool DelayEngine::takeRestart(int m)
{
    return m >= 0 && m < kNumModulators && restartFlags[(size_t) m].exchange(0) == 1;
}

float DelayEngine::getLineMixGain(int line) const
{
    return line >= 0 && line < kNumLines ? lineMixGains[(size_t) line] : 0.0f;
}

const float* DelayEngine::getModulationBuffer(int index) const
{
    return index >= 0 && index < kNumModulationBuffers ? modulationBuffers[(size_t) index].data() : nullptr;
}

double DelayEngine::timeToNormalised(double t)
{
    const double v = (std::log(t + kTimeOffset) + kTimeLogOffset) / kTimeCurve;
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

double DelayEngine::normalisedToTime(double v)
{
    const double t = (std::exp(kTimeCurve * v) - 1.0) * kTimeScale / 1000.0 + kDenormalGuard;
    return std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : (v > 0.0 ? 1.0 : 0.0);
}

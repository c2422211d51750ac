#include "processor/dsp/DelayEngine.h"

#include "processor/dsp/DelayCore.h"
#include "processor/dsp/DspCommon.h"
#include "processor/dsp/DspTables.h"
#include "processor/dsp/FastMath.h"
#include "processor/dsp/PreDelayCore.h"
#include "processor/dsp/SimdLanes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace
{
using DspCommon::isSwitchOn;
using DspCommon::kDenormalGuard;
using DspCommon::glideTo;
using DspCommon::kDenormalGuardF;
using DspCommon::kPi;
using DspCommon::kTwoPi;

constexpr double kNoiseScale = 4.656613e-10;
constexpr double kOscillatorSmoothing = 0.05;
constexpr double kMixSmoothing = 0.002;
// The crossfade between the limiter's delayed path and the undelayed one.
constexpr double kLimiterSwitchSeconds = 0.01;
// Below this output gain the audio the limiter follows is taken as silence
// (brought back to unity it would be the denormal guard's offset, magnified).
constexpr float kLeastFollowedGain = 1e-6f;

constexpr double kEnvelopeAttackTarget = 2.0;
constexpr double kDecayMargin = 0.01;

constexpr float kDetectorAttackRate = 0.01f;
constexpr float kDetectorReleaseRate = 0.001f;
constexpr double kDetectorGateMs = 10.0;
constexpr float kDetectorSilentDisplay = 5.0f;

constexpr double kSilenceDb = -320.0;
constexpr double kMeterFloorDb = -60.0;
constexpr double kMeterScale = 0.015151516;  // 0 at -60 dB, 1 at +6 dB
constexpr double kMeterPeakBias = 0.08;
constexpr double kClipHoldSeconds = 0.5;
constexpr double kMeterFallHz = 0.5;
constexpr double kMeterDisplayHz = 6.0;

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

float clean(float x)
{
    return std::isfinite(x) ? x : 0.0f;
}

// One sample of a one-pole smoother towards its target. In float a glide
// towards 1 would stop 1.5e-5 short of it (fully wet, the dry signal would
// still leak through at -96 dB), so it lands on its target.
//
// The gains of the mix and of the output glide without the guard
// (DspCommon::glideTo): a gain gliding to 0 (a muted line, a dry mix) must
// reach it, or what it mutes would leak out far below hearing for ever and
// the mix would never settle. Flush-to-zero ends the glide there.
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

constexpr Routing kRoutings[DelayEngine::kNumRoutings] = {
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

// What a routing gives each line: what it takes in (the engine's input, -1,
// or an earlier line's output), and whether its output is mixed.
struct LineWiring
{
    int feeder[DelayEngine::kNumLines] {};
    bool mixed[DelayEngine::kNumLines] {};
    // Whether each mixed branch is the output of the line whose gain it takes.
    bool mixesByLine = true;
};

constexpr LineWiring wiringOf(const Routing& route)
{
    LineWiring wiring;
    int holder[DelayEngine::kNumLines] = { -1, -1, -1, -1 };   // the line whose output a buffer holds
    for (const RoutingStep& s : route.steps)
    {
        wiring.feeder[s.line] = holder[s.from];
        holder[s.to] = s.line;
    }
    for (int j = 0; j < route.numMixes; ++j)
    {
        const int line = holder[route.mixes[j].buffer];
        wiring.mixesByLine = wiring.mixesByLine && line == route.mixes[j].gain;
        if (line >= 0)
            wiring.mixed[line] = true;
    }
    return wiring;
}

constexpr bool everyRoutingMixesByLine()
{
    bool byLine = true;
    for (const Routing& route : kRoutings)
        byLine = byLine && wiringOf(route).mixesByLine;
    return byLine;
}
// A crossfade mixes the lines' outputs in the parallel layout, each with its own gain.
static_assert(everyRoutingMixesByLine(), "a mixed branch takes the gain of the line that ends it");
constexpr int kLineByLineLayout = DelayParameters::kRoutingParallel;
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

namespace
{
// The modulators' per-sample work side by side in vectors: the four
// oscillators in the lanes of one vector of doubles (and of one of floats for
// their smoothing), the two followers in one of two doubles, the two detectors
// in one of floats. Written with the compiler's vector types, so that the same
// code serves SSE2 (two halves) and AVX2 (whole vectors); each lane does the
// very operations of the single oscillator, follower or detector (no fused
// multiply-add anywhere), so the results are the same bit for bit. The
// recurrences (the smoothing, the followers, the detectors' levels) wait on
// their own previous sample: running them in one loop lets the processor work
// on all of them at once.
// The helpers taking and giving whole vectors are always inlined, and the
// others take them by reference: no call passes a vector whose passing
// would differ between SSE2 and AVX code.
using SimdLanes::anyLane;
using SimdLanes::Doubles2;
using SimdLanes::Doubles4;
using SimdLanes::Floats4;
using SimdLanes::Ints4;
using SimdLanes::Lanes2;
using SimdLanes::Lanes4;
using SimdLanes::lanesMax;
using SimdLanes::lanesMin;
using SimdLanes::pick;

constexpr int kMixedShapes = -1;

// FastMath::sin(phi - pi / 4) + the guard, lane by lane.
SIMD_ALWAYS_INLINE inline Doubles4 sineOf(Doubles4 phi)
{
    return FastMath::sin(phi - kPi * 0.25) + kDenormalGuard;
}

// shapeOf() lane by lane for one shape.
template <int shape>
SIMD_ALWAYS_INLINE inline Doubles4 shapeLanes(Doubles4 phi, Doubles4 held)
{
    switch (shape)
    {
        case DelayEngine::shapeTriangle:
            return pick(phi < kPi, (phi - kPi * 0.5) * (2.0 / kPi), (1.5 * kPi - phi) * (2.0 / kPi)) + kDenormalGuard;
        case DelayEngine::shapeSine:
            return sineOf(phi);
        case DelayEngine::shapeSquare:
        {
            const Doubles4 one = { 1.0, 1.0, 1.0, 1.0 };
            return pick(phi < kPi, one, -one) + kDenormalGuard;
        }
        case DelayEngine::shapeSawDown:
            return (kTwoPi - phi) / kPi - 1.0 + kDenormalGuard;
        case DelayEngine::shapeSawUp:
            return phi / kPi - 1.0 + kDenormalGuard;
        default:
            return held;
    }
}

SIMD_ALWAYS_INLINE inline Doubles4 shapeLanesOf(int shape, Doubles4 phi, Doubles4 held)
{
    switch (shape)
    {
        case DelayEngine::shapeTriangle: return shapeLanes<DelayEngine::shapeTriangle>(phi, held);
        case DelayEngine::shapeSine: return shapeLanes<DelayEngine::shapeSine>(phi, held);
        case DelayEngine::shapeSquare: return shapeLanes<DelayEngine::shapeSquare>(phi, held);
        case DelayEngine::shapeSawDown: return shapeLanes<DelayEngine::shapeSawDown>(phi, held);
        case DelayEngine::shapeSawUp: return shapeLanes<DelayEngine::shapeSawUp>(phi, held);
        default: return held;
    }
}

// What the modulators carry from one sample to the next, in lanes, and where
// a stretch of them goes.
struct ModulatorLanes
{
    // Oscillators 0..3 in lanes 0..3.
    Doubles4 phase, offset, increment, held;
    Lanes4 invert;
    Floats4 smoothed;
    float coefficient;
    int shapes[2];
    DelayEngine::Oscillator* oscillators;
    float* oscillatorOut[4];

    // Followers 0 and 1.
    Doubles2 followerValue, sensitivity, attackPole, releasePole, attackRest, releaseRest;
    float* followerOut[2];

    // Detectors 0 and 1 in lanes 0 and 1.
    Floats4 level, attackRate, releaseRate;
    float* levelOut[2];
    const double* input;
};

// Lanes whose phase plus offset is outside 0..2 pi (an offset changed, or a
// phase set from outside) wrap it as wrapPhase does.
SIMD_NEVER_INLINE void wrapLanes(Doubles4& p)
{
    for (int l = 0; l < 4; ++l)
        p[l] = wrapPhase(p[l]);
}

// The oscillators whose phase went past a turn: as Oscillator::tick takes
// that, one lane at a time (once a cycle).
SIMD_NEVER_INLINE void turnLanes(ModulatorLanes& s, const Lanes4& passed)
{
    for (int l = 0; l < 4; ++l)
    {
        if (passed[l] == 0)
            continue;
        auto& o = s.oscillators[l];
        double phase = s.phase[l] - kTwoPi;
        const double offset = s.offset[l];
        o.noiseStep();
        if (phase + offset > kTwoPi)
            phase = wrapPhase(phase + offset) - offset;
        s.phase[l] = phase;
        s.held[l] = (double) o.held;
    }
}

// How many samples every lane can move on from here without reaching the
// end of its turn (or 0 where a lane is outside its turn): the distance left
// over the increment, with a margin far beyond what the rounding of the
// additions can take up (their errors stay below 1e-15 a sample, an
// increment that far ahead is at least 1e-6 and is left out below that).
SIMD_NEVER_INLINE int uncheckedSamples(const Doubles4& phase, const Doubles4& offset, const Doubles4& increment)
{
    double fewest = 1.0e6;
    for (int l = 0; l < 4; ++l)
    {
        const double p = phase[l] + offset[l];
        if (! (p >= 0.0 && p <= kTwoPi) || ! (increment[l] >= 1.0e-6))
            return 0;
        fewest = std::min(fewest, (kTwoPi - p) / increment[l] * 0.999 - 2.0);
    }
    return fewest > 0.0 ? (int) fewest : 0;
}

// The followers and detectors through a stretch: what they carry from one
// sample to the next and what stays the same, held apart from the
// ModulatorLanes (the stores into the buffers could otherwise stand for
// stores into it, and it would be read afresh every sample).
struct DetectorRun
{
    Doubles2 value;
    Doubles2 sensitivity, attackPole, releasePole, attackRest, releaseRest;
    Floats4 level;
    Floats4 attackRate, releaseRate, restAttack, restRelease;
    float* follower0;
    float* follower1;
    // The detectors' levels, indexed by the sample of the stretch.
    float* level0;
    float* level1;
    const double* input;
};

SIMD_ALWAYS_INLINE inline DetectorRun detectorRunOf(const ModulatorLanes& s, int levelBase)
{
    const Floats4 oneF = { 1.0f, 1.0f, 1.0f, 1.0f };
    return { s.followerValue, s.sensitivity, s.attackPole, s.releasePole, s.attackRest, s.releaseRest,
             s.level, s.attackRate, s.releaseRate, oneF - s.attackRate, oneF - s.releaseRate,
             s.followerOut[0], s.followerOut[1], s.levelOut[0] - levelBase, s.levelOut[1] - levelBase,
             s.input };
}

// One sample of both followers and both detectors' levels.
SIMD_ALWAYS_INLINE inline void detectorStep(DetectorRun& d, int i)
{
    // PeakFollower::tick for both, the pole chosen after both candidates
    // are made (each as the chosen one would be).
    const Doubles2 zero = { 0.0, 0.0 }, one = { 1.0, 1.0 };
    const double x = d.input[i];
    const Doubles2 in = x * d.sensitivity;
    const Lanes2 rising = in > d.value;
    const Doubles2 attacked = in * d.attackRest + d.value * d.attackPole;
    const Doubles2 released = in * d.releaseRest + d.value * d.releasePole;
    const Doubles2 next = pick(rising, attacked, released);
    d.value = lanesMin(one, lanesMax(zero, next));

    // LevelDetector::tick's level for both, likewise.
    const float e = (float) (x * x);
    const Ints4 louder = e > d.level;
    const Floats4 up = d.attackRate * e + d.restAttack * d.level;
    const Floats4 down = d.releaseRate * e + d.restRelease * d.level;
    d.level = pick(louder, up, down);
}

// One sample into the buffers.
SIMD_ALWAYS_INLINE inline void detectorSample(DetectorRun& d, int i)
{
    detectorStep(d, i);
    d.follower0[i] = (float) d.value[0];
    d.follower1[i] = (float) d.value[1];
    d.level0[i] = d.level[0];
    d.level1[i] = d.level[1];
}

// Two samples, each buffer taking both at once.
SIMD_ALWAYS_INLINE inline void detectorPair(DetectorRun& d, int i)
{
    detectorStep(d, i);
    const Doubles2 valueBefore = d.value;
    const Floats4 levelBefore = d.level;
    detectorStep(d, i + 1);
    const __m128 values = _mm_movelh_ps(_mm_cvtpd_ps((__m128d) valueBefore), _mm_cvtpd_ps((__m128d) d.value));
    const __m128 followers = _mm_shuffle_ps(values, values, _MM_SHUFFLE(3, 1, 2, 0));
    _mm_storel_pi((__m64*) (d.follower0 + i), followers);
    _mm_storeh_pi((__m64*) (d.follower1 + i), followers);
    const __m128 levels = _mm_unpacklo_ps((__m128) levelBefore, (__m128) d.level);
    _mm_storel_pi((__m64*) (d.level0 + i), levels);
    _mm_storeh_pi((__m64*) (d.level1 + i), levels);
}

// The oscillators through a stretch, held apart likewise: their phases and
// the held values they see, their smoothing, and how far they can go
// without a check for the end of a turn.
struct OscillatorRun
{
    Doubles4 phase, held;
    Doubles4 offset, increment;
    Floats4 smoothed;
    float coefficient;
    // The sign bit of each inverted lane.
    Lanes4 signs;
    int shape0, shape1;
    float* out[4];
    // Samples that go without either check, and samples the checks go on
    // for before the next count.
    int unchecked, checkedAhead;
};

SIMD_ALWAYS_INLINE inline OscillatorRun oscillatorRunOf(const ModulatorLanes& s)
{
    return { s.phase, s.held, s.offset, s.increment, s.smoothed, s.coefficient,
             s.invert & (Lanes4) { INT64_MIN, INT64_MIN, INT64_MIN, INT64_MIN },
             s.shapes[0], s.shapes[1],
             { s.oscillatorOut[0], s.oscillatorOut[1], s.oscillatorOut[2], s.oscillatorOut[3] },
             0, 0 };
}

// The wrapped phase of this sample (and the held values it sees), then the
// phase moved on by a sample, through a turn where it passes one. Where
// every lane's phase is inside its turn and a known number of samples short
// of its end, that many samples go without either check.
SIMD_ALWAYS_INLINE inline Doubles4 advance(OscillatorRun& o, ModulatorLanes& s, Doubles4& heldNow)
{
    heldNow = o.held;
    Doubles4 p = o.phase + o.offset;
    if (__builtin_expect(o.unchecked > 0, 1))
    {
        --o.unchecked;
        o.phase += o.increment;
        return p;
    }
    if (__builtin_expect(anyLane((p < 0.0) | (p > kTwoPi)), 0))
        wrapLanes(p);
    o.phase += o.increment;
    const Lanes4 passed = o.phase + o.offset > kTwoPi;
    if (__builtin_expect(anyLane(passed), 0))
    {
        s.phase = o.phase;
        turnLanes(s, passed);
        o.phase = s.phase;
        o.held = s.held;
    }
    // Near a turn (or with an increment too small to count on) the checks
    // go on for a while before the next count. The count reads copies: the
    // run's own state never has its address taken.
    if (o.checkedAhead > 0)
    {
        --o.checkedAhead;
    }
    else
    {
        const Doubles4 phase = o.phase, offset = o.offset, increment = o.increment;
        if ((o.unchecked = uncheckedSamples(phase, offset, increment)) == 0)
            o.checkedAhead = 16;
    }
    return p;
}

// A sample's shapes, inverted where asked, through the smoothing.
SIMD_ALWAYS_INLINE inline void smooth(OscillatorRun& o, Doubles4 x)
{
    x = (Doubles4) ((Lanes4) x ^ o.signs);
    const Floats4 u = __builtin_convertvector(0.5 * x + 0.5 + kDenormalGuard, Floats4);
    // glide(): beyond 2^-40 the guard's addition leaves a float as it is,
    // and a step that leaves the value as it is is rare (where the shape
    // turns); both are checked aside, so that the value waits on three
    // operations a sample instead of six.
    const Floats4 stepped = o.smoothed - (o.smoothed - u) * o.coefficient;
    const Ints4 unusual = (stepped == o.smoothed) | (stepped < 0x1p-40f);
    if (__builtin_expect(_mm_movemask_ps((__m128) unusual) != 0, 0))
    {
        const Floats4 next = stepped + kDenormalGuardF;
        o.smoothed = pick(next == o.smoothed, u, next);
    }
    else
    {
        o.smoothed = stepped;
    }
}

// One sample of the oscillators into their buffers. Of two shapes, the
// first modulator's takes lanes 0 and 1, the second's lanes 2 and 3.
template <int shape>
SIMD_ALWAYS_INLINE inline void oscillatorSample(OscillatorRun& o, ModulatorLanes& s, int i)
{
    Doubles4 heldNow;
    const Doubles4 p = advance(o, s, heldNow);
    if constexpr (shape == kMixedShapes)
    {
        const Lanes4 firstPair = { -1, -1, 0, 0 };
        smooth(o, pick(firstPair, shapeLanesOf(o.shape0, p, heldNow), shapeLanesOf(o.shape1, p, heldNow)));
    }
    else
    {
        smooth(o, shapeLanes<shape>(p, heldNow));
    }
    o.out[0][i] = o.smoothed[0];
    o.out[1][i] = o.smoothed[1];
    o.out[2][i] = o.smoothed[2];
    o.out[3][i] = o.smoothed[3];
}

// Two samples, so that each buffer takes both at once. Of two shapes, each
// wanted in two lanes, a vector of each takes both samples: its lanes of
// this sample and of the next.
template <int shape>
SIMD_ALWAYS_INLINE inline void oscillatorPair(OscillatorRun& o, ModulatorLanes& s, int i)
{
    Doubles4 heldA, heldB;
    const Doubles4 a = advance(o, s, heldA);
    const Doubles4 b = advance(o, s, heldB);
    Doubles4 xa, xb;
    if constexpr (shape == kMixedShapes)
    {
        const Doubles4 first = shapeLanesOf(o.shape0, __builtin_shuffle(a, b, Lanes4 { 0, 1, 4, 5 }),
                                            __builtin_shuffle(heldA, heldB, Lanes4 { 0, 1, 4, 5 }));
        const Doubles4 second = shapeLanesOf(o.shape1, __builtin_shuffle(a, b, Lanes4 { 2, 3, 6, 7 }),
                                             __builtin_shuffle(heldA, heldB, Lanes4 { 2, 3, 6, 7 }));
        xa = __builtin_shuffle(first, second, Lanes4 { 0, 1, 4, 5 });
        xb = __builtin_shuffle(first, second, Lanes4 { 2, 3, 6, 7 });
    }
    else
    {
        xa = shapeLanes<shape>(a, heldA);
        xb = shapeLanes<shape>(b, heldB);
    }
    smooth(o, xa);
    const Floats4 before = o.smoothed;
    smooth(o, xb);
    const __m128 low = _mm_unpacklo_ps((__m128) before, (__m128) o.smoothed);
    const __m128 high = _mm_unpackhi_ps((__m128) before, (__m128) o.smoothed);
    _mm_storel_pi((__m64*) (o.out[0] + i), low);
    _mm_storeh_pi((__m64*) (o.out[1] + i), low);
    _mm_storel_pi((__m64*) (o.out[2] + i), high);
    _mm_storeh_pi((__m64*) (o.out[3] + i), high);
}

// Samples [from, to) of the oscillators (parts & 2) and of the followers and
// detectors (parts & 1), the detectors' levels written from levelBase on:
// two samples a step, then the one left over.
template <int shape, int parts>
SIMD_ALWAYS_INLINE inline void runModulatorLanes(ModulatorLanes& s, int from, int to, int levelBase)
{
    constexpr bool withDetectors = (parts & 1) != 0;
    constexpr bool withOscillators = (parts & 2) != 0;
    DetectorRun d = detectorRunOf(s, levelBase);
    OscillatorRun o = oscillatorRunOf(s);
    int i = from;
    for (; i + 2 <= to; i += 2)
    {
        if constexpr (withDetectors)
            detectorPair(d, i);
        if constexpr (withOscillators)
            oscillatorPair<shape>(o, s, i);
    }
    for (; i < to; ++i)
    {
        if constexpr (withDetectors)
            detectorSample(d, i);
        if constexpr (withOscillators)
            oscillatorSample<shape>(o, s, i);
    }
    s.phase = o.phase;
    s.smoothed = o.smoothed;
    s.followerValue = d.value;
    s.level = d.level;
}

template <int shape, int parts>
void modulatorLanesSse2(ModulatorLanes& s, int from, int to, int levelBase)
{
    runModulatorLanes<shape, parts>(s, from, to, levelBase);
}

template <int shape, int parts>
SIMD_AVX2 void modulatorLanesAvx2(ModulatorLanes& s, int from, int to, int levelBase)
{
    runModulatorLanes<shape, parts>(s, from, to, levelBase);
}

using ModulatorLanesRun = void (*)(ModulatorLanes&, int, int, int);

// One channel's meter over a block: a peak that falls towards -bias, then
// two smoothers for the eye. The peak's fall p - (p + bias) f is
// P + a (p - P), a = 1 - f, about the level P where it would rest (-bias),
// so the peak over that level after sample i is q(i + 1) = a max(v(i), q(i)),
// v the sample's level over P: a^(i + 1) times the largest of q(0) and
// v(j) a^-j for j up to i. That running maximum goes four samples at a time,
// one step from one four to the next. The smoothers are linear, so each one's
// value at the end of the block is a weighted sum of the peaks (d^k and
// (k + 1) d^k, k samples before the end), summed alongside. The meters are
// for the eye: a quick logarithm in single precision serves them, and their
// rounding is not that of a sample-by-sample run.
struct MeterRun
{
    double rest;
    // a^4, 1 / a^4 and 1 / d^4: the steps of the lanes from one four to the next.
    double keep4, unkeep4, undisplay4;
    // Lanes for samples i..i + 3: a^-j, a^(j + 1), d^(n - 1 - j), n - j.
    Doubles4 unkeep, kept, weights, counts;
    // Both channels side by side: their running maxima do not wait on each
    // other. The largest so far (scaled to a^0), the weighted sums of the
    // peaks, the peaks of the last four.
    double running[2];
    Doubles4 first[2], second[2], peaks[2];
};

// state holds each channel's peak and two smoothers; last is d^(n - 1).
SIMD_ALWAYS_INLINE inline MeterRun meterRunOf(int n, double keep, double rest, double display, double last,
                                                          const double (*state)[3])
{
    MeterRun m;
    m.rest = rest;
    const double keep2 = keep * keep, display2 = display * display;
    const double keep4 = keep2 * keep2, display4 = display2 * display2;
    m.keep4 = keep4;
    m.unkeep4 = 1.0 / keep4;
    m.undisplay4 = 1.0 / display4;
    m.unkeep = Doubles4 { 1.0, 1.0 / keep, 1.0 / keep2, 1.0 / (keep2 * keep) };
    m.kept = Doubles4 { keep, keep2, keep2 * keep, keep4 };
    m.weights = Doubles4 { last, last / display, last / display2, last / (display2 * display) };
    m.counts = Doubles4 { (double) n, (double) n - 1.0, (double) n - 2.0, (double) n - 3.0 };
    for (int c = 0; c < 2; ++c)
    {
        m.running[c] = state[c][0] - rest;
        m.first[c] = m.second[c] = Doubles4 { 0.0, 0.0, 0.0, 0.0 };
        m.peaks[c] = Doubles4 { state[c][0], state[c][0], state[c][0], state[c][0] };
    }
    return m;
}

SIMD_ALWAYS_INLINE inline Floats4 magnitudesOf(Floats4 v)
{
    return (Floats4) ((Ints4) v & 0x7fffffff);
}

// A level over the resting level, four at a time: 20 log10 |x| by the
// logarithm in float lanes.
SIMD_ALWAYS_INLINE inline Doubles4 levelsOver(Floats4 v, double rest)
{
    const Floats4 silence = { (float) kSilenceDb, (float) kSilenceDb, (float) kSilenceDb, (float) kSilenceDb };
    const Floats4 a = magnitudesOf(v);
    const Floats4 db = pick(a > 0.0f, FastMath::log(a) * 8.68588963806503655f, silence);
    return (__builtin_convertvector(db, Doubles4) - kMeterFloorDb) * kMeterScale + kDenormalGuard - rest;
}

SIMD_ALWAYS_INLINE inline void moveOn(MeterRun& m)
{
    m.unkeep *= m.unkeep4;
    m.kept *= m.keep4;
    m.weights *= m.undisplay4;
    m.counts -= 4.0;
}

// Four samples from i on (count of them there): each one's level, the
// running maximum across the four, then with what came before.
SIMD_ALWAYS_INLINE inline void meterGroup(MeterRun& m, const float* const* x, int i, int count)
{
    // Past the end of a block that is not a multiple of four, no weight.
    const Doubles4 w = count == 4 ? m.weights : pick(Lanes4 { 0, 1, 2, 3 } < count, m.weights, Doubles4 {});
    for (int c = 0; c < 2; ++c)
    {
        Floats4 v = { 0.0f, 0.0f, 0.0f, 0.0f };
        if (count == 4)
            std::memcpy(&v, x[c] + i, sizeof v);
        else
            for (int k = 0; k < count; ++k)
                v[k] = x[c][i + k];
        Doubles4 r = levelsOver(v, m.rest) * m.unkeep;
        r = lanesMax(r, __builtin_shuffle(r, Lanes4 { 0, 0, 1, 2 }));
        r = lanesMax(r, __builtin_shuffle(r, Lanes4 { 0, 0, 0, 1 }));
        r = lanesMax(r, Doubles4 { m.running[c], m.running[c], m.running[c], m.running[c] });
        m.running[c] = r[3];
        m.peaks[c] = r * m.kept + m.rest;
        m.first[c] += w * m.peaks[c];
        m.second[c] += w * m.counts * m.peaks[c];
    }
    moveOn(m);
}

// Four samples none of which rises above the running maximum: the peaks
// only fall.
SIMD_ALWAYS_INLINE inline void fallingGroup(MeterRun& m)
{
    for (int c = 0; c < 2; ++c)
    {
        m.peaks[c] = Doubles4 { m.running[c], m.running[c], m.running[c], m.running[c] } * m.kept + m.rest;
        m.first[c] += m.weights * m.peaks[c];
        m.second[c] += m.weights * m.counts * m.peaks[c];
    }
    moveOn(m);
}

// Whether no sample of the sixteen from i on rises above the running
// maximum: the loudest sample of each four, its level scaled as the last of
// its four would be (the largest scale in the four), stays at or below it
// (with a margin for the quick logarithm's rounding).
SIMD_ALWAYS_INLINE inline bool fallsThroughout(const MeterRun& m, const float* const* x, int i)
{
    const double u4 = m.unkeep4;
    const Doubles4 scale = m.unkeep[3] * Doubles4 { 1.0, u4, u4 * u4, u4 * u4 * u4 };
    for (int c = 0; c < 2; ++c)
    {
        Floats4 four[4];
        std::memcpy(four, x[c] + i, sizeof four);
        const Floats4 low01 = __builtin_shuffle(four[0], four[1], Ints4 { 0, 1, 4, 5 });
        const Floats4 high01 = __builtin_shuffle(four[0], four[1], Ints4 { 2, 3, 6, 7 });
        const Floats4 low23 = __builtin_shuffle(four[2], four[3], Ints4 { 0, 1, 4, 5 });
        const Floats4 high23 = __builtin_shuffle(four[2], four[3], Ints4 { 2, 3, 6, 7 });
        const Floats4 a = __builtin_shuffle(low01, low23, Ints4 { 0, 2, 4, 6 });
        const Floats4 b = __builtin_shuffle(low01, low23, Ints4 { 1, 3, 5, 7 });
        const Floats4 d = __builtin_shuffle(high01, high23, Ints4 { 0, 2, 4, 6 });
        const Floats4 e = __builtin_shuffle(high01, high23, Ints4 { 1, 3, 5, 7 });
        const Floats4 ab = lanesMax(magnitudesOf(a), magnitudesOf(b));
        const Floats4 de = lanesMax(magnitudesOf(d), magnitudesOf(e));
        const Floats4 loudest = lanesMax(ab, de);
        const Doubles4 level = levelsOver(loudest, m.rest);
        const Doubles4 highest = pick(level > 0.0, level * scale * (1.0 + 1.0e-6) + 1.0e-9, level + 1.0e-9);
        if (anyLane(highest > m.running[c]))
            return false;
    }
    return true;
}

// The peak and the two smoothers at the end of the block.
SIMD_ALWAYS_INLINE inline void finishMeter(const MeterRun& m, int n, double display, double last,
                                                       double (*state)[3])
{
    const double gain = 1.0 - display;
    const double dn = last * display;
    for (int c = 0; c < 2; ++c)
    {
        const double firstSum = (m.first[c][0] + m.first[c][1]) + (m.first[c][2] + m.first[c][3]);
        const double secondSum = (m.second[c][0] + m.second[c][1]) + (m.second[c][2] + m.second[c][3]);
        const double s1 = state[c][1];
        state[c][0] = m.peaks[c][(n - 1) & 3];
        state[c][1] = dn * s1 + gain * firstSum;
        state[c][2] = dn * state[c][2] + (double) n * dn * gain * s1 + gain * gain * secondSum;
    }
}

// The meter over a block of n samples, sixteen at a time where they only
// fall, else four at a time.
SIMD_ALWAYS_INLINE inline void meterBlock(const float* const* x, int n, double keep, double rest,
                                                      double display, double last, double (*state)[3])
{
    MeterRun m = meterRunOf(n, keep, rest, display, last, state);
    int i = 0;
    for (; i + 16 <= n; i += 16)
    {
        if (fallsThroughout(m, x, i))
            for (int g = 0; g < 4; ++g)
                fallingGroup(m);
        else
            for (int g = 0; g < 4; ++g)
                meterGroup(m, x, i + 4 * g, 4);
    }
    for (; i < n; i += 4)
        meterGroup(m, x, i, std::min(4, n - i));
    finishMeter(m, n, display, last, state);
}

void meterBlockSse2(const float* const* x, int n, double keep, double rest, double display, double last,
                    double (*state)[3])
{
    meterBlock(x, n, keep, rest, display, last, state);
}

SIMD_AVX2 void meterBlockAvx2(const float* const* x, int n, double keep, double rest,
                                                    double display, double last, double (*state)[3])
{
    meterBlock(x, n, keep, rest, display, last, state);
}

// The mix with gains that have arrived: the same sums as one sample at a
// time, sample by sample in the same order, in loops the compiler takes
// several samples at a time (four on SSE2, eight on AVX2).
SIMD_ALWAYS_INLINE inline void mixSettled(const float* const (*branches)[2], const float* gains,
                                                      int numMixes, float* left, float* right, const float* inRight,
                                                      int numSamples, bool stereoOut, float wet, float outputGain)
{
    constexpr int kStretch = 256;
    alignas(32) float sums[2][kStretch];
    for (int from = 0; from < numSamples; from += kStretch)
    {
        const int count = std::min(kStretch, numSamples - from);
        std::fill(sums[0], sums[0] + count, 0.0f);
        std::fill(sums[1], sums[1] + count, 0.0f);
        for (int j = 0; j < numMixes; ++j)
        {
            const float g = gains[j];
            const float* branchLeft = branches[j][0] + from;
            const float* branchRight = branches[j][1] + from;
            for (int i = 0; i < count; ++i)
            {
                sums[0][i] += branchLeft[i] * g;
                sums[1][i] += branchRight[i] * g;
            }
        }
        float* outLeft = left + from;
        float* outRight = right + from;
        const float* dryRightIn = inRight + from;
        // clean(): x - x is 0 for a finite x alone.
        if (stereoOut)
            for (int i = 0; i < count; ++i)
            {
                const float dryLeft = outLeft[i], dryRight = dryRightIn[i];
                const float mixLeft = sums[0][i], mixRight = sums[1][i];
                const float l = (dryLeft + (mixLeft - dryLeft) * wet) * outputGain;
                const float r = (dryRight + (mixRight - dryRight) * wet) * outputGain;
                outLeft[i] = l - l == 0.0f ? l : 0.0f;
                outRight[i] = r - r == 0.0f ? r : 0.0f;
            }
        else
            for (int i = 0; i < count; ++i)
            {
                const float dryLeft = outLeft[i], dryRight = dryRightIn[i];
                const float mixLeft = sums[0][i], mixRight = sums[1][i];
                const float l = dryLeft + (mixLeft - dryLeft) * wet;
                const float r = dryRight + (mixRight - dryRight) * wet;
                const float m = (r + l) * 0.5f * outputGain;
                outLeft[i] = m - m == 0.0f ? m : 0.0f;
            }
    }
}

void mixSettledSse2(const float* const (*branches)[2], const float* gains, int numMixes, float* left, float* right,
                    const float* inRight, int numSamples, bool stereoOut, float wet, float outputGain)
{
    mixSettled(branches, gains, numMixes, left, right, inRight, numSamples, stereoOut, wet, outputGain);
}

SIMD_AVX2 void mixSettledAvx2(const float* const (*branches)[2], const float* gains,
                                                    int numMixes, float* left, float* right, const float* inRight,
                                                    int numSamples, bool stereoOut, float wet, float outputGain)
{
    mixSettled(branches, gains, numMixes, left, right, inRight, numSamples, stereoOut, wet, outputGain);
}

template <int parts>
ModulatorLanesRun modulatorLanesFor(int shape, bool avx2)
{
    switch (shape)
    {
        case DelayEngine::shapeTriangle:
            return avx2 ? modulatorLanesAvx2<DelayEngine::shapeTriangle, parts> : modulatorLanesSse2<DelayEngine::shapeTriangle, parts>;
        case DelayEngine::shapeSine:
            return avx2 ? modulatorLanesAvx2<DelayEngine::shapeSine, parts> : modulatorLanesSse2<DelayEngine::shapeSine, parts>;
        case DelayEngine::shapeSquare:
            return avx2 ? modulatorLanesAvx2<DelayEngine::shapeSquare, parts> : modulatorLanesSse2<DelayEngine::shapeSquare, parts>;
        case DelayEngine::shapeSawDown:
            return avx2 ? modulatorLanesAvx2<DelayEngine::shapeSawDown, parts> : modulatorLanesSse2<DelayEngine::shapeSawDown, parts>;
        case DelayEngine::shapeSawUp:
            return avx2 ? modulatorLanesAvx2<DelayEngine::shapeSawUp, parts> : modulatorLanesSse2<DelayEngine::shapeSawUp, parts>;
        case DelayEngine::shapeRandom:
            return avx2 ? modulatorLanesAvx2<DelayEngine::shapeRandom, parts> : modulatorLanesSse2<DelayEngine::shapeRandom, parts>;
        default:
            return avx2 ? modulatorLanesAvx2<kMixedShapes, parts> : modulatorLanesSse2<kMixedShapes, parts>;
    }
}
} // namespace

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
DelayEngine::DelayEngine(bool allowAvx2) : limiter(allowAvx2)
{
    useAvx2 = allowAvx2 && DspCommon::processorHasAvx2();

    tables = std::make_unique<DspTables>();
    for (int line = 0; line < kNumLines; ++line)
    {
        delayCores[(size_t) line] = std::make_unique<DelayCore>(tables->getKernel32(), tables->getKernel16(),
                                                                 tables->getSemitones(), tables->getFineTune(), allowAvx2);
        preDelayCores[(size_t) line] = std::make_unique<PreDelayCore>();
        preDelayCores[(size_t) line]->shareGlides(&preDelayGlides);
    }

    for (int m = 0; m < kNumModulators; ++m)
    {
        auto& mod = modulators[(size_t) m];
        // The detector's settings at their middle until they are set.
        mod.detector.timeFactor = (float) DelayParameters::detectorTimeFactor(0.5);
        mod.detector.onThreshold = (float) DelayParameters::detectorThreshold(0.5);
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
        for (auto& b : limiterBuffers)
            b.assign((size_t) size, 0.0f);
        crossfadeWeights.assign((size_t) size, 0.0f);
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
    switchLength = std::max(1, (int) (fs * kLimiterSwitchSeconds));
    switchPosition = limiterOn ? switchLength : 0;
    routingFade.prepare(fs);
    soundChange.prepare(fs);

    meterFall = 1.0 - std::exp(-kTwoPi * kMeterFallHz / fs) + kDenormalGuard;
    displayCoefficient = std::exp(-kTwoPi * kMeterDisplayHz / fs) + kDenormalGuard;

    refreshModulationRouting();
    // Nothing plays the old sound any more: a change waiting for it to fade
    // takes effect now.
    if (soundChange.isHolding())
        soundChange.makeHeld(*this, false);
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
    mod.envelope.attackCoefficient = DelayParameters::attackCoefficient(mod.attackControl, k);
    mod.envelope.decayCoefficient = DelayParameters::timeCoefficient(mod.decayControl, k);
    mod.envelope.releaseCoefficient = DelayParameters::timeCoefficient(mod.releaseControl, k);
    mod.envelope.holdLength = (int) (DelayParameters::holdSeconds(mod.holdControl) * context.rate);
    switch (mod.envelope.state)
    {
        case envelopeAttack: mod.envelope.coefficient = mod.envelope.attackCoefficient; break;
        case envelopeDecay: mod.envelope.coefficient = mod.envelope.decayCoefficient; break;
        case envelopeRelease:
        case envelopeIdle: mod.envelope.coefficient = mod.envelope.releaseCoefficient; break;
        default: break;
    }
    mod.follower.attackPole = 1.0 - DelayParameters::timeCoefficient(mod.followerAttackControl, k) + kDenormalGuard;
    mod.follower.releasePole = 1.0 - DelayParameters::timeCoefficient(mod.followerReleaseControl, k) + kDenormalGuard;
}

void DelayEngine::setQuality(int choice)
{
    if (soundChange.isHolding())
    {
        soundChange.holdQuality(choice);
        return;
    }
    const ReadQuality read = readQualityOf(choice);
    for (auto& core : delayCores)
        core->setInterpolation(read.mode, read.minimumStep);
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
    if (id < kMod1First || id > kOutputGain || !std::isfinite(v))
        return;
    v = std::clamp(v, 0.0f, 1.0f);
    if (soundChange.isHolding())
    {
        soundChange.holdGlobal(id, v);
        return;
    }

    if (isModulatorId(id))
    {
        setModulatorParameter(id, v);
        return;
    }

    switch (id)
    {
        case kLimiter: switchLimiter(isSwitchOn(v)); break;
        case kLimiterThreshold: limiter.setThresholdControl(v); break;
        case kDryWet: wetAmount = v; break;
        case kRouting: changeRouting(choiceOf(v, kNumRoutings)); break;
        case kOutputGain:
            outputGainControl = v;
            applyOutputGain();
            break;
        default: break;
    }
}

void DelayEngine::setModulatorParameter(int id, float v)
{
    const int m = modulatorOfId(id);
    auto& mod = modulators[(size_t) m];
    Oscillator& left = oscillators[(size_t) (2 * m)];
    Oscillator& right = oscillators[(size_t) (2 * m + 1)];
    switch (modulatorParameterOfId(id))
    {
        case kModulatorType:
            mod.kind = choiceOf(v, kNumModulatorKinds);
            refreshModulationRouting();
            break;
        case kModulatorRetrigger:
            mod.retriggerMode = choiceOf(v, kNumRetriggerModes);
            break;
        case kDetectorSpeed: mod.detector.timeFactor = DelayParameters::detectorTimeFactor(v); break;
        case kDetectorOnThreshold:
            mod.detector.onThreshold = (float) DelayParameters::detectorThreshold(v);
            break;
        case kDetectorOffThreshold:
            mod.detector.offThreshold = (float) DelayParameters::detectorThreshold(v);
            break;
        case kModulatorSync: setModulatorSync(m, isSwitchOn(v)); break;
        case kModulatorFrequency: setModulatorFreeRate(m, v); break;
        case kModulatorWaveform:
        {
            static constexpr int kShapeOfWaveform[kNumWaveforms] = { shapeRandom, shapeSawDown, shapeSquare,
                                                                      shapeSine, shapeTriangle };
            const int shape = kShapeOfWaveform[choiceOf(v, kNumWaveforms)];
            left.shape = shape;
            right.shape = shape;
            refreshModulationRouting();
            break;
        }
        case kModulatorInvert:
            left.invert = isSwitchOn(v);
            right.invert = isSwitchOn(v);
            break;
        case kModulatorStereoPhase: right.phaseOffset = DelayParameters::stereoPhaseRadians(v); break;
        case kEnvelopeAttack: mod.attackControl = v; recomputeModulatorCoefficients(m); break;
        case kEnvelopeDecay: mod.decayControl = v; recomputeModulatorCoefficients(m); break;
        case kEnvelopeSustain: mod.envelope.sustain = v; break;
        case kEnvelopeHold: mod.holdControl = v; recomputeModulatorCoefficients(m); break;
        case kEnvelopeRelease: mod.releaseControl = v; recomputeModulatorCoefficients(m); break;
        case kFollowerSensitivity: mod.follower.sensitivity = DelayParameters::followerSensitivity(v); break;
        case kFollowerAttack: mod.followerAttackControl = v; recomputeModulatorCoefficients(m); break;
        case kFollowerRelease: mod.followerReleaseControl = v; recomputeModulatorCoefficients(m); break;
        default: break; // the synced scale and rate arrive as setModulatorRate
    }
}

void DelayEngine::switchLimiter(bool on)
{
    // The limiter follows the output while it is off, so it takes over from
    // there without a gap; the crossfade hides the jump of the look-ahead.
    if (on == limiterOn)
        return;
    limiterOn = on;
    // No audio since prepare: a switch takes effect at once.
    if (limiter.isFresh())
    {
        switchPosition = on ? switchLength : 0;
    }
    else if (on && switchPosition == 0)
    {
        offPathGain = smoothedOutputGain;
        smoothedOutputGain = 1.0f;
    }
    else if (! on && switchPosition == switchLength)
    {
        offPathGain = outputGainOfControl();
    }
    applyOutputGain();
}

float DelayEngine::outputGainOfControl() const
{
    return DelayParameters::outputGain(outputGainControl) + kDenormalGuardF;
}

void DelayEngine::applyOutputGain()
{
    // A limiter that is on applies the output gain itself, after its
    // reduction; it is kept up to date while off, to be ready when switched.
    const float gain = outputGainOfControl();
    limiter.setOutputGain(gain);
    outputGainTarget = limiterOn || isLimiterSwitching() ? 1.0f : gain;
}

void DelayEngine::changeRouting(int next)
{
    // The lines' wiring cannot jump while they sound: the two routings
    // crossfade, and a change meanwhile follows from where that one ends.
    if (limiter.isFresh())
    {
        routingFade.stop();
        clearWorkBuffers();
    }
    else if (! routingFade.isMoving() && next != routing)
    {
        routingFade.start(routing, next);
    }
    routing = next;
}

void DelayEngine::setLineParameter(int line, int k, float v)
{
    if (line < 0 || line >= kNumLines || k < 0 || k >= kNumTemplateParameters || !std::isfinite(v))
        return;
    v = std::clamp(v, 0.0f, 1.0f);
    if (soundChange.isHolding())
    {
        soundChange.holdLine(line, k, v);
        return;
    }

    if (k == kLineState)
    {
        lineMixGains[(size_t) line] = DelayParameters::lineMixGain(v);
        return;
    }
    if (isTimingParameter(k))
    {
        // The timing of the delay core and of the pre-delay.
        TavinorDelayLine& timing = *delayStage(line, isPreDelayParameter(k) ? kStagePreDelay : kStageDelay);
        switch (k)
        {
            case kDelaySync: case kPreDelaySync: timing.setSynced(isSwitchOn(v)); break;
            case kDelayJoin: case kPreDelayJoin: timing.setLinked(isSwitchOn(v)); break;
            case kDelayLeftMs: case kPreDelayLeftMs: timing.setLeftFreeTime(v); break;
            case kDelayRightMs: case kPreDelayRightMs: timing.setRightFreeTime(v); break;
            case kDelayLeftScale: case kPreDelayLeftScale:
                timing.setLeftNoteLengthMode(choiceOf(v, kNumNoteLengths));
                break;
            case kDelayRightScale: case kPreDelayRightScale:
                timing.setRightNoteLengthMode(choiceOf(v, kNumNoteLengths));
                break;
            case kDelayLeftNumerator: timing.setLeftNumerator(DelayParameters::noteNumeratorOf(v)); break;
            case kDelayRightNumerator: timing.setRightNumerator(DelayParameters::noteNumeratorOf(v)); break;
            case kPreDelayLeftNumerator: timing.setLeftNumerator(DelayParameters::preDelayNumeratorOf(v)); break;
            case kPreDelayRightNumerator: timing.setRightNumerator(DelayParameters::preDelayNumeratorOf(v)); break;
            case kDelayLeftDenominator: case kPreDelayLeftDenominator:
                timing.setLeftDenominator(DelayParameters::noteDenominatorOf(v));
                break;
            case kDelayRightDenominator: case kPreDelayRightDenominator:
                timing.setRightDenominator(DelayParameters::noteDenominatorOf(v));
                break;
            default: break; // the knobs: the engine takes the times they keep in step
        }
        return;
    }
    delayCores[(size_t) line]->setParameter(k, v);
    if (k == kModSource)
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
    const double rate = DelayParameters::freeRateHz(std::clamp(v, 0.0, 1.0));
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
    if (soundChange.isHolding())
    {
        soundChange.holdModulatorRate(m, factor);
        return;
    }
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
        if (soundChange.isReadyToChange())
            makeHeldChange();
        // A change takes effect at the silent sample between the two sounds.
        const int n = std::min({ blockSize, numSamples - done, soundChange.samplesToSilence() });
        processChunk(left + done, right + done, n, stereoIn, stereoOut);
        done += n;
    }
    if (soundChange.isReadyToChange())
        makeHeldChange();

    publishBlockResults();
}

namespace
{
using ModulationBuffers = std::array<std::vector<float>, DelayEngine::kNumModulationBuffers>;

// The detectors hear left plus right, or right minus left when the sum is
// negative.
void foldDetectorInput(const float* inLeft, const float* inRight, double* x, int numSamples)
{
    int first = 0;
    for (; first + 2 <= numSamples; first += 2)
    {
        const __m128d left = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64((const __m128i*) (inLeft + first))));
        const __m128d right = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64((const __m128i*) (inRight + first))));
        const __m128d sum = _mm_add_pd(left, right);
        const __m128d negative = _mm_cmplt_pd(sum, _mm_setzero_pd());
        _mm_storeu_pd(x + first, _mm_or_pd(_mm_and_pd(negative, _mm_sub_pd(right, left)), _mm_andnot_pd(negative, sum)));
    }
    for (int i = first; i < numSamples; ++i)
    {
        const double sum = (double) inLeft[i] + (double) inRight[i];
        x[i] = sum < 0.0 ? (double) inRight[i] - (double) inLeft[i] : sum;
    }
}

// The oscillators into the lanes: oscillator o in lane o, writing modulation
// buffer o; a vector's first two lanes are the first modulator's.
void loadOscillatorLanes(ModulatorLanes& s, DelayEngine::Oscillator* oscillators, ModulationBuffers& buffers,
                         float coefficient)
{
    static_assert(DelayEngine::kNumModulators == 2 && DelayEngine::kNumOscillators == 4,
                  "the modulators go side by side in lanes");
    static_assert(DelayEngine::bufferOscillator1Left == 0 && DelayEngine::bufferOscillator1Right == 1
                      && DelayEngine::bufferOscillator2Left == 2 && DelayEngine::bufferOscillator2Right == 3,
                  "oscillator o writes modulation buffer o");
    for (int l = 0; l < DelayEngine::kNumOscillators; ++l)
    {
        const auto& o = oscillators[l];
        s.phase[l] = o.phase;
        s.offset[l] = o.phaseOffset;
        s.increment[l] = o.increment;
        s.held[l] = (double) o.held;
        s.invert[l] = o.invert ? -1 : 0;
        s.smoothed[l] = o.smoothed;
        s.oscillatorOut[l] = buffers[(size_t) l].data();
    }
    s.coefficient = coefficient;
    s.shapes[0] = oscillators[0].shape;
    s.shapes[1] = oscillators[2].shape;
    s.oscillators = oscillators;
}

// The followers and the detectors' levels into the lanes, modulator m in
// lane m; k is the sample rate's factor of the detectors' rates.
void loadDetectorLanes(ModulatorLanes& s, const DelayEngine::Modulator* modulators, ModulationBuffers& buffers,
                       float k, const double* input)
{
    for (int m = 0; m < DelayEngine::kNumModulators; ++m)
    {
        const auto& mod = modulators[m];
        s.followerValue[m] = mod.follower.value;
        s.sensitivity[m] = mod.follower.sensitivity;
        s.attackPole[m] = mod.follower.attackPole;
        s.releasePole[m] = mod.follower.releasePole;
        s.attackRest[m] = 1.0 - mod.follower.attackPole;
        s.releaseRest[m] = 1.0 - mod.follower.releasePole;
        s.followerOut[m] = buffers[(size_t) (DelayEngine::bufferPeakFollower1 + m)].data();
        s.level[m] = mod.detector.level;
        s.attackRate[m] = k * kDetectorAttackRate * mod.detector.timeFactor;
        s.releaseRate[m] = k * kDetectorReleaseRate * mod.detector.timeFactor;
        s.level[m + 2] = s.attackRate[m + 2] = s.releaseRate[m + 2] = 0.0f;
    }
    s.input = input;
}

// A block's retriggers from the input's level: for each modulator, the
// samples after which it starts again.
struct Retriggers
{
    int* points[DelayEngine::kNumModulators];
    int count[DelayEngine::kNumModulators];
};

// The lowest and the highest of a stretch of levels.
void levelRange(const float* level, int count, float& lowest, float& highest)
{
    __m128 low = _mm_set1_ps(level[0]), high = low;
    int i = 0;
    for (; i + 4 <= count; i += 4)
    {
        const __m128 four = _mm_load_ps(level + i);
        low = _mm_min_ps(low, four);
        high = _mm_max_ps(high, four);
    }
    alignas(16) float lows[4], highs[4];
    _mm_store_ps(lows, low);
    _mm_store_ps(highs, high);
    lowest = std::min(std::min(lows[0], lows[1]), std::min(lows[2], lows[3]));
    highest = std::max(std::max(highs[0], highs[1]), std::max(highs[2], highs[3]));
    for (; i < count; ++i)
    {
        lowest = std::min(lowest, level[i]);
        highest = std::max(highest, level[i]);
    }
}

// A detector's gate over a stretch of its levels, from sample `from` of the
// block on. The detector hears the input alone; where its gate opens (with
// the retrigger from the input chosen) the modulator starts again from the
// next sample on.
void gateStretch(DelayEngine::Modulator& mod, const float* level, int from, int count, int closeAfter, int* points,
                 int& numPoints)
{
    auto& d = mod.detector;
    d.level = level[count - 1];
    // A stretch where nothing can change but the gate's count.
    float lowest, highest;
    levelRange(level, count, lowest, highest);
    if (d.gate == 0.0f && highest < d.onThreshold)
        return;
    if (d.gate != 0.0f && (lowest >= d.offThreshold || d.gateCounter + count <= closeAfter))
    {
        d.gateCounter += count;
        return;
    }
    const bool retriggers = mod.retriggerMode == DelayEngine::kRetriggerInputLevel;
    for (int i = 0; i < count; ++i)
    {
        d.level = level[i];
        if (d.gateStep(closeAfter) && retriggers)
            points[numPoints++] = from + i;
    }
}

// The followers and detectors (and with them, where run gives them, the
// oscillators) over the block, in stretches of the detectors' levels.
void runDetectors(ModulatorLanes& s, ModulatorLanesRun run, DelayEngine::Modulator* modulators, Retriggers& r,
                  int numSamples, int closeAfter)
{
    constexpr int kStretch = 256;
    alignas(16) float levels[DelayEngine::kNumModulators][kStretch];
    s.levelOut[0] = levels[0];
    s.levelOut[1] = levels[1];
    for (int from = 0; from < numSamples; from += kStretch)
    {
        const int count = std::min(kStretch, numSamples - from);
        run(s, from, from + count, from);
        for (int m = 0; m < DelayEngine::kNumModulators; ++m)
            gateStretch(modulators[m], levels[m], from, count, closeAfter, r.points[m], r.count[m]);
    }
}

// Modulator m's oscillators start their turn again.
void restartLanes(ModulatorLanes& s, int m)
{
    for (int l = 2 * m; l < 2 * m + 2; ++l)
    {
        auto& o = s.oscillators[l];
        o.resetPhase(0.0);
        s.phase[l] = o.phase;
        s.held[l] = (double) o.held;
    }
}

// The oscillators from one retrigger (of either modulator) to the next; a
// modulator retriggered after sample p starts again from p + 1 on.
void runOscillatorsBetween(ModulatorLanes& s, ModulatorLanesRun oscillatorsOnly, const Retriggers& r, int numSamples)
{
    int next[DelayEngine::kNumModulators] = {};
    for (int from = 0; from < numSamples;)
    {
        int point = numSamples;
        for (int m = 0; m < DelayEngine::kNumModulators; ++m)
            if (next[m] < r.count[m])
                point = std::min(point, r.points[m][next[m]]);
        const int to = point < numSamples ? point + 1 : numSamples;
        oscillatorsOnly(s, from, to, 0);
        for (int m = 0; m < DelayEngine::kNumModulators; ++m)
        {
            if (next[m] >= r.count[m] || r.points[m][next[m]] != point)
                continue;
            ++next[m];
            restartLanes(s, m);
        }
        from = to;
    }
}

// The envelopes, each from one of its retriggers to the next.
void runEnvelopes(DelayEngine::Modulator* modulators, ModulationBuffers& buffers, const Retriggers& r, int numSamples)
{
    for (int m = 0; m < DelayEngine::kNumModulators; ++m)
    {
        auto& mod = modulators[m];
        if (r.count[m] > 0)
            mod.retriggeredInBlock = true;
        float* envelope = buffers[(size_t) (DelayEngine::bufferEnvelope1 + m)].data();
        for (int p = 0, from = 0; from < numSamples; ++p)
        {
            const int to = p < r.count[m] ? r.points[m][p] + 1 : numSamples;
            mod.envelope.run(envelope + from, to - from);
            if (p < r.count[m])
                mod.envelope.start();
            from = to;
        }
    }
}
} // namespace

void DelayEngine::runModulators(const float* inLeft, const float* inRight, int numSamples, int detectorCloseAfter)
{
    double* x = detectorInput.data();
    foldDetectorInput(inLeft, inRight, x, numSamples);
    ModulatorLanes s;
    loadOscillatorLanes(s, oscillators.data(), modulationBuffers, oscillatorCoefficient);
    loadDetectorLanes(s, modulators.data(), modulationBuffers, context.kF, x);

    // The oscillators go through with the detectors unless a detector can
    // retrigger them: then the detectors go first, the oscillators after,
    // from one retrigger to the next. Both modulators' oscillators share a
    // vector, with a loop of its own for each shape the two have alike and
    // one for two shapes (as the default sound's sine and triangle).
    const int shapeKey = s.shapes[0] == s.shapes[1] ? s.shapes[0] : kMixedShapes;
    const bool fromDetector = modulators[0].retriggerMode == kRetriggerInputLevel
                              || modulators[1].retriggerMode == kRetriggerInputLevel;
    Retriggers retriggers = { { retriggerPoints[0].data(), retriggerPoints[1].data() }, {} };
    runDetectors(s, fromDetector ? modulatorLanesFor<1>(shapeRandom, useAvx2) : modulatorLanesFor<3>(shapeKey, useAvx2),
                 modulators.data(), retriggers, numSamples, detectorCloseAfter);
    for (int m = 0; m < kNumModulators; ++m)
        modulators[(size_t) m].follower.value = s.followerValue[m];
    if (fromDetector)
        runOscillatorsBetween(s, modulatorLanesFor<2>(shapeKey, useAvx2), retriggers, numSamples);
    for (int l = 0; l < kNumOscillators; ++l)
    {
        oscillators[(size_t) l].phase = s.phase[l];
        oscillators[(size_t) l].smoothed = s.smoothed[l];
    }

    runEnvelopes(modulators.data(), modulationBuffers, retriggers, numSamples);
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
    // The modulators hear the input as it is; the lines and the dry path
    // hear a new sound come in.
    soundChange.fadeIn(left, stereoIn ? right : nullptr, numSamples);
    for (int b = 0; b < kNumLines; ++b)
    {
        std::copy(left, left + numSamples, workBuffers[(size_t) (2 * b)].begin());
        std::copy(inRight, inRight + numSamples, workBuffers[(size_t) (2 * b + 1)].begin());
    }

    const bool crossfading = routingFade.isMoving();
    if (crossfading)
        runRoutingCrossfade(left, inRight, numSamples);
    else
        runRouting(numSamples);
    const float outputGainBefore = smoothedOutputGain;
    mixLines(left, right, inRight, numSamples, stereoOut, crossfading ? kLineByLineLayout : routing);

    float* outRight = stereoOut ? right : left;
    runLimiter(left, outRight, numSamples, outputGainBefore);
    soundChange.fadeOut(left, stereoOut ? right : nullptr, numSamples);

    updateMeters(left, outRight, numSamples);

    // A routing asked for during the crossfade follows it.
    if (crossfading && ! routingFade.isMoving() && routingFade.to() != routing)
        routingFade.start(routingFade.to(), routing);
}

void DelayEngine::makeHeldChange()
{
    // The limiter first: freshly reset, it takes its new settings (and a
    // switch) at once, as the routing does.
    limiter.reset();
    routingFade.stop();
    soundChange.makeHeld(*this, true);
    reset();
    // Settings the held ones left alone arrive at once too.
    switchPosition = limiterOn ? switchLength : 0;
    applyOutputGain();
    smoothedLineGains = lineMixGains;
    smoothedWet = wetAmount;
    smoothedOutputGain = outputGainTarget;
}

void DelayEngine::runLimiter(float* left, float* right, int numSamples, float outputGainBefore)
{
    if (isLimiterSwitching())
        crossfadeLimiter(left, right, numSamples);
    else if (limiterOn)
        limiter.process(left, right, numSamples);
    else
        followLimiter(left, right, numSamples, outputGainBefore);
}

void DelayEngine::followLimiter(float* left, float* right, int numSamples, float outputGainBefore)
{
    // Switched on, the limiter takes the mix at unity gain and applies the
    // output gain after; what it follows is brought back to unity the same
    // way, so that its look-ahead and reduction are ready for that.
    if (outputGainBefore == 1.0f && smoothedOutputGain == 1.0f)
    {
        limiter.follow(left, right, numSamples);
        return;
    }
    float* unityLeft = limiterBuffers[0].data();
    float* unityRight = right == left ? unityLeft : limiterBuffers[1].data();
    float gain = outputGainBefore;
    const bool steady = outputGainBefore == smoothedOutputGain;
    for (int i = 0; i < numSamples; ++i)
    {
        // The mix's own steps of its output gain through the block.
        if (! steady)
            gain = glideTo(gain, outputGainTarget, mixCoefficient);
        const float scale = gain >= kLeastFollowedGain ? 1.0f / gain : 0.0f;
        unityLeft[i] = left[i] * scale;
        if (right != left)
            unityRight[i] = right[i] * scale;
    }
    limiter.follow(unityLeft, unityRight, numSamples);
}

void DelayEngine::crossfadeLimiter(float* left, float* right, int numSamples)
{
    // The mix came at unity gain: the undelayed path takes the output gain
    // here, the limiter its own. Switching on, the undelayed path is held to
    // the limiter's ceiling, so that the output never leaves above it.
    float* offLeft = limiterBuffers[0].data();
    float* offRight = limiterBuffers[1].data();
    const bool mono = right == left;
    std::copy(left, left + numSamples, offLeft);
    if (! mono)
        std::copy(right, right + numSamples, offRight);
    limiter.process(left, right, numSamples);

    const float offTarget = outputGainOfControl();
    const float ceiling = limiterOn ? limiter.getOutputGain() : std::numeric_limits<float>::max();
    const int direction = limiterOn ? 1 : -1;
    const double phaseStep = kPi / (double) switchLength;
    for (int i = 0; i < numSamples; ++i)
    {
        switchPosition = std::clamp(switchPosition + direction, 0, switchLength);
        // Raised cosine: no step in the weight or in its slope at either end.
        const float weight = (float) (0.5 - 0.5 * std::cos(phaseStep * (double) switchPosition));
        offPathGain = glideTo(offPathGain, offTarget, mixCoefficient);
        const float offL = std::clamp(offLeft[i] * offPathGain, -ceiling, ceiling);
        left[i] = offL + (left[i] - offL) * weight;
        if (! mono)
        {
            const float offR = std::clamp(offRight[i] * offPathGain, -ceiling, ceiling);
            right[i] = offR + (right[i] - offR) * weight;
        }
    }
    if (! limiterOn && switchPosition == 0)
    {
        // Off: the mix takes the output gain back where the crossfade left it.
        smoothedOutputGain = offPathGain;
        applyOutputGain();
    }
}

void DelayEngine::mixLines(float* left, float* right, const float* inRight, int numSamples, bool stereoOut,
                           int layout)
{
    const Routing& route = kRoutings[layout];
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

        const float dryLeft = left[i];
        const float dryRight = inRight[i];
        const float outLeft = dryLeft + (mixLeft - dryLeft) * wet;
        const float outRight = dryRight + (mixRight - dryRight) * wet;
        if (stereoOut)
        {
            left[i] = clean(outLeft * outputGain);
            right[i] = clean(outRight * outputGain);
        }
        else
        {
            left[i] = clean((outRight + outLeft) * 0.5f * outputGain);
        }
    };

    // Smoothers that have arrived hold their value: the whole block mixes
    // with the same gains.
    bool arrived = glideTo(smoothedWet, wetAmount, mixCoefficient) == smoothedWet
                   && glideTo(smoothedOutputGain, outputGainTarget, mixCoefficient) == smoothedOutputGain;
    for (int k = 0; k < kNumLines && arrived; ++k)
        arrived = glideTo(smoothedLineGains[(size_t) k], lineMixGains[(size_t) k], mixCoefficient)
                  == smoothedLineGains[(size_t) k];
    if (arrived)
    {
        float gains[kNumLines] = {};
        for (int j = 0; j < route.numMixes; ++j)
            gains[j] = smoothedLineGains[(size_t) route.mixes[j].gain];
        (useAvx2 ? mixSettledAvx2 : mixSettledSse2)(branches, gains, route.numMixes, left, right, inRight, numSamples,
                                                    stereoOut, smoothedWet, smoothedOutputGain);
        return;
    }

    for (int i = 0; i < numSamples; ++i)
    {
        for (int k = 0; k < kNumLines; ++k)
            smoothedLineGains[(size_t) k] =
                glideTo(smoothedLineGains[(size_t) k], lineMixGains[(size_t) k], mixCoefficient);
        smoothedWet = glideTo(smoothedWet, wetAmount, mixCoefficient);
        smoothedOutputGain = glideTo(smoothedOutputGain, outputGainTarget, mixCoefficient);
        mixSample(i, smoothedLineGains.data(), smoothedWet, smoothedOutputGain);
    }
}

// The steps of a routing whose delay cores run side by side at once, and
// where each member's line works.
struct DelayEngine::Wave
{
    int members[kNumLines];
    int feeder[kNumLines];       // the member whose output a member's pre-delay takes, or -1
    float* lane[kNumLines][2];   // where each member's line works
    int count = 0;
    // The buffers no step of the routing uses and no member has taken.
    bool spare[kNumLines];

    explicit Wave(const bool* used)
    {
        for (int b = 0; b < kNumLines; ++b)
            spare[b] = ! used[b];
    }

    bool hasMember(int step) const
    {
        bool member = false;
        for (int m = 0; m < count; ++m)
            member = member || members[m] == step;
        return member;
    }

    // Whether every step from `first` up to step k has run or is a member.
    bool isOpenTo(int k, const bool* done, int first) const
    {
        for (int j = first; j < k; ++j)
            if (! done[j] && ! hasMember(j))
                return false;
        return true;
    }

    // The last member that writes the buffer, or -1.
    int lastWriterOf(const Routing& route, int buffer) const
    {
        int writer = -1;
        for (int m = 0; m < count; ++m)
            if (route.steps[members[m]].to == buffer)
                writer = m;
        return writer;
    }

    bool worksIn(const float* left) const
    {
        bool sharing = false;
        for (int m = 0; m < count; ++m)
            sharing = sharing || lane[m][0] == left;
        return sharing;
    }

    // The first spare buffer, or -1.
    int spareBuffer() const
    {
        for (int b = 0; b < kNumLines; ++b)
            if (spare[b])
                return b;
        return -1;
    }
};

void DelayEngine::runRouting(int numSamples)
{
    if (! linesSideBySide)
    {
        runStepsInTurn(numSamples);
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
    for (const RoutingStep& s : kRoutings[routing].steps)
        used[s.from] = used[s.to] = true;

    bool done[kNumLines] {};
    for (int first = 0; first < kNumLines;)
    {
        Wave wave(used);
        for (int k = first; k < kNumLines; ++k)
            if (! done[k] && ! joinWave(wave, k, done, first, numSamples))
                break;
        runWave(wave, done, numSamples);
        while (first < kNumLines && done[first])
            ++first;
    }
}

void DelayEngine::runStepsInTurn(int numSamples)
{
    for (const RoutingStep& s : kRoutings[routing].steps)
    {
        preDelayCores[(size_t) s.line]->process(work(s.from, 0), work(s.from, 1), work(s.to, 0), work(s.to, 1),
                                                numSamples);
        delayCores[(size_t) s.line]->process(work(s.to, 0), work(s.to, 1), work(s.to, 0), work(s.to, 1), numSamples);
    }
}

void DelayEngine::runRoutingCrossfade(const float* dryLeft, const float* dryRight, int numSamples)
{
    float* weights = crossfadeWeights.data();
    routingFade.fillWeights(weights, numSamples);
    const LineWiring before = wiringOf(kRoutings[routingFade.from()]);
    const LineWiring after = wiringOf(kRoutings[routingFade.to()]);
    const float* dry[2] = { dryLeft, dryRight };
    for (int k = 0; k < kNumLines; ++k)
    {
        for (int c = 0; c < 2; ++c)
        {
            const float* old = before.feeder[k] < 0 ? dry[c] : work(before.feeder[k], c);
            const float* next = after.feeder[k] < 0 ? dry[c] : work(after.feeder[k], c);
            float* in = work(k, c);
            for (int i = 0; i < numSamples; ++i)
                in[i] = old[i] + (next[i] - old[i]) * weights[i];
        }
        preDelayCores[(size_t) k]->process(work(k, 0), work(k, 1), work(k, 0), work(k, 1), numSamples);
        delayCores[(size_t) k]->process(work(k, 0), work(k, 1), work(k, 0), work(k, 1), numSamples);
    }

    // Each line's share of the mix: where only the old routing mixes it, it
    // fades out; where only the new one does, it fades in.
    for (int k = 0; k < kNumLines; ++k)
    {
        if (before.mixed[k] == after.mixed[k])
        {
            if (! after.mixed[k])
                for (int c = 0; c < 2; ++c)
                    std::fill(work(k, c), work(k, c) + numSamples, 0.0f);
            continue;
        }
        const float from = before.mixed[k] ? 1.0f : 0.0f;
        const float towards = after.mixed[k] ? 1.0f : -1.0f;
        for (int c = 0; c < 2; ++c)
        {
            float* out = work(k, c);
            for (int i = 0; i < numSamples; ++i)
                out[i] *= from + towards * weights[i];
        }
    }
}

bool DelayEngine::joinWave(Wave& wave, int k, const bool* done, int first, int numSamples)
{
    const Routing& route = kRoutings[routing];
    const RoutingStep& s = route.steps[k];
    if (! wave.isOpenTo(k, done, first))
        return false;

    const int feeds = wave.lastWriterOf(route, s.from);
    const bool sharing = wave.worksIn(work(s.to, 0));
    const int buffer = sharing ? wave.spareBuffer() : s.to;
    if (buffer < 0)
        return false;
    if (feeds >= 0)
    {
        if (! preDelayCores[(size_t) s.line]->readAhead(work(buffer, 0), work(buffer, 1), numSamples))
            return false;
    }
    else
    {
        preDelayCores[(size_t) s.line]->process(work(s.from, 0), work(s.from, 1), work(buffer, 0), work(buffer, 1),
                                                numSamples);
    }
    if (sharing)
        wave.spare[buffer] = false;
    wave.members[wave.count] = k;
    wave.feeder[wave.count] = feeds;
    wave.lane[wave.count][0] = work(buffer, 0);
    wave.lane[wave.count][1] = work(buffer, 1);
    ++wave.count;
    return true;
}

void DelayEngine::runWave(const Wave& wave, bool* done, int numSamples)
{
    const Routing& route = kRoutings[routing];
    DelayCore* cores[kNumLines];
    float* lefts[kNumLines];
    float* rights[kNumLines];
    for (int m = 0; m < wave.count; ++m)
    {
        cores[m] = delayCores[(size_t) route.steps[wave.members[m]].line].get();
        lefts[m] = wave.lane[m][0];
        rights[m] = wave.lane[m][1];
    }
    DelayCore::processTogether(cores, wave.count, lefts, rights, numSamples);

    for (int m = 0; m < wave.count; ++m)
    {
        const RoutingStep& s = route.steps[wave.members[m]];
        if (wave.feeder[m] >= 0)
            preDelayCores[(size_t) s.line]->writeBehind(wave.lane[wave.feeder[m]][0], wave.lane[wave.feeder[m]][1],
                                                        numSamples);
    }
    for (int m = 0; m < wave.count; ++m)
    {
        const RoutingStep& s = route.steps[wave.members[m]];
        if (wave.lane[m][0] != work(s.to, 0))
        {
            std::copy(wave.lane[m][0], wave.lane[m][0] + numSamples, work(s.to, 0));
            std::copy(wave.lane[m][1], wave.lane[m][1] + numSamples, work(s.to, 1));
        }
        done[wave.members[m]] = true;
    }
}

void DelayEngine::updateMeters(const float* left, const float* right, int numSamples)
{
    const float* outs[2] = { left, right };
    for (int c = 0; c < 2; ++c)
    {
        // The lamp is held from the last sample above 0 dB on, and the hold
        // counts down sample by sample until it has run out.
        double hold = clipHold[(size_t) c];
        const float* x = outs[c];
        const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
        __m128 loudestFour = _mm_setzero_ps();
        int i = 0;
        for (; i + 4 <= numSamples; i += 4)
            loudestFour = _mm_max_ps(loudestFour, _mm_and_ps(_mm_loadu_ps(x + i), magnitude));
        alignas(16) float four[4];
        _mm_store_ps(four, loudestFour);
        float loudest = std::max(std::max(four[0], four[1]), std::max(four[2], four[3]));
        for (; i < numSamples; ++i)
            loudest = std::max(loudest, std::fabs(x[i]));
        int from = 0;
        if (loudest > 1.0f)
        {
            int last = numSamples - 1;
            while (! (std::fabs(x[last]) > 1.0f))
                --last;
            hold = kClipHoldSeconds;
            from = last + 1;
        }
        for (int i = from; i < numSamples && hold > 0.0; ++i)
            hold -= context.invRate;
        clipHold[(size_t) c] = hold;
    }

    // Each channel's meter (see meterBlock), a stretch at a time: over a
    // stretch the powers of the coefficients stay well inside a double's range.
    constexpr int kStretch = 256;
    const double fall = meterFall, display = displayCoefficient;
    const double rest = kDenormalGuard / fall - kMeterPeakBias;
    const auto meter = useAvx2 ? meterBlockAvx2 : meterBlockSse2;
    for (int from = 0; from < numSamples; from += kStretch)
    {
        const int count = std::min(kStretch, numSamples - from);
        const double last = std::pow(display, (double) (count - 1));
        double state[2][3];
        for (int c = 0; c < 2; ++c)
        {
            state[c][0] = meterPeak[(size_t) c];
            state[c][1] = meterStage1[(size_t) c];
            state[c][2] = meterStage2[(size_t) c];
        }
        const float* x[2] = { outs[0] + from, outs[1] + from };
        meter(x, count, 1.0 - fall, rest, display, last, state);
        for (int c = 0; c < 2; ++c)
        {
            meterPeak[(size_t) c] = state[c][0];
            meterStage1[(size_t) c] = state[c][1];
            meterStage2[(size_t) c] = state[c][2];
        }
    }
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
        const float display = level > 0.0f ? (float) DelayParameters::detectorControlOf((double) level)
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
    if (stage == kStageDelay)
        return delayCores[(size_t) line].get();
    if (stage == kStagePreDelay)
        return preDelayCores[(size_t) line].get();
    return nullptr;
}

IntervalAverager* DelayEngine::tapAverager(int line, int stage, int channel) const
{
    TavinorDelayLine* target = delayStage(line, stage);
    if (target == nullptr)
        return nullptr;
    return channel == kTapChannelLeft ? &target->getLeftAverager() : &target->getRightAverager();
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
    if (line < 0 || line >= kNumLines || (stage != kStageDelay && stage != kStagePreDelay))
        return false;
    const int a = 2 * stage + (channel == kTapChannelLeft ? 0 : 1);
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

void DelayEngine::beginSoundChange()
{
    soundChange.begin(! limiter.isFresh());
}

void DelayEngine::endSoundChange()
{
    if (! soundChange.end())
        reset();
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

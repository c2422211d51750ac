#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <immintrin.h>

// Constants and the input guard that the signal-path classes share.
namespace DspCommon
{
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// Added to the recursive states of settings, modulators and meters so that a
// decaying value never reaches the denormal range, where arithmetic becomes
// very slow. Never to the sound: silence must come out as exact zeros, and
// the engine's process call keeps denormals out of it (flush-to-zero and
// denormals-are-zero).
constexpr double kDenormalGuard = 1.0e-20;
constexpr float kDenormalGuardF = 1.0e-20f;

// Where a one-pole glide stands after a step from state that gave next. Near
// its target a step becomes too small to change the state, which would then
// wait for ever short of the target (by up to half a rounding step over the
// coefficient: a delay read a sample early, a wet mix that never reaches 1).
// A glide that can no longer move has arrived, and lands on the target.
template <typename T>
inline T settleOnTarget(T state, T next, T target)
{
    return next == state ? target : next;
}

// One step of a one-pole glide from current towards target, landing on it.
inline float glideTo(float current, float target, float coefficient)
{
    return settleOnTarget(current, current - (current - target) * coefficient, target);
}

// Whether this processor runs AVX2 code (and, asked for, fused multiply-add):
// asked where the vector forms are chosen, before any audio runs.
inline bool processorHasAvx2(bool withFma = false)
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0 && (! withFma || __builtin_cpu_supports("fma") != 0);
}

// Parameter values arrive normalised: a switch is on from the middle up, and a
// choice of steps + 1 values is the nearest step.
inline bool isSwitchOn(float v)
{
    return v >= 0.5f;
}

inline int roundChoice(float v, int steps)
{
    return (int) std::floor((double) steps * (double) v + 0.5);
}

// What a delay ring accepts from outside: input beyond this (or not finite)
// would only carry a fault into the lines.
constexpr float kInputLimit = 1.0e4f;

inline float cleanInput(float x)
{
    if (! std::isfinite(x))
        return 0.0f;
    return std::clamp(x, -kInputLimit, kInputLimit);
}

// cleanInput four at a time, to the same bits: what is not finite becomes 0,
// the rest is clamped (max then min, std::clamp's order).
inline __m128 cleanInputLanes(__m128 x)
{
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const __m128 finite = _mm_cmple_ps(_mm_and_ps(x, magnitude), _mm_set1_ps(FLT_MAX));
    return _mm_and_ps(finite, _mm_min_ps(_mm_max_ps(x, _mm_set1_ps(-kInputLimit)), _mm_set1_ps(kInputLimit)));
}
} // namespace DspCommon

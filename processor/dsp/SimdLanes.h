#pragma once

// The signal path's vector types, and the few operations on lanes that the
// compiler's vector operators do not spell out.
//
// The types are the compiler's own vectors: +, -, *, /, comparisons and bit
// operations work lane by lane (a plain number on one side stands for itself
// in every lane), and a vector wider than the processor's registers is worked
// in pieces. So one body of code serves SSE2 and, inlined into a function
// built for it (SIMD_AVX2), AVX2: such a body is written once, always inlined,
// and compiled twice by two small wrappers. Functions
// taking or giving vectors are always inlined, so no call passes a vector
// (whose passing differs between SSE2 and AVX code). Where a vector is taken
// apart or put together, it is at a width the processor holds in one register
// (the compiler goes through memory, lane by lane, for wider ones).
//
// The build is for x86_64 alone: SSE2 is its baseline (every x86_64 processor
// has it), AVX2 is chosen at run time (DspCommon::processorHasAvx2).
#if ! defined(__x86_64__)
#error "The signal path is written for x86_64: SSE2 is its baseline, AVX2 is chosen at run time"
#endif

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

// The attributes the signal path's vector code is built with, each under one
// name. A body on vectors is always inlined into its SSE2 and AVX2 callers; a
// function built for AVX2 is called only where DspCommon::processorHasAvx2
// says the processor has it. SIMD_AVX2_FMA is for the band-limited reads alone:
// they multiply and add with fused instructions on purpose (docs/speed.md);
// everywhere else the build keeps multiplications and additions apart
// (-ffp-contract=off), so a body gives the same bits built for SSE2 as for
// AVX2, and as its plain form.
#define SIMD_ALWAYS_INLINE __attribute__((always_inline))
#define SIMD_NEVER_INLINE __attribute__((noinline))
#define SIMD_AVX2 __attribute__((target("avx2")))
#define SIMD_AVX2_FMA __attribute__((target("avx2,fma")))

namespace SimdLanes
{
// Doubles and floats side by side, and the integers of the same width that
// their comparisons give (a lane all ones where it holds, else zero) and in
// which their bits are read: Lanes2 and Lanes4 for Doubles2 and Doubles4,
// Ints4 for Floats4.
typedef double Doubles2 __attribute__((vector_size(16)));
typedef double Doubles4 __attribute__((vector_size(32)));
typedef float Floats2 __attribute__((vector_size(8)));
typedef float Floats4 __attribute__((vector_size(16)));
typedef float Floats8 __attribute__((vector_size(32)));
typedef int64_t Lanes2 __attribute__((vector_size(16)));
typedef int64_t Lanes4 __attribute__((vector_size(32)));
typedef int32_t Ints4 __attribute__((vector_size(16)));

// The vector of E that takes kBytes.
template <typename E, size_t kBytes>
struct VectorOf
{
    typedef E Type __attribute__((vector_size(kBytes)));
};
template <typename E, size_t kBytes>
using Vector = typename VectorOf<E, kBytes>::Type;

// What a lane type is made of: a plain double or float is one lane.
template <typename V>
struct LaneTraits
{
    using Element = std::remove_cv_t<std::remove_reference_t<decltype(std::declval<V>()[0])>>;
    static constexpr int kLanes = (int) (sizeof(V) / sizeof(Element));
    using Integer = std::conditional_t<sizeof(Element) == 8, int64_t, int32_t>;
    using Bits = Vector<Integer, sizeof(V)>;
    using UnsignedBits = Vector<std::make_unsigned_t<Integer>, sizeof(V)>;
    // Half the lanes.
    using Half = Vector<Element, sizeof(V) / 2>;
};

template <typename S>
struct ScalarTraits
{
    using Element = S;
    static constexpr int kLanes = 1;
    using Integer = std::conditional_t<sizeof(S) == 8, int64_t, int32_t>;
    using Bits = Integer;
    using UnsignedBits = std::make_unsigned_t<Integer>;
};
template <>
struct LaneTraits<double> : ScalarTraits<double>
{
};
template <>
struct LaneTraits<float> : ScalarTraits<float>
{
};

template <typename V>
using ElementOf = typename LaneTraits<V>::Element;
template <typename V>
using BitsOf = typename LaneTraits<V>::Bits;
template <typename V>
constexpr bool isScalar = std::is_arithmetic_v<V>;

// x in every lane.
template <typename V>
SIMD_ALWAYS_INLINE inline V splat(ElementOf<V> x)
{
    if constexpr (isScalar<V>)
        return x;
    else
    {
        V v {};
        for (int i = 0; i < LaneTraits<V>::kLanes; ++i)
            v[i] = x;
        return v;
    }
}

// The bits of each lane as an integer, and back.
template <typename V>
SIMD_ALWAYS_INLINE inline BitsOf<V> bitsOf(V x)
{
    if constexpr (isScalar<V>)
    {
        BitsOf<V> b;
        std::memcpy(&b, &x, sizeof b);
        return b;
    }
    else
        return (BitsOf<V>) x;
}

template <typename V>
SIMD_ALWAYS_INLINE inline V fromBits(BitsOf<V> b)
{
    if constexpr (isScalar<V>)
    {
        V x;
        std::memcpy(&x, &b, sizeof x);
        return x;
    }
    else
        return (V) b;
}

// The bits of each lane moved down by n, zeros coming in from the top.
template <typename V>
SIMD_ALWAYS_INLINE inline BitsOf<V> bitsShiftedDown(V x, int n)
{
    using Unsigned = typename LaneTraits<V>::UnsignedBits;
    return (BitsOf<V>) ((Unsigned) bitsOf(x) >> n);
}

// a where mask holds, b elsewhere (mask a comparison's result).
template <typename V, typename M>
SIMD_ALWAYS_INLINE inline V pick(M mask, V a, V b)
{
    if constexpr (isScalar<V>)
        return mask ? a : b;
    else
        return (V) (((M) a & mask) | ((M) b & ~mask));
}

// The smaller and the larger of a and b, lane by lane, as the processor's
// min and max take them: b where either is not a number. SSE2's own
// instructions where a vector is one of its registers (the compiler makes a
// comparison and a choice of the same where one side is a constant).
template <typename V>
SIMD_ALWAYS_INLINE inline V lanesMin(V a, V b)
{
    if constexpr (! isScalar<V> && sizeof(V) == 16 && sizeof(ElementOf<V>) == 4)
        return (V) __builtin_ia32_minps((__m128) a, (__m128) b);
    else if constexpr (! isScalar<V> && sizeof(V) == 16)
        return (V) __builtin_ia32_minpd((__m128d) a, (__m128d) b);
    else
        return a < b ? a : b;
}

template <typename V>
SIMD_ALWAYS_INLINE inline V lanesMax(V a, V b)
{
    if constexpr (! isScalar<V> && sizeof(V) == 16 && sizeof(ElementOf<V>) == 4)
        return (V) __builtin_ia32_maxps((__m128) a, (__m128) b);
    else if constexpr (! isScalar<V> && sizeof(V) == 16)
        return (V) __builtin_ia32_maxpd((__m128d) a, (__m128d) b);
    else
        return a > b ? a : b;
}

// Whether a mask holds in any lane.
template <typename M>
SIMD_ALWAYS_INLINE inline bool anyLane(M mask)
{
    if constexpr (std::is_same_v<M, bool>)
        return mask;
    else if constexpr (sizeof(M) / sizeof(mask[0]) == 4)
        return ((mask[0] | mask[1]) | (mask[2] | mask[3])) != 0;
    else
    {
        auto any = mask[0];
        for (int i = 1; i < (int) (sizeof(M) / sizeof(mask[0])); ++i)
            any |= mask[i];
        return any != 0;
    }
}

// Whole numbers in integer lanes (between -2^31 and 2^31) as the values of V's
// lanes. Doubles take the low halves of their 64-bit integers side by side,
// which convert without the conversion of 64-bit integers SSE2 and AVX2 lack.
template <typename V>
SIMD_ALWAYS_INLINE inline V wholeNumbers(BitsOf<V> n)
{
    if constexpr (isScalar<V>)
        return (V) n;
    else if constexpr (sizeof(ElementOf<V>) == 4)
        return __builtin_convertvector(n, V);
    else
    {
        constexpr int kLanes = LaneTraits<V>::kLanes;
        const auto halves = (Vector<int32_t, sizeof(V)>) n;
        Vector<int32_t, sizeof(V) / 2> lows;
        for (int i = 0; i < kLanes; ++i)
            lows[i] = halves[2 * i];
        return __builtin_convertvector(lows, V);
    }
}

// V from memory, and into it.
template <typename V, typename T>
SIMD_ALWAYS_INLINE inline V load(const T* from)
{
    V v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

template <typename V, typename T>
SIMD_ALWAYS_INLINE inline void store(T* to, V v)
{
    std::memcpy(to, &v, sizeof v);
}

template <size_t first, typename V, size_t... lane>
SIMD_ALWAYS_INLINE inline typename LaneTraits<V>::Half halfFrom(V v, std::index_sequence<lane...>)
{
    return __builtin_shufflevector(v, v, (first + lane)...);
}

template <typename H, size_t... lane>
SIMD_ALWAYS_INLINE inline auto joinLanes(H low, H high, std::index_sequence<lane...>)
{
    return __builtin_shufflevector(low, high, lane...);
}

// The low and the high half of V's lanes, and two halves as one vector.
template <typename V>
SIMD_ALWAYS_INLINE inline typename LaneTraits<V>::Half lowHalf(V v)
{
    return halfFrom<0>(v, std::make_index_sequence<LaneTraits<V>::kLanes / 2>());
}

template <typename V>
SIMD_ALWAYS_INLINE inline typename LaneTraits<V>::Half highHalf(V v)
{
    constexpr size_t kHalf = LaneTraits<V>::kLanes / 2;
    return halfFrom<kHalf>(v, std::make_index_sequence<kHalf>());
}

template <typename H>
SIMD_ALWAYS_INLINE inline auto join(H low, H high)
{
    return joinLanes(low, high, std::make_index_sequence<2 * LaneTraits<H>::kLanes>());
}
} // namespace SimdLanes

#include "processor/dsp/LineInputSection.h"

#include "processor/dsp/DspCommon.h"
#include "processor/dsp/FastMath.h"
#include "processor/dsp/SimdLanes.h"

#include <algorithm>
#include <cstring>

namespace
{
using SimdLanes::Floats2;
using SimdLanes::Floats4;
using SimdLanes::Floats8;

// Oversampling half-band allpass coefficients (branch a and branch b).
constexpr float kHalfBandA = 0.6457318f;
constexpr float kHalfBandB = 0.9585033f;
constexpr float kDecimatorGain = 0.25f;   // each 2x decimator sums two branches

// Known before any audio runs (no guard on the audio thread).
const bool avx2Available = DspCommon::processorHasAvx2();
} // namespace

//==============================================================================
void LineInputSection::setColourCoefficients(const double (&coefficients)[5][2])
{
    std::memcpy(colourCoefficients, coefficients, sizeof colourCoefficients);
}

void LineInputSection::clear()
{
    up1 = up2 = down3 = down4 = AllpassQuad();
    filterMemories = Memories();
    colourMemories = Memories();
}

void LineInputSection::clearFilter() { filterMemories = Memories(); }

//==============================================================================
// The sections of up to four lines side by side, lane 2 n + c of a float
// vector F carrying channel c of line n: F holds one line (Floats2), two
// (Floats4) or four (Floats8). One body, always inlined, compiled for SSE2
// and for AVX2 (kRegister the bytes of a register there): every lane does
// what one line alone does, operation for operation, whichever vector and
// whichever instruction set carries it. The filters run in double, F's lanes
// in pieces of a register each.
template <typename F, int kRegister>
struct LineInputSectionLanes
{
    using Section = LineInputSection;
    using Mask = typename SimdLanes::LaneTraits<F>::Bits;
    static constexpr int kLanes = (int) (sizeof(F) / sizeof(float));
    static constexpr int kLines = kLanes / 2;
    static constexpr int kPieceLanes = std::min(kLanes, kRegister / (int) sizeof(double));
    static constexpr int kPieces = kLanes / kPieceLanes;
    using Piece = SimdLanes::Vector<double, kPieceLanes * sizeof(double)>;
    using Doubles = Piece[kPieces];

    // A biquad's memories in double.
    struct Biquad
    {
        Doubles x1, x2, y1, y2;
    };

    // One first-order allpass section: y = (x - y1) c + x1 in float.
    SIMD_ALWAYS_INLINE static F allpass(F& xPrev, F& yPrev, F x, float c)
    {
        const F y = (x - yPrev) * c + xPrev;
        xPrev = x;
        yPrev = y;
        return y;
    }

    // y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2, in this order, in double.
    SIMD_ALWAYS_INLINE static F biquad(const Doubles (&c)[5], Biquad& s, F input)
    {
        // Converted whole, then parted (halves of F convert two lanes at a time).
        using Whole = SimdLanes::Vector<double, kLanes * sizeof(double)>;
        Doubles x, y;
        const Whole wide = __builtin_convertvector(input, Whole);
        std::memcpy(x, &wide, sizeof x);
        for (int p = 0; p < kPieces; ++p)
        {
            Piece v = c[0][p] * x[p] + c[1][p] * s.x1[p];
            v = v + c[2][p] * s.x2[p];
            v = v - c[3][p] * s.y1[p];
            v = v - c[4][p] * s.y2[p];
            y[p] = v;
            s.x2[p] = s.x1[p];
            s.x1[p] = x[p];
            s.y2[p] = s.y1[p];
            s.y1[p] = y[p];
        }
        Whole out;
        std::memcpy(&out, y, sizeof out);
        return __builtin_convertvector(out, F);
    }

    // As many ticks side by side as a register holds, for the saturation (which
    // takes each tick alone).
    static constexpr int kTicksTogether = std::clamp(kRegister / (int) sizeof(F), 1, 4);
    using Ticks = SimdLanes::Vector<float, kTicksTogether * sizeof(F)>;

    template <int n, typename V>
    SIMD_ALWAYS_INLINE static auto joined(const V* v)
    {
        if constexpr (n == 1)
            return v[0];
        else
            return SimdLanes::join(joined<n / 2>(v), joined<n / 2>(v + n / 2));
    }

    template <int n, typename W, typename V>
    SIMD_ALWAYS_INLINE static void split(W w, V* v)
    {
        if constexpr (n == 1)
            v[0] = w;
        else
        {
            split<n / 2>(SimdLanes::lowHalf(w), v);
            split<n / 2>(SimdLanes::highHalf(w), v + n / 2);
        }
    }

    // tanh(preamp x) gain, as 1 - 2 / (e^(2 preamp x) + 1), in float, on
    // the lanes of mask.
    SIMD_ALWAYS_INLINE static void saturate(F (&t)[4], F drive, F gain, Mask mask)
    {
        const F drives[4] = { drive, drive, drive, drive }, gains[4] = { gain, gain, gain, gain };
        const Mask masks[4] = { mask, mask, mask, mask };
        for (int k = 0; k < 4; k += kTicksTogether)
        {
            const Ticks x = joined<kTicksTogether>(t + k);
            const Ticks e = FastMath::exp(joined<kTicksTogether>(drives) * x);
            const Ticks y = (1.0f - 2.0f / (e + 1.0f)) * joined<kTicksTogether>(gains);
            split<kTicksTogether>(where(joined<kTicksTogether>(masks), y, x), t + k);
        }
    }

    // a in the lanes of mask, b in the others (by the sign of each lane
    // where AVX has an instruction for it).
    template <typename M, typename V>
    SIMD_ALWAYS_INLINE static V where(M mask, V a, V b)
    {
        if constexpr (kRegister >= 32)
            return mask < 0 ? a : b;
        else
            return SimdLanes::pick(mask, a, b);
    }

    // Each line's pair (left, right) of row k, in pieces.
    SIMD_ALWAYS_INLINE static void pairsOf(const double* const* rows, int k, Doubles& d)
    {
        constexpr int kLinesPerPiece = kPieceLanes / 2;
        for (int p = 0; p < kPieces; ++p)
        {
            const double* const* lines = rows + p * kLinesPerPiece;
            if constexpr (kLinesPerPiece == 1)
                d[p] = SimdLanes::load<Piece>(lines[0] + 2 * k);
            else
                d[p] = SimdLanes::join(SimdLanes::load<SimdLanes::Doubles2>(lines[0] + 2 * k),
                                       SimdLanes::load<SimdLanes::Doubles2>(lines[1] + 2 * k));
        }
    }

    // Sample i of each line's values, in both lanes of the line.
    SIMD_ALWAYS_INLINE static F lanesOf(const float* const* values, int i)
    {
        F v;
        for (int n = 0; n < kLines; ++n)
            v[2 * n] = v[2 * n + 1] = values[n][i];
        return v;
    }

    // The lanes of the lines for which `which` holds.
    static Mask laneMask(const bool (&which)[4])
    {
        Mask m {};
        for (int n = 0; n < kLines; ++n)
            m[2 * n] = m[2 * n + 1] = which[n] ? -1 : 0;
        return m;
    }

    template <typename M>
    static void loadBiquad(Section* const* s, int count, M Section::*memories, Biquad& b)
    {
        alignas(64) double rows[4][kLanes] {};
        for (int n = 0; n < count; ++n)
        {
            const M& m = s[n]->*memories;
            const double* from[4] = { m.x1, m.x2, m.y1, m.y2 };
            for (int r = 0; r < 4; ++r)
                std::memcpy(rows[r] + 2 * n, from[r], 2 * sizeof(double));
        }
        Doubles* to[4] = { &b.x1, &b.x2, &b.y1, &b.y2 };
        for (int r = 0; r < 4; ++r)
            std::memcpy(*to[r], rows[r], sizeof rows[r]);
    }

    template <typename M>
    static void storeBiquad(const Biquad& b, Section* const* s, int count, M Section::*memories, const bool* which)
    {
        alignas(64) double rows[4][kLanes];
        const Doubles* from[4] = { &b.x1, &b.x2, &b.y1, &b.y2 };
        for (int r = 0; r < 4; ++r)
            std::memcpy(rows[r], *from[r], sizeof rows[r]);
        for (int n = 0; n < count; ++n)
        {
            if (! which[n])
                continue;
            M& m = s[n]->*memories;
            double* to[4] = { m.x1, m.x2, m.y1, m.y2 };
            for (int r = 0; r < 4; ++r)
                std::memcpy(to[r], rows[r] + 2 * n, 2 * sizeof(double));
        }
    }

    // The oversampler's allpass memories in lanes, x[stage][branch] and
    // y[stage][branch]: stages up1, up2, down3, down4, branches a and b.
    struct Allpasses
    {
        F x[4][2], y[4][2];
    };

    static constexpr LineInputSection::AllpassQuad Section::*kQuads[4] = { &Section::up1, &Section::up2,
                                                                          &Section::down3, &Section::down4 };

    // Lane 2 n + c from line n's quad lanes 2 c (branch a) and 2 c + 1 (branch b).
    SIMD_ALWAYS_INLINE static void loadAllpasses(Section* const* s, int count, Allpasses& a)
    {
        alignas(32) float xs[4][2][kLanes] {}, ys[4][2][kLanes] {};
        for (int q = 0; q < 4; ++q)
            for (int n = 0; n < count; ++n)
                for (int c = 0; c < 2; ++c)
                    for (int branch = 0; branch < 2; ++branch)
                    {
                        xs[q][branch][2 * n + c] = (s[n]->*kQuads[q]).xPrev[2 * c + branch];
                        ys[q][branch][2 * n + c] = (s[n]->*kQuads[q]).yPrev[2 * c + branch];
                    }
        for (int q = 0; q < 4; ++q)
            for (int branch = 0; branch < 2; ++branch)
            {
                a.x[q][branch] = SimdLanes::load<F>(xs[q][branch]);
                a.y[q][branch] = SimdLanes::load<F>(ys[q][branch]);
            }
    }

    SIMD_ALWAYS_INLINE static void storeAllpasses(const Allpasses& a, Section* const* s, int count)
    {
        alignas(32) float xs[4][2][kLanes], ys[4][2][kLanes];
        for (int q = 0; q < 4; ++q)
            for (int branch = 0; branch < 2; ++branch)
            {
                SimdLanes::store(xs[q][branch], a.x[q][branch]);
                SimdLanes::store(ys[q][branch], a.y[q][branch]);
            }
        for (int q = 0; q < 4; ++q)
            for (int n = 0; n < count; ++n)
                for (int c = 0; c < 2; ++c)
                    for (int branch = 0; branch < 2; ++branch)
                    {
                        (s[n]->*kQuads[q]).xPrev[2 * c + branch] = xs[q][branch][2 * n + c];
                        (s[n]->*kQuads[q]).yPrev[2 * c + branch] = ys[q][branch][2 * n + c];
                    }
    }

    // Which lines take the filter before the saturation, after it, and the
    // saturation.
    struct Placement
    {
        bool before[4] {}, after[4] {}, drive[4] {};
    };
    // The same in lanes, and whether any line takes each (kept apart from
    // the placement, whose rows leave the body, so that these stay in
    // registers through the samples).
    struct Steps
    {
        bool anyBefore = false, anyAfter = false, anyDrive = false;
        Mask beforeMask, afterMask, driveMask;
    };

    SIMD_ALWAYS_INLINE static Steps stepsOf(Section* const* s, int count, Placement& lines)
    {
        Steps steps;
        for (int n = 0; n < count; ++n)
        {
            lines.before[n] = s[n]->filterOn && ! s[n]->filterAfter;
            lines.after[n] = s[n]->filterOn && s[n]->filterAfter;
            lines.drive[n] = s[n]->driveOn;
            steps.anyBefore = steps.anyBefore || lines.before[n];
            steps.anyAfter = steps.anyAfter || lines.after[n];
            steps.anyDrive = steps.anyDrive || lines.drive[n];
        }
        steps.beforeMask = laneMask(lines.before);
        steps.afterMask = laneMask(lines.after);
        steps.driveMask = laneMask(lines.drive);
        return steps;
    }

    // What each line reads sample by sample (a lane beyond count reads
    // zeros), and the overdrive's values where every line holds them through
    // the run.
    struct Sources
    {
        const float* inL[kLines];
        const float* inR[kLines];
        const LineInputSection::Coefficients* filters[kLines];
        const float* preamps[kLines];
        const float* gains[kLines];
        const float* colours[kLines];
        bool steady = true;
        F steadyDrive, steadyGain, steadyAmount;
    };

    SIMD_ALWAYS_INLINE static void sourcesOf(Section* const* s, float* const* lefts, float* const* rights,
                                                         int count, Sources& from)
    {
        static const float zeros[LineInputSection::kMaxSamples] {};
        static const LineInputSection::Coefficients zeroCoefficients {};
        for (int n = 0; n < kLines; ++n)
        {
            const bool here = n < count;
            from.inL[n] = here ? lefts[n] : zeros;
            from.inR[n] = here ? rights[n] : zeros;
            from.filters[n] = here ? &s[n]->filter : &zeroCoefficients;
            from.preamps[n] = here ? s[n]->preamp : zeros;
            from.gains[n] = here ? s[n]->gain : zeros;
            from.colours[n] = here ? s[n]->colour : zeros;
        }
        for (int n = 0; n < count; ++n)
            from.steady = from.steady && s[n]->steadyDrive;
        from.steadyDrive = 2.0f * lanesOf(from.preamps, 0);
        from.steadyGain = lanesOf(from.gains, 0);
        from.steadyAmount = lanesOf(from.colours, 0);
    }

    // Two polyphase 2x interpolators: each allpass branch gives one of the
    // two output phases, so every section runs once per sample of its input.
    // Only in this form do the two coefficients make a half-band filter; with
    // zero stuffing folded into the branches the interpolators pass the band
    // at unity, so the saturation sees the input at its own level. The
    // second stage takes the even, then the odd phase: ticks 0 and 1, then 2
    // and 3.
    SIMD_ALWAYS_INLINE static void upsample(Allpasses& a, F x, F (&t)[4])
    {
        const F ua = allpass(a.x[0][0], a.y[0][0], x, kHalfBandA);
        const F ub = allpass(a.x[0][1], a.y[0][1], x, kHalfBandB);
        t[0] = allpass(a.x[1][0], a.y[1][0], ua, kHalfBandA);
        t[1] = allpass(a.x[1][1], a.y[1][1], ua, kHalfBandB);
        t[2] = allpass(a.x[1][0], a.y[1][0], ub, kHalfBandA);
        t[3] = allpass(a.x[1][1], a.y[1][1], ub, kHalfBandB);
    }

    // Two polyphase 2x decimators: branch a takes the odd phase, branch b the even one.
    SIMD_ALWAYS_INLINE static F downsample(Allpasses& a, const F (&t)[4])
    {
        const F d0a = allpass(a.x[2][0], a.y[2][0], t[1], kHalfBandA);
        const F d0b = allpass(a.x[2][1], a.y[2][1], t[0], kHalfBandB);
        const F d1a = allpass(a.x[2][0], a.y[2][0], t[3], kHalfBandA);
        const F d1b = allpass(a.x[2][1], a.y[2][1], t[2], kHalfBandB);
        const F down0 = d0a + d0b;
        const F down1 = d1a + d1b;
        const F ea = allpass(a.x[3][0], a.y[3][0], down1, kHalfBandA);
        const F eb = allpass(a.x[3][1], a.y[3][1], down0, kHalfBandB);
        return (ea + eb) * kDecimatorGain;
    }

    // Filter, saturation, filter, each over the four ticks of sample i in
    // turn: only one of the filters runs on a line, so this is the order tick
    // by tick.
    SIMD_ALWAYS_INLINE static void shape(F (&t)[4], const Steps& steps, const Sources& from, int i,
                                                     Biquad& filterBefore, Biquad& filterAfter)
    {
        Doubles c[5] {};
        if (steps.anyBefore || steps.anyAfter)
        {
            const double* rows[kLines];
            for (int n = 0; n < kLines; ++n)
                rows[n] = from.filters[n]->values[i][0];
            for (int k = 0; k < 5; ++k)
                pairsOf(rows, k, c[k]);
        }
        if (steps.anyBefore)
            for (int k = 0; k < 4; ++k)
                t[k] = where(steps.beforeMask, biquad(c, filterBefore, t[k]), t[k]);
        if (steps.anyDrive)
        {
            const F driven = from.steady ? from.steadyDrive : 2.0f * lanesOf(from.preamps, i);
            const F g = from.steady ? from.steadyGain : lanesOf(from.gains, i);
            saturate(t, driven, g, steps.driveMask);
        }
        if (steps.anyAfter)
            for (int k = 0; k < 4; ++k)
                t[k] = where(steps.afterMask, biquad(c, filterAfter, t[k]), t[k]);
    }

    SIMD_ALWAYS_INLINE static void run(Section* const* s, float* const* lefts, float* const* rights,
                                                   int count, int numSamples)
    {
        Allpasses a;
        loadAllpasses(s, count, a);
        Placement lines;
        const Steps steps = stepsOf(s, count, lines);

        // The filter runs before the saturation on some lines and after it
        // on others: each placement has memories of its own here, and each
        // line keeps those of the one it takes.
        Biquad filterBefore, filterAfter, colour;
        loadBiquad(s, count, &Section::filterMemories, filterBefore);
        filterAfter = filterBefore;
        loadBiquad(s, count, &Section::colourMemories, colour);
        Doubles colourCoefficients[5];
        {
            const double* rows[kLines];
            for (int n = 0; n < kLines; ++n)
                rows[n] = s[std::min(n, count - 1)]->colourCoefficients[0];
            for (int k = 0; k < 5; ++k)
                pairsOf(rows, k, colourCoefficients[k]);
        }
        Sources from;
        sourcesOf(s, lefts, rights, count, from);

        for (int i = 0; i < numSamples; ++i)
        {
            F x;
            for (int n = 0; n < kLines; ++n)
            {
                x[2 * n] = from.inL[n][i];
                x[2 * n + 1] = from.inR[n][i];
            }
            F t[4];
            upsample(a, x, t);
            shape(t, steps, from, i, filterBefore, filterAfter);
            F out = downsample(a, t);

            // The colour filter adds its band of the overdriven sound.
            if (steps.anyDrive)
            {
                const F amount = from.steady ? from.steadyAmount : lanesOf(from.colours, i);
                const F coloured = biquad(colourCoefficients, colour, out);
                out = where(steps.driveMask, out + amount * coloured, out);
            }

            alignas(32) float o[kLanes];
            SimdLanes::store(o, out);
            for (int n = 0; n < count; ++n)
            {
                lefts[n][i] = o[2 * n];
                rights[n][i] = o[2 * n + 1];
            }
        }

        storeAllpasses(a, s, count);
        storeBiquad(filterBefore, s, count, &Section::filterMemories, lines.before);
        storeBiquad(filterAfter, s, count, &Section::filterMemories, lines.after);
        storeBiquad(colour, s, count, &Section::colourMemories, lines.drive);
    }
};

namespace
{
template <typename F>
void runSse2(LineInputSection* const* s, float* const* lefts, float* const* rights, int count, int numSamples)
{
    LineInputSectionLanes<F, 16>::run(s, lefts, rights, count, numSamples);
}

template <typename F>
SIMD_AVX2 void runAvx2(LineInputSection* const* s, float* const* lefts, float* const* rights,
                                             int count, int numSamples)
{
    LineInputSectionLanes<F, 32>::run(s, lefts, rights, count, numSamples);
}
} // namespace

void LineInputSection::run(float* left, float* right, int numSamples)
{
    if (! isOn())
        return;
    LineInputSection* self = this;
    runSse2<Floats2>(&self, &left, &right, 1, numSamples);
}

void LineInputSection::runTogether(LineInputSection* const* sections, float* const* lefts, float* const* rights,
                                   int count, int numSamples, bool allowAvx2)
{
    // Only the sections that change anything take lanes.
    LineInputSection* on[kMaxLines];
    float* onLeft[kMaxLines];
    float* onRight[kMaxLines];
    int numOn = 0;
    for (int n = 0; n < count && numOn < kMaxLines; ++n)
        if (sections[n]->isOn())
        {
            on[numOn] = sections[n];
            onLeft[numOn] = lefts[n];
            onRight[numOn] = rights[n];
            ++numOn;
        }
    // In the narrowest vector that holds them: AVX2 takes all four at once,
    // SSE2 two at a time.
    if (allowAvx2 && avx2Available)
    {
        if (numOn == 1)
            runAvx2<Floats2>(on, onLeft, onRight, numOn, numSamples);
        else if (numOn == 2)
            runAvx2<Floats4>(on, onLeft, onRight, numOn, numSamples);
        else if (numOn > 2)
            runAvx2<Floats8>(on, onLeft, onRight, numOn, numSamples);
        return;
    }
    for (int n = 0; n < numOn; n += 2)
    {
        if (numOn - n >= 2)
            runSse2<Floats4>(on + n, onLeft + n, onRight + n, 2, numSamples);
        else
            runSse2<Floats2>(on + n, onLeft + n, onRight + n, 1, numSamples);
    }
}

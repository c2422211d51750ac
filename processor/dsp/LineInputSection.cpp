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

void LineInputSection::clearFilters()
{
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
    __attribute__((always_inline)) static F allpass(F& xPrev, F& yPrev, F x, float c)
    {
        const F y = (x - yPrev) * c + xPrev;
        xPrev = x;
        yPrev = y;
        return y;
    }

    // y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2, in this order, in double.
    __attribute__((always_inline)) static F biquad(const Doubles (&c)[5], Biquad& s, F input)
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
    __attribute__((always_inline)) static auto joined(const V* v)
    {
        if constexpr (n == 1)
            return v[0];
        else
            return SimdLanes::join(joined<n / 2>(v), joined<n / 2>(v + n / 2));
    }

    template <int n, typename W, typename V>
    __attribute__((always_inline)) static void split(W w, V* v)
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
    __attribute__((always_inline)) static void saturate(F (&t)[4], F drive, F gain, Mask mask)
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
    __attribute__((always_inline)) static V where(M mask, V a, V b)
    {
        if constexpr (kRegister >= 32)
            return mask < 0 ? a : b;
        else
            return SimdLanes::pick(mask, a, b);
    }

    // Each line's pair (left, right) of row k, in pieces.
    __attribute__((always_inline)) static void pairsOf(const double* const* rows, int k, Doubles& d)
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
    __attribute__((always_inline)) static F lanesOf(const float* const* values, int i)
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

    __attribute__((always_inline)) static void run(Section* const* s, float* const* lefts, float* const* rights,
                                                   int count, int numSamples)
    {
        // Allpass memories, lane by lane: lane 2 n + c from line n's quad
        // lanes 2 c (branch a) and 2 c + 1 (branch b).
        alignas(32) float xs[4][2][kLanes] {}, ys[4][2][kLanes] {};
        LineInputSection::AllpassQuad Section::*quads[4] = { &Section::up1, &Section::up2, &Section::down3,
                                                            &Section::down4 };
        for (int q = 0; q < 4; ++q)
            for (int n = 0; n < count; ++n)
                for (int c = 0; c < 2; ++c)
                    for (int branch = 0; branch < 2; ++branch)
                    {
                        xs[q][branch][2 * n + c] = (s[n]->*quads[q]).xPrev[2 * c + branch];
                        ys[q][branch][2 * n + c] = (s[n]->*quads[q]).yPrev[2 * c + branch];
                    }
        F ax[4][2], ay[4][2];
        for (int q = 0; q < 4; ++q)
            for (int branch = 0; branch < 2; ++branch)
            {
                ax[q][branch] = SimdLanes::load<F>(xs[q][branch]);
                ay[q][branch] = SimdLanes::load<F>(ys[q][branch]);
            }

        bool before[4] {}, after[4] {}, drive[4] {};
        bool anyBefore = false, anyAfter = false, anyDrive = false;
        for (int n = 0; n < count; ++n)
        {
            before[n] = s[n]->filterOn && ! s[n]->filterAfter;
            after[n] = s[n]->filterOn && s[n]->filterAfter;
            drive[n] = s[n]->driveOn;
            anyBefore = anyBefore || before[n];
            anyAfter = anyAfter || after[n];
            anyDrive = anyDrive || drive[n];
        }
        const Mask beforeMask = laneMask(before), afterMask = laneMask(after), driveMask = laneMask(drive);

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

        static const float zeros[LineInputSection::kMaxSamples] {};
        static const LineInputSection::Coefficients zeroCoefficients {};
        const float* inL[kLines];
        const float* inR[kLines];
        const LineInputSection::Coefficients* filters[kLines];
        const float* preamps[kLines];
        const float* gains[kLines];
        const float* colours[kLines];
        for (int n = 0; n < kLines; ++n)
        {
            const bool here = n < count;
            inL[n] = here ? lefts[n] : zeros;
            inR[n] = here ? rights[n] : zeros;
            filters[n] = here ? &s[n]->filter : &zeroCoefficients;
            preamps[n] = here ? s[n]->preamp : zeros;
            gains[n] = here ? s[n]->gain : zeros;
            colours[n] = here ? s[n]->colour : zeros;
        }

        bool steady = true;
        for (int n = 0; n < count; ++n)
            steady = steady && s[n]->steadyDrive;
        const F steadyDrive = 2.0f * lanesOf(preamps, 0);
        const F steadyGain = lanesOf(gains, 0);
        const F steadyAmount = lanesOf(colours, 0);

        for (int i = 0; i < numSamples; ++i)
        {
            F x;
            for (int n = 0; n < kLines; ++n)
            {
                x[2 * n] = inL[n][i];
                x[2 * n + 1] = inR[n][i];
            }
            // Two polyphase 2x interpolators: each allpass branch gives one
            // of the two output phases, so every section runs once per
            // sample of its input. Only in this form do the two coefficients
            // make a half-band filter; with zero stuffing folded into the
            // branches the interpolators pass the band at unity, so the
            // saturation sees the input at its own level. The second stage
            // takes the even, then the odd phase: ticks 0 and 1, then 2 and 3.
            const F ua = allpass(ax[0][0], ay[0][0], x, kHalfBandA);
            const F ub = allpass(ax[0][1], ay[0][1], x, kHalfBandB);
            F t[4];
            t[0] = allpass(ax[1][0], ay[1][0], ua, kHalfBandA);
            t[1] = allpass(ax[1][1], ay[1][1], ua, kHalfBandB);
            t[2] = allpass(ax[1][0], ay[1][0], ub, kHalfBandA);
            t[3] = allpass(ax[1][1], ay[1][1], ub, kHalfBandB);

            // Filter, saturation, filter, each over the four ticks in turn:
            // only one of the filters runs on a line, so this is the order
            // tick by tick.
            Doubles c[5] {};
            if (anyBefore || anyAfter)
            {
                const double* rows[kLines];
                for (int n = 0; n < kLines; ++n)
                    rows[n] = filters[n]->values[i][0];
                for (int k = 0; k < 5; ++k)
                    pairsOf(rows, k, c[k]);
            }
            if (anyBefore)
                for (int k = 0; k < 4; ++k)
                    t[k] = where(beforeMask, biquad(c, filterBefore, t[k]), t[k]);
            if (anyDrive)
            {
                const F driven = steady ? steadyDrive : 2.0f * lanesOf(preamps, i);
                const F g = steady ? steadyGain : lanesOf(gains, i);
                saturate(t, driven, g, driveMask);
            }
            if (anyAfter)
                for (int k = 0; k < 4; ++k)
                    t[k] = where(afterMask, biquad(c, filterAfter, t[k]), t[k]);

            // Two polyphase 2x decimators: branch a takes the odd phase, branch b the even one.
            const F d0a = allpass(ax[2][0], ay[2][0], t[1], kHalfBandA);
            const F d0b = allpass(ax[2][1], ay[2][1], t[0], kHalfBandB);
            const F d1a = allpass(ax[2][0], ay[2][0], t[3], kHalfBandA);
            const F d1b = allpass(ax[2][1], ay[2][1], t[2], kHalfBandB);
            const F down0 = d0a + d0b;
            const F down1 = d1a + d1b;
            const F ea = allpass(ax[3][0], ay[3][0], down1, kHalfBandA);
            const F eb = allpass(ax[3][1], ay[3][1], down0, kHalfBandB);
            F out = (ea + eb) * kDecimatorGain;

            // The colour filter adds its band of the overdriven sound.
            if (anyDrive)
            {
                const F amount = steady ? steadyAmount : lanesOf(colours, i);
                const F coloured = biquad(colourCoefficients, colour, out);
                out = where(driveMask, out + amount * coloured, out);
            }

            alignas(32) float o[kLanes];
            SimdLanes::store(o, out);
            for (int n = 0; n < count; ++n)
            {
                lefts[n][i] = o[2 * n];
                rights[n][i] = o[2 * n + 1];
            }
        }

        for (int q = 0; q < 4; ++q)
            for (int branch = 0; branch < 2; ++branch)
            {
                SimdLanes::store(xs[q][branch], ax[q][branch]);
                SimdLanes::store(ys[q][branch], ay[q][branch]);
            }
        for (int q = 0; q < 4; ++q)
            for (int n = 0; n < count; ++n)
                for (int c = 0; c < 2; ++c)
                    for (int branch = 0; branch < 2; ++branch)
                    {
                        (s[n]->*quads[q]).xPrev[2 * c + branch] = xs[q][branch][2 * n + c];
                        (s[n]->*quads[q]).yPrev[2 * c + branch] = ys[q][branch][2 * n + c];
                    }
        storeBiquad(filterBefore, s, count, &Section::filterMemories, before);
        storeBiquad(filterAfter, s, count, &Section::filterMemories, after);
        storeBiquad(colour, s, count, &Section::colourMemories, drive);
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
__attribute__((target("avx2"))) void runAvx2(LineInputSection* const* s, float* const* lefts, float* const* rights,
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

#include "processor/dsp/LineInputSection.h"

#include "processor/dsp/DspCommon.h"
#include "processor/dsp/FastMath.h"

#include <algorithm>
#include <cstring>

#include <emmintrin.h>
#include <immintrin.h>
#include <xmmintrin.h>

#if defined(__x86_64__) || defined(__i386__)
#define TAVINOR_INPUT_SECTION_AVX2 1
#endif

namespace
{
// Oversampling half-band allpass coefficients (branch a and branch b).
constexpr float kHalfBandA = 0.6457318f;
constexpr float kHalfBandB = 0.9585033f;
constexpr float kDecimatorGain = 0.25f;   // each 2x decimator sums two branches

// One step of two allpass sections on each channel: y = (x - y1) c + x1 in
// float.
template <typename Quad>
inline __m128 allpassStep(Quad& q, __m128 x, __m128 coefficients)
{
    const __m128 y = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(x, _mm_load_ps(q.yPrev)), coefficients), _mm_load_ps(q.xPrev));
    _mm_store_ps(q.xPrev, x);
    _mm_store_ps(q.yPrev, y);
    return y;
}

// y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2, in this order, on both channels.
inline __m128d biquadStep(const double (&c)[5][2], __m128d x, __m128d& x1, __m128d& x2, __m128d& y1, __m128d& y2)
{
    __m128d y = _mm_add_pd(_mm_mul_pd(_mm_load_pd(c[0]), x), _mm_mul_pd(_mm_load_pd(c[1]), x1));
    y = _mm_add_pd(y, _mm_mul_pd(_mm_load_pd(c[2]), x2));
    y = _mm_sub_pd(y, _mm_mul_pd(_mm_load_pd(c[3]), y1));
    y = _mm_sub_pd(y, _mm_mul_pd(_mm_load_pd(c[4]), y2));
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}

// The filter over the four ticks of each channel in turn.
inline void filterTicks(const double (&c)[5][2], float (&ticks)[2][4], double (&memories)[4][2])
{
    __m128d x1 = _mm_load_pd(memories[0]), x2 = _mm_load_pd(memories[1]);
    __m128d y1 = _mm_load_pd(memories[2]), y2 = _mm_load_pd(memories[3]);
    for (int k = 0; k < 4; ++k)
    {
        const __m128d y = biquadStep(c, _mm_setr_pd((double) ticks[0][k], (double) ticks[1][k]), x1, x2, y1, y2);
        ticks[0][k] = (float) _mm_cvtsd_f64(y);
        ticks[1][k] = (float) _mm_cvtsd_f64(_mm_unpackhi_pd(y, y));
    }
    _mm_store_pd(memories[0], x1);
    _mm_store_pd(memories[1], x2);
    _mm_store_pd(memories[2], y1);
    _mm_store_pd(memories[3], y2);
}

// tanh(preamp x) gain, as 1 - 2 / (e^(2 preamp x) + 1), the four ticks of a
// channel at a time in float.
inline void saturate(float (&ticks)[2][4], float preamp, float gain)
{
    const __m128 drive = _mm_set1_ps(2.0f * preamp);
    const __m128 one = _mm_set1_ps(1.0f), two = _mm_set1_ps(2.0f);
    const __m128 g = _mm_set1_ps(gain);
    for (int c = 0; c < 2; ++c)
    {
        const __m128 e = FastMath::exp(_mm_mul_ps(drive, _mm_loadu_ps(ticks[c])));
        _mm_storeu_ps(ticks[c], _mm_mul_ps(_mm_sub_ps(one, _mm_div_ps(two, _mm_add_ps(e, one))), g));
    }
}

// The memories of a stereo biquad as rows x1, x2, y1, y2 of both channels.
template <typename M>
inline void loadMemories(const M& m, double (&rows)[4][2])
{
    std::memcpy(rows[0], m.x1, sizeof rows[0]);
    std::memcpy(rows[1], m.x2, sizeof rows[1]);
    std::memcpy(rows[2], m.y1, sizeof rows[2]);
    std::memcpy(rows[3], m.y2, sizeof rows[3]);
}

template <typename M>
inline void storeMemories(const double (&rows)[4][2], M& m)
{
    std::memcpy(m.x1, rows[0], sizeof rows[0]);
    std::memcpy(m.x2, rows[1], sizeof rows[1]);
    std::memcpy(m.y1, rows[2], sizeof rows[2]);
    std::memcpy(m.y2, rows[3], sizeof rows[3]);
}

#if defined(TAVINOR_INPUT_SECTION_AVX2)
// Known before any audio runs (no guard on the audio thread).
const bool avx2Available = DspCommon::processorHasAvx2();
#endif
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

void LineInputSection::run(float* left, float* right, int numSamples)
{
    if (! isOn())
        return;
    const __m128 coefficients = _mm_setr_ps(kHalfBandA, kHalfBandB, kHalfBandA, kHalfBandB);
    alignas(16) double filterRows[4][2], colourRows[4][2];
    loadMemories(filterMemories, filterRows);
    loadMemories(colourMemories, colourRows);
    const bool before = filterOn && ! filterAfter;
    const bool after = filterOn && filterAfter;

    for (int i = 0; i < numSamples; ++i)
    {
        const float l = left[i], r = right[i];
        // Two polyphase 2x interpolators: each allpass branch gives one of the
        // two output phases, so every section runs once per sample of its
        // input. Only in this form do the two coefficients make a half-band
        // filter; with zero stuffing folded into the branches the
        // interpolators pass the band at unity, so the saturation sees the
        // input at its own level.
        const __m128 u1 = allpassStep(up1, _mm_setr_ps(l, l, r, r), coefficients);
        // u1 is even and odd of each channel; the second stage takes the even,
        // then the odd phase: ticks 0 and 1, then 2 and 3.
        const __m128 ticks01 = allpassStep(up2, _mm_shuffle_ps(u1, u1, _MM_SHUFFLE(2, 2, 0, 0)), coefficients);
        const __m128 ticks23 = allpassStep(up2, _mm_shuffle_ps(u1, u1, _MM_SHUFFLE(3, 3, 1, 1)), coefficients);
        alignas(16) float t01[4], t23[4];
        _mm_store_ps(t01, ticks01);
        _mm_store_ps(t23, ticks23);
        float ticks[2][4] = { { t01[0], t01[1], t23[0], t23[1] }, { t01[2], t01[3], t23[2], t23[3] } };

        // Filter, saturation, filter, each over the four ticks in turn: only
        // one of the filters runs, so this is the order tick by tick.
        if (before)
            filterTicks(filter.values[i], ticks, filterRows);
        if (driveOn)
            saturate(ticks, preamp[i], gain[i]);
        if (after)
            filterTicks(filter.values[i], ticks, filterRows);

        // Two polyphase 2x decimators: branch a takes the odd phase, branch b the even one.
        const __m128 down3first = allpassStep(
            down3, _mm_setr_ps(ticks[0][1], ticks[0][0], ticks[1][1], ticks[1][0]), coefficients);
        const __m128 down3second = allpassStep(
            down3, _mm_setr_ps(ticks[0][3], ticks[0][2], ticks[1][3], ticks[1][2]), coefficients);
        alignas(16) float d0[4], d1[4];
        _mm_store_ps(d0, down3first);
        _mm_store_ps(d1, down3second);
        const float down0L = d0[0] + d0[1], down0R = d0[2] + d0[3];
        const float down1L = d1[0] + d1[1], down1R = d1[2] + d1[3];
        alignas(16) float d4[4];
        _mm_store_ps(d4, allpassStep(down4, _mm_setr_ps(down1L, down0L, down1R, down0R), coefficients));
        float outL = (d4[0] + d4[1]) * kDecimatorGain;
        float outR = (d4[2] + d4[3]) * kDecimatorGain;

        // The colour filter adds its band of the overdriven sound.
        if (driveOn)
        {
            __m128d x1 = _mm_load_pd(colourRows[0]), x2 = _mm_load_pd(colourRows[1]);
            __m128d y1 = _mm_load_pd(colourRows[2]), y2 = _mm_load_pd(colourRows[3]);
            const __m128d y = biquadStep(colourCoefficients, _mm_setr_pd((double) outL, (double) outR), x1, x2, y1, y2);
            _mm_store_pd(colourRows[0], x1);
            _mm_store_pd(colourRows[1], x2);
            _mm_store_pd(colourRows[2], y1);
            _mm_store_pd(colourRows[3], y2);
            const float colouredL = (float) _mm_cvtsd_f64(y);
            const float colouredR = (float) _mm_cvtsd_f64(_mm_unpackhi_pd(y, y));
            outL = outL + colour[i] * colouredL;
            outR = outR + colour[i] * colouredR;
        }
        left[i] = outL;
        right[i] = outR;
    }
    storeMemories(filterRows, filterMemories);
    storeMemories(colourRows, colourMemories);
}

//==============================================================================
#if defined(TAVINOR_INPUT_SECTION_AVX2)
// The sections of up to four lines in eight lanes: lane 2 n + c is channel c of line n.
struct LineInputSectionLanes
{
    using Section = LineInputSection;

    __attribute__((target("avx2"))) static inline __m256 allpass(__m256& xPrev, __m256& yPrev, __m256 x, __m256 c)
    {
        const __m256 y = _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(x, yPrev), c), xPrev);
        xPrev = x;
        yPrev = y;
        return y;
    }

    // Lines n and n + 1's pairs of a row, side by side.
    __attribute__((target("avx2"))) static inline __m256d pairs(const double* a, const double* b)
    {
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(a)), _mm_loadu_pd(b), 1);
    }

    // A biquad on eight lanes in two halves; rows are x1, x2, y1, y2.
    struct Biquad8
    {
        __m256d m[4][2];
    };

    __attribute__((target("avx2"))) static inline __m256 biquad(const __m256d (&c)[5][2], Biquad8& s, __m256 input)
    {
        __m256d out[2];
        for (int h = 0; h < 2; ++h)
        {
            const __m256d x = _mm256_cvtps_pd(h == 0 ? _mm256_castps256_ps128(input) : _mm256_extractf128_ps(input, 1));
            __m256d y = _mm256_add_pd(_mm256_mul_pd(c[0][h], x), _mm256_mul_pd(c[1][h], s.m[0][h]));
            y = _mm256_add_pd(y, _mm256_mul_pd(c[2][h], s.m[1][h]));
            y = _mm256_sub_pd(y, _mm256_mul_pd(c[3][h], s.m[2][h]));
            y = _mm256_sub_pd(y, _mm256_mul_pd(c[4][h], s.m[3][h]));
            s.m[1][h] = s.m[0][h];
            s.m[0][h] = x;
            s.m[3][h] = s.m[2][h];
            s.m[2][h] = y;
            out[h] = y;
        }
        return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(out[0])), _mm256_cvtpd_ps(out[1]), 1);
    }

    template <typename M>
    static void loadBiquad(Section* const* s, int count, M Section::*memories, Biquad8& b)
    {
        alignas(32) double rows[4][8] {};
        for (int n = 0; n < count; ++n)
        {
            const M& m = s[n]->*memories;
            const double* from[4] = { m.x1, m.x2, m.y1, m.y2 };
            for (int r = 0; r < 4; ++r)
                std::memcpy(rows[r] + 2 * n, from[r], 2 * sizeof(double));
        }
        storeRows(rows, b);
    }

    __attribute__((target("avx2"))) static void storeRows(const double (&rows)[4][8], Biquad8& b)
    {
        for (int r = 0; r < 4; ++r)
            for (int h = 0; h < 2; ++h)
                b.m[r][h] = _mm256_load_pd(rows[r] + 4 * h);
    }

    __attribute__((target("avx2"))) static void loadRows(const Biquad8& b, double (&rows)[4][8])
    {
        for (int r = 0; r < 4; ++r)
            for (int h = 0; h < 2; ++h)
                _mm256_store_pd(rows[r] + 4 * h, b.m[r][h]);
    }

    template <typename M>
    static void storeBiquad(const Biquad8& b, Section* const* s, int count, M Section::*memories, const bool* which)
    {
        alignas(32) double rows[4][8];
        loadRows(b, rows);
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

    // Sample i of each of four lines' values, in both lanes of the line.
    __attribute__((target("avx2"))) static inline __m256 lanesOf(const float* const* values, int i)
    {
        return _mm256_setr_ps(values[0][i], values[0][i], values[1][i], values[1][i], values[2][i], values[2][i],
                              values[3][i], values[3][i]);
    }

    // The lanes of the lines for which `which` holds, as a mask.
    __attribute__((target("avx2"))) static __m256 laneMask(const bool (&which)[4])
    {
        alignas(32) int32_t m[8];
        for (int n = 0; n < 4; ++n)
            m[2 * n] = m[2 * n + 1] = which[n] ? -1 : 0;
        return _mm256_castsi256_ps(_mm256_load_si256((const __m256i*) m));
    }

    __attribute__((target("avx2"))) static void run(Section* const* s, float* const* lefts, float* const* rights,
                                                    int count, int numSamples)
    {
        // Allpass states, lane by lane: lane 2 n + c from line n's quad
        // lanes 2 c (branch a) and 2 c + 1 (branch b).
        alignas(32) float xs[4][2][8] {}, ys[4][2][8] {};
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
        __m256 ax[4][2], ay[4][2];
        for (int q = 0; q < 4; ++q)
            for (int branch = 0; branch < 2; ++branch)
            {
                ax[q][branch] = _mm256_load_ps(xs[q][branch]);
                ay[q][branch] = _mm256_load_ps(ys[q][branch]);
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
        const __m256 beforeMask = laneMask(before), afterMask = laneMask(after), driveMask = laneMask(drive);

        // The filter runs before the saturation on some lines and after it
        // on others: each placement has memories of its own here, and each
        // line keeps those of the one it takes.
        Biquad8 filterBefore, filterAfter, colour;
        loadBiquad(s, count, &Section::filterMemories, filterBefore);
        filterAfter = filterBefore;
        loadBiquad(s, count, &Section::colourMemories, colour);
        __m256d colourCoefficients[5][2];
        {
            const Section* c[4];
            for (int n = 0; n < 4; ++n)
                c[n] = s[std::min(n, count - 1)];
            for (int k = 0; k < 5; ++k)
            {
                colourCoefficients[k][0] = pairs(c[0]->colourCoefficients[k], c[1]->colourCoefficients[k]);
                colourCoefficients[k][1] = pairs(c[2]->colourCoefficients[k], c[3]->colourCoefficients[k]);
            }
        }

        const __m256 a = _mm256_set1_ps(kHalfBandA), b = _mm256_set1_ps(kHalfBandB);
        const __m256 one = _mm256_set1_ps(1.0f), two = _mm256_set1_ps(2.0f);
        const __m256 decimatorGain = _mm256_set1_ps(kDecimatorGain);
        static const float zeros[LineInputSection::kMaxSamples] {};
        static const LineInputSection::Coefficients zeroCoefficients {};
        const float* inL[4];
        const float* inR[4];
        const LineInputSection::Coefficients* filters[4];
        const float* preamps[4];
        const float* gains[4];
        const float* colours[4];
        for (int n = 0; n < 4; ++n)
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
        const __m256 steadyDrive = _mm256_mul_ps(two, lanesOf(preamps, 0));
        const __m256 steadyGain = lanesOf(gains, 0);
        const __m256 steadyAmount = lanesOf(colours, 0);

        for (int i = 0; i < numSamples; ++i)
        {
            const __m256 x = _mm256_setr_ps(inL[0][i], inR[0][i], inL[1][i], inR[1][i], inL[2][i], inR[2][i],
                                            inL[3][i], inR[3][i]);
            const __m256 ua = allpass(ax[0][0], ay[0][0], x, a);
            const __m256 ub = allpass(ax[0][1], ay[0][1], x, b);
            __m256 t[4];
            t[0] = allpass(ax[1][0], ay[1][0], ua, a);
            t[1] = allpass(ax[1][1], ay[1][1], ua, b);
            t[2] = allpass(ax[1][0], ay[1][0], ub, a);
            t[3] = allpass(ax[1][1], ay[1][1], ub, b);

            __m256d c[5][2] {};
            if (anyBefore || anyAfter)
                for (int k = 0; k < 5; ++k)
                {
                    c[k][0] = pairs(filters[0]->values[i][k], filters[1]->values[i][k]);
                    c[k][1] = pairs(filters[2]->values[i][k], filters[3]->values[i][k]);
                }
            if (anyBefore)
                for (int k = 0; k < 4; ++k)
                    t[k] = _mm256_blendv_ps(t[k], biquad(c, filterBefore, t[k]), beforeMask);
            if (anyDrive)
            {
                const __m256 driven = steady ? steadyDrive : _mm256_mul_ps(two, lanesOf(preamps, i));
                const __m256 g = steady ? steadyGain : lanesOf(gains, i);
                for (int k = 0; k < 4; ++k)
                {
                    const __m256 e = FastMath::exp(_mm256_mul_ps(driven, t[k]));
                    const __m256 y = _mm256_mul_ps(_mm256_sub_ps(one, _mm256_div_ps(two, _mm256_add_ps(e, one))), g);
                    t[k] = _mm256_blendv_ps(t[k], y, driveMask);
                }
            }
            if (anyAfter)
                for (int k = 0; k < 4; ++k)
                    t[k] = _mm256_blendv_ps(t[k], biquad(c, filterAfter, t[k]), afterMask);

            const __m256 d0a = allpass(ax[2][0], ay[2][0], t[1], a);
            const __m256 d0b = allpass(ax[2][1], ay[2][1], t[0], b);
            const __m256 d1a = allpass(ax[2][0], ay[2][0], t[3], a);
            const __m256 d1b = allpass(ax[2][1], ay[2][1], t[2], b);
            const __m256 down0 = _mm256_add_ps(d0a, d0b);
            const __m256 down1 = _mm256_add_ps(d1a, d1b);
            const __m256 ea = allpass(ax[3][0], ay[3][0], down1, a);
            const __m256 eb = allpass(ax[3][1], ay[3][1], down0, b);
            __m256 out = _mm256_mul_ps(_mm256_add_ps(ea, eb), decimatorGain);

            if (anyDrive)
            {
                const __m256 amount = steady ? steadyAmount : lanesOf(colours, i);
                const __m256 coloured = biquad(colourCoefficients, colour, out);
                out = _mm256_blendv_ps(out, _mm256_add_ps(out, _mm256_mul_ps(amount, coloured)), driveMask);
            }

            alignas(32) float o[8];
            _mm256_store_ps(o, out);
            for (int n = 0; n < count; ++n)
            {
                lefts[n][i] = o[2 * n];
                rights[n][i] = o[2 * n + 1];
            }
        }

        for (int q = 0; q < 4; ++q)
            for (int branch = 0; branch < 2; ++branch)
            {
                _mm256_store_ps(xs[q][branch], ax[q][branch]);
                _mm256_store_ps(ys[q][branch], ay[q][branch]);
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
#endif

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
#if defined(TAVINOR_INPUT_SECTION_AVX2)
    if (allowAvx2 && numOn > 1 && avx2Available)
    {
        LineInputSectionLanes::run(on, onLeft, onRight, numOn, numSamples);
        return;
    }
#else
    (void) allowAvx2;
#endif
    for (int n = 0; n < numOn; ++n)
        on[n]->run(onLeft[n], onRight[n], numSamples);
}

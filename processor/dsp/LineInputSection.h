#pragma once

// What a delay line's input goes through before it joins the feedback loop:
// a 4x oversampled resonant filter and overdrive (the filter before or after
// the saturation), then the colour filter on the overdriven sound. Nothing of
// it depends on what the line feeds back, so it runs over a whole stretch of
// the line's input ahead of the loop, and the sections of up to four lines run
// side by side, a line's two channels in two float lanes (AVX2: four lines in
// eight lanes; SSE2: two in four, or one alone). Either way every lane
// computes what one line alone computes, operation for operation.
//
// The allpass sections of the oversampler and the saturation are float; the
// filters are double: a low cut-off at four times a high rate puts the poles
// so near the unit circle that float rounding moves them onto or outside it.
class LineInputSection
{
public:
    static constexpr int kMaxSamples = 256;
    static constexpr int kMaxLines = 4;

    // A biquad's coefficients b0, b1, b2, a1, a2 for both channels, sample by sample.
    struct Coefficients
    {
        alignas(32) double values[kMaxSamples][5][2] {};
    };

    // What the next run does; the line sets it before each run.
    bool filterOn = false;      // the resonant filter runs
    bool filterAfter = false;   // the filter after the saturation instead of before
    bool driveOn = false;       // the saturation and the colour filter run
    // The resonant filter's coefficients and the overdrive's preamp, gain and
    // colour amount, sample by sample.
    Coefficients filter;
    float preamp[kMaxSamples] {};
    float gain[kMaxSamples] {};
    float colour[kMaxSamples] {};
    // Whether preamp, gain and colour hold one value through the run.
    bool steadyDrive = false;

    // Whether a run changes anything (otherwise the input passes unchanged).
    bool isOn() const { return filterOn || driveOn; }

    // The colour filter's fixed coefficients (b0, b1, b2, a1, a2 of both channels).
    void setColourCoefficients(const double (&coefficients)[5][2]);

    // numSamples (at most kMaxSamples) of both channels, in place.
    void run(float* left, float* right, int numSamples);

    // run() of count sections (at most kMaxLines) over the same number of
    // samples, each on its own channels, side by side where AVX2 is there
    // (and allowed).
    static void runTogether(LineInputSection* const* sections, float* const* lefts, float* const* rights, int count,
                            int numSamples, bool allowAvx2 = true);

    // Empties every memory.
    void clear();
    // Empties the resonant filter's memories alone (its type changed).
    void clearFilter();

private:
    template <typename F, int kRegister>
    friend struct LineInputSectionLanes;

    // Two first-order allpass sections (the a and b branch of a polyphase
    // stage) for both channels: lanes left a, left b, right a, right b.
    struct AllpassQuad
    {
        alignas(16) float xPrev[4] {};
        alignas(16) float yPrev[4] {};
    };
    // Two 2x interpolators and two 2x decimators in polyphase form.
    AllpassQuad up1, up2, down3, down4;

    // Memories of a stereo biquad.
    struct Memories
    {
        alignas(16) double x1[2] {};
        alignas(16) double x2[2] {};
        alignas(16) double y1[2] {};
        alignas(16) double y2[2] {};
    };
    Memories filterMemories;
    Memories colourMemories;
    alignas(16) double colourCoefficients[5][2] {};
};

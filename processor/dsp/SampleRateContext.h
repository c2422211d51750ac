#pragma once

// The sample rate and the values derived from it that per-sample code needs,
// computed once when the rate changes. Every signal-path object carries one as
// its first member. Every smoothing coefficient is a base rate times k, so that
// a smoother glides in the same time at every rate.
struct SampleRateContext
{
    SampleRateContext() { set(44100.0); }

    // Recomputes every field. A rate that is not finite or not above zero is
    // refused (returns false) and the previous values stay.
    bool set(double sampleRate);

    double rate = 44100.0;
    float rateF = 44100.0f;
    // 0 for 44100, 1 for 48000, 2 for 88200, 3 for 96000, 4 for 192000; any
    // other rate keeps the previous index.
    int rateIndex = 0;
    double invRate = 1.0 / 44100.0;
    double k = 1.0;                           // 2 (1 - 0.5^(44100 / fs))
    float kF = 1.0f;
    double nyquist = 22050.0;                 // fs / 2
    double k002 = 0.002;
    float k002F = 0.002f;
    double samplesPerMs = 44.1;               // 0.001 fs
};

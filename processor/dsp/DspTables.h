#pragma once

#include <vector>

// Read-only tables shared by every delay core of an engine: two fractional-delay
// interpolation kernels and the two pitch tables that turn a cut-off position
// into hertz. Built once by the engine, then only read (also on the audio thread).
//
// Kernel layout: entry kPhases * j + p is the weight of the sample j steps back
// for the fractional phase p / kPhases. Both kernels are minimum-phase
// band-limited interpolators, so they add only a few samples of latency instead
// of half their length.
class DspTables
{
public:
    static constexpr int kPhases = 512;
    static constexpr int kTaps32 = 32;
    static constexpr int kTaps16 = 16;
    static constexpr int kKernel32Size = kTaps32 * kPhases;   // 16384
    static constexpr int kKernel16Size = kTaps16 * kPhases;   // 8192
    static constexpr int kSemitoneCount = 240;
    static constexpr int kFineCount = 1024;
    // What one phase of each kernel sums to: the reads pass DC a little below
    // unity (the 32-tap read about -0.6 dB, the 16-tap read times its gain of
    // 1.2 about -0.2 dB), and never rise much above that at any frequency.
    static constexpr double kKernel32PhaseSum = 0.935;
    static constexpr double kKernel16PhaseSum = 0.8125;
    // The 16-tap read multiplies its sum by this.
    static constexpr double kKernel16ReadGain = 1.2;
    // The most either read passes at any frequency, any phase and any stretch
    // of its kernel (a hair above what it passes at low frequencies; the
    // 16-tap figure with its read's gain).
    static constexpr double kKernel32LargestGain = 0.93505;
    static constexpr double kKernel16LargestGain = 0.97555;

    DspTables();

    const double* getKernel32() const { return kernel32.data(); }
    const double* getKernel16() const { return kernel16.data(); }
    const float* getSemitones() const { return semitones.data(); }
    const float* getFineTune() const { return fineTune.data(); }

    // Delay (in samples) that the kernel adds at low frequencies: the centroid
    // of one phase, averaged over all phases.
    static double getKernelLatency(const double* kernel, int taps);

private:
    std::vector<double> kernel32;
    std::vector<double> kernel16;
    std::vector<float> semitones;
    std::vector<float> fineTune;
};

#pragma once

#include "processor/dsp/DelayParameters.h"
#include "processor/dsp/DspTables.h"

#include <memory>
#include <vector>

// The band-limited fractional read of a ring. Tap j weighs ring[n - j] with
// n = int(position). The mode is a DelayParameters::InterpolationMode:
// kNearestPhase16 takes the 16-tap kernel at the nearest phase below,
// kInterpolated16 interpolates it linearly between phases, the stretched
// modes interpolate the 32-tap kernel and stretch it over more taps when the
// delay shortens faster than real time (delay against the previous sample's),
// never by less than the minimum step. Reaches back at most n + 1 samples.
// The two-ring form reads both rings at one position in one pass.
//
// Rings and kernels are float (what a read gives is played and fed back as
// float anyway, and half the bytes is half of what a long read waits for);
// the sums are float too, in eight or sixteen partial sums, and only the
// positions, phases and the scale of the read are double.
//
// Keeps its own copies of the engine's kernels, arranged so that every read
// walks memory in order (built at construction; reading never allocates).
class FractionalReader
{
public:
    // The most taps a read at one of the arranged spacings takes.
    static constexpr int kMostArrangedTaps = 1024;

    // The sums of one read from its weights: weights[-j] is the weight of tap
    // j; ringB may be null.
    using Sums = void (*)(const float* weights, const float* ringA, const float* ringB, int n, int taps,
                          float& sumA, float& sumB);

    // What reads on one channel leave for the next: the weights the last one
    // took. A delay at rest reads at one phase sample after sample, and then
    // every read takes the same weights again instead of working them out.
    // The sums are those of a read without memory, bit for bit.
    struct Memory
    {
        // What decides the weights of a read: its mode and smallest step,
        // the fractional part of its position and its step (the stretch of
        // the kernel).
        int mode = -1;
        double minimumStep = 0.0;
        double frac = 0.0;
        double step = 0.0;
        int allTaps = 0;   // the taps a read takes when the ring reaches back far enough
        // Set while the weights below are those of this key, for taps taps.
        Sums sumsOne = nullptr;
        Sums sumsTwo = nullptr;
        int taps = 0;
        bool fused = false;   // weights of the vector read (which fuses their interpolation)
        // weights[kMostArrangedTaps - 1 - j] is the weight of tap j.
        alignas(64) float weights[kMostArrangedTaps];
    };

    // What every read of a line shares: its mode and the smallest step of a
    // stretched read.
    struct Setting
    {
        int mode = 0;
        double minimumStep = 0.0;
    };

    // One channel of readTwo: ring read at position with the memory, and the
    // delay with the one before it (which decide the stretch of the kernel).
    struct Channel
    {
        Memory& memory;
        const float* ring;
        double position;
        double delay;
        double previousDelay;
    };

    // Reads in a row: sample s at position (firstBase + s - delay) - shift of
    // a channel, s < count.
    struct Run
    {
        double firstBase = 0.0;
        int count = 0;
    };

    // One channel of a run: ring read with the memory at its own shift, the
    // delay of every read and the one before the first, and where the reads go.
    struct RunChannel
    {
        Memory& memory;
        const float* ring;
        double shift;
        double delay;
        double previousDelay;
        float* reads;
    };

    // allowAvx2 false keeps to SSE2 even where AVX2 is there (for tests).
    FractionalReader(const double* kernel32, const double* kernel16, bool allowAvx2 = true);

    double read(int mode, double minimumStep, const float* ring, double position, double delay,
                double previousDelay) const;
    void read(int mode, double minimumStep, const float* ringA, const float* ringB, double position,
              double delay, double previousDelay, double& readA, double& readB) const;

    // The same reads, with the weights remembered from one to the next. ringB
    // may be null: then only ring A is read.
    void read(Memory& memory, int mode, double minimumStep, const float* ringA, const float* ringB,
              double position, double delay, double previousDelay, double& readA, double& readB) const;

    // Two reads, of ring A with memory A and of ring B with memory B, each
    // at its own position and delays: the reads read(memoryA, .., ringA,
    // nullptr, ..) and read(memoryB, .., ringB, nullptr, ..) would make, bit
    // for bit, with the same effect on the memories. Where neither repeats
    // its kept weights and both are read with vectors, they go in one pass.
    void readTwo(Setting setting, const Channel& a, const Channel& b, double& readA, double& readB) const
    {
        readTwoApart(a.memory, b.memory, setting.mode, setting.minimumStep, a.ring, a.position, a.delay,
                     a.previousDelay, b.ring, b.position, b.delay, b.previousDelay, readA, readB);
    }

    // The reads of a run at rest on a channel, each with the delay before it
    // the same (the channel's previous delay before the first), as read above
    // would read them one by one when each repeats the kept weights, rounded
    // to float; with ringB, ringB too at the same positions into readsB.
    // Reads them eight at a time and returns how many it read from the first
    // on (none when the weights are not kept, or on processors without AVX2).
    int readRun(Setting setting, Run run, const RunChannel& channel, const float* ringB = nullptr,
                float* readsB = nullptr) const;

    // readRun on two channels at once, each with its own memory, shift and
    // delay: the same reads, as many as both may take (a multiple of eight).
    int readRunTwo(Setting setting, Run run, const RunChannel& a, const RunChannel& b) const;

    // The read above when it repeats the last one's mode, phase and step and
    // its weights are kept, at the cost of the sums alone; false (nothing
    // read) otherwise.
    bool readAgain(Memory& memory, int mode, double minimumStep, const float* ringA, const float* ringB,
                   double position, double delay, double previousDelay, double& readA, double& readB) const
    {
        if (memory.sumsOne == nullptr || memory.mode != mode || memory.minimumStep != minimumStep)
            return false;
        const int n = (int) position;
        const double frac = position - n;
        if (frac != memory.frac)
            return false;
        const double step = stepOf(mode, minimumStep, delay, previousDelay);
        const int count = memory.allTaps < n + 1 ? memory.allTaps : n + 1;
        if (step != memory.step || count > memory.taps)
            return false;
        float sumA = 0.0f, sumB = 0.0f;
        (ringB != nullptr ? memory.sumsTwo : memory.sumsOne)(memory.weights + kMostArrangedTaps - 1, ringA, ringB, n,
                                                             count, sumA, sumB);
        scale(mode, step, sumA, sumB, readA, readB);
        return true;
    }

    // The read with the memory: again from its kept weights where it repeats
    // them (readAgain), else afresh (read).
    void readKept(Memory& memory, int mode, double minimumStep, const float* ringA, const float* ringB,
                  double position, double delay, double previousDelay, double& readA, double& readB) const
    {
        if (! readAgain(memory, mode, minimumStep, ringA, ringB, position, delay, previousDelay, readA, readB))
            read(memory, mode, minimumStep, ringA, ringB, position, delay, previousDelay, readA, readB);
    }

private:
    // How far apart the taps of a read are on the kernel: 512 phases at rest,
    // fewer while the delay shortens faster than real time (stretched modes),
    // never fewer than the smallest step, nor below 1 (which would take more
    // taps than the kernel has entries).
    static double stepOf(int mode, double minimumStep, double delay, double previousDelay)
    {
        if (! DelayParameters::readsStretched32(mode))
            return (double) kPhases;
        const double smallest = minimumStep >= 1.0 ? (minimumStep < kPhases ? minimumStep : (double) kPhases) : 1.0;
        const double step = (double) kPhases - (previousDelay - delay) * 0.5 * kPhases;
        return step < smallest ? smallest : (step > kPhases ? (double) kPhases : step);
    }

    // The read from its sums: the 16-tap kernel's gain, or the stretch of the 32-tap one.
    static void scale(int mode, double step, float sumA, float sumB, double& readA, double& readB)
    {
        if (DelayParameters::readsStretched32(mode))
        {
            readA = (double) sumA * step / kPhases;
            readB = (double) sumB * step / kPhases;
        }
        else
        {
            readA = (double) sumA * kKernel16ReadGain;
            readB = (double) sumB * kKernel16ReadGain;
        }
    }

    static constexpr int kPhases = DspTables::kPhases;
    static constexpr double kKernel16ReadGain = DspTables::kKernel16ReadGain;

    // How many reads from firstBase on readRun may take with the weights
    // kept (a multiple of eight), and the whole part of the first position.
    int runOf(Setting setting, Run run, const RunChannel& channel, int& n0) const;

    // readTwo with its channels passed apart: it runs for every sample of a
    // moving delay, and passed in registers they cost nothing to hand over.
    void readTwoApart(Memory& memoryA, Memory& memoryB, int mode, double minimumStep, const float* ringA,
                      double positionA, double delayA, double previousDelayA, const float* ringB, double positionB,
                      double delayB, double previousDelayB, double& readA, double& readB) const;

    // Whether a read of this key repeats the one memory kept the key of.
    static bool repeats(const Memory& memory, int mode, double minimumStep, double frac, double step)
    {
        return memory.mode == mode && memory.minimumStep == minimumStep && memory.frac == frac
               && memory.step == step;
    }
    // Makes this key memory's, its weights not yet kept.
    static void keepKey(Memory& memory, int mode, double minimumStep, double frac, double step)
    {
        memory.sumsOne = memory.sumsTwo = nullptr;
        memory.mode = mode;
        memory.minimumStep = minimumStep;
        memory.frac = frac;
        memory.step = step;
    }

    // A read under way: its rings, the whole part of its position, the memory
    // that keeps its weights (null: it keeps none) and its sums.
    struct Reading
    {
        const float* ringA;
        const float* ringB;
        int n;
        Memory* memory;
        float sumA = 0.0f;
        float sumB = 0.0f;
    };

    template <bool twoRings>
    void readRings(Memory* memory, int mode, double minimumStep, const float* ringA, const float* ringB,
                   double position, double delay, double previousDelay, double& readA, double& readB) const;
    template <bool twoRings>
    void movingSumsAvx2(Reading& r, double frac, double step) const;
    template <bool twoRings>
    void sumsOf(Reading& r, int mode, double frac, double step) const;
    template <bool twoRings>
    void spacedSumsOf(Reading& r, const std::vector<float>& rows, int size, int spacing, double phase0,
                      double limit) const;
    template <bool twoRings>
    void rowSums(Reading& r, const float* row, const float* next, float t, int count, int allTaps, bool fused) const;

    // Copies of the kernels arranged for the reads. At a whole spacing s
    // that divides 512, every tap of a read has the same phase p, and the
    // read walks rows p and p + 1: row p holds entries p, p + s, p + 2s ..
    // in reverse tap order (the last tap first), like the ring it meets.
    // Spacing 512 is a read at rest; 64 and 16 are the smallest steps of
    // the quality settings, which a fast glide holds. Any other step takes
    // the 32-tap kernel tap by tap, each entry stored beside its successor.
    // Readers of the same kernels share one arrangement (the lines of an
    // engine read at once, and one copy of these stays in the cache where
    // one per line would not).
    struct Arrangement
    {
        std::vector<double> kernel32, kernel16;   // what it was arranged from
        std::vector<float> kernel32ByPhase, kernel32By64, kernel32By16, kernel16ByPhase, kernel32Pairs;
    };
    static std::shared_ptr<const Arrangement> arrangementOf(const double* kernel32, const double* kernel16);
    std::shared_ptr<const Arrangement> arrangement;
    const std::vector<float>& kernel32ByPhase;
    const std::vector<float>& kernel32By64;
    const std::vector<float>& kernel32By16;
    const std::vector<float>& kernel16ByPhase;
    const std::vector<float>& kernel32Pairs;
    // The kernel's rows arranged for a read of this step, where one is arranged.
    const std::vector<float>* rowsOf(double step) const
    {
        return step == (double) kPhases ? &kernel32ByPhase
               : step == 64.0           ? &kernel32By64
               : step == 16.0           ? &kernel32By16
                                        : nullptr;
    }
    bool useAvx2 = false;
};

#include <gtest/gtest.h>

#include "processor/dsp/DelayCore.h"
#include "processor/dsp/DspTables.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

// The fast read is held to the read written out plainly, one tap at a time with
// the phase advanced by repeated addition, in double: the two may differ only
// by rounding (float, and the order of the additions), never by a tap or a
// weight.
namespace
{
constexpr int kPhases = DspTables::kPhases;

struct Reference
{
    double value = 0.0;
    double scale = 0.0;   // the same sum over |terms|: what rounding is relative to
    int taps = 0;
};

Reference referenceRead(const DspTables& tables, int mode, double minimumStep, const float* ring, double position,
                        double delay, double previousDelay)
{
    const double* kernel32 = tables.getKernel32();
    const double* kernel16 = tables.getKernel16();
    const int n = (int) position;
    const double frac = position - n;
    Reference r;
    double gain = 1.2;
    if (mode == 0)
    {
        int phase = (int) (frac * kPhases);
        for (int j = 0; phase < 8190 && j <= n; ++j, phase += kPhases)
        {
            r.value += kernel16[phase] * ring[n - j];
            r.scale += std::abs(kernel16[phase] * ring[n - j]);
            ++r.taps;
        }
    }
    else
    {
        const bool wide = mode >= 2;
        const double* kernel = wide ? kernel32 : kernel16;
        const double limit = wide ? 16382.0 : 8190.0;
        double step = kPhases;
        if (wide)
        {
            step = std::clamp(kPhases - (previousDelay - delay) * 0.5 * kPhases, minimumStep, (double) kPhases);
            gain = step / kPhases;
        }
        double phase = frac * step;
        for (int j = 0; phase < limit && j <= n; ++j, phase += step)
        {
            const int i = (int) phase;
            const double h = kernel[i] + (kernel[i + 1] - kernel[i]) * (phase - i);
            r.value += h * ring[n - j];
            r.scale += std::abs(h * ring[n - j]);
            ++r.taps;
        }
    }
    r.value *= gain;
    r.scale *= gain;
    return r;
}

// How far a read may be from the plain one, relative to the sum of its terms'
// magnitudes. The reads are float (kernel entries rounded to float, the
// interpolation and the sixteen partial sums in float) where the plain read is
// double: a few float steps (5.96e-8) of that sum, the most seen about 2.6 of
// them, at any tap count up to thousands (the partial sums keep each one
// short). Double reads held this to 1.0e-9.
constexpr double kBound = 5.0e-7;

// The delay before this sample that gives the wanted kernel step.
double previousForStep(double delay, double step) { return delay + (kPhases - step) / (0.5 * kPhases); }
} // namespace

// Each case runs with wide vectors where the processor has them and once more
// without, so both forms of the read are held to the plain one.
class DelayCoreFractionalReader : public ::testing::TestWithParam<bool>
{
};

INSTANTIATE_TEST_SUITE_P(Vectors, DelayCoreFractionalReader, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Widest" : "Sse2"; });

TEST_P(DelayCoreFractionalReader, MatchesThePlainReadOnRandomPositionsStepsAndRingEnds)
{
    const DspTables tables;
    const FractionalReader reader(tables.getKernel32(), tables.getKernel16(), GetParam());

    constexpr int kMaximum = 3000;
    constexpr int kRing = 3 * kMaximum;
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<float> ringA(kRing), ringB(kRing);
    for (int i = 0; i < kRing; ++i)
    {
        ringA[(size_t) i] = (float) (2.0 * unit(random) - 1.0);
        ringB[(size_t) i] = (float) ((2.0 * unit(random) - 1.0) * 1.0e3);
    }

    const double minimumSteps[] = { 1.0, 16.0, 64.0, 128.0, 512.0 };
    int compared = 0;
    for (int mode = 0; mode <= 3; ++mode)
        for (double minimumStep : minimumSteps)
            for (int k = 0; k < 600; ++k)
            {
                // Positions anywhere in the ring, near its start (fewer samples
                // behind than the kernel reaches), on whole samples, just below
                // the next whole sample and at the very end.
                double position = unit(random) * (kRing - 1);
                switch (k % 6)
                {
                    case 1: position = unit(random) * 1100.0; break;
                    case 2: position = std::floor(position); break;
                    case 3: position = std::nextafter(std::floor(position) + 1.0, 0.0); break;
                    case 4: position = std::nextafter((double) (kRing - 1), 0.0) - unit(random) * 3.0; break;
                    default: break;
                }
                const double delay = unit(random) * (kMaximum - 1);
                // At rest, lengthening, barely shortening, whole and fractional
                // steps, and faster than the smallest step allows.
                double previous = delay;
                switch (k % 7)
                {
                    case 1: previous = delay - unit(random) * 2.0; break;
                    case 2: previous = delay + 1.0e-9; break;
                    case 3: previous = previousForStep(delay, std::floor(1.0 + unit(random) * 511.0)); break;
                    case 4: previous = previousForStep(delay, 1.0 + unit(random) * 511.0); break;
                    case 5: previous = delay + 2.0 + unit(random) * 10.0; break;
                    case 6: previous = previousForStep(delay, 512.0 - unit(random)); break;
                    default: break;
                }

                const Reference a = referenceRead(tables, mode, minimumStep, ringA.data(), position, delay, previous);
                const Reference b = referenceRead(tables, mode, minimumStep, ringB.data(), position, delay, previous);
                const double single = reader.read(mode, minimumStep, ringA.data(), position, delay, previous);
                double pairA = 0.0, pairB = 0.0;
                reader.read(mode, minimumStep, ringA.data(), ringB.data(), position, delay, previous, pairA, pairB);

                const auto where = ::testing::Message() << "mode " << mode << " minimum step " << minimumStep
                                                        << " position " << position << " delay " << delay
                                                        << " previous " << previous;
                EXPECT_NEAR(single, a.value, kBound * a.scale) << where;
                EXPECT_NEAR(pairA, a.value, kBound * a.scale) << where;
                EXPECT_NEAR(pairB, b.value, kBound * b.scale) << where;
                ++compared;
            }
    EXPECT_EQ(compared, 4 * 5 * 600);
}

// Where the last phase lands exactly on the kernel's end, the tap there is not
// taken; the one before it is. An impulse on either tap shows which were read.
TEST_P(DelayCoreFractionalReader, TakesExactlyTheTapsOfThePlainReadAtTheKernelEnd)
{
    const DspTables tables;
    const FractionalReader reader(tables.getKernel32(), tables.getKernel16(), GetParam());

    struct Case
    {
        int mode;
        double minimumStep;
        double step;
        double frac;
        int firstLeftOut;   // tap whose phase equals the limit
    };
    const Case cases[] = {
        { 0, 512.0, 512.0, 510.0 / 512.0, 15 },      // 510 + 15 * 512 = 8190
        { 1, 512.0, 512.0, 510.0 / 512.0, 15 },
        { 3, 16.0, 512.0, 510.0 / 512.0, 31 },       // 510 + 31 * 512 = 16382
        { 3, 16.0, 16.0, 14.0 / 16.0, 1023 },        // 14 + 1023 * 16 = 16382
        { 2, 64.0, 128.0, 126.0 / 128.0, 127 },      // 126 + 127 * 128 = 16382
        { 2, 64.0, 64.0, 62.0 / 64.0, 255 },         // 62 + 255 * 64 = 16382
        { 3, 16.0, 16.0, 0.0, 1024 },                // 0 + 1024 * 16 = 16384: all 1024 taps
        { 3, 1.0, 1.0, 0.0, 16382 },
    };

    constexpr int kRing = 60000;
    std::vector<float> ring(kRing, 0.0f);
    for (const auto& c : cases)
    {
        const int n = 40000;
        const double position = n + c.frac;
        const double delay = 1000.0;
        const double previous = previousForStep(delay, c.step);
        for (int tap : { c.firstLeftOut - 1, c.firstLeftOut })
        {
            std::fill(ring.begin(), ring.end(), 0.0f);
            ring[(size_t) (n - tap)] = 1.0f;
            const Reference r = referenceRead(tables, c.mode, c.minimumStep, ring.data(), position, delay, previous);
            const double got = reader.read(c.mode, c.minimumStep, ring.data(), position, delay, previous);
            if (tap == c.firstLeftOut)
                EXPECT_EQ(r.value, 0.0) << "mode " << c.mode << " step " << c.step;
            else
                EXPECT_NE(r.value, 0.0) << "mode " << c.mode << " step " << c.step;
            EXPECT_NEAR(got, r.value, kBound * r.scale + 1.0e-300) << "mode " << c.mode << " step " << c.step
                                                                   << " tap " << tap;
        }
    }
}

// Reads that remember their weights, and runs of reads at rest eight at a
// time, are the reads one by one, bit for bit: among them reads whose tap
// count leaves taps over after the last vector (a phase just below the next
// sample), at rest, at the smallest steps and while gliding.
TEST_P(DelayCoreFractionalReader, RememberedAndRunReadsAreTheSingleReadsBitForBit)
{
    const DspTables tables;
    const FractionalReader reader(tables.getKernel32(), tables.getKernel16(), GetParam());

    constexpr int kRing = 20000;
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<float> ringA(kRing), ringB(kRing);
    for (int i = 0; i < kRing; ++i)
    {
        ringA[(size_t) i] = (float) unit(random);
        ringB[(size_t) i] = (float) (unit(random) * 100.0);
    }

    struct Case
    {
        int mode;
        double minimumStep;
        double frac;
        double step;   // the step the delays before give: 512 at rest
    };
    const Case cases[] = {
        { 2, 64.0, 0.25, 512.0 },  { 2, 64.0, 0.9981, 512.0 }, { 3, 16.0, 0.0, 512.0 },   { 3, 16.0, 0.9990, 512.0 },
        { 2, 64.0, 0.4, 64.0 },    { 2, 64.0, 0.97, 64.0 },    { 3, 16.0, 0.3, 16.0 },    { 3, 16.0, 0.95, 16.0 },
        { 3, 16.0, 0.6, 300.25 },  { 1, 128.0, 0.7, 512.0 },   { 1, 128.0, 0.999, 512.0 }, { 0, 512.0, 0.123, 512.0 },
        { 0, 512.0, 0.9995, 512.0 },
    };
    constexpr int kRun = 21;
    for (const auto& c : cases)
        for (bool two : { false, true })
        {
            const double delay = 1234.0;
            // A glide holds its step: every delay before is the same distance longer.
            const double previous = previousForStep(delay, c.step);
            const double firstBase = 15000.0 + c.frac + delay;
            FractionalReader::Memory memory;
            double single[kRun], singleB[kRun], remembered[kRun], rememberedB[kRun];
            float run[kRun], runB[kRun];
            for (int s = 0; s < kRun; ++s)
            {
                const double position = (firstBase + s) - delay;
                const double before = s == 0 ? previous : (c.step == 512.0 ? delay : previous);
                reader.read(c.mode, c.minimumStep, ringA.data(), ringB.data(), position, delay, before, single[s],
                            singleB[s]);
                if (! two)
                    single[s] = reader.read(c.mode, c.minimumStep, ringA.data(), position, delay, before);
                reader.read(memory, c.mode, c.minimumStep, ringA.data(), two ? ringB.data() : nullptr, position,
                            delay, before, remembered[s], rememberedB[s]);
            }
            const auto where = ::testing::Message() << "mode " << c.mode << " step " << c.step << " frac " << c.frac
                                                    << (two ? " two rings" : " one ring");
            for (int s = 0; s < kRun; ++s)
            {
                EXPECT_EQ(remembered[s], single[s]) << where << " sample " << s;
                if (two)
                    EXPECT_EQ(rememberedB[s], singleB[s]) << where << " sample " << s;
            }

            // A run at rest after the two reads that keep the weights.
            if (c.step != 512.0)
                continue;
            FractionalReader::Memory runMemory;
            for (int s = 0; s < 2; ++s)
            {
                double a = 0.0, b = 0.0;
                reader.read(runMemory, c.mode, c.minimumStep, ringA.data(), two ? ringB.data() : nullptr,
                            (firstBase + s) - delay, delay, delay, a, b);
            }
            const int taken = reader.readRun({ c.mode, c.minimumStep }, { firstBase + 2, kRun - 2 },
                                             { runMemory, ringA.data(), 0.0, delay, delay, run + 2 },
                                             two ? ringB.data() : nullptr, two ? runB + 2 : nullptr);
            EXPECT_EQ(taken % 8, 0) << where;
            // Runs give what plays: the reads rounded to float.
            for (int s = 2; s < 2 + taken; ++s)
            {
                EXPECT_EQ(run[s], (float) single[s]) << where << " sample " << s;
                if (two)
                    EXPECT_EQ(runB[s], (float) singleB[s]) << where << " sample " << s;
            }
        }
}

// Runs of both channels at once are the single reads, rounded to float, bit
// for bit: channels whose delays differ by whole samples (one set of weights
// for both) and by a fraction (weights of their own), and a glide coming to
// rest, where the first read keeps the glide's step and the rest do not (a
// run must not start there: it read nothing and counted the first as read).
TEST_P(DelayCoreFractionalReader, RunsOfTwoChannelsAreTheSingleReadsBitForBit)
{
    const DspTables tables;
    const FractionalReader reader(tables.getKernel32(), tables.getKernel16(), GetParam());

    constexpr int kRing = 20000;
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<float> ringA(kRing), ringB(kRing);
    for (int i = 0; i < kRing; ++i)
    {
        ringA[(size_t) i] = (float) unit(random);
        ringB[(size_t) i] = (float) (unit(random) * 100.0);
    }

    constexpr int kRun = 37;
    for (int mode = 0; mode <= 3; ++mode)
        for (const double delayB : { 1034.0, 1034.3, 1234.0 })
        {
            const double delayA = 1234.0;
            const double firstBase = 15000.37 + delayA;
            float runA[kRun], runB[kRun];
            std::fill(runA, runA + kRun, std::nanf(""));
            std::fill(runB, runB + kRun, std::nanf(""));
            FractionalReader::Memory memoryA, memoryB;
            double unused = 0.0;
            for (int s = 0; s < 2; ++s)
            {
                reader.read(memoryA, mode, 16.0, ringA.data(), nullptr, (firstBase + s) - delayA, delayA, delayA,
                            unused, unused);
                reader.read(memoryB, mode, 16.0, ringB.data(), nullptr, (firstBase + s) - delayB, delayB, delayB,
                            unused, unused);
            }
            const int taken = reader.readRunTwo({ mode, 16.0 }, { firstBase + 2, kRun - 2 },
                                                { memoryA, ringA.data(), 0.0, delayA, delayA, runA + 2 },
                                                { memoryB, ringB.data(), 0.0, delayB, delayB, runB + 2 });
            const auto where = ::testing::Message() << "mode " << mode << " delay B " << delayB;
            EXPECT_EQ(taken % 8, 0) << where;
            for (int s = 2; s < 2 + taken; ++s)
            {
                const double a = reader.read(mode, 16.0, ringA.data(), (firstBase + s) - delayA, delayA, delayA);
                const double b = reader.read(mode, 16.0, ringB.data(), (firstBase + s) - delayB, delayB, delayB);
                EXPECT_EQ(runA[s], (float) a) << where << " sample " << s;
                EXPECT_EQ(runB[s], (float) b) << where << " sample " << s;
            }
        }

    // A glide shortening the delay by two samples a sample (the smallest
    // step, the same phase at every read) keeps its weights, then comes to
    // rest.
    for (int mode : { 2, 3 })
    {
        const double base = 16000.25;
        const double start = 2000.0;
        FractionalReader::Memory memory;
        double unused = 0.0;
        for (int s = 0; s < 2; ++s)
            reader.read(memory, mode, 16.0, ringA.data(), nullptr, (base + s) - (start - 2.0 * s), start - 2.0 * s,
                        start - 2.0 * s + 2.0, unused, unused);
        ASSERT_NE(memory.sumsOne, nullptr) << "mode " << mode;
        const double rest = start - 4.0;
        float run[16];
        std::fill(run, run + 16, std::nanf(""));
        const int taken =
            reader.readRun({ mode, 16.0 }, { base + 2.0, 16 }, { memory, ringA.data(), 0.0, rest, rest + 2.0, run });
        for (int s = 0; s < taken; ++s)
        {
            const double single =
                reader.read(mode, 16.0, ringA.data(), (base + 2.0 + s) - rest, rest, s == 0 ? rest + 2.0 : rest);
            EXPECT_EQ(run[s], (float) single) << "mode " << mode << " sample " << s;
        }
    }
}

// Two channels read in one pass are the two reads one after the other, bit
// for bit, and leave the memories as those do: channels gliding at steps of
// their own (whole spacings, fractional steps, tap counts that leave taps over
// after the last vector, reads near the ring's start), and at rest, where a
// channel repeats its weights while the other moves.
TEST_P(DelayCoreFractionalReader, TwoChannelsInOnePassAreTheReadsOneByOne)
{
    const DspTables tables;
    const FractionalReader reader(tables.getKernel32(), tables.getKernel16(), GetParam());

    constexpr int kRing = 20000;
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<float> ringA(kRing), ringB(kRing);
    for (int i = 0; i < kRing; ++i)
    {
        ringA[(size_t) i] = (float) (2.0 * unit(random) - 1.0);
        ringB[(size_t) i] = (float) ((2.0 * unit(random) - 1.0) * 10.0);
    }

    const double steps[] = { 512.0, 64.0, 16.0, 300.25, 511.5, 40.0 };
    for (int mode = 0; mode <= 3; ++mode)
        for (double minimumStep : { 16.0, 64.0 })
        {
            FractionalReader::Memory pairA, pairB, aloneA, aloneB;
            for (int k = 0; k < 400; ++k)
            {
                // Runs of reads at rest (one channel or both), between reads
                // that move.
                const bool restA = k % 5 < 2, restB = k % 7 < 3;
                const double delayA = 1000.0 + 37.0 * (k % 3), delayB = 1200.5;
                const double previousA = restA ? delayA : previousForStep(delayA, steps[k % 6]);
                const double previousB = restB ? delayB : previousForStep(delayB, steps[(k + 3) % 6]);
                double positionA = restA ? 15000.25 + k : 100.0 + unit(random) * 19000.0;
                const double positionB = restB ? 12000.75 + k : 100.0 + unit(random) * 19000.0;
                if (k % 11 == 0)
                    positionA = unit(random) * 40.0;   // fewer samples behind than the kernel takes
                double twoA = 0.0, twoB = 0.0, oneA = 0.0, oneB = 0.0, unused = 0.0;
                reader.readTwo({ mode, minimumStep }, { pairA, ringA.data(), positionA, delayA, previousA },
                               { pairB, ringB.data(), positionB, delayB, previousB }, twoA, twoB);
                reader.read(aloneA, mode, minimumStep, ringA.data(), nullptr, positionA, delayA, previousA, oneA,
                            unused);
                reader.read(aloneB, mode, minimumStep, ringB.data(), nullptr, positionB, delayB, previousB, oneB,
                            unused);
                const auto where = ::testing::Message() << "mode " << mode << " minimum step " << minimumStep
                                                        << " read " << k;
                EXPECT_EQ(twoA, oneA) << where;
                EXPECT_EQ(twoB, oneB) << where;
                EXPECT_EQ(pairA.frac, aloneA.frac) << where;
                EXPECT_EQ(pairA.step, aloneA.step) << where;
                EXPECT_EQ(pairB.frac, aloneB.frac) << where;
                EXPECT_EQ(pairB.step, aloneB.step) << where;
                EXPECT_EQ(pairA.sumsOne != nullptr, aloneA.sumsOne != nullptr) << where;
                EXPECT_EQ(pairB.sumsOne != nullptr, aloneB.sumsOne != nullptr) << where;
            }
        }
}

// Readers share the arrangement of equal kernels; a reader of other kernels
// (here the engine's, halved) must read its own, whichever reader came first
// and whichever is still alive.
TEST(DelayCoreFractionalReaderSharing, ReadersOfOtherKernelsKeepTheirOwn)
{
    const DspTables tables;
    std::vector<double> half32(tables.getKernel32(), tables.getKernel32() + DspTables::kKernel32Size);
    std::vector<double> half16(tables.getKernel16(), tables.getKernel16() + DspTables::kKernel16Size);
    for (auto* kernel : { &half32, &half16 })
        for (auto& h : *kernel)
            h *= 0.5;

    std::vector<float> ring(4096);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (auto& x : ring)
        x = (float) noise(random);

    auto readAll = [&](const FractionalReader& reader) {
        std::vector<double> reads;
        for (int mode = 0; mode < 4; ++mode)
            for (const double step : { 512.0, 64.0, 16.0, 100.5 })
                reads.push_back(reader.read(mode, 16.0, ring.data(), 3000.37, 1000.0, previousForStep(1000.0, step)));
        return reads;
    };

    auto first = std::make_unique<FractionalReader>(tables.getKernel32(), tables.getKernel16());
    const auto full = readAll(*first);
    const FractionalReader halved(half32.data(), half16.data());
    const FractionalReader second(tables.getKernel32(), tables.getKernel16());
    first.reset();
    const auto halvedReads = readAll(halved);
    const auto secondReads = readAll(second);
    for (size_t i = 0; i < full.size(); ++i)
    {
        EXPECT_NE(full[i], 0.0) << i;
        EXPECT_EQ(secondReads[i], full[i]) << i;
        EXPECT_NEAR(halvedReads[i], 0.5 * full[i], 1e-12) << i;
    }
}

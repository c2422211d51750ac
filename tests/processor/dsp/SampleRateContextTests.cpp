#include <gtest/gtest.h>

#include "processor/dsp/DspCommon.h"
#include "processor/dsp/DspTables.h"
#include "processor/dsp/SampleRateContext.h"

#include <algorithm>
#include <cmath>
#include <vector>

TEST(SampleRateContext, SmoothingFactorAndIndexByRate)
{
    struct Case { double rate; double k; int index; };
    const Case cases[] = {
        { 44100.0, 1.0, 0 }, { 48000.0, 0.9424, 1 }, { 88200.0, 0.5858, 2 },
        { 96000.0, 0.5452, 3 }, { 192000.0, 0.2944, 4 },
    };
    for (const auto& c : cases)
    {
        SampleRateContext ctx;
        ASSERT_TRUE(ctx.set(c.rate));
        EXPECT_NEAR(ctx.k, c.k, 5e-4) << c.rate;
        EXPECT_NEAR(ctx.kF, (float) c.k, 5e-4) << c.rate;
        EXPECT_EQ(ctx.rateIndex, c.index) << c.rate;
        EXPECT_DOUBLE_EQ(ctx.nyquist, c.rate / 2.0);
        EXPECT_NEAR(ctx.k002, 0.002 * ctx.k, 1e-15);
        EXPECT_NEAR(ctx.samplesPerMs, c.rate / 1000.0, 1e-9);
    }
    SampleRateContext exact;
    EXPECT_EQ(exact.k, 1.0);
}

TEST(SampleRateContext, UnlistedRateKeepsIndexAndBadRatesAreRefused)
{
    SampleRateContext ctx;
    ctx.set(96000.0);
    ctx.set(50000.0);
    EXPECT_EQ(ctx.rateIndex, 3);
    EXPECT_EQ(ctx.rate, 50000.0);

    for (double bad : { 0.0, -44100.0, std::nan(""), (double) INFINITY })
    {
        EXPECT_FALSE(ctx.set(bad));
        EXPECT_EQ(ctx.rate, 50000.0);
        EXPECT_TRUE(std::isfinite(ctx.k));
    }
}

TEST(DspTables, PitchTablesAndKernelShape)
{
    DspTables t;
    EXPECT_FLOAT_EQ(t.getSemitones()[0], 22.0f);
    EXPECT_FLOAT_EQ(t.getSemitones()[12], 44.0f);
    EXPECT_FLOAT_EQ(t.getSemitones()[24], 88.0f);
    EXPECT_FLOAT_EQ(t.getFineTune()[0], 1.0f);
    EXPECT_NEAR(t.getFineTune()[1023], std::pow(2.0, 1023.0 / 1024.0 / 12.0), 1e-6);

    // The reads lose a little on every pass (about 0.6 dB for the 32-tap read,
    // 0.2 dB for the 16-tap one at its gain of 1.2), and never pass more than
    // their largest gain anywhere: a loop at unity through them never grows.
    struct Shape { const double* kernel; int taps; double gain; double dc; double largestGain; };
    const Shape shapes[] = { { t.getKernel32(), 32, 1.0, 0.935, DspTables::kKernel32LargestGain },
                             { t.getKernel16(), 16, 1.2, 0.975, DspTables::kKernel16LargestGain } };
    for (const auto& s : shapes)
    {
        const int n = s.taps * DspTables::kPhases;
        // Starts near zero and positive, rises to one peak a few samples in.
        EXPECT_GT(s.kernel[0], 0.0);
        EXPECT_LT(s.kernel[0], 1e-3);
        int peak = 0;
        for (int i = 0; i < n; ++i)
            if (s.kernel[i] > s.kernel[peak])
                peak = i;
        EXPECT_GT(peak, 2 * DspTables::kPhases);
        EXPECT_LT(peak, 4 * DspTables::kPhases);

        // Every phase passes DC at the read's loss, nothing anywhere above
        // it (a passband ripple above 1 would compound in a frozen loop), and
        // rejects Nyquist.
        for (int p = 0; p < DspTables::kPhases; p += 7)
        {
            double sum = 0.0, alternating = 0.0;
            for (int j = 0; j < s.taps; ++j)
            {
                sum += s.kernel[DspTables::kPhases * j + p];
                alternating += (j % 2 == 0 ? 1.0 : -1.0) * s.kernel[DspTables::kPhases * j + p];
            }
            EXPECT_NEAR(sum * s.gain, s.dc, 1e-4) << p;
            EXPECT_LT(std::abs(alternating * s.gain), 0.05) << p;

            double largest = 0.0;
            for (int bin = 0; bin <= 256; ++bin)
            {
                const double w = DspCommon::kPi * bin / 256.0;
                double re = 0.0, im = 0.0;
                for (int j = 0; j < s.taps; ++j)
                {
                    re += s.kernel[DspTables::kPhases * j + p] * std::cos(w * j);
                    im -= s.kernel[DspTables::kPhases * j + p] * std::sin(w * j);
                }
                largest = std::max(largest, std::hypot(re, im) * s.gain);
            }
            EXPECT_LT(largest, s.largestGain) << s.taps << " taps, phase " << p;
        }
    }
    // Stretched over more taps (a delay that shortens faster than real time),
    // the 32-tap kernel stays below its largest gain too.
    for (double step : { 16.0, 63.3, 200.0, 500.0 })
        for (double frac : { 0.0, 0.37, 0.81 })
        {
            std::vector<double> h;
            for (double phase = frac * step; phase < 16382.0; phase += step)
            {
                const int i = (int) phase;
                const double* k = t.getKernel32();
                h.push_back((k[i] + (k[i + 1] - k[i]) * (phase - i)) * step / DspTables::kPhases);
            }
            double largest = 0.0;
            for (int bin = 0; bin <= 512; ++bin)
            {
                const double w = DspCommon::kPi * bin / 512.0;
                double re = 0.0, im = 0.0;
                for (size_t j = 0; j < h.size(); ++j)
                {
                    re += h[j] * std::cos(w * (double) j);
                    im -= h[j] * std::sin(w * (double) j);
                }
                largest = std::max(largest, std::hypot(re, im));
            }
            EXPECT_LT(largest, DspTables::kKernel32LargestGain) << "step " << step << ", fraction " << frac;
        }
    EXPECT_GT(DspTables::getKernelLatency(t.getKernel32(), 32), 2.0);
    EXPECT_LT(DspTables::getKernelLatency(t.getKernel32(), 32), 4.0);
}

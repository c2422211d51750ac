#include "processor/dsp/DspTables.h"

#include "processor/dsp/DspCommon.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace
{
using Complex = std::complex<double>;

using DspCommon::kPi;

// Cut-off of the interpolators in cycles per sample of the delay ring: a little
// below Nyquist, so the images of the fractional read fall into the stop band.
constexpr double kKernelCutoff = 0.385;
constexpr double kKernel32Beta = 9.0;
constexpr double kKernel16Beta = 7.0;
constexpr int kMinPhaseFftOrder = 17;          // 131072 points, 8 times the longer kernel
constexpr double kLogMagnitudeFloor = 1.0e-12; // -240 dB keeps the cepstrum finite

constexpr double kSemitoneBaseHz = 22.0;

void fft(std::vector<Complex>& x, const std::vector<Complex>& twiddles, bool inverse)
{
    const size_t n = x.size();

    for (size_t i = 1, j = 0; i < n; ++i)
    {
        size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(x[i], x[j]);
    }

    for (size_t len = 2; len <= n; len <<= 1)
    {
        const size_t half = len >> 1;
        const size_t stride = n / len;
        for (size_t start = 0; start < n; start += len)
        {
            for (size_t k = 0; k < half; ++k)
            {
                Complex w = twiddles[k * stride];
                if (inverse)
                    w = std::conj(w);
                const Complex a = x[start + k];
                const Complex b = x[start + k + half] * w;
                x[start + k] = a + b;
                x[start + k + half] = a - b;
            }
        }
    }

    if (inverse)
        for (auto& v : x)
            v /= (double) n;
}

double besselI0(double x)
{
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 64; ++k)
    {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < sum * 1.0e-17)
            break;
    }
    return sum;
}

// A Kaiser-windowed sinc low-pass at phases-times the ring rate, turned into its
// minimum-phase equivalent by folding its real cepstrum, then scaled so that the
// weights of one phase sum to dcGain on average.
std::vector<double> makeMinimumPhaseKernel(int taps, double beta, double dcGain)
{
    const int length = taps * DspTables::kPhases;
    const double centre = 0.5 * (length - 1);
    const double fc = kKernelCutoff / DspTables::kPhases;

    const size_t n = (size_t) 1 << kMinPhaseFftOrder;
    std::vector<Complex> twiddles(n / 2);
    for (size_t k = 0; k < n / 2; ++k)
        twiddles[k] = std::polar(1.0, -2.0 * kPi * (double) k / (double) n);

    std::vector<Complex> x(n, Complex());
    const double i0Beta = besselI0(beta);
    for (int i = 0; i < length; ++i)
    {
        const double t = i - centre;
        const double arg = 2.0 * fc * t;
        const double sinc = std::abs(arg) < 1.0e-12 ? 1.0 : std::sin(kPi * arg) / (kPi * arg);
        const double r = t / (centre + 0.5);
        const double window = besselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / i0Beta;
        x[(size_t) i] = Complex(2.0 * fc * sinc * window, 0.0);
    }

    fft(x, twiddles, false);
    for (auto& v : x)
        v = Complex(std::log(std::max(std::abs(v), kLogMagnitudeFloor)), 0.0);
    fft(x, twiddles, true);

    // Fold the anti-causal half of the cepstrum onto the causal half.
    for (size_t i = 1; i < n / 2; ++i)
    {
        x[i] = Complex(2.0 * x[i].real(), 0.0);
        x[n - i] = Complex();
    }
    x[0] = Complex(x[0].real(), 0.0);
    x[n / 2] = Complex(x[n / 2].real(), 0.0);

    fft(x, twiddles, false);
    for (auto& v : x)
        v = std::exp(v);
    fft(x, twiddles, true);

    std::vector<double> kernel((size_t) length);
    double sum = 0.0;
    for (int i = 0; i < length; ++i)
    {
        kernel[(size_t) i] = x[(size_t) i].real();
        sum += kernel[(size_t) i];
    }

    const double scale = dcGain * DspTables::kPhases / sum;
    for (auto& v : kernel)
        v *= scale;
    return kernel;
}

struct KernelSet
{
    std::vector<double> k32;
    std::vector<double> k16;
};

// The kernels take a few tens of milliseconds to design: every engine of the
// process copies the same result.
const KernelSet& designedKernels()
{
    static const KernelSet set { makeMinimumPhaseKernel(DspTables::kTaps32, kKernel32Beta,
                                                        DspTables::kKernel32PhaseSum),
                                 makeMinimumPhaseKernel(DspTables::kTaps16, kKernel16Beta,
                                                        DspTables::kKernel16PhaseSum) };
    return set;
}
} // namespace

DspTables::DspTables()
{
    const auto& kernels = designedKernels();
    kernel32 = kernels.k32;
    kernel16 = kernels.k16;

    semitones.resize(kSemitoneCount);
    for (int i = 0; i < kSemitoneCount; ++i)
        semitones[(size_t) i] = (float) (kSemitoneBaseHz * std::pow(2.0, i / 12.0));

    fineTune.resize(kFineCount);
    for (int j = 0; j < kFineCount; ++j)
        fineTune[(size_t) j] = (float) std::pow(2.0, j / 1024.0 / 12.0);
}

double DspTables::getKernelLatency(const double* kernel, int taps)
{
    double weighted = 0.0, sum = 0.0;
    for (int i = 0; i < taps * kPhases; ++i)
    {
        const double t = (double) i / kPhases;
        weighted += t * kernel[i];
        sum += kernel[i];
    }
    return sum != 0.0 ? weighted / sum : 0.0;
}

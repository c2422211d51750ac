#pragma once

#include "processor/dsp/DspCommon.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

// What a listener notices in a sound that should be clean: its high band (a
// click or a tick lives there while a low pad does not) and where its
// spectrum is centred (a tone that was not in it moves that).
namespace SoundMeasures
{
// x high-passed at 3 kHz, 8th order (four Butterworth sections), from its
// first sample on: measure windows well after the start.
inline std::vector<double> highBand(const std::vector<float>& x, double rate)
{
    constexpr double kCorner = 3000.0;
    constexpr double kQ[] = { 0.50979558, 0.60134489, 0.89997622, 2.56291545 };
    std::vector<double> y(x.begin(), x.end());
    const double w = DspCommon::kTwoPi * kCorner / rate;
    for (double q : kQ)
    {
        const double alpha = std::sin(w) / (2.0 * q), c = std::cos(w), a0 = 1.0 + alpha;
        const double b0 = (1.0 + c) / 2.0 / a0, b1 = -(1.0 + c) / a0, a1 = -2.0 * c / a0, a2 = (1.0 - alpha) / a0;
        double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
        for (double& v : y)
        {
            const double out = b0 * v + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = out;
            v = out;
        }
    }
    return y;
}

// The peak of [from, to) in dBFS (-400 for silence).
inline double peakDb(const std::vector<double>& y, size_t from, size_t to)
{
    double peak = 0.0;
    for (size_t i = from; i < std::min(to, y.size()); ++i)
        peak = std::max(peak, std::abs(y[i]));
    return peak > 0.0 ? 20.0 * std::log10(peak) : -400.0;
}

// The power-weighted mean frequency (Hz) of [from, to), over Hann-windowed
// stretches of 8192 samples.
inline double centroidHz(const std::vector<float>& x, double rate, size_t from, size_t to)
{
    constexpr size_t kLength = 8192;
    std::vector<double> power(kLength / 2, 0.0);
    for (size_t start = from; start + kLength <= to; start += kLength / 2)
    {
        std::vector<std::complex<double>> a(kLength);
        for (size_t i = 0; i < kLength; ++i)
            a[i] = x[start + i] * (0.5 - 0.5 * std::cos(DspCommon::kTwoPi * (double) i / (double) kLength));
        // In-place radix-2 transform.
        for (size_t i = 1, j = 0; i < kLength; ++i)
        {
            size_t bit = kLength >> 1;
            for (; j & bit; bit >>= 1)
                j ^= bit;
            j ^= bit;
            if (i < j)
                std::swap(a[i], a[j]);
        }
        for (size_t half = 1; half < kLength; half <<= 1)
        {
            const std::complex<double> step = std::polar(1.0, -DspCommon::kPi / (double) half);
            for (size_t i = 0; i < kLength; i += 2 * half)
            {
                std::complex<double> turn = 1.0;
                for (size_t k = 0; k < half; ++k, turn *= step)
                {
                    const std::complex<double> odd = a[i + k + half] * turn;
                    a[i + k + half] = a[i + k] - odd;
                    a[i + k] += odd;
                }
            }
        }
        for (size_t k = 0; k < kLength / 2; ++k)
            power[k] += std::norm(a[k]);
    }
    double sum = 0.0, weighted = 0.0;
    for (size_t k = 0; k < kLength / 2; ++k)
    {
        sum += power[k];
        weighted += power[k] * (double) k * rate / (double) kLength;
    }
    return sum > 0.0 ? weighted / sum : 0.0;
}
} // namespace SoundMeasures

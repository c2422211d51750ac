#pragma once

#include "processor/dsp/DelayCore.h"
#include "processor/dsp/DspCommon.h"
#include "processor/dsp/DspTables.h"

#include <cmath>
#include <memory>
#include <vector>

// A delay core set up as a plain delay (level 1, balance centre, no offset,
// no feedback) and a few measurements on its output.
namespace DspTestRig
{
inline const DspTables& tables()
{
    static const DspTables t;
    return t;
}

inline std::unique_ptr<DelayCore> makeCore(double rate = 44100.0, int maxSeconds = 3)
{
    const auto& t = tables();
    auto core = std::make_unique<DelayCore>(t.getKernel32(), t.getKernel16(), t.getSemitones(), t.getFineTune());
    core->setLevel(0.75f);
    core->setBalance(0.5f);
    core->setStereoOffset(0.5f);
    core->setFeedback(0.0f);
    core->prepare(512, maxSeconds, (float) rate);
    return core;
}

// What an echo keeps of the signal at low frequencies: the 32-tap read of
// modes 2 and 3, the 16-tap read (times its gain) of modes 0 and 1.
inline double readGain(int mode)
{
    return mode >= 2 ? DspTables::kKernel32PhaseSum : DspTables::kKernel16PhaseSum * DspTables::kKernel16ReadGain;
}

struct Stereo
{
    std::vector<float> left, right;
};

// Runs the input through in blocks (in place, as the engine does).
inline Stereo run(DelayCore& core, std::vector<float> left, std::vector<float> right, int block = 512)
{
    for (size_t start = 0; start < left.size(); start += (size_t) block)
    {
        const int n = (int) std::min((size_t) block, left.size() - start);
        core.process(left.data() + start, right.data() + start, left.data() + start, right.data() + start, n);
    }
    return { left, right };
}

inline std::vector<float> impulse(size_t length, float value = 1.0f)
{
    std::vector<float> v(length, 0.0f);
    v[0] = value;
    return v;
}

inline double sum(const std::vector<float>& y, int from, int to)
{
    double s = 0.0;
    for (int i = std::max(from, 0); i < std::min(to, (int) y.size()); ++i)
        s += y[(size_t) i];
    return s;
}

inline double centroid(const std::vector<float>& y, int from, int to)
{
    double s = 0.0, w = 0.0;
    for (int i = std::max(from, 0); i < std::min(to, (int) y.size()); ++i)
    {
        s += y[(size_t) i];
        w += (double) i * y[(size_t) i];
    }
    return s != 0.0 ? w / s : -1.0;
}

inline double rmsOf(const std::vector<float>& y, size_t from, size_t to)
{
    double s = 0.0;
    for (size_t i = from; i < to; ++i)
        s += (double) y[i] * y[i];
    return to > from ? std::sqrt(s / (double) (to - from)) : 0.0;
}

// Amplitude of the component at frequency f (cycles per sample) over [from, to).
inline double amplitude(const std::vector<float>& y, double f, int from, int to)
{
    double c = 0.0, s = 0.0;
    for (int i = from; i < to; ++i)
    {
        const double phase = DspCommon::kTwoPi * f * i;
        c += y[(size_t) i] * std::cos(phase);
        s += y[(size_t) i] * std::sin(phase);
    }
    return 2.0 * std::sqrt(c * c + s * s) / (to - from);
}

inline std::vector<float> sine(size_t length, double f, float amplitudeValue)
{
    std::vector<float> v(length);
    for (size_t i = 0; i < length; ++i)
        v[i] = amplitudeValue * (float) std::sin(DspCommon::kTwoPi * f * (double) i);
    return v;
}
} // namespace DspTestRig

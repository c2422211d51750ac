#pragma once

#include "processor/dsp/DelayEngine.h"

#include <algorithm>
#include <cmath>
#include <vector>

// Helpers shared by the engine's tests: plain line set-ups and block-wise runs.
namespace EngineTest
{
// A line that only delays: level 1, centred, no filter, no drive, no feedback,
// no modulation, no pre-delay, right channel linked to the left.
inline void configurePlainLine(DelayEngine& e, int line, float seconds)
{
    e.setLineParameter(line, 0, 0.0f);   // mix gain 1
    e.setLineParameter(line, 1, 0.5f);   // balance centre
    e.setLineParameter(line, 2, 0.75f);  // level 1.0
    e.setLineParameter(line, 3, 0.0f);
    e.setLineParameter(line, 4, 0.0f);
    e.setLineParameter(line, 5, 0.0f);
    e.setLineParameter(line, 10, 0.0f);  // filter off
    e.setLineParameter(line, 35, 0.0f);  // overdrive off
    e.setLineParameter(line, 39, 0.5f);  // feedback 0
    e.setLineParameter(line, 40, 0.0f);  // not frozen
    e.setLineParameter(line, 41, 0.5f);  // no stereo offset
    e.setLineParameter(line, 44, 0.0f);
    e.setLineParameter(line, 45, 0.0f);
    e.setLineParameter(line, 46, 0.0f);
    e.setLineParameter(line, 11, 0.0f);  // free time
    e.setLineParameter(line, 12, 1.0f);  // linked
    e.setLineParameter(line, 15, seconds);
    e.setLineParameter(line, 16, seconds);
    e.setLineParameter(line, 23, 0.0f);
    e.setLineParameter(line, 24, 1.0f);
    e.setLineParameter(line, 27, 0.0f);  // no pre-delay
    e.setLineParameter(line, 28, 0.0f);
}

inline void configureMaster(DelayEngine& e, int routing, float wet, float outputGain)
{
    e.setGlobalParameter(87, 0.0f);
    e.setGlobalParameter(89, wet);
    e.setGlobalParameter(90, (float) routing / 8.0f);
    e.setGlobalParameter(91, outputGain);
}

// Runs a stereo signal through the engine in blocks, in place.
inline void run(DelayEngine& e, std::vector<float>& left, std::vector<float>& right, int block,
                bool stereoIn = true, bool stereoOut = true)
{
    const int total = (int) left.size();
    for (int done = 0; done < total; done += block)
    {
        float* channels[2] = { left.data() + done, right.data() + done };
        e.process(channels, std::min(block, total - done), stereoIn, stereoOut);
    }
}

// Lets the engine's own smoothers settle on silence.
inline void settle(DelayEngine& e, double seconds)
{
    const int blockSize = e.getBlockSize();
    std::vector<float> l((size_t) (seconds * e.getSampleRate()), 0.0f), r(l.size(), 0.0f);
    run(e, l, r, blockSize);
}

// Sample indices of the distinct echoes: the largest magnitude of each burst of
// samples above the threshold, bursts separated by at least `gap` quiet samples.
inline std::vector<int> findEchoes(const std::vector<float>& x, float threshold, int gap = 64)
{
    std::vector<int> echoes;
    int i = 0;
    const int n = (int) x.size();
    while (i < n)
    {
        if (std::fabs(x[(size_t) i]) < threshold)
        {
            ++i;
            continue;
        }
        int best = i;
        int lastLoud = i;
        int j = i;
        while (j < n && j - lastLoud < gap)
        {
            if (std::fabs(x[(size_t) j]) >= threshold)
                lastLoud = j;
            if (std::fabs(x[(size_t) j]) > std::fabs(x[(size_t) best]))
                best = j;
            ++j;
        }
        echoes.push_back(best);
        i = j;
    }
    return echoes;
}
} // namespace EngineTest

#pragma once

#include "processor/dsp/DelayEngine.h"
#include "processor/dsp/DelayParameters.h"

#include <algorithm>
#include <cmath>
#include <vector>

// Helpers shared by the engine's tests: plain line set-ups and block-wise runs.
namespace EngineTest
{
using P = DelayParameters;

// A line that only delays: level 1, centred, no filter, no drive, no feedback,
// no modulation, no pre-delay, right channel linked to the left.
inline void configurePlainLine(DelayEngine& e, int line, float seconds)
{
    e.setLineParameter(line, P::kLineState, 0.0f);     // mix gain 1
    e.setLineParameter(line, P::kBalance, 0.5f);       // centre
    e.setLineParameter(line, P::kLevel, 0.75f);        // 1.0
    e.setLineParameter(line, P::kMidSide, 0.0f);
    e.setLineParameter(line, P::kSwap, 0.0f);
    e.setLineParameter(line, P::kMono, 0.0f);
    e.setLineParameter(line, P::kFilterType, P::choiceValue(P::kFilterOff, P::kNumFilterTypes));
    e.setLineParameter(line, P::kOverdrive, 0.0f);
    e.setLineParameter(line, P::kFeedback, 0.5f);      // 0
    e.setLineParameter(line, P::kFreeze, 0.0f);
    e.setLineParameter(line, P::kStereoOffset, 0.5f);  // none
    e.setLineParameter(line, P::kTimeModDepth, 0.0f);
    e.setLineParameter(line, P::kCutoffModDepth, 0.0f);
    e.setLineParameter(line, P::kTremoloDepth, 0.0f);
    e.setLineParameter(line, P::kDelaySync, 0.0f);     // free time
    e.setLineParameter(line, P::kDelayJoin, 1.0f);
    e.setLineParameter(line, P::kDelayLeftMs, seconds);
    e.setLineParameter(line, P::kDelayRightMs, seconds);
    e.setLineParameter(line, P::kPreDelaySync, 0.0f);
    e.setLineParameter(line, P::kPreDelayJoin, 1.0f);
    e.setLineParameter(line, P::kPreDelayLeftMs, 0.0f);  // no pre-delay
    e.setLineParameter(line, P::kPreDelayRightMs, 0.0f);
}

inline void configureMaster(DelayEngine& e, int routing, float wet, float outputGain)
{
    e.setGlobalParameter(P::kLimiter, 0.0f);
    e.setGlobalParameter(P::kDryWet, wet);
    e.setGlobalParameter(P::kRouting, P::choiceValue(routing, P::kNumRoutings));
    e.setGlobalParameter(P::kOutputGain, outputGain);
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

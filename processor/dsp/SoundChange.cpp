#include "processor/dsp/SoundChange.h"

#include <algorithm>

void SoundChange::prepare(double sampleRate)
{
    const int length = std::max(1, (int) (sampleRate * kFadeSeconds));
    fadeOutRamp.setLength(length);
    fadeInRamp.setLength(length);
    fadeOutRamp.standAt(true);
    fadeInRamp.standAt(true);
}

void SoundChange::begin(bool audioFlows)
{
    ++openChanges;
    holding = holding || audioFlows;
}

bool SoundChange::end()
{
    openChanges = std::max(0, openChanges - 1);
    if (! holding)
        return false;
    fadeOutRamp.travel(false);
    return true;
}

void SoundChange::holdLine(int line, int k, float v)
{
    const auto i = (size_t) (line * DelayParameters::kNumTemplateParameters + k);
    held.lineValues[i] = v;
    held.lines.set(i);
}

void SoundChange::holdGlobal(int id, float v)
{
    const auto i = (size_t) (id - DelayParameters::kMod1First);
    held.globalValues[i] = v;
    held.globals.set(i);
}

void SoundChange::holdModulatorRate(int modulator, double factor)
{
    held.rates[(size_t) modulator] = factor;
    held.rated.set((size_t) modulator);
}

void SoundChange::holdQuality(int choice)
{
    held.quality = choice;
    held.qualityHeld = true;
}

void SoundChange::applyRamp(RaisedCosineRamp& ramp, float* left, float* right, int numSamples)
{
    for (int done = 0; done < numSamples;)
    {
        const int n = std::min((int) gains.size(), numSamples - done);
        ramp.fill(gains.data(), n);
        for (int i = 0; i < n; ++i)
            left[done + i] *= gains[(size_t) i];
        if (right != nullptr)
            for (int i = 0; i < n; ++i)
                right[done + i] *= gains[(size_t) i];
        done += n;
    }
}

#include "TavinorTestSupport.h"
#include "TestHelpers.h"

#include "core/Preset.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace TavinorTest
{
std::unique_ptr<Tavinor> makeProcessor()
{
    std::unique_ptr<juce::AudioProcessor> p(createPluginFilter());
    auto* t = dynamic_cast<Tavinor*>(p.get());
    if (t == nullptr)
        return nullptr;
    p.release();
    return std::unique_ptr<Tavinor>(t);
}

namespace
{
juce::File factoryPresetFolder()
{
    return TestHelpers::sourceFolder().getChildFile("resources").getChildFile("presets");
}
} // namespace

std::vector<std::string> factoryPresetNames()
{
    std::vector<std::string> names { "" };
    auto files = factoryPresetFolder().findChildFiles(juce::File::findFiles, true, "*.tnprst");
    files.sort();
    for (const auto& f : files)
        names.push_back(f.getRelativePathFrom(factoryPresetFolder()).toStdString());
    return names;
}

std::string presetTestName(const std::string& name, double rate)
{
    std::string testName = name.empty() ? "Default" : name.substr(0, name.find(".tnprst"));
    for (auto& c : testName)
        if (! std::isalnum((unsigned char) c))
            c = '_';
    return testName + "_" + std::to_string((int) rate);
}

std::unique_ptr<Tavinor> processorWithFactoryPreset(const std::string& name)
{
    auto t = makeProcessor();
    if (t == nullptr || name.empty())
        return t;
    auto& pm = t->getParameterManager();
    Preset preset;
    if (! preset.loadFromFile(factoryPresetFolder().getChildFile(name), &pm, false))
        return nullptr;
    preset.addMissingEntries(*t->getDefaultPreset(nullptr));
    t->applyPreset(nullptr, preset);
    return t;
}

void setCleanSingleEcho(Tavinor& t, float leftMs, float rightMs)
{
    auto& pm = t.getParameterManager();
    pm.setText(Tavinor::kRouting, "Parallel");
    pm.setNormalisedValue(Tavinor::kDryWet, 1.0f);
    pm.setNormalisedValue(Tavinor::kOutputGain, 0.5f);
    pm.setBoolValue(Tavinor::kLimiter, false);

    const int base = Tavinor::getLineParameterBase(0);
    pm.setBoolValue(base + Tavinor::kLineState, false);
    pm.setNormalisedValue(base + Tavinor::kLevel, 0.75f);
    pm.setNormalisedValue(base + Tavinor::kBalance, 0.5f);
    pm.setIntValue(base + Tavinor::kMidSide, 0);
    pm.setBoolValue(base + Tavinor::kSwap, false);
    pm.setBoolValue(base + Tavinor::kMono, false);
    pm.setIntValue(base + Tavinor::kFilterType, 0);
    pm.setBoolValue(base + Tavinor::kOverdrive, false);
    pm.setNormalisedValue(base + Tavinor::kFeedback, 0.5f);
    pm.setBoolValue(base + Tavinor::kFreeze, false);
    pm.setNormalisedValue(base + Tavinor::kStereoOffset, 0.5f);
    pm.setNormalisedValue(base + Tavinor::kTimeModDepth, 0.0f);
    pm.setNormalisedValue(base + Tavinor::kCutoffModDepth, 0.0f);
    pm.setNormalisedValue(base + Tavinor::kTremoloDepth, 0.0f);
    pm.setBoolValue(base + Tavinor::kDelaySync, false);
    pm.setBoolValue(base + Tavinor::kDelayJoin, false);
    pm.setValue(base + Tavinor::kDelayLeftMs, leftMs);
    pm.setValue(base + Tavinor::kDelayRightMs, rightMs);
    pm.setBoolValue(base + Tavinor::kPreDelaySync, false);
    pm.setValue(base + Tavinor::kPreDelayLeftMs, 0.0f);
    pm.setValue(base + Tavinor::kPreDelayRightMs, 0.0f);
    for (int line = 1; line < Tavinor::kNumLines; ++line)
        pm.setNormalisedValue(Tavinor::getLineParameterBase(line) + Tavinor::kLevel, 0.0f);
}

Stereo process(Tavinor& t, const Stereo& input, int blockSize, juce::MidiBuffer* midiForFirstBlock)
{
    return processWithChanges(t, input, blockSize, {}, midiForFirstBlock);
}

Stereo processWithChanges(Tavinor& t, const Stereo& input, int blockSize, const std::vector<ChangeAt>& changes,
                          juce::MidiBuffer* midiForFirstBlock)
{
    Stereo out(input.size());
    juce::AudioBuffer<float> buffer(2, blockSize);
    juce::MidiBuffer midi;
    size_t next = 0;
    for (size_t start = 0; start < input.size();)
    {
        for (; next < changes.size() && changes[next].sample <= start; ++next)
            changes[next].make(t);
        size_t end = std::min(start + (size_t) blockSize, input.size());
        if (next < changes.size())
            end = std::min(end, changes[next].sample);
        const int n = (int) (end - start);
        buffer.setSize(2, n, false, false, true);
        buffer.copyFrom(0, 0, input.left.data() + start, n);
        buffer.copyFrom(1, 0, input.right.data() + start, n);
        midi.clear();
        if (start == 0 && midiForFirstBlock != nullptr)
            midi = *midiForFirstBlock;
        t.processBlock(buffer, midi);
        std::copy(buffer.getReadPointer(0), buffer.getReadPointer(0) + n, out.left.begin() + (long) start);
        std::copy(buffer.getReadPointer(1), buffer.getReadPointer(1) + n, out.right.begin() + (long) start);
        start = end;
    }
    return out;
}

Stereo silence(size_t n)
{
    return Stereo(n);
}

Stereo impulse(size_t n)
{
    Stereo s(n);
    if (n > 0)
        s.left[0] = s.right[0] = 1.0f;
    return s;
}

Stereo constant(size_t n, float value)
{
    Stereo s(n);
    std::fill(s.left.begin(), s.left.end(), value);
    std::fill(s.right.begin(), s.right.end(), value);
    return s;
}

Stereo pinkNoise(size_t n, double targetDb, juce::uint32 seed)
{
    // Paul Kellet's economy filter over white noise: pink within 0.5 dB above 40 Hz.
    juce::Random random((juce::int64) seed);
    Stereo s(n);
    for (auto* channel : { &s.left, &s.right })
    {
        double b0 = 0, b1 = 0, b2 = 0;
        for (auto& x : *channel)
        {
            const double white = random.nextDouble() * 2.0 - 1.0;
            b0 = 0.99765 * b0 + white * 0.0990460;
            b1 = 0.96300 * b1 + white * 0.2965164;
            b2 = 0.57000 * b2 + white * 1.0526913;
            x = (float) (b0 + b1 + b2 + white * 0.1848);
        }
        double sum = 0.0;
        for (auto x : *channel)
            sum += (double) x * x;
        const double rms = std::sqrt(sum / (double) std::max<size_t>(1, channel->size()));
        const double gain = std::pow(10.0, targetDb / 20.0) / std::max(rms, 1e-12);
        for (auto& x : *channel)
            x = (float) (x * gain);
    }
    return s;
}

int peakIndex(const std::vector<float>& x)
{
    int best = -1;
    float bestValue = -1.0f;
    for (size_t i = 0; i < x.size(); ++i)
        if (std::abs(x[i]) > bestValue)
        {
            bestValue = std::abs(x[i]);
            best = (int) i;
        }
    return best;
}

double rmsDb(const std::vector<float>& x, size_t from)
{
    double sum = 0.0;
    size_t n = 0;
    for (size_t i = from; i < x.size(); ++i, ++n)
        sum += (double) x[i] * x[i];
    if (n == 0 || sum <= 0.0)
        return -400.0;
    return 10.0 * std::log10(sum / (double) n);
}

bool allFinite(const Stereo& s)
{
    for (auto* channel : { &s.left, &s.right })
        for (auto x : *channel)
            if (! std::isfinite(x))
                return false;
    return true;
}
} // namespace TavinorTest

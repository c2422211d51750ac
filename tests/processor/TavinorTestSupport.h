#pragma once

#include "processor/Tavinor.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace TavinorTest
{
// A play head that answers what the test sets.
class FakePlayHead : public juce::AudioPlayHead
{
public:
    FakePlayHead(double bpm = 120.0, bool playing = true)
    {
        info.setBpm(bpm);
        info.setIsPlaying(playing);
        info.setPpqPosition(0.0);
    }

    juce::Optional<PositionInfo> getPosition() const override { return info; }

    PositionInfo info;
};

// The id of line `line`'s (0-based) parameter k.
inline int lineId(int line, int k)
{
    return Tavinor::getLineParameterBase(line) + k;
}

// A processor made the way a host gets one.
std::unique_ptr<Tavinor> makeProcessor();

// The factory presets by their path below the preset folder, sorted; "" stands
// for the default sound and comes first.
std::vector<std::string> factoryPresetNames();
// A processor with that factory preset applied as the preset browser applies
// it ("" the default sound); null when the preset cannot be read.
std::unique_ptr<Tavinor> processorWithFactoryPreset(const std::string& name);
// The name of a test of that preset at a rate: letters and digits of the
// preset's path ("Default" for ""), then the rate in hertz.
std::string presetTestName(const std::string& name, double rate);

// Sets up a plain, predictable sound: parallel routing, wet only, 0 dB out,
// limiter off, line 1 a single free echo without feedback, filter, overdrive,
// pre-delay or modulation; the other lines silent.
void setCleanSingleEcho(Tavinor& t, float leftMs, float rightMs);

// Processes a stereo signal in blocks of blockSize, returning the output.
struct Stereo
{
    std::vector<float> left, right;
    explicit Stereo(size_t n = 0) : left(n, 0.0f), right(n, 0.0f) {}
    size_t size() const { return left.size(); }
};

Stereo process(Tavinor& t, const Stereo& input, int blockSize, juce::MidiBuffer* midiForFirstBlock = nullptr);
// A change made while the host plays: at that sample, the block split there.
struct ChangeAt
{
    size_t sample;
    std::function<void(Tavinor&)> make;
};
// process(), with each change (in the order of their samples) made on the way.
Stereo processWithChanges(Tavinor& t, const Stereo& input, int blockSize, const std::vector<ChangeAt>& changes,
                          juce::MidiBuffer* midiForFirstBlock = nullptr);
Stereo silence(size_t n);
Stereo impulse(size_t n);
Stereo constant(size_t n, float value);
Stereo pinkNoise(size_t n, double rmsDb, juce::uint32 seed = 12345);

int peakIndex(const std::vector<float>& x);
double rmsDb(const std::vector<float>& x, size_t from = 0);
bool allFinite(const Stereo& s);
} // namespace TavinorTest

// tavinor_demo: the material of the README's demo.
//   tavinor_demo drums OUT.wav [--tempo BPM] [--bars N] [--rate HZ]
//       a deterministic drum loop (kick, snare, hi-hat) in 4/4
//   tavinor_demo chunk PRESET.tnprst OUT.chunk
//       the plug-in's state chunk with that preset applied, as a host would
//       store it, so that the test host can render through the preset; the
//       plug-in runs with user folders of its own in a temporary folder, so
//       the user's settings and presets are neither read nor written

#include "WavFile.h"
#include "core/BasePlugin.h"
#include "core/PresetCollection.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <unistd.h>

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter();

namespace
{
constexpr double kTwoPi = 6.283185307179586;

// A small linear congruential generator, so that the loop is the same on
// every machine.
class Noise
{
public:
    float next()
    {
        state = state * 1664525u + 1013904223u;
        return float(int32_t(state)) / 2147483648.0f;
    }

private:
    uint32_t state = 0x2545F491u;
};

void addKick(std::vector<float>& out, size_t start, double rate)
{
    const size_t length = size_t(0.35 * rate);
    double phase = 0.0;
    for (size_t i = 0; i < length && start + i < out.size(); ++i)
    {
        const double t = double(i) / rate;
        const double frequency = 45.0 + 110.0 * std::exp(-t * 30.0);
        phase += kTwoPi * frequency / rate;
        out[start + i] += float(0.9 * std::sin(phase) * std::exp(-t * 9.0));
    }
}

void addSnare(std::vector<float>& out, size_t start, double rate, Noise& noise)
{
    const size_t length = size_t(0.2 * rate);
    float low = 0.0f;
    for (size_t i = 0; i < length && start + i < out.size(); ++i)
    {
        const double t = double(i) / rate;
        const float n = noise.next();
        low += 0.35f * (n - low);
        const double body = std::sin(kTwoPi * 190.0 * t) * std::exp(-t * 25.0);
        out[start + i] += float(0.45 * (n - low) * std::exp(-t * 18.0) + 0.3 * body);
    }
}

void addHat(std::vector<float>& out, size_t start, double rate, Noise& noise, float level)
{
    const size_t length = size_t(0.05 * rate);
    float previous = 0.0f;
    for (size_t i = 0; i < length && start + i < out.size(); ++i)
    {
        const double t = double(i) / rate;
        const float n = noise.next();
        const float high = n - previous;
        previous = n;
        out[start + i] += float(level * high * std::exp(-t * 80.0));
    }
}

int makeDrums(const std::string& path, double tempo, int bars, double rate)
{
    const double beat = 60.0 / tempo * rate;
    const size_t frames = size_t(beat * 4.0 * bars);
    std::vector<float> mono(frames, 0.0f);
    Noise noise;
    for (int b = 0; b < bars * 4; ++b)
    {
        const size_t at = size_t(b * beat);
        if (b % 2 == 0)
            addKick(mono, at, rate);
        else
            addSnare(mono, at, rate, noise);
        addHat(mono, at, rate, noise, 0.25f);
        addHat(mono, at + size_t(beat / 2), rate, noise, 0.15f);
    }
    // Peaks near -6 dBFS, so the echoes on top have room.
    for (auto& sample : mono)
        sample *= 0.5f;
    WavFile wav;
    wav.sampleRate = rate;
    wav.channels = { mono, mono };
    std::string error;
    if (!wav.write(path, 32, error))
    {
        std::fprintf(stderr, "tavinor_demo: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

// The plug-in's user folders (settings, presets, trash) in a temporary folder
// for as long as it lives, removed afterwards.
class ScratchUserFolders
{
public:
    ScratchUserFolders()
    {
        char pattern[] = "/tmp/tavinor-demo-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            return;
        folder = juce::File(pattern);
        setenv("XDG_CONFIG_HOME", folder.getChildFile("config").getFullPathName().toRawUTF8(), 1);
        setenv("XDG_DATA_HOME", folder.getChildFile("data").getFullPathName().toRawUTF8(), 1);
    }
    ~ScratchUserFolders()
    {
        if (folder != juce::File())
            folder.deleteRecursively();
    }
    bool isReady() const { return folder != juce::File(); }

private:
    juce::File folder;
};

int makeChunk(const std::string& presetPath, const std::string& chunkPath)
{
    // Resolved before the plug-in's folders move away.
    const juce::File presetFile(juce::File::getCurrentWorkingDirectory().getChildFile(presetPath));
    const juce::File out(juce::File::getCurrentWorkingDirectory().getChildFile(chunkPath));
    const ScratchUserFolders scratch;
    if (! scratch.isReady())
    {
        std::fprintf(stderr, "tavinor_demo: no temporary folder\n");
        return 1;
    }
    juce::ScopedJuceInitialiser_GUI juce;
    std::unique_ptr<juce::AudioProcessor> processor(createPluginFilter());
    auto* plugin = dynamic_cast<BasePlugin*>(processor.get());
    if (plugin == nullptr || !presetFile.existsAsFile())
    {
        std::fprintf(stderr, "tavinor_demo: cannot read %s\n", presetPath.c_str());
        return 1;
    }
    // Presets are loaded from the preset folder, where the factory presets
    // are installed: the preset goes into the scratch one first, as its own
    // category.
    auto* collection = plugin->getPresetCollection(0);
    if (collection == nullptr)
        return 1;
    const auto installed = collection->getRootFolder()
                               .getChildFile(presetFile.getParentDirectory().getFileName())
                               .getChildFile(presetFile.getFileName());
    if (installed != presetFile && !(installed.getParentDirectory().createDirectory() && presetFile.copyFileTo(installed)))
    {
        std::fprintf(stderr, "tavinor_demo: cannot install %s\n", presetPath.c_str());
        return 1;
    }
    collection->rescan();
    plugin->loadPresetFile(collection, installed);
    if (plugin->getCurrentPresetPath(collection) != installed)
    {
        std::fprintf(stderr, "tavinor_demo: %s is not a preset of this plug-in\n", presetPath.c_str());
        return 1;
    }
    juce::MemoryBlock chunk;
    processor->getStateInformation(chunk);
    juce::TemporaryFile temporary(out);
    if (!temporary.getFile().replaceWithData(chunk.getData(), chunk.getSize()) || !temporary.overwriteTargetFileWithTemporary())
    {
        std::fprintf(stderr, "tavinor_demo: cannot write %s\n", chunkPath.c_str());
        return 1;
    }
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: tavinor_demo drums OUT.wav [--tempo BPM] [--bars N] [--rate HZ]\n"
                         "       tavinor_demo chunk PRESET.tnprst OUT.chunk\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string command = argv[1];
    if (command == "drums")
    {
        double tempo = 120.0, rate = 44100.0;
        int bars = 2;
        for (int i = 3; i + 1 < argc; i += 2)
        {
            if (std::strcmp(argv[i], "--tempo") == 0)
                tempo = std::atof(argv[i + 1]);
            else if (std::strcmp(argv[i], "--bars") == 0)
                bars = std::atoi(argv[i + 1]);
            else if (std::strcmp(argv[i], "--rate") == 0)
                rate = std::atof(argv[i + 1]);
            else
                return usage();
        }
        if (!(tempo >= 20.0 && tempo <= 400.0) || bars < 1 || bars > 64 || !(rate >= 8000.0 && rate <= 384000.0))
            return usage();
        return makeDrums(argv[2], tempo, bars, rate);
    }
    if (command == "chunk" && argc == 4)
        return makeChunk(argv[2], argv[3]);
    return usage();
}

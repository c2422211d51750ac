// Time the plug-in spends at start-up listing a preset folder, for folders of
// many presets side by side, so that the cost can be seen to grow linearly
// with their number. The goal: 20,000 presets in one folder in under 0.5 s.
// Usage: tavinor_preset_bench [count ...]   (default: 2500 10000 20000)

#include "core/PresetCollection.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
constexpr int kRuns = 3;
const char* const kExtension = ".tnprst";

// Names as users make them: words and numbers, so the natural sort has work.
void fillFolder(const juce::File& folder, int count)
{
    folder.createDirectory();
    const char* const words[] = { "Pad", "Lead", "Dub Echo", "Ping Pong", "Tape", "Shimmer", "Slapback" };
    const juce::String text = "<Preset><param name=\"Dry/Wet\" value=\"0.5\"/></Preset>";
    for (int i = 0; i < count; ++i)
    {
        const auto name = juce::String(words[i % 7]) + " " + juce::String(i / 7 + 1) + (i % 3 == 0 ? " Dark" : "");
        folder.getChildFile(name + kExtension).replaceWithText(text);
    }
}

double secondsToScan(const juce::File& folder, int& found)
{
    double best = 1.0e9;
    for (int run = 0; run < kRuns; ++run)
    {
        PresetCollection collection("Presets", kExtension);
        const auto start = std::chrono::steady_clock::now();
        collection.setRootFolder(folder);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
        found = collection.getNumPresets();
    }
    return best;
}
} // namespace

int main(int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::max(1, std::atoi(argv[i])));
    if (counts.empty())
        counts = { 2500, 10000, 20000 };

    const auto base = juce::File::getSpecialLocation(juce::File::tempDirectory)
                          .getNonexistentChildFile("tavinor-preset-bench", "", false);
    std::printf("%10s %10s %12s %16s\n", "presets", "listed", "scan (s)", "per preset (us)");
    int status = 0;
    for (int count : counts)
    {
        const auto folder = base.getChildFile(juce::String(count));
        fillFolder(folder, count);
        int found = 0;
        const double seconds = secondsToScan(folder, found);
        std::printf("%10d %10d %12.3f %16.2f\n", count, found, seconds, seconds * 1.0e6 / count);
        if (found != count)
            status = 1;
    }
    base.deleteRecursively();
    return status;
}

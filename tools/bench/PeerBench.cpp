// Tavinor side by side with a peer plug-in: the slap-back delay of Debian's
// lsp-plugins-vst ("Slapback Delay Stereo") with four taps on, each with its
// equaliser. Both are loaded as plug-ins through the test host's loader (the
// built Tavinor.so given the settings of BenchSettings.h through its state
// chunk), get the same white noise, and are timed in turns (A, peer, B, peer,
// C, peer, and again) so that the machine's drift falls on both alike.
//
// It prints what one instance of each costs in memory; how far the plug-in's
// output for each setting is from the engine's own; and per setting, at
// 48 kHz with blocks of 512 and at 192 kHz with blocks of 64, the share of a
// core each takes (processing time over audio time, the median of the turns),
// the ratio to the peer (the median of each turn's ratio to the peer's turn
// right after it) with the goal, and the slowest blocks against their
// duration. Without the peer it says so and times Tavinor alone.
//
// Usage: tavinor_peer_bench [--seconds S] [--repeats N] [--setting A|B|C]
//                           [--plugin PATH/Tavinor.so] [--match-only]
// The peer is looked for in VST_PATH and the system's VST folders; install
// it with apt-get install lsp-plugins-vst. tools/bench/run-peer-bench.sh
// installs it and runs the benchmark pinned to two cores.

#include "BenchSettings.h"
#include "BlockTimes.h"
#include "PluginInstance.h"
#include "PluginLibrary.h"
#include "PluginSetup.h"
#include "RecordedSetting.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr const char* kPeerFile = "slap-delay-stereo.so";
constexpr const char* kPeerName = "Slapback Delay Stereo";

struct Configuration
{
    double rate;
    int block;
};
constexpr Configuration kConfigurations[] = { { 48000.0, 512 }, { 192000.0, 64 } };

// The goals: a ratio to the peer, or a 99th-percentile block as a
// share of the block's duration.
struct Goal
{
    const char* key;
    double rate;
    int block;
    double ratio;
    double percentile;
};
constexpr Goal kGoals[] = { { "A", 48000.0, 512, 0.25, 0.0 },
                            { "B", 48000.0, 512, 0.8, 0.0 },
                            { "C", 48000.0, 512, 2.3, 0.0 },
                            { "C", 192000.0, 64, 0.0, 40.0 } };

// Settling before anything is measured, as in the engine's benchmark.
constexpr double kWarmUpSeconds = 5.0;
constexpr double kMatchSeconds = 4.0;
constexpr double kMemorySeconds = 1.0;

// HOME and the desktop's folders of this run, removed at its end: neither
// plug-in reads or writes the user's own.
class TemporaryUserFolders
{
public:
    TemporaryUserFolders()
    {
        char name[] = "/tmp/tavinor-peer-bench-XXXXXX";
        if (mkdtemp(name) == nullptr)
            return;
        folder = name;
        setenv("HOME", folder.c_str(), 1);
        for (const auto& [variable, child] : { std::pair { "XDG_CONFIG_HOME", "config" },
                                               std::pair { "XDG_DATA_HOME", "data" },
                                               std::pair { "XDG_CACHE_HOME", "cache" } })
        {
            const auto path = std::filesystem::path(folder) / child;
            std::filesystem::create_directories(path);
            setenv(variable, path.c_str(), 1);
        }
    }
    ~TemporaryUserFolders()
    {
        std::error_code ec;
        if (! folder.empty())
            std::filesystem::remove_all(folder, ec);
    }
    bool isValid() const { return ! folder.empty(); }

private:
    std::string folder;
};

// The engine benchmark's white noise, from the same seed.
struct Noise
{
    uint32_t seed = 0x12345678u;

    float next()
    {
        seed = seed * 1664525u + 1013904223u;
        return (float) ((double) (int32_t) seed / 2147483648.0) * 0.5f;
    }
};

// One plug-in instance fed its own noise block after block.
struct Runner
{
    std::unique_ptr<PluginInstance> instance;
    Noise noise;
    std::vector<float> in[2], out[2];

    Runner(std::unique_ptr<PluginInstance> i, int block) : instance(std::move(i))
    {
        for (int c = 0; c < 2; ++c)
        {
            in[c].assign((size_t) block, 0.0f);
            out[c].assign((size_t) block, 0.0f);
        }
    }

    void fill(int n)
    {
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 2; ++c)
                in[c][(size_t) i] = noise.next();
    }

    // Seconds the plug-in took for one block.
    double process(int n)
    {
        fill(n);
        float* inputs[2] = { in[0].data(), in[1].data() };
        float* outputs[2] = { out[0].data(), out[1].data() };
        const auto start = std::chrono::steady_clock::now();
        instance->process(inputs, outputs, n);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    void run(double seconds, double rate, int block)
    {
        for (int done = 0; done < (int) (rate * seconds); done += block)
            process(block);
    }
};

std::unique_ptr<PluginInstance> makeTavinor(const PluginLibrary& library, const RecordedSetting* setting, double rate,
                                            int block, std::string& error)
{
    auto instance = PluginInstance::create(library, error);
    if (instance == nullptr)
        return nullptr;
    instance->prepare(rate, block);
    if (setting != nullptr && ! PluginSetup::configureTavinor(*instance, *setting, error))
        return nullptr;
    instance->resume();
    return instance;
}

std::unique_ptr<PluginInstance> makePeer(const PluginLibrary& library, double rate, int block,
                                         std::vector<std::string>& report, std::string& error)
{
    auto instance = PluginInstance::create(library, error);
    if (instance == nullptr)
        return nullptr;
    instance->prepare(rate, block);
    if (! PluginSetup::configurePeer(*instance, report, error))
        return nullptr;
    instance->resume();
    return instance;
}

//==============================================================================
// Memory

struct Usage
{
    double heap;       // bytes in use by malloc, all arenas and mapped blocks
    double resident;   // the process's resident pages
};

Usage usage()
{
    const struct mallinfo2 m = mallinfo2();
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return { (double) (m.uordblks + m.hblkhd), (double) resident * (double) sysconf(_SC_PAGESIZE) };
}

std::string megabytes(double bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f MiB", bytes / (1024.0 * 1024.0));
    return text;
}

// What a first instance and one more beside it cost, each made, prepared
// (48 kHz, 512) and run for a second; made by make.
template <typename Make>
void printMemory(const char* name, Make make, const std::string& error)
{
    const Configuration c = kConfigurations[0];
    std::vector<std::unique_ptr<Runner>> kept;
    std::printf("memory per instance, %s (made, prepared at %.0f Hz, block %d, run %.0f s):\n", name, c.rate,
                c.block, kMemorySeconds);
    for (const char* which : { "first", "one more" })
    {
        const Usage before = usage();
        auto instance = make(c.rate, c.block);
        if (instance == nullptr)
        {
            std::printf("  cannot make an instance: %s\n", error.c_str());
            return;
        }
        kept.push_back(std::make_unique<Runner>(std::move(instance), c.block));
        kept.back()->run(kMemorySeconds, c.rate, c.block);
        // Work the instance hands to threads of its own settles first.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const Usage after = usage();
        std::printf("  %-9s heap in use %s, resident %s\n", which, megabytes(after.heap - before.heap).c_str(),
                    megabytes(after.resident - before.resident).c_str());
    }
}

//==============================================================================
// The plug-in's sound against the engine's

struct Match
{
    double difference;    // the largest difference between the two outputs, dBFS
    double engineLevel;   // RMS levels after the first second, dBFS
    double pluginLevel;
};

double decibels(double level)
{
    return level > 0.0 ? 20.0 * std::log10(level) : -INFINITY;
}

bool matchEngine(const PluginLibrary& library, const RecordedSetting& recorded, const BenchSettings::Setting& setting,
                 Match& match, std::string& error)
{
    const Configuration c = kConfigurations[0];
    auto instance = makeTavinor(library, &recorded, c.rate, c.block, error);
    if (instance == nullptr)
        return false;
    Runner plugin(std::move(instance), c.block);

    DelayEngine engine;
    engine.prepare(c.block, c.rate);
    setting.configure(engine);
    Noise noise;
    std::vector<float> channels[2] = { std::vector<float>((size_t) c.block), std::vector<float>((size_t) c.block) };

    double largest = 0.0, engineSquares = 0.0, pluginSquares = 0.0;
    int counted = 0;
    for (int done = 0; done < (int) (c.rate * kMatchSeconds); done += c.block)
    {
        for (int i = 0; i < c.block; ++i)
            for (auto& channel : channels)
                channel[(size_t) i] = noise.next();
        float* pointers[2] = { channels[0].data(), channels[1].data() };
        engine.process(pointers, c.block, true, true);
        plugin.process(c.block);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < c.block; ++i)
            {
                const double e = channels[ch][(size_t) i];
                const double p = plugin.out[ch][(size_t) i];
                largest = std::max(largest, std::abs(e - p));
                if (done >= (int) c.rate)
                {
                    engineSquares += e * e;
                    pluginSquares += p * p;
                    ++counted;
                }
            }
    }
    match = { decibels(largest), 0.5 * decibels(engineSquares / counted), 0.5 * decibels(pluginSquares / counted) };
    return true;
}

//==============================================================================
// Timing

BlockTimes timeSegment(Runner& runner, double rate, int block, double seconds)
{
    std::vector<double> times;
    for (int done = 0; done < (int) (rate * seconds); done += block)
        times.push_back(runner.process(block));
    return BlockTimes::of(std::move(times), (double) block / rate);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

const Goal* findGoal(const std::string& key, const Configuration& c)
{
    for (const auto& g : kGoals)
        if (key == g.key && g.rate == c.rate && g.block == c.block)
            return &g;
    return nullptr;
}

bool timeConfiguration(const Configuration& c, const PluginLibrary& tavinor, const PluginLibrary* peer,
                       const std::vector<const RecordedSetting*>& settings, double seconds, int repeats)
{
    std::string error;
    std::vector<std::unique_ptr<Runner>> runners;
    for (const auto* s : settings)
    {
        auto instance = makeTavinor(tavinor, s, c.rate, c.block, error);
        if (instance == nullptr)
        {
            std::fprintf(stderr, "Tavinor, setting %s: %s\n", s->key.c_str(), error.c_str());
            return false;
        }
        runners.push_back(std::make_unique<Runner>(std::move(instance), c.block));
    }
    std::unique_ptr<Runner> peerRunner;
    if (peer != nullptr)
    {
        std::vector<std::string> report;
        auto instance = makePeer(*peer, c.rate, c.block, report, error);
        if (instance == nullptr)
        {
            std::fprintf(stderr, "%s: %s\n", kPeerName, error.c_str());
            return false;
        }
        peerRunner = std::make_unique<Runner>(std::move(instance), c.block);
    }

    for (auto& r : runners)
        r->run(kWarmUpSeconds, c.rate, c.block);
    if (peerRunner != nullptr)
        peerRunner->run(kWarmUpSeconds, c.rate, c.block);

    struct Turns
    {
        std::vector<double> core, percentile, slowest, peerCore, peerPercentile, ratio;
    };
    std::vector<Turns> turns(settings.size());
    for (int round = 0; round < repeats; ++round)
        for (size_t s = 0; s < settings.size(); ++s)
        {
            const BlockTimes ours = timeSegment(*runners[s], c.rate, c.block, seconds);
            turns[s].core.push_back(ours.corePercent);
            turns[s].percentile.push_back(ours.slowestPercentile);
            turns[s].slowest.push_back(ours.slowest);
            if (peerRunner == nullptr)
                continue;
            const BlockTimes theirs = timeSegment(*peerRunner, c.rate, c.block, seconds);
            turns[s].peerCore.push_back(theirs.corePercent);
            turns[s].peerPercentile.push_back(theirs.slowestPercentile);
            turns[s].ratio.push_back(ours.corePercent / theirs.corePercent);
        }

    for (size_t s = 0; s < settings.size(); ++s)
    {
        const auto& t = turns[s];
        const Goal* goal = findGoal(settings[s]->key, c);
        char goalText[32] = "-", met[8] = "-", peerCore[16] = "-", ratio[16] = "-", peerPercentile[16] = "-";
        if (peerRunner != nullptr)
        {
            std::snprintf(peerCore, sizeof peerCore, "%.3f", median(t.peerCore));
            std::snprintf(ratio, sizeof ratio, "%.2fx", median(t.ratio));
            std::snprintf(peerPercentile, sizeof peerPercentile, "%.1f", median(t.peerPercentile));
        }
        if (goal != nullptr && goal->ratio > 0.0)
        {
            std::snprintf(goalText, sizeof goalText, "ratio <= %.2fx", goal->ratio);
            if (peerRunner != nullptr)
                std::snprintf(met, sizeof met, "%s", median(t.ratio) <= goal->ratio ? "yes" : "no");
        }
        else if (goal != nullptr)
        {
            std::snprintf(goalText, sizeof goalText, "p99 < %.0f %%", goal->percentile);
            std::snprintf(met, sizeof met, "%s", median(t.percentile) < goal->percentile ? "yes" : "no");
        }
        std::printf("%7.0f %6d  %-3s %9.3f %8.3f %8s %8s %15s %4s %10.1f %10.1f %9s\n", c.rate, c.block,
                    settings[s]->key.c_str(), median(t.core), *std::min_element(t.core.begin(), t.core.end()),
                    peerCore, ratio, goalText, met, median(t.percentile), median(t.slowest), peerPercentile);
        std::fflush(stdout);
    }
    return true;
}

std::string programFolder()
{
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
}

int usageError()
{
    std::fprintf(stderr, "usage: tavinor_peer_bench [--seconds S] [--repeats N] [--setting A|B|C] "
                         "[--plugin PATH/Tavinor.so] [--match-only]\n");
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    double seconds = 5.0;
    int repeats = 3;
    std::string only;
    std::string pluginPath = programFolder() + "/../../Tavinor.so";
    bool matchOnly = false;
    for (int i = 1; i < argc; ++i)
    {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--match-only") == 0)
            matchOnly = true;
        else if (std::strcmp(argv[i], "--seconds") == 0 && hasValue)
            seconds = std::max(0.5, std::atof(argv[++i]));
        else if (std::strcmp(argv[i], "--repeats") == 0 && hasValue)
            repeats = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--setting") == 0 && hasValue)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--plugin") == 0 && hasValue)
            pluginPath = argv[++i];
        else
            return usageError();
    }

    const TemporaryUserFolders userFolders;
    if (! userFolders.isValid())
    {
        std::fprintf(stderr, "cannot make a temporary folder for the plug-ins\n");
        return 1;
    }

    std::string error;
    PluginLibrary tavinor;
    if (! tavinor.load(pluginPath, error))
    {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    const auto recorded = RecordedSetting::recordAll();
    std::vector<const RecordedSetting*> settings;
    for (const auto& r : recorded)
        if (only.empty() || r.key == only)
            settings.push_back(&r);
    if (settings.empty())
        return usageError();

    // The plug-in's sound for each setting against the engine's own.
    std::printf("Tavinor.so given each setting through its state chunk, against the engine given it directly "
                "(%.0f Hz, block %d, %.0f s of noise):\n",
                kConfigurations[0].rate, kConfigurations[0].block, kMatchSeconds);
    for (const auto* r : settings)
        for (const auto& s : BenchSettings::kSettings)
            if (r->key == s.key)
            {
                Match match {};
                if (! matchEngine(tavinor, *r, s, match, error))
                {
                    std::fprintf(stderr, "Tavinor, setting %s: %s\n", r->key.c_str(), error.c_str());
                    return 1;
                }
                std::printf("  %s: largest difference %.1f dBFS; level after the first second %.3f dBFS RMS, "
                            "the engine's %.3f\n",
                            s.key, match.difference, match.pluginLevel, match.engineLevel);
            }
    if (matchOnly)
        return 0;

    PluginLibrary peer;
    const std::string peerPath = PluginSetup::findPlugin(kPeerFile, PluginSetup::searchFolders());
    bool havePeer = false;
    if (peerPath.empty())
        std::printf("\nLSP's %s is not installed (%s in VST_PATH or the system's VST folders; "
                    "apt-get install lsp-plugins-vst): Tavinor alone.\n",
                    kPeerName, kPeerFile);
    else if (! peer.load(peerPath, error))
        std::printf("\nLSP's %s cannot be loaded (%s): Tavinor alone.\n", kPeerName, error.c_str());
    else
        havePeer = true;

    if (havePeer)
    {
        std::vector<std::string> report;
        auto probe = makePeer(peer, kConfigurations[0].rate, kConfigurations[0].block, report, error);
        if (probe == nullptr)
        {
            std::fprintf(stderr, "%s: %s\n", kPeerName, error.c_str());
            return 1;
        }
        std::printf("\npeer: %s (\"%s\"), set:", peerPath.c_str(), probe->getString(effGetEffectName, 64).c_str());
        for (const auto& line : report)
            std::printf(" %s;", line.c_str());
        std::printf("\n");
    }

    std::printf("\n");
    printMemory("Tavinor.so, default sound", [&](double rate, int block) {
        return makeTavinor(tavinor, nullptr, rate, block, error);
    }, error);
    if (havePeer)
        printMemory("peer", [&](double rate, int block) {
            std::vector<std::string> report;
            return makePeer(peer, rate, block, report, error);
        }, error);

    std::printf("\ntimes: %d turns of %.1f s per setting%s; %% core = processing time over audio time (median, "
                "best); ratio = the median of each turn's ratio to the peer's turn after it; p99 and slowest "
                "block in %% of the block's duration\n",
                repeats, seconds, havePeer ? ", each followed by a turn of the peer" : "");
    std::printf("%7s %6s  %-3s %9s %8s %8s %8s %15s %4s %10s %10s %9s\n", "rate", "block", "", "ours %", "best",
                "peer %", "ratio", "goal", "met", "p99 %", "slowest %", "peer p99");
    for (const auto& c : kConfigurations)
        if (! timeConfiguration(c, tavinor, havePeer ? &peer : nullptr, settings, seconds, repeats))
            return 1;
    return 0;
}

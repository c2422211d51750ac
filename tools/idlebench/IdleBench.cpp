// tavinor_idle_bench: what idle instances of a plug-in cost, as a host holds
// them between sessions of work: made, prepared and resumed, with no editor
// open and no audio running. It loads the plug-in file as a host does and
// prints the process's processor time over the wall-clock time, as a share of
// one core, for each count of instances.
//
//   tavinor_idle_bench [PLUGIN.so] [--seconds S] [--counts N,M,...]
//
// The plug-in gets a home of its own in a temporary folder, so that the
// user's settings and presets are neither read nor written.

#include "PluginInstance.h"
#include "PluginLibrary.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace
{
double processSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The process's share of one core while it sleeps for the given time.
double idleShare(double seconds)
{
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = processSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = processSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    return 100.0 * cpu / wall;
}

std::string defaultPlugin(const char* argv0)
{
    // Beside the build tree's tools folder: build/Tavinor.so.
    const auto self = std::filesystem::weakly_canonical(std::filesystem::path(argv0));
    return (self.parent_path().parent_path().parent_path() / "Tavinor.so").string();
}

struct ScratchHome
{
    ScratchHome()
    {
        char pattern[] = "/tmp/tavinor-idle-XXXXXX";
        if (const char* made = mkdtemp(pattern))
            path = made;
        if (path.empty())
            return;
        setenv("HOME", path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (path + "/.config").c_str(), 1);
        setenv("XDG_DATA_HOME", (path + "/.local/share").c_str(), 1);
    }
    ~ScratchHome()
    {
        std::error_code ignored;
        if (! path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

int usage()
{
    std::fprintf(stderr, "usage: tavinor_idle_bench [PLUGIN.so] [--seconds S] [--counts N,M,...]\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    std::string pluginPath = defaultPlugin(argv[0]);
    double seconds = 10.0;
    std::vector<int> counts { 1, 16 };
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--counts") == 0 && i + 1 < argc)
        {
            counts.clear();
            std::stringstream list(argv[++i]);
            for (std::string item; std::getline(list, item, ',');)
                counts.push_back(std::atoi(item.c_str()));
        }
        else if (argv[i][0] != '-')
            pluginPath = argv[i];
        else
            return usage();
    }
    if (! (seconds > 0.0) || counts.empty())
        return usage();
    for (int n : counts)
        if (n < 0 || n > 256)
            return usage();

    const ScratchHome home;
    if (home.path.empty())
    {
        std::fprintf(stderr, "tavinor_idle_bench: no temporary folder\n");
        return 1;
    }

    std::printf("idle cost of %s, %.1f s each (the process's processor time over the wall-clock time)\n",
                pluginPath.c_str(), seconds);
    std::printf("%-24s %s\n", "instances", "% of one core");
    std::printf("%-24s %.3f\n", "0 (the library unloaded)", idleShare(seconds));

    PluginLibrary library;
    std::string error;
    if (! library.load(pluginPath, error))
    {
        std::fprintf(stderr, "tavinor_idle_bench: %s\n", error.c_str());
        return 1;
    }
    for (int n : counts)
    {
        std::vector<std::unique_ptr<PluginInstance>> instances;
        for (int i = 0; i < n; ++i)
        {
            auto instance = PluginInstance::create(library, error);
            if (instance == nullptr)
            {
                std::fprintf(stderr, "tavinor_idle_bench: %s\n", error.c_str());
                return 1;
            }
            instance->prepare(48000.0, 512);
            instance->resume();
            instances.push_back(std::move(instance));
        }
        // What the start-up set off settles first.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::printf("%-24d %.3f\n", n, idleShare(seconds));
        std::fflush(stdout);
        for (auto& instance : instances)
            instance->suspend();
    }
    return 0;
}

// Processing cost of the delay engine on white noise (or on silence), for the
// three settings of BenchSettings.h: the share of one core that the engine
// takes (processing time over audio time, in percent) and the slowest blocks
// against their duration (the 99th percentile and the very slowest, in
// percent).
//
// Usage: tavinor_bench [--seconds S] [--repeats N] [--setting A|B|C]
//                      [--rate HZ] [--block N] [--input noise|silence]
// With --input silence the engine hears nothing from the start, warm-up
// included: what a session costs while the track it sits on is silent.
// Each figure is the median of the repeats; the share of a core is also given
// as the best repeat, which other work on a shared machine disturbs least. Pin
// the run to a quiet core: taskset -c 3 tavinor_bench --repeats 5

#include "BenchSettings.h"
#include "BlockTimes.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using Result = BlockTimes;

// The measured blocks go through here, apart from the warm-up: an instruction
// profiler can count these alone (valgrind --tool=callgrind
// --toggle-collect=measuredProcess* tavinor_bench ...).
__attribute__((noinline)) void measuredProcess(DelayEngine& engine, float** channels, int numSamples)
{
    engine.process(channels, numSamples, true, true);
}

Result run(const BenchSettings::Setting& s, double rate, int block, double seconds, bool silent)
{
    DelayEngine engine;
    engine.prepare(block, rate);
    s.configure(engine);

    uint32_t seed = 0x12345678u;
    auto noise = [&seed, silent]() {
        if (silent)
            return 0.0f;
        seed = seed * 1664525u + 1013904223u;
        return (float) ((double) (int32_t) seed / 2147483648.0) * 0.5f;
    };

    const int total = (int) (rate * seconds);
    // Five seconds to settle: what a newly prepared engine does while its
    // smoothers arrive is not what it does for the rest of a session.
    const int warmUp = (int) (rate * 5.0);
    std::vector<float> left((size_t) block), right((size_t) block);
    std::vector<double> times;
    times.reserve((size_t) (total / block + 1));
    for (int done = -warmUp; done < total; done += block)
    {
        for (int i = 0; i < block; ++i)
        {
            left[(size_t) i] = noise();
            right[(size_t) i] = noise();
        }
        float* channels[2] = { left.data(), right.data() };
        if (done < 0)
        {
            engine.process(channels, block, true, true);
            continue;
        }
        const auto start = std::chrono::steady_clock::now();
        measuredProcess(engine, channels, block);
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double>(end - start).count());
    }
    return BlockTimes::of(std::move(times), (double) block / rate);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double best(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}
} // namespace

int main(int argc, char** argv)
{
    double seconds = 5.0;
    int repeats = 1;
    std::string only;
    double onlyRate = 0.0;
    int onlyBlock = 0;
    bool silent = false;
    bool usable = true;
    for (int i = 1; i + 1 < argc; i += 2)
    {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(0.5, std::atof(argv[i + 1]));
        else if (std::strcmp(argv[i], "--repeats") == 0)
            repeats = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--setting") == 0)
            only = argv[i + 1];
        else if (std::strcmp(argv[i], "--rate") == 0)
            onlyRate = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--block") == 0)
            onlyBlock = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--input") == 0 && std::strcmp(argv[i + 1], "noise") == 0)
            silent = false;
        else if (std::strcmp(argv[i], "--input") == 0 && std::strcmp(argv[i + 1], "silence") == 0)
            silent = true;
        else
            usable = false;
    }
    if (! usable || argc % 2 == 0)
    {
        std::fprintf(stderr, "usage: tavinor_bench [--seconds S] [--repeats N] [--setting A|B|C] [--rate HZ] "
                             "[--block N] [--input noise|silence]\n");
        return 1;
    }

    const double rates[] = { 44100.0, 48000.0, 96000.0, 192000.0 };
    const int blocks[] = { 64, 512 };

    std::printf("input: %s\n", silent ? "silence" : "white noise");
    std::printf("%-3s %-88s %7s %6s %8s %8s %12s %10s\n", "", "setting", "rate", "block", "% core", "best", "p99 block %",
                "slowest %");
    for (const auto& s : BenchSettings::kSettings)
    {
        if (! only.empty() && only != s.key)
            continue;
        for (double rate : rates)
        {
            if (onlyRate > 0.0 && rate != onlyRate)
                continue;
            for (int block : blocks)
            {
                if (onlyBlock > 0 && block != onlyBlock)
                    continue;
                std::vector<double> core, percentile, slowest;
                for (int r = 0; r < repeats; ++r)
                {
                    const Result result = run(s, rate, block, seconds, silent);
                    core.push_back(result.corePercent);
                    percentile.push_back(result.slowestPercentile);
                    slowest.push_back(result.slowest);
                }
                std::printf("%-3s %-88s %7.0f %6d %8.3f %8.3f %12.1f %10.1f\n", s.key, s.description, rate, block,
                            median(core), best(core), median(percentile), median(slowest));
                std::fflush(stdout);
            }
        }
    }
    return 0;
}

// Processing cost of the delay engine on white noise, printed as the ratio of
// processing time to audio time and as the worst single block against that
// block's duration. Usage: tavinor_bench [seconds of audio per run]

#include "core/ParameterManager.h"
#include "processor/Tavinor.h"
#include "processor/dsp/DelayEngine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <vector>

namespace
{
struct Scenario
{
    const char* name;
    void (*configure)(DelayEngine&);
};

void setFreeTimes(DelayEngine& e, int line, float left, float right)
{
    e.setLineParameter(line, 11, 0.0f);
    e.setLineParameter(line, 15, left);
    e.setLineParameter(line, 16, right);
}

// Four parallel lines at their initial settings, half wet: the base that the
// two costly settings below change.
void configureBase(DelayEngine& e)
{
    for (int line = 0; line < DelayEngine::kNumLines; ++line)
    {
        e.setLineParameter(line, 0, 0.0f);
        e.setLineParameter(line, 2, 0.75f);
        e.setLineParameter(line, 1, 0.5f);
    }
    e.setGlobalParameter(89, 0.5f);
    e.setGlobalParameter(91, 0.5f);
}

// The product's default sound, as a new instance starts: every value of the
// shipped parameter set, lines 2 to 4 silent, the default realtime quality.
void configureDefault(DelayEngine& e)
{
    ParameterManager parameters;
    parameters.loadFromResource("parameters.xml");
    for (int line = 0; line < DelayEngine::kNumLines; ++line)
        for (int k = 0; k < Tavinor::kNumTemplateParameters; ++k)
            e.setLineParameter(line, k, parameters.getNormalisedValue(k));
    for (int line = 1; line < DelayEngine::kNumLines; ++line)
        e.setLineParameter(line, 2, 0.0f);
    for (int id = Tavinor::kMod1First; id <= Tavinor::kOutputGain; ++id)
        e.setGlobalParameter(id, parameters.getNormalisedValue(id));
    e.setQuality(parameters.getIntValue(Tavinor::kRealtimeQuality));
    e.setTempo(120.0);
}

// Free LFO rate control for a rate in hertz (inverse of the rate curve).
float rateControl(double hz)
{
    return (float) (std::log((hz + 1.494765100692059) / 1.5947651006752834) / 3.258840824040285);
}

// Four parallel lines, each with filter, overdrive and loop filter, modulated by
// a 2 Hz sine; quality 2.
void configureRich(DelayEngine& e)
{
    configureBase(e);
    e.setGlobalParameter(47, 0.0f);
    e.setGlobalParameter(56, 0.75f);  // sine
    e.setGlobalParameter(54, rateControl(2.0));
    for (int line = 0; line < DelayEngine::kNumLines; ++line)
    {
        setFreeTimes(e, line, 0.11f + 0.07f * (float) line, 0.13f + 0.05f * (float) line);
        e.setLineParameter(line, 10, 1.0f / 3.0f);  // low-pass
        e.setLineParameter(line, 8, 0.6f);
        e.setLineParameter(line, 9, 0.3f);
        e.setLineParameter(line, 7, 1.0f);          // second copy in the loop
        e.setLineParameter(line, 35, 1.0f);         // overdrive
        e.setLineParameter(line, 36, 0.4f);
        e.setLineParameter(line, 37, 0.7f);
        e.setLineParameter(line, 38, 0.5f);
        e.setLineParameter(line, 39, 0.8f);
        e.setLineParameter(line, 42, 0.0f);
        e.setLineParameter(line, 44, 0.2f);
        e.setLineParameter(line, 45, 0.3f);
    }
    e.setGlobalParameter(90, 0.0f);
    e.setQuality(2);
}

// The most expensive settings: highest quality, tapped serial, a 10 Hz LFO at
// full time depth with cut-off and tremolo modulation, band-pass at full
// resonance before the overdrive, limiter on.
void configureWorst(DelayEngine& e)
{
    configureBase(e);
    e.setGlobalParameter(47, 0.0f);
    e.setGlobalParameter(56, 0.75f);
    e.setGlobalParameter(54, rateControl(10.0));
    for (int line = 0; line < DelayEngine::kNumLines; ++line)
    {
        setFreeTimes(e, line, 0.09f + 0.03f * (float) line, 0.1f + 0.04f * (float) line);
        e.setLineParameter(line, 10, 2.0f / 3.0f);  // band-pass
        e.setLineParameter(line, 9, 1.0f);
        e.setLineParameter(line, 8, 0.5f);
        e.setLineParameter(line, 6, 0.0f);          // before the overdrive
        e.setLineParameter(line, 7, 1.0f);
        e.setLineParameter(line, 35, 1.0f);
        e.setLineParameter(line, 36, 0.6f);
        e.setLineParameter(line, 37, 0.9f);
        e.setLineParameter(line, 39, 0.85f);
        e.setLineParameter(line, 42, 0.0f);
        e.setLineParameter(line, 43, 0.0f);
        e.setLineParameter(line, 44, 1.0f);
        e.setLineParameter(line, 45, 1.0f);
        e.setLineParameter(line, 46, 1.0f);
        e.setLineParameter(line, 27, 0.02f);
    }
    e.setGlobalParameter(90, 2.0f / 8.0f);       // "Tapped Serial"
    e.setGlobalParameter(87, 1.0f);
    e.setGlobalParameter(88, 0.5f);
    e.setQuality(3);
}

struct Result
{
    double realTimeRatio;
    double worstBlock;
};

Result run(const Scenario& s, double rate, int block, double seconds)
{
    DelayEngine engine;
    engine.prepare(block, rate);
    s.configure(engine);

    uint32_t seed = 0x12345678u;
    auto noise = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return (float) ((double) (int32_t) seed / 2147483648.0) * 0.5f;
    };

    const int total = (int) (rate * seconds);
    const int warmUp = (int) (rate * 0.25);
    std::vector<float> left((size_t) block), right((size_t) block);
    const double blockSeconds = (double) block / rate;
    double busy = 0.0;
    double worst = 0.0;
    int measured = 0;
    for (int done = -warmUp; done < total; done += block)
    {
        for (int i = 0; i < block; ++i)
        {
            left[(size_t) i] = noise();
            right[(size_t) i] = noise();
        }
        float* channels[2] = { left.data(), right.data() };
        const auto start = std::chrono::steady_clock::now();
        engine.process(channels, block, true, true);
        const auto end = std::chrono::steady_clock::now();
        if (done >= 0)
        {
            const double t = std::chrono::duration<double>(end - start).count();
            busy += t;
            worst = std::max(worst, t);
            measured += block;
        }
    }
    return { busy / ((double) measured / rate), worst / blockSeconds };
}
} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::max(0.5, std::atof(argv[1])) : 5.0;
    const Scenario scenarios[] = {
        { "A default", configureDefault },
        { "B four lines, filter, drive, loop filter, 2 Hz sine, quality 2", configureRich },
        { "C worst case, quality 3, tapped serial, limiter", configureWorst },
    };
    const double rates[] = { 44100.0, 96000.0, 192000.0 };
    const int blocks[] = { 64, 512 };

    std::printf("%-62s %8s %6s %12s %12s\n", "scenario", "rate", "block", "cpu/audio", "worst block");
    for (const auto& s : scenarios)
        for (double rate : rates)
            for (int block : blocks)
            {
                const Result r = run(s, rate, block, seconds);
                std::printf("%-62s %8.0f %6d %12.4f %12.4f\n", s.name, rate, block, r.realTimeRatio, r.worstBlock);
                std::fflush(stdout);
            }
    return 0;
}

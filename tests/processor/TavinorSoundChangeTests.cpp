#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "TavinorTestSupport.h"
#include "dsp/SoundMeasures.h"

#include "core/Preset.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace TavinorTest;

// The sound changed while a pad plays (a 220 Hz sine at 0.3), as a host or the
// editor changes it: the block split at the sample of the change. A click
// shows as high frequencies: the output high-passed at 3 kHz (8th order), its
// peak in dBFS from just before the change to well past the first echoes of
// the new sound.

namespace
{
constexpr double kRate = 48000.0;
constexpr double kPadHz = 220.0;
constexpr double kPadLevel = 0.3;
constexpr int kBlock = 512;
constexpr auto kChangeAt = (size_t) (1.5 * kRate);
// Watched from 10 ms before the change to 1.2 s after it.
constexpr auto kWatchFrom = kChangeAt - (size_t) (0.01 * kRate);
constexpr auto kWatchTo = kChangeAt + (size_t) (1.2 * kRate);

// Comes in over 50 ms, so that its own start clicks nowhere.
Stereo pad()
{
    Stereo s(kWatchTo + (size_t) (0.1 * kRate));
    const double onset = 0.05 * kRate;
    for (size_t i = 0; i < s.size(); ++i)
    {
        const double fade = (double) i < onset ? 0.5 - 0.5 * std::cos(3.141592653589793 * (double) i / onset) : 1.0;
        s.left[i] = s.right[i] = (float) (kPadLevel * fade * std::sin(6.283185307179586 * kPadHz * (double) i / kRate));
    }
    return s;
}

// A factory preset ("" the default sound), prepared as a host prepares it.
std::unique_ptr<Tavinor> preparedProcessor(const std::string& preset)
{
    auto t = processorWithFactoryPreset(preset);
    if (t != nullptr)
        t->prepareToPlay(kRate, kBlock);
    return t;
}

// As a host plays it, with change(t) (if any) made at kChangeAt.
Stereo play(Tavinor& t, const Stereo& input, std::function<void(Tavinor&)> change = nullptr)
{
    std::vector<ChangeAt> changes;
    if (change)
        changes.push_back({ kChangeAt, std::move(change) });
    return processWithChanges(t, input, kBlock, changes);
}

// Peak in dBFS of both channels high-passed at 3 kHz over the watched stretch.
double highFrequencyPeakDb(const Stereo& s)
{
    double peak = -400.0;
    for (const auto* channel : { &s.left, &s.right })
    {
        const std::vector<float> watched(channel->begin(), channel->begin() + (long) kWatchTo);
        peak = std::max(peak, SoundMeasures::peakDb(SoundMeasures::highBand(watched, kRate), kWatchFrom, kWatchTo));
    }
    return peak;
}

double largestStep(const Stereo& s)
{
    double step = 0.0;
    for (const auto* channel : { &s.left, &s.right })
        for (size_t i = kWatchFrom + 1; i < kWatchTo; ++i)
            step = std::max(step, (double) std::abs((*channel)[i] - (*channel)[i - 1]));
    return step;
}
} // namespace

// A factory preset loaded while the pad plays, as a host's state (its program
// change loads one too) or from the preset browser, and two states that differ
// only in their routing: the old sound goes and the new one comes without a
// step. Over the change the output has no more high frequencies than either
// sound has of its own there (3 dB spare), or they lie under -90 dBFS.
TEST(TavinorSoundChange, ALoadWhileAPadPlaysGoesFromTheOldSoundToTheNewWithoutAStep)
{
    enum class Way { state, browser };
    struct Case
    {
        std::string from, to;
        const char* routing;   // the state to load is `from` in this routing, when given
        Way way;
    };
    const Case cases[] = {
        { "", "Rhythmic/Serial Cascade.tnprst", nullptr, Way::state },
        { "Echoes/Slapback.tnprst", "Limiter/Safe Feedback Wash.tnprst", nullptr, Way::state },
        { "Modulation/Chorus Echo.tnprst", "Rhythmic/Mixed 3 Twin Chains.tnprst", nullptr, Way::state },
        { "Filter and Drive/Dark Tape Echo.tnprst", "Echoes/Ping Pong Eighths.tnprst", nullptr, Way::browser },
        { "Limiter/Limited Slap.tnprst", "", nullptr, Way::browser },
        { "Rhythmic/Four Tap Parallel.tnprst", "Echoes/Long Free Echo.tnprst", nullptr, Way::browser },
        { "Rhythmic/Four Tap Parallel.tnprst", "", "Serial", Way::state },
        { "Rhythmic/Four Tap Parallel.tnprst", "", "Mixed 3", Way::state },
    };
    const Stereo input = pad();
    for (const auto& c : cases)
    {
        // What is loaded, and the new sound by itself from the start.
        auto source = preparedProcessor(c.routing != nullptr ? c.from : c.to);
        ASSERT_NE(source, nullptr) << c.to;
        if (c.routing != nullptr)
            source->getParameterManager().setText(Tavinor::kRouting, c.routing);
        juce::MemoryBlock state;
        source->getStateInformation(state);
        const auto preset = source->createPresetToSave(nullptr, {});
        const auto newSound = play(*source, input);

        auto old = preparedProcessor(c.from);
        const auto oldSound = play(*old, input);

        auto t = preparedProcessor(c.from);
        const auto changed = play(*t, input, [&](Tavinor& p) {
            if (c.way == Way::state)
                p.setStateInformation(state.getData(), (int) state.getSize());
            else
                p.applyPreset(nullptr, *preset);
        });
        ASSERT_TRUE(allFinite(changed));

        const double own = std::max(highFrequencyPeakDb(oldSound), highFrequencyPeakDb(newSound));
        const double heard = highFrequencyPeakDb(changed);
        const std::string what = (c.from.empty() ? "Default" : c.from) + " -> "
                                 + (c.routing != nullptr ? c.routing : c.to.empty() ? "Default" : c.to)
                                 + (c.way == Way::state ? " (state)" : " (browser)");
        std::printf("%-80s HF %7.1f dBFS (own %7.1f), largest step %.4f\n", what.c_str(), heard, own,
                    largestStep(changed));
        EXPECT_LE(heard, std::max(own + 3.0, -90.0)) << what;
    }
}

// The routing chosen in the editor (or by the host) while the pad plays: no
// click, neither at the change nor when the lines give back what they took in
// since: no high frequencies over -90 dBFS, and no step over 4 times the
// pad's own.
TEST(TavinorSoundChange, ARoutingChangedWhileAPadPlaysMakesNoClick)
{
    struct Case
    {
        const char* preset;
        const char* from;
        const char* to;
    };
    const Case cases[] = {
        { "", "Parallel", "Serial" },
        { "Rhythmic/Four Tap Parallel.tnprst", "Parallel", "Serial" },
        { "Rhythmic/Four Tap Parallel.tnprst", "Parallel", "Mixed 3" },
        { "Rhythmic/Serial Cascade.tnprst", "Serial", "Tapped Serial" },
        { "Rhythmic/Mixed 3 Twin Chains.tnprst", "Mixed 3", "Mixed 6" },
    };
    const Stereo input = pad();
    const double padStep = kPadLevel * 2.0 * std::sin(3.141592653589793 * kPadHz / kRate);
    for (const auto& c : cases)
    {
        auto t = preparedProcessor(c.preset);
        ASSERT_NE(t, nullptr) << c.preset;
        t->getParameterManager().setText(Tavinor::kRouting, c.from);
        const auto changed =
            play(*t, input, [&](Tavinor& p) { p.getParameterManager().setText(Tavinor::kRouting, c.to); });
        const double heard = highFrequencyPeakDb(changed);
        const double step = largestStep(changed);
        const std::string what = std::string(c.preset) + " " + c.from + " -> " + c.to;
        std::printf("%-80s HF %7.1f dBFS, largest step %.4f (%.1f times the pad's)\n", what.c_str(), heard, step,
                    step / padStep);
        EXPECT_LT(heard, -90.0) << what;
        EXPECT_LE(step, 4.0 * padStep) << what;
    }
}

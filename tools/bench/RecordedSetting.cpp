#include "RecordedSetting.h"

// The settings are written against the engine; they are read here by handing
// them a stand-in with the engine's name that notes every call instead. The
// real headers come first, so BenchSettings.h's own includes are already done
// and only its settings land in this namespace, where the stand-in is the
// nearest DelayEngine. A setting that calls anything else fails to compile here.
#include "core/ParameterManager.h"
#include "processor/Tavinor.h"
#include "processor/dsp/DelayEngine.h"

#include <cmath>

namespace Recording
{
class DelayEngine
{
public:
    static constexpr int kNumLines = ::DelayEngine::kNumLines;

    explicit DelayEngine(RecordedSetting& s) : setting(s) {}

    void setLineParameter(int line, int k, float v)
    {
        setting.values.push_back({ Tavinor::getLineParameterBase(line) + k, v });
    }
    void setGlobalParameter(int id, float v) { setting.values.push_back({ id, v }); }
    void setQuality(int choice) { setting.quality = choice; }
    void setTempo(double bpm) { setting.tempo = bpm; }

private:
    RecordedSetting& setting;
};

#include "BenchSettings.h"
} // namespace Recording

namespace
{
// Where a freshly prepared engine starts elsewhere than a new instance of the
// plug-in, in what the settings leave alone: each line's pre-delays at
// 100 ms, no stereo offset, overdrive gain 0.1, MOD 1's stereo phase 0.
// Without them the plug-in would run another sound than the engine's.
void startLikeTheEngine(RecordedSetting& r)
{
    for (int line = 0; line < DelayEngine::kNumLines; ++line)
    {
        const int base = Tavinor::getLineParameterBase(line);
        r.values.push_back({ base + Tavinor::kPreDelayLeftMs, 0.1f });
        r.values.push_back({ base + Tavinor::kPreDelayRightMs, 0.1f });
        r.values.push_back({ base + Tavinor::kStereoOffset, 0.0f });
        r.values.push_back({ base + Tavinor::kOverdriveGain, 0.1f });
    }
    r.values.push_back({ Tavinor::kMod1First + Tavinor::kModulatorStereoPhase, 0.0f });
}
} // namespace

std::vector<RecordedSetting> RecordedSetting::recordAll()
{
    std::vector<RecordedSetting> all;
    for (const auto& s : Recording::BenchSettings::kSettings)
    {
        RecordedSetting r;
        r.key = s.key;
        r.description = s.description;
        startLikeTheEngine(r);
        Recording::DelayEngine recorder(r);
        s.configure(recorder);
        all.push_back(std::move(r));
    }
    return all;
}

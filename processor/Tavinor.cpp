#include "processor/Tavinor.h"

#include "core/FolderWalk.h"
#include "core/PluginGuiRoot.h"
#include "core/XmlHelpers.h"
#include "processor/dsp/DelayEngine.h"

// Written by the build (cmake/BuildDate.cmake).
#include "BuildDate.h"

#include <algorithm>
#include <bitset>
#include <cmath>

namespace
{
// Each free time has a knob, two template ids before its milliseconds, that
// moves along the logarithmic curve; the milliseconds are what the engine uses.
constexpr int kKnobToTime = 2;
constexpr int kTimeKnobs[] = { Tavinor::kDelayLeftKnob, Tavinor::kDelayRightKnob,
                               Tavinor::kPreDelayLeftKnob, Tavinor::kPreDelayRightKnob };
static_assert(Tavinor::kDelayLeftMs == Tavinor::kDelayLeftKnob + kKnobToTime
              && Tavinor::kDelayRightMs == Tavinor::kDelayRightKnob + kKnobToTime
              && Tavinor::kPreDelayLeftMs == Tavinor::kPreDelayLeftKnob + kKnobToTime
              && Tavinor::kPreDelayRightMs == Tavinor::kPreDelayRightKnob + kKnobToTime);

// Each denominator of a note value follows its numerator.
constexpr int kNumeratorToDenominator = 1;
static_assert(Tavinor::kDelayLeftDenominator == Tavinor::kDelayLeftNumerator + kNumeratorToDenominator
              && Tavinor::kDelayRightDenominator == Tavinor::kDelayRightNumerator + kNumeratorToDenominator
              && Tavinor::kPreDelayLeftDenominator == Tavinor::kPreDelayLeftNumerator + kNumeratorToDenominator
              && Tavinor::kPreDelayRightDenominator == Tavinor::kPreDelayRightNumerator + kNumeratorToDenominator);

static_assert(std::size(kTimeKnobs) == Tavinor::kNumTimeKnobs);

bool isTimeKnob(int k)
{
    return std::find(std::begin(kTimeKnobs), std::end(kTimeKnobs), k) != std::end(kTimeKnobs);
}

constexpr int kNumRetriggerRecords = 4;
constexpr int kFallbackBlockSize = 1024;

constexpr const char* kPresetExtension = ".tnprst";
constexpr const char* kPresetFolderName = "presetDirectory";
constexpr const char* kParametersStateName = "ParametersState";
constexpr const char* kEditionStateName = "EditionStateParameters";
constexpr const char* kTimeKnobsStateName = "TimeKnobsState";
constexpr const char* kDefaultSettingsName = "DefaultSettingsParameters";
constexpr const char* kOldPresetVersion = "1.0";

constexpr int kFirstLegacyEditionId = 122;   // 122..125 are read as 101..104
constexpr int kFirstLegacyDefaultsId = 118;  // 118..121 are read as 105..108
constexpr int kOldStateQuality = DelayParameters::kQualityBest;

// The pair writes of a knob and its millisecond time come back to the pair's
// own handler; this keeps the answer from bouncing back and forth when the
// two conversions do not round-trip to the last bit.
thread_local bool writingTimePartner = false;

// Gains that are exactly 1 in theory come out a hair off in double; they must
// not read "-0.00 dB".
constexpr double kDecibelRoundingNoise = 1.0e-9;

// Display numbers are truncated toward zero. The normalised values are
// floats, so 35 % arrives as 34.9999994; rounding to four decimals first keeps
// that noise from costing a whole unit.
constexpr double kTruncationResolution = 1.0e4;

int truncated(double x)
{
    if (! std::isfinite(x))
        return 0;
    x = std::round(std::clamp(x, -2.0e9, 2.0e9) * kTruncationResolution) / kTruncationResolution;
    return (int) std::trunc(x);
}

juce::String decibelText(double x)
{
    if (! (x > 0.0))
        return "-inf.";
    double dB = 20.0 * std::log10(x);
    if (std::abs(dB) < kDecibelRoundingNoise)
        dB = 0.0;
    if (dB >= 0.0)
        return "+" + juce::String(dB, 1) + " dB";
    if (dB == -320.0)
        return "-inf.";
    return juce::String(dB, 1) + " dB";
}

juce::String secondsText(double t)
{
    if (t >= 1.0)
        return juce::String(t, 1) + " s";
    return juce::String(truncated(1000.0 * t)) + " ms";
}

juce::String percentPairText(double v, const char* suffix)
{
    const int p = truncated(100.0 * v);
    return juce::String(100 - p) + "/" + juce::String(p) + suffix;
}

constexpr int kNumEngineGlobals = Tavinor::kOutputGain - Tavinor::kMod1First + 1;
} // namespace

//==============================================================================
// While a state is loaded, the engine writes of the parameters it sets on
// this thread are held and made at the end in one step under the engine
// lock. Audio running meanwhile goes on with the old settings until that
// step, and with the new ones after it: never a block of a half-loaded state,
// and never a wait of the audio thread for the whole load.
class Tavinor::EngineUpdateBatch
{
public:
    explicit EngineUpdateBatch(Tavinor& t) : owner(t), outer(active) { active = this; }

    ~EngineUpdateBatch()
    {
        active = outer;
        // The values are read before the engine lock is taken: parameter
        // setters take the two locks the other way round.
        auto& pm = owner.getParameterManager();
        std::array<float, kNumLines * kNumTemplateParameters> lineValues {};
        std::array<float, kNumEngineGlobals> globalValues {};
        for (size_t i = 0; i < lineValues.size(); ++i)
            if (lines[i])
                lineValues[i] = pm.getNormalisedValue(getLineParameterBase((int) i / kNumTemplateParameters)
                                                      + (int) i % kNumTemplateParameters);
        for (size_t i = 0; i < globalValues.size(); ++i)
            if (globals[i])
                globalValues[i] = pm.getNormalisedValue(kMod1First + (int) i);
        const int quality = pm.getIntValue(owner.isNonRealtime() ? kOfflineQuality : kRealtimeQuality);

        const juce::ScopedLock sl(owner.engineLock);
        auto& engine = *owner.engine;
        // A state that changes the sound makes a new one; the same state again changes nothing.
        const bool changes = lines.any() || globals.any() || qualityHeld
                             || std::find(rates.begin(), rates.end(), true) != rates.end();
        if (changes)
            engine.beginSoundChange();
        for (size_t i = 0; i < lineValues.size(); ++i)
            if (lines[i])
                engine.setLineParameter((int) i / kNumTemplateParameters, (int) i % kNumTemplateParameters,
                                        lineValues[i]);
        for (size_t i = 0; i < globalValues.size(); ++i)
            if (globals[i])
                engine.setGlobalParameter(kMod1First + (int) i, globalValues[i]);
        for (size_t m = 0; m < rates.size(); ++m)
            if (rates[m])
            {
                const double rate = owner.rateFactors[m] * owner.rateScales[m];
                owner.pendingClockRates[m].store(rate);
                engine.setModulatorRate((int) m, rate);
            }
        if (qualityHeld)
            engine.setQuality(quality);
        if (changes)
            engine.endSoundChange();
    }

    // The batch of this thread's load of t, if there is one.
    static EngineUpdateBatch* of(const Tavinor& t)
    {
        for (auto* b = active; b != nullptr; b = b->outer)
            if (&b->owner == &t)
                return b;
        return nullptr;
    }

    void holdLine(int line, int k) { lines.set((size_t) (line * kNumTemplateParameters + k)); }
    void holdGlobal(int id) { globals.set((size_t) (id - kMod1First)); }
    void holdRate(int modulator) { rates[(size_t) modulator] = true; }
    void holdQuality() { qualityHeld = true; }

private:
    static thread_local EngineUpdateBatch* active;

    Tavinor& owner;
    EngineUpdateBatch* const outer;
    std::bitset<kNumLines * kNumTemplateParameters> lines;
    std::bitset<kNumEngineGlobals> globals;
    std::array<bool, kNumModulators> rates {};
    bool qualityHeld = false;
};

thread_local Tavinor::EngineUpdateBatch* Tavinor::EngineUpdateBatch::active = nullptr;

//==============================================================================
Tavinor::Tavinor(EditorFactory factory) : editorFactory(std::move(factory))
{
    for (auto& r : pendingClockRates)
        r.store(1.0);
    for (auto& m : retriggerModes)
        m.store(0);

    auto& pm = getParameterManager();

    for (auto& c : clocks)
        c = std::make_unique<Clock>();
    engine = std::make_unique<DelayEngine>();

    // The knob positions of the proxies follow their millisecond times.
    for (const int k : kTimeKnobs)
        if (auto* knob = pm.getParameter(k))
            knob->setNormalisedValue((float) knobFromTime(pm.getNormalisedValue(k + kKnobToTime)), false);

    for (int line = 0; line < kNumLines; ++line)
    {
        const juce::String prefix = "Line " + juce::String(line + 1) + " ";
        for (int k = 0; k < kNumTemplateParameters; ++k)
            if (auto* templ = pm.getParameter(k))
                pm.addParameter(templ->clone(getLineParameterBase(line) + k, prefix + templ->getName()));
    }

    // Only the first line sounds in a new instance.
    for (int line = 1; line < kNumLines; ++line)
        if (auto* level = pm.getParameter(getLineParameterBase(line) + kLevel))
            level->setNormalisedValue(0.0f, false);

    pm.storeDefaultValues();

    for (int line = 0; line < kNumLines; ++line)
    {
        const int base = getLineParameterBase(line);
        parametersStateIds.addRange({ base, base + kNumTemplateParameters });
        for (const int k : kTimeKnobs)
        {
            parametersStateIds.removeRange({ base + k, base + k + 1 });
            timeKnobsStateIds.addRange({ base + k, base + k + 1 });
        }
        parametersStateIds.removeRange({ base + kFreeze, base + kFreeze + 1 });
        linePadlocks[(size_t) line].setRange(base, base + kNumTemplateParameters - 1);

        juce::SparseSet<int> lineIds;
        lineIds.addRange({ base, base + kNumTemplateParameters });
        linePresets[(size_t) line] = std::make_unique<Preset>();
        pm.storeToPreset(*linePresets[(size_t) line], lineIds);
    }
    parametersStateIds.addRange({ kMod1First, kSelectedLine });
    editionStateIds.addRange({ kSelectedLine, kDefaultMod1RetriggerChannel });
    defaultSettingsIds.addRange({ kDefaultMod1RetriggerChannel, kDefaultRealtimeQuality });
    fxAmountPadlock.setIndex(kDryWet);

    pm.storeToPreset(defaultPreset, parametersStateIds);
    defaultPreset.setName("Default");

    for (int k = kMidSide; k < kNumTemplateParameters; ++k)
        if (auto* templ = pm.getParameter(k))
            lineClipboard.add(templ->clone(k, templ->getName()).release());

    const auto presetFolder = getUserDataFolder().getChildFile("Presets");
    addNamedFolder(kPresetFolderName, presetFolder, true);
    setDefaultPresetFile(presetFolder.getChildFile(juce::String("Default") + kPresetExtension));
    initPresetCollection(kPresetExtension, presetFolder);

    // The collection has just walked the folder: only a preset counts as an
    // earlier installation, not an empty folder (one the user made, or a
    // category left behind).
    auto* collection = getPresetCollection(0);
    presetFolderHadPresets = collection != nullptr && collection->getNumPresets() > 0;
}

Tavinor::~Tavinor()
{
    saveUserSettingsOnClose();
    deleteEditorComponent();
}

juce::String Tavinor::getBuildDate() const
{
    return TAVINOR_BUILD_DATE;
}

bool Tavinor::isBusesLayoutSupported(const BusesLayout& layouts) const
{
    const int ins = layouts.getMainInputChannels();
    const int outs = layouts.getMainOutputChannels();
    return (ins == 1 || ins == 2) && (outs == 1 || outs == 2);
}

std::unique_ptr<PluginGuiRoot> Tavinor::createEditorComponent()
{
    return editorFactory != nullptr ? editorFactory(*this) : nullptr;
}

bool Tavinor::isPreDelayPanelShown(int line)
{
    if (line < 0 || line >= kNumLines)
        return false;
    return getParameterManager().getIntValue(kFirstPanel + line) != kStageDelay;
}

//==============================================================================
// Parameter dispatch

void Tavinor::parameterChanged(Parameter* p)
{
    if (p == nullptr)
        return;

    auto& pm = getParameterManager();
    const int id = p->getId();

    if (id >= 0 && id < kNumTemplateParameters)
    {
        pm.setFromParameter(getSelectedLineParameterBase() + id, *p);
    }
    else if (isLineParameterId(id))
    {
        handleLineParameter(p, lineOfId(id), templateIndexOfId(id));
    }
    else if (id >= kMod1First && id <= kOutputGain)
    {
        handleGlobalParameter(p, id);
    }
    else
    {
        switch (id)
        {
            case kSelectedLine:
                selectLine(p->getIntValue() - 1);
                break;
            case kPresetName:
                setPresetModified(true);
                break;
            case kMaxDelayTime:
            {
                suspendProcessing(true);
                bool changed = true;
                int heldSeconds = 0;
                {
                    const juce::ScopedLock sl(engineLock);
                    changed = engine->setMaxDelayTime(p->getIntValue());
                    heldSeconds = engine->getMaxDelayTime();
                }
                suspendProcessing(false);
                // Without memory for the longer rings the engine keeps the
                // maximum it had; the parameter shows what is in force.
                if (!changed)
                    getParameterManager().setIntValue(kMaxDelayTime, heldSeconds);
                break;
            }
            case kRealtimeQuality:
            case kOfflineQuality:
                // Only the quality of the mode the host runs us in reaches the engine.
                if ((id == kOfflineQuality) == isNonRealtime())
                {
                    if (auto* batch = EngineUpdateBatch::of(*this))
                        batch->holdQuality();
                    else
                    {
                        const juce::ScopedLock sl(engineLock);
                        engine->setQuality(p->getIntValue());
                    }
                }
                break;
            case kMod1RetriggerChannel:
            case kMod2RetriggerChannel:
            case kDefaultMod1RetriggerChannel:
            case kDefaultMod2RetriggerChannel:
                retriggerNotes[(size_t) ((id - kMod1RetriggerChannel) / 2)].setChannel(p->getIntValue());
                break;
            case kMod1RetriggerNote:
            case kMod2RetriggerNote:
            case kDefaultMod1RetriggerNote:
            case kDefaultMod2RetriggerNote:
                retriggerNotes[(size_t) ((id - kMod1RetriggerNote) / 2)].setNote(p->getIntValue());
                break;
            case kTapLeft:
            case kTapRight:
                tap(id, p->getBoolValue());
                break;
            default:
                if (id >= kFirstNoteLearn && id <= kLastNoteLearn)
                    setNoteLearn(id, p->getBoolValue());
                break;
        }
    }

    BasePlugin::parameterChanged(p);
}

void Tavinor::handleLineParameter(Parameter* p, int line, int k)
{
    auto& pm = getParameterManager();
    const float v = p->getNormalisedValue();

    setPresetModified(true);
    if (auto* batch = EngineUpdateBatch::of(*this))
        batch->holdLine(line, k);
    else
    {
        const juce::ScopedLock sl(engineLock);
        engine->setLineParameter(line, k, v);
    }

    const bool knob = isTimeKnob(k);
    if ((knob || isTimeKnob(k - kKnobToTime)) && ! writingTimePartner)
        settleTimePair(line, knob ? k : k - kKnobToTime, knob);

    if (line == getSelectedLine())
        pm.setFromParameter(k, *p);
}

void Tavinor::settleTimePair(int line, int knobK, bool knobLeads)
{
    // A state loading and automation playing may write the knob and the time
    // at once: each write says which of the two leads, and one thread at a
    // time brings the other after it, again while writes come in, so the pair
    // ends as the last of them left it. Nobody waits for anybody.
    const auto index = std::find(std::begin(kTimeKnobs), std::end(kTimeKnobs), knobK) - std::begin(kTimeKnobs);
    auto& pair = timePairs[(size_t) (line * kNumTimeKnobs + index)];
    pair.knobLeads.store(knobLeads);
    pair.due.store(true);
    while (pair.due.load() && ! pair.settling.exchange(true))
    {
        while (pair.due.exchange(false))
            bringTimePartner(line, knobK, pair.knobLeads.load());
        pair.settling.store(false);
    }
}

void Tavinor::bringTimePartner(int line, int knobK, bool knobLeads)
{
    auto& pm = getParameterManager();
    const int knobId = getLineParameterBase(line) + knobK;
    const float knob = pm.getNormalisedValue(knobId);
    const float time = pm.getNormalisedValue(knobId + kKnobToTime);
    // A knob that already stands where its time puts it (the start-up
    // broadcast, a pasted line, a host echoing the value back) must not
    // rewrite the time: the round trip through the curve would move a
    // stored 375 ms to 374.99997 ms.
    if (knobLeads && (float) knobFromTime(time) == knob)
        return;
    writingTimePartner = true;
    if (knobLeads)
        pm.setNormalisedValue(knobId + kKnobToTime, (float) timeFromKnob(knob));
    else
        pm.setNormalisedValue(knobId, (float) knobFromTime(time));
    writingTimePartner = false;
}

void Tavinor::handleGlobalParameter(Parameter* p, int id)
{
    const float v = p->getNormalisedValue();

    setPresetModified(true);
    if (auto* batch = EngineUpdateBatch::of(*this))
        batch->holdGlobal(id);
    else
    {
        const juce::ScopedLock sl(engineLock);
        engine->setGlobalParameter(id, v);
    }

    const int modulator = id < kMod2First ? 0 : 1;
    switch (id)
    {
        case kMod1RetriggerMode:
        case kMod2RetriggerMode:
            retriggerModes[(size_t) modulator].store(p->getIntValue());
            break;
        case kMod1Rate:
        case kMod2Rate:
        case kMod1Scale:
        case kMod2Scale:
            updateModulatorRate(modulator, *p, id == kMod1Rate || id == kMod2Rate);
            break;
        case kLimiter:
            limiterOn.store(v >= 0.5f);
            updateLatency();
            break;
        default:
            break;
    }
}

void Tavinor::updateModulatorRate(int modulator, const Parameter& changed, bool rateChanged)
{
    // Any thread may change the rate or the scale, several at once. The choice
    // is read under the engine lock, not when its change was announced:
    // whoever takes the lock last reads the latest value, so the clock and the
    // engine always end at the rate that the parameters show.
    const juce::ScopedLock sl(engineLock);
    const int i = changed.getIntValue();
    if (rateChanged && i >= 0 && i < kNumSyncedRates)
        rateFactors[(size_t) modulator] = DelayParameters::syncedRateFactor(i);
    if (! rateChanged && i >= 0 && i < (int) std::size(kRhythmicScales))
        rateScales[(size_t) modulator] = kRhythmicScales[i];

    if (auto* batch = EngineUpdateBatch::of(*this))
    {
        batch->holdRate(modulator);
        return;
    }
    const double rate = rateFactors[(size_t) modulator] * rateScales[(size_t) modulator];
    pendingClockRates[(size_t) modulator].store(rate);
    engine->setModulatorRate(modulator, rate);
}

void Tavinor::tap(int switchId, bool on)
{
    // The host (audio or its own thread) and the editor may both press a tap
    // switch: taking the old state in one step taps once per press.
    const bool wasOn = tapSwitchState[switchId - kTapLeft].exchange(on);
    if (on && ! wasOn)
    {
        auto& pm = getParameterManager();
        const int line = getSelectedLine();
        const int stage = isPreDelayPanelShown(line) ? kStagePreDelay : kStageDelay;
        const int joinProxy = stage == kStageDelay ? kDelayJoin : kPreDelayJoin;
        const int channel = (switchId == kTapLeft || pm.getBoolValue(joinProxy)) ? kTapChannelLeft : kTapChannelRight;
        // Only raises an atomic trigger, so it needs no lock.
        engine->tapTime(line, stage, channel);
    }
}

void Tavinor::setNoteLearn(int switchId, bool on)
{
    retriggerNotes[(size_t) (switchId - kFirstNoteLearn)].setLearning(on);
    if (! on)
        return;
    // One record learns at a time.
    for (int other = kFirstNoteLearn; other <= kLastNoteLearn; ++other)
        if (other != switchId)
            getParameterManager().setBoolValue(other, false);
}

Parameter* Tavinor::getSelectedLineParameterFor(const Parameter* proxy)
{
    if (proxy == nullptr || proxy->getId() < 0 || proxy->getId() >= kNumTemplateParameters)
        return nullptr;
    return getParameterManager().getParameter(getSelectedLineParameterBase() + proxy->getId());
}

void Tavinor::parameterChangeGestureBegin(Parameter* p)
{
    if (auto* lineParameter = getSelectedLineParameterFor(p))
        lineParameter->beginChangeGesture();
    BasePlugin::parameterChangeGestureBegin(p);
}

void Tavinor::parameterChangeGestureEnd(Parameter* p)
{
    if (auto* lineParameter = getSelectedLineParameterFor(p))
        lineParameter->endChangeGesture();
    BasePlugin::parameterChangeGestureEnd(p);
}

void Tavinor::processingModeChanged(bool nonRealtime)
{
    const int quality = getParameterManager().getIntValue(nonRealtime ? kOfflineQuality : kRealtimeQuality);
    const juce::ScopedLock sl(engineLock);
    engine->setQuality(quality);
}

void Tavinor::deliverDueNotices()
{
    BasePlugin::deliverDueNotices();
    latencyPublisher.deliverIfDue();
}

void Tavinor::applyQualityForCurrentMode()
{
    processingModeChanged(isNonRealtime());
}

void Tavinor::updateLatency()
{
    {
        // The limiter delays everything it passes by its look-ahead.
        const juce::ScopedLock sl(engineLock);
        latencyInForce.store(limiterOn.load() ? engine->getLimiter().getLookAheadSamples() : 0);
    }
    latencyPublisher.publish();
}

void Tavinor::LatencyPublisher::publish()
{
    // The message thread changes while the host drives it: asked under
    // JUCE's lock of it, never by reading it unlocked, and not from the
    // host's audio paths, which only mark the change due.
    if (isInAudioScope())
    {
        triggerUpdate();
    }
    else if (juce::MessageManager::existsAndIsCurrentThread())
    {
        cancelPendingUpdate();
        handleAsyncUpdate();
    }
    // A latency as JUCE has it already (a host's resume on its audio thread,
    // at the rate it had) posts nothing: posting allocates.
    else if (owner.getLatencyInForce() != published.load())
    {
        triggerAsyncUpdate();
    }
}

void Tavinor::LatencyPublisher::handleAsyncUpdate()
{
    // Until what JUCE has is what is in force: a change made meanwhile on
    // another thread that still saw the old value published posted nothing.
    for (;;)
    {
        const int latency = owner.getLatencyInForce();
        owner.setLatencySamples(latency);
        published.store(latency);
        if (owner.getLatencyInForce() == latency)
            return;
    }
}

void Tavinor::selectLine(int line)
{
    line = std::clamp(line, 0, kNumLines - 1);
    if (line == selectedLine.load())
        return;
    selectedLine.store(line);
    auto& pm = getParameterManager();
    const int base = getLineParameterBase(line);
    for (int k = 0; k < kNumTemplateParameters; ++k)
        pm.copyValue(k, base + k);
}

ParameterPadlock* Tavinor::getLinePadlock(int line)
{
    if (line < 0 || line >= kNumLines)
        return nullptr;
    return &linePadlocks[(size_t) line];
}

void Tavinor::getOutputLevels(float& left, float& right) const
{
    if (engine != nullptr)
        engine->getOutputLevels(left, right);
}

void Tavinor::getOutputClips(bool& left, bool& right) const
{
    if (engine != nullptr)
        engine->getOutputClips(left, right);
}

void Tavinor::getLineLevels(float levels[8]) const
{
    if (engine != nullptr)
        engine->getLineLevels(levels);
}

void Tavinor::addListener(Listener* l)
{
    if (l != nullptr)
        listeners.add(l);
}

void Tavinor::removeListener(Listener* l)
{
    listeners.remove(l);
}

//==============================================================================
// Display names and texts

juce::String Tavinor::getPluginParameterName(int id)
{
    if (isLineParameterId(id))
    {
        const int k = templateIndexOfId(id);
        const juce::String n(lineOfId(id) + 1);
        switch (k)
        {
            case kDelayLeftMs: case kDelayRightMs: case kPreDelayLeftMs: case kPreDelayRightMs:
                return getParameterManager().getParameterName(id - kKnobToTime);
            case kDelayLeftNumerator: case kDelayLeftDenominator:
                return "Line " + n + " Delay Left Duration";
            case kDelayRightNumerator: case kDelayRightDenominator:
                return "Line " + n + " Delay Right Duration";
            case kPreDelayLeftNumerator: case kPreDelayLeftDenominator:
                return "Line " + n + " Pre-delay Left Duration";
            case kPreDelayRightNumerator: case kPreDelayRightDenominator:
                return "Line " + n + " Pre-delay Right Duration";
            default:
                break;
        }
    }
    return BasePlugin::getPluginParameterName(id);
}

juce::String Tavinor::getMillisecondsText(int id)
{
    return juce::String((double) getParameterManager().getValue(id), 2) + " ms";
}

juce::String Tavinor::getLineParameterText(int line, int k, int id)
{
    auto& pm = getParameterManager();
    const double v = pm.getNormalisedValue(id);
    const int base = id - k; // 0 for the proxies, the line's base otherwise

    switch (k)
    {
        case kBalance:
            return percentPairText(v, " % (L/R)");
        case kLevel:
            return decibelText(DelayParameters::levelGain(v));
        case kCutoff:
            return juce::String(DelayParameters::cutoffHz(v), 2) + " Hz";
        case kResonance: case kTimeModDepth: case kCutoffModDepth: case kTremoloDepth:
            return juce::String(truncated(100.0 * v)) + " %";
        case kDelayLeftKnob: case kDelayRightKnob: case kPreDelayLeftKnob: case kPreDelayRightKnob:
            return getMillisecondsText(id + kKnobToTime);
        case kDelayLeftMs: case kDelayRightMs: case kPreDelayLeftMs: case kPreDelayRightMs:
            return getMillisecondsText(id);
        case kDelayLeftNumerator: case kDelayRightNumerator:
        case kPreDelayLeftNumerator: case kPreDelayRightNumerator:
            return pm.getText(id) + "/" + pm.getText(id + kNumeratorToDenominator);
        case kDelayLeftDenominator: case kDelayRightDenominator:
        case kPreDelayLeftDenominator: case kPreDelayRightDenominator:
            return pm.getText(id - kNumeratorToDenominator) + "/" + pm.getText(id);
        case kPreamp:
        {
            const double g = DelayParameters::preampDecibels(v);
            return (g > 0.0 ? "+" : "") + juce::String(g, 2) + " dB";
        }
        case kColor: case kFeedback:
        {
            const int q = truncated(100.0 * DelayParameters::bipolar(v));
            return (q < 1 ? "" : "+") + juce::String(q) + " %";
        }
        case kOverdriveGain:
        {
            double dB = 20.0 * std::log10(DelayParameters::overdriveGain(v));
            if (std::abs(dB) < kDecibelRoundingNoise)
                dB = 0.0;
            return juce::String(dB, 2) + " dB";
        }
        case kFreeze:
            return "@";
        case kStereoOffset:
        {
            double leftMs = 0.0;
            if (engine != nullptr)
            {
                const juce::ScopedLock sl(engineLock);
                leftMs = engine->getLeftTimeMs(line);
            }
            const double s = DelayParameters::stereoOffsetFraction(v) * leftMs;
            const int mode = pm.getIntValue(base + kMidSide);
            if (mode != kInputLeftRight && mode != kInputMidSide)
                return percentPairText(pm.getNormalisedValue(base + kBalance), " % (L/R)");
            const char* first = mode == kInputLeftRight ? "Left " : "Mid ";
            const char* second = mode == kInputLeftRight ? "Right " : "Side ";
            if (s <= -0.01)
                return first + juce::String(-s, 2) + " ms";
            if (s >= 0.01)
                return second + juce::String(s, 2) + " ms";
            return "No spread";
        }
        default:
            break;
    }
    return BasePlugin::getPluginParameterText(id);
}

juce::String Tavinor::getPluginParameterText(int id)
{
    if (id >= 0 && id < kNumTemplateParameters)
        return getLineParameterText(getSelectedLine(), id, id);
    if (isLineParameterId(id))
        return getLineParameterText(lineOfId(id), templateIndexOfId(id), id);

    const double v = getParameterManager().getNormalisedValue(id);
    if (isModulatorId(id))
    {
        switch (modulatorParameterOfId(id))
        {
            case kModulatorFrequency:
                return juce::String(DelayParameters::freeRateHz(v), 2) + " Hz";
            case kModulatorStereoPhase:
                return juce::String(DelayParameters::stereoPhaseDegrees(v), 1) + " deg";
            case kEnvelopeAttack:
                return secondsText(DelayParameters::attackSeconds(v));
            case kEnvelopeDecay: case kEnvelopeRelease:
                return secondsText(DelayParameters::envelopeSeconds(v));
            case kEnvelopeHold:
                return secondsText(DelayParameters::holdSeconds(v));
            case kEnvelopeSustain: case kFollowerSensitivity: case kFollowerAttack: case kFollowerRelease:
            case kDetectorSpeed:
                return juce::String(truncated(100.0 * v)) + "%";
            case kDetectorOnThreshold: case kDetectorOffThreshold:
                // + 0.0: the top of the range would read "-0.0".
                return juce::String(-DelayParameters::kDetectorRangeDb * v + 0.0, 1) + " dB";
            default:
                break;
        }
        return BasePlugin::getPluginParameterText(id);
    }
    switch (id)
    {
        case kLimiterThreshold:
            // + 0.0: the curve gives -0 at the top, which would read "-0.00".
            return juce::String(DelayParameters::limiterThresholdDecibels(v) + 0.0, 2) + " dB";
        case kDryWet:
            return percentPairText(v, " % (Dry/Wet)");
        case kOutputGain:
            return decibelText(DelayParameters::outputGain(v));
        case kTapLeft: case kTapRight:
            return "@";
        default:
            break;
    }
    return BasePlugin::getPluginParameterText(id);
}

//==============================================================================
// Audio

void Tavinor::prepareToPlay(double sampleRate, int samplesPerBlock)
{
    BasePlugin::prepareToPlay(sampleRate, samplesPerBlock);
    currentSampleRate = (float) sampleRate;
    // A host that announces no block size gets pieces of a usual size.
    preparedBlockSize = samplesPerBlock > 0 ? samplesPerBlock : kFallbackBlockSize;
    for (auto& c : clocks)
        c->setSampleRate(sampleRate);
    {
        const juce::ScopedLock sl(engineLock);
        engine->prepare(preparedBlockSize, sampleRate);
    }
    midiQueue.reset();
    applyQualityForCurrentMode();
    updateLatency();
}

void Tavinor::releaseResources()
{
    const juce::ScopedLock sl(engineLock);
    engine->releaseResources();
}

void Tavinor::readHostPosition()
{
    auto* playHead = getPlayHead();
    if (playHead == nullptr)
        return;
    const auto position = playHead->getPosition();
    if (! position.hasValue())
        return;

    // Hosts that report no tempo (or nonsense) keep the last one they did report.
    if (const auto bpm = position->getBpm(); bpm.hasValue() && std::isfinite(*bpm) && *bpm > 0.0)
        lastValidTempo = *bpm;
    const double tempo = lastValidTempo;

    {
        const juce::ScopedLock sl(engineLock);
        engine->setTempo(tempo);
    }

    const bool playing = position->getIsPlaying();
    double ppq = 0.0;
    if (const auto p = position->getPpqPosition(); p.hasValue() && std::isfinite(*p))
        ppq = *p;

    for (auto& c : clocks)
    {
        c->setTempo(tempo);
        if (playing && ! c->isRunning())
            c->start(ppq);
        else if (! playing && c->isRunning())
            c->stop();
    }
}

void Tavinor::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages)
{
    const int numSamples = buffer.getNumSamples();
    if (numSamples <= 0 || buffer.getNumChannels() <= 0)
        return;

    // While the engine is rebuilt (maximum delay time) nothing may come out,
    // not even the dry input.
    if (isSuspended())
    {
        buffer.clear();
        return;
    }

    checkProcessingMode();
    readHostPosition();

    for (size_t m = 0; m < clocks.size(); ++m)
        clocks[m]->setRate(pendingClockRates[m].load());

    const int numIns = getTotalNumInputChannels();
    const int numOuts = getTotalNumOutputChannels();
    const int numChannels = buffer.getNumChannels();
    for (int ch = numIns; ch < numOuts && ch < numChannels; ++ch)
        buffer.clear(ch, 0, numSamples);

    stereoIn = numIns == 2 && numChannels >= 2;
    stereoOut = numOuts == 2 && numChannels >= 2;
    channelPointers[0] = buffer.getWritePointer(0);
    channelPointers[1] = (stereoIn || stereoOut) ? buffer.getWritePointer(1) : nullptr;

    midiQueue.addEvents(midiMessages);
    pendingSamples = 0;

    juce::MidiMessageMetadata event;
    for (int i = 0; i < numSamples; ++i)
    {
        while (midiQueue.getEventAt(event, i))
        {
            processPendingSamples();
            // Only short messages matter here; building one never allocates.
            if (event.numBytes <= 3)
                handleMidiEvent(juce::MidiMessage(event.data, event.numBytes, (double) i));
        }

        for (int m = 0; m < kNumModulators; ++m)
        {
            auto& clock = *clocks[(size_t) m];
            if (clock.process())
            {
                processPendingSamples();
                if (clock.isInFirstState())
                {
                    const juce::ScopedLock sl(engineLock);
                    engine->syncModulatorPhase(m, clock.getPositionAtLastEdge() * clock.getRate());
                }
            }
        }
        ++pendingSamples;
    }

    processPendingSamples();
    midiQueue.advance(numSamples);

    writeBackTapsAndLearnedNotes();
}

void Tavinor::processPendingSamples()
{
    // The engine is prepared for blocks of preparedBlockSize; longer stretches
    // go in pieces.
    while (pendingSamples > 0)
    {
        const int n = std::min(pendingSamples, preparedBlockSize);
        {
            const juce::ScopedLock sl(engineLock);
            engine->process(channelPointers, n, stereoIn, stereoOut);
        }
        channelPointers[0] += n;
        if (stereoIn || stereoOut)
            channelPointers[1] += n;
        pendingSamples -= n;
    }
}

void Tavinor::handleMidiEvent(const juce::MidiMessage& message)
{
    setMidiActivity();

    if (message.isNoteOn(false))
    {
        const int channel = message.getChannel();
        const int note = message.getNoteNumber();
        for (int m = 0; m < kNumModulators; ++m)
        {
            auto& record = retriggerNotes[(size_t) m];
            if (record.matchesChannel(channel))
            {
                record.learnNote(note);
                if (retriggerModes[(size_t) m].load() == kRetriggerMidiNote && record.matchesNote(note))
                {
                    clocks[(size_t) m]->retrigger();
                    const juce::ScopedLock sl(engineLock);
                    engine->retriggerModulator(m);
                }
            }
            auto& defaultRecord = retriggerNotes[(size_t) (m + kNumModulators)];
            if (defaultRecord.matchesChannel(channel))
                defaultRecord.learnNote(note);
        }
    }

    getMidiControl().processMidiMessage(message);
}

void Tavinor::writeBackTapsAndLearnedNotes()
{
    auto& pm = getParameterManager();
    struct TappedTime
    {
        int stage, channel, k;
    };
    static constexpr TappedTime kTappedTimes[] = { { kStageDelay, kTapChannelLeft, kDelayLeftMs },
                                                   { kStageDelay, kTapChannelRight, kDelayRightMs },
                                                   { kStagePreDelay, kTapChannelLeft, kPreDelayLeftMs },
                                                   { kStagePreDelay, kTapChannelRight, kPreDelayRightMs } };

    for (int line = 0; line < kNumLines; ++line)
        for (const auto& [stage, channel, k] : kTappedTimes)
        {
            double ms = 0.0;
            {
                const juce::ScopedLock sl(engineLock);
                if (! engine->takeNewTappedTime(line, stage, channel))
                    continue;
                ms = engine->getTappedTimeMs(line, stage, channel);
            }
            pm.setValue(getLineParameterBase(line) + k, (float) ms);
        }

    for (int r = 0; r < kNumRetriggerRecords; ++r)
        if (retriggerNotes[(size_t) r].takeLearned())
            pm.setIntValue(kMod1RetriggerNote + 2 * r, retriggerNotes[(size_t) r].getNote());
}

//==============================================================================
// Presets and state

std::unique_ptr<Preset> Tavinor::createPresetToSave(PresetCollection*, const juce::File&)
{
    auto preset = std::make_unique<Preset>();
    preset->setVersion(kPresetVersion);
    getParameterManager().storeToPreset(*preset, parametersStateIds);
    return preset;
}

void Tavinor::applyPreset(PresetCollection*, const Preset& preset)
{
    // The new sound starts afresh rather than inheriting the old tail; while
    // audio plays, the old sound fades out before it.
    {
        const juce::ScopedLock sl(engineLock);
        engine->beginSoundChange();
    }
    applyPresetValues(preset);
    const juce::ScopedLock sl(engineLock);
    engine->endSoundChange();
}

void Tavinor::applyPresetValues(const Preset& preset)
{
    auto& pm = getParameterManager();
    const bool old = preset.getVersion() == kOldPresetVersion || preset.getVersion().isEmpty();

    for (int i = 0; i < preset.getNumEntries(); ++i)
    {
        const auto* entry = preset.getEntry(i);
        if (entry == nullptr)
            continue;
        const int id = entry->id;
        juce::String text = entry->text;

        if (id == kMod1Waveform || id == kMod2Waveform)
        {
            // Saw up is saw down inverted; old presets chose it as a waveform.
            const bool sawUp = text == "Saw Up";
            if (sawUp)
                text = "Saw Down";
            if (old)
                pm.setBoolValue(id == kMod1Waveform ? kMod1Invert : kMod2Invert, sawUp);
        }
        else if ((id == kMod1Invert || id == kMod2Invert) && old)
        {
            continue;
        }
        else if (isLineParameterId(id) && templateIndexOfId(id) == kModSource)
        {
            if (text == "LFO1")
                text = "MOD 1";
            else if (text == "LFO2")
                text = "MOD 2";
        }

        if (parametersStateIds.contains(id) && ! isPadlocked(id))
            pm.setText(id, text);
    }
}

bool Tavinor::isPadlocked(int id) const
{
    bool locked = fxAmountPadlock.isParameterLocked(id);
    for (const auto& padlock : linePadlocks)
        locked = locked || padlock.isParameterLocked(id);
    return locked;
}

const Preset* Tavinor::getDefaultPreset(PresetCollection*)
{
    return &defaultPreset;
}

juce::String Tavinor::getCurrentPresetName(PresetCollection*)
{
    return getParameterManager().getText(kPresetName);
}

void Tavinor::setCurrentPresetName(PresetCollection*, const juce::String& name)
{
    getParameterManager().setText(kPresetName, name);
}

std::unique_ptr<juce::XmlElement> Tavinor::createPluginState()
{
    auto root = BasePlugin::createPluginState();
    if (root == nullptr)
        return root;

    auto& pm = getParameterManager();
    auto parameters = createPresetToSave(nullptr, {});
    parameters->setName(kParametersStateName);
    root->addChildElement(parameters->createXml(&pm).release());
    root->addChildElement(createTimeKnobsStatePreset()->createXml(&pm).release());
    root->addChildElement(createEditionStatePreset()->createXml(&pm).release());
    root->addChildElement(createHostParametersMapXml().release());
    root->addChildElement(getMidiControl().createXml().release());
    return root;
}

void Tavinor::restorePluginState(const juce::XmlElement* element)
{
    BasePlugin::restorePluginState(element);
    if (! isValidPluginState(element))
        return;

    auto& pm = getParameterManager();
    {
        // A host loads its state during playback too (a preset change, an
        // undo): the engine takes the new settings in one step, never a block
        // of a half-loaded state.
        const EngineUpdateBatch batch(*this);
        const juce::XmlElement* timeKnobs = nullptr;
        for (auto* child : element->getChildIterator())
        {
            if (! tagNameIs(*child, "Preset"))
                continue;
            const auto name = child->getStringAttribute("name");
            if (name == kParametersStateName)
            {
                Preset preset;
                preset.loadFromXml(child, &pm, false);
                applyPresetValues(preset);
            }
            else if (name == kEditionStateName)
            {
                Preset preset;
                preset.loadFromXml(child, &pm, false);
                applyEditionState(preset);
            }
            else if (name == kTimeKnobsStateName)
            {
                timeKnobs = child;
            }
        }
        // After the times they belong to, wherever they stand.
        if (timeKnobs != nullptr)
        {
            Preset preset;
            preset.loadFromXml(timeKnobs, &pm, false);
            applyTimeKnobsState(preset);
        }
    }

    loadHostParametersMap(findChildTagged(*element, "HostParametersMap"));
    if (auto* midiMap = findChildTagged(*element, "MidiControlMap"))
        getMidiControl().loadFromXml(*midiMap);
}

std::unique_ptr<Preset> Tavinor::createEditionStatePreset()
{
    auto preset = std::make_unique<Preset>(kEditionStateName, juce::String());
    preset->setVersion(kPresetVersion);
    getParameterManager().storeToPreset(*preset, editionStateIds);
    return preset;
}

std::unique_ptr<Preset> Tavinor::createTimeKnobsStatePreset()
{
    auto preset = std::make_unique<Preset>(kTimeKnobsStateName, juce::String());
    preset->setVersion(kPresetVersion);
    getParameterManager().storeToPreset(*preset, timeKnobsStateIds);
    return preset;
}

void Tavinor::applyTimeKnobsState(const Preset& preset)
{
    auto& pm = getParameterManager();
    for (int i = 0; i < preset.getNumEntries(); ++i)
    {
        const auto* entry = preset.getEntry(i);
        if (entry == nullptr || ! timeKnobsStateIds.contains(entry->id) || isPadlocked(entry->id))
            continue;
        auto* knob = pm.getParameter(entry->id);
        const auto* time = pm.getParameter(entry->id + kKnobToTime);
        if (knob == nullptr || time == nullptr)
            continue;
        // A knob is taken only where it gives the very time restored (its
        // time was set from it): then setting it leaves the time alone. A
        // time set by itself already put its knob where the state had it.
        std::unique_ptr<Parameter> stored(knob->clone(knob->getId(), knob->getName()));
        stored->setText(entry->text, false);
        std::unique_ptr<Parameter> timeOfStored(time->clone(time->getId(), time->getName()));
        timeOfStored->setNormalisedValue((float) timeFromKnob(stored->getNormalisedValue()), false);
        if (timeOfStored->getValue() == time->getValue())
            knob->setValue(stored->getValue(), true);
    }
}

void Tavinor::applyStoredEntries(const Preset& preset, const juce::SparseSet<int>& ids, int firstLegacyId, int firstId)
{
    // Old states stored the four retrigger settings under legacy ids.
    constexpr int kLegacyCount = 4;
    auto& pm = getParameterManager();
    for (int i = 0; i < preset.getNumEntries(); ++i)
    {
        const auto* entry = preset.getEntry(i);
        if (entry == nullptr)
            continue;
        int id = entry->id;
        if (id >= firstLegacyId && id < firstLegacyId + kLegacyCount)
            id = firstId + (id - firstLegacyId);
        if (ids.contains(id))
            pm.setText(id, entry->text);
    }
}

void Tavinor::applyEditionState(const Preset& preset)
{
    auto& pm = getParameterManager();
    applyStoredEntries(preset, editionStateIds, kFirstLegacyEditionId, kMod1RetriggerChannel);
    // States written before qualities were stored get the best one.
    if (preset.getVersion().isEmpty())
    {
        pm.setIntValue(kRealtimeQuality, kOldStateQuality);
        pm.setIntValue(kOfflineQuality, kOldStateQuality);
    }
}

std::unique_ptr<Preset> Tavinor::createDefaultSettingsPreset()
{
    auto preset = std::make_unique<Preset>(kDefaultSettingsName, juce::String());
    getParameterManager().storeToPreset(*preset, defaultSettingsIds);
    return preset;
}

void Tavinor::applyDefaultSettings(const Preset& preset)
{
    applyStoredEntries(preset, defaultSettingsIds, kFirstLegacyDefaultsId, kDefaultMod1RetriggerChannel);
}

void Tavinor::readSettings(const juce::XmlElement& root)
{
    auto& pm = getParameterManager();
    for (auto* child : root.getChildIterator())
    {
        if (tagNameIs(*child, "Preset") && child->getStringAttribute("name") == kDefaultSettingsName)
        {
            Preset preset;
            preset.loadFromXml(child, &pm, false);
            applyDefaultSettings(preset);
        }
    }

    // A user who has no presets at all gets the factory presets offered,
    // whatever an older settings file says.
    if (! presetFolderHadPresets)
        return;

    // Without a record, the presets are those of the version before this one's set.
    const auto* record = findFactoryPresetRecord(root);
    const juce::ScopedLock sl(installedVersionLock);
    installedFactoryVersion = record != nullptr ? record->getStringAttribute("version") : kOldPresetVersion;
}

const juce::XmlElement* Tavinor::findFactoryPresetRecord(const juce::XmlElement& root)
{
    if (auto* presets = findChildTagged(root, "Presets"))
        return findChildTagged(*presets, "Installed");
    return nullptr;
}

bool Tavinor::presetFolderHasPresets() const
{
    // As the collection counts them, on the disk as it is now.
    return FolderWalk(juce::String("*") + kPresetExtension).containsFile(getNamedFolder(kPresetFolderName));
}

void Tavinor::writeSettings(juce::XmlElement& root)
{
    root.addChildElement(createDefaultSettingsPreset()->createXml(&getParameterManager()).release());
    const auto installedVersion = getInstalledFactoryPresetVersion();
    if (installedVersion.isEmpty())
        return;
    for (auto* child : root.getChildIterator())
    {
        if (tagNameIs(*child, "Presets"))
        {
            auto* installed = child->createNewChildElement("Installed");
            installed->setAttribute("version", installedVersion);
            return;
        }
    }
}

void Tavinor::copyDefaultSettings()
{
    auto& pm = getParameterManager();
    pm.copyValue(kMod1RetriggerChannel, kDefaultMod1RetriggerChannel);
    pm.copyValue(kMod1RetriggerNote, kDefaultMod1RetriggerNote);
    pm.copyValue(kMod2RetriggerChannel, kDefaultMod2RetriggerChannel);
    pm.copyValue(kMod2RetriggerNote, kDefaultMod2RetriggerNote);
    pm.copyValue(kMaxDelayTime, kDefaultMaxDelayTime);
}

namespace
{
// Dotted versions compared number by number ("1.10" is newer than "1.9");
// missing numbers count as 0.
int compareVersions(const juce::String& a, const juce::String& b)
{
    const auto as = juce::StringArray::fromTokens(a, ".", "");
    const auto bs = juce::StringArray::fromTokens(b, ".", "");
    for (int i = 0; i < juce::jmax(as.size(), bs.size()); ++i)
        if (const int d = as[i].getIntValue() - bs[i].getIntValue(); d != 0)
            return d;
    return 0;
}
} // namespace

bool Tavinor::needsFactoryPresetInstall() const
{
    // A user who already has a newer set (from a newer build) is not asked to
    // install this older one again at every start.
    const auto installed = getInstalledFactoryPresetVersion();
    return installed.isEmpty() || compareVersions(installed, kFactoryPresetVersion) < 0;
}

void Tavinor::readFactoryPresetRecord()
{
    const auto root = readUserSettingsFile();
    if (root == nullptr)
        return;
    const auto* record = findFactoryPresetRecord(*root);
    const auto recorded = record != nullptr ? record->getStringAttribute("version") : juce::String();
    const auto known = getInstalledFactoryPresetVersion();
    if (recorded.isEmpty() || (known.isNotEmpty() && compareVersions(recorded, known) <= 0))
        return;
    if (! presetFolderHasPresets())
        return;
    const juce::ScopedLock sl(installedVersionLock);
    if (installedFactoryVersion.isEmpty() || compareVersions(recorded, installedFactoryVersion) > 0)
        installedFactoryVersion = recorded;
}

juce::String Tavinor::getInstalledFactoryPresetVersion() const
{
    const juce::ScopedLock sl(installedVersionLock);
    return installedFactoryVersion;
}

void Tavinor::setFactoryPresetsInstalled()
{
    if (auto* collection = getPresetCollection(0))
        collection->rescan();
    {
        const juce::ScopedLock sl(installedVersionLock);
        installedFactoryVersion = kFactoryPresetVersion;
    }
    saveUserSettings();
}

juce::File Tavinor::getFactoryDataFolder() const
{
    return getCommonDataFolder();
}

//==============================================================================
// Lines

void Tavinor::copyLine(int line)
{
    if (line < 0 || line >= kNumLines)
        return;
    auto& pm = getParameterManager();
    const int base = getLineParameterBase(line);
    for (auto* clip : lineClipboard)
        if (auto* source = pm.getParameter(base + clip->getId()))
            clip->setFromParameter(*source, true);
    copiedPanel = pm.getIntValue(kFirstPanel + line);
    copySourceLine.store(line);
    listeners.call([this, line](Listener& l) { l.lineCopied(this, line); });
}

void Tavinor::pasteLine(int line)
{
    if (line < 0 || line >= kNumLines || copySourceLine.load() < 0)
        return;
    auto& pm = getParameterManager();
    const int base = getLineParameterBase(line);
    for (auto* clip : lineClipboard)
        pm.setFromParameter(base + clip->getId(), *clip);
    pm.setIntValue(kFirstPanel + line, copiedPanel);
    copySourceLine.store(-1);
    listeners.call([this, line](Listener& l) { l.linePasted(this, line); });
    // Through the selected-line parameter, so that it, the host state and the
    // editor's line buttons name the line now being edited.
    pm.setIntValue(kSelectedLine, line + 1);
}

void Tavinor::restoreLineDefaults(int line)
{
    if (line < 0 || line >= kNumLines)
        return;
    applyPreset(nullptr, *linePresets[(size_t) line]);
}

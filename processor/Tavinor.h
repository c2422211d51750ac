#pragma once

#include "core/BasePlugin.h"
#include "core/LatencySource.h"
#include "core/ParameterPadlockRange.h"
#include "core/Preset.h"
#include "processor/dsp/Clock.h"
#include "processor/dsp/DelayParameters.h"
#include "processor/dsp/MidiEventQueue.h"
#include "processor/dsp/RetriggerMidiNote.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>

class DelayEngine;

// The product processor: four delay lines behind one engine, two modulator
// clocks and the MIDI retrigger, on the in-house plug-in base. The ids of
// what the lines and the engine take, with their curves, are DelayParameters'
// (processor/dsp/DelayParameters.h, which gives the whole id scheme):
// Tavinor::kFeedback is DelayParameters::kFeedback. The processor's own
// settings follow them.
class Tavinor : public BasePlugin, public LatencySource, public DelayParameters
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void lineCopied(Tavinor* processor, int line) = 0;
        virtual void linePasted(Tavinor* processor, int line) = 0;
    };

    // The processor's own settings, after the engine's ids.
    enum ProcessorParameter
    {
        kSelectedLine = 92, kFirstPanel = 93, kPresetName = 97, kMaxDelayTime = 98,
        kRealtimeQuality = 99, kOfflineQuality = 100,
        kMod1RetriggerChannel = 101, kMod1RetriggerNote = 102,
        kMod2RetriggerChannel = 103, kMod2RetriggerNote = 104,
        kDefaultMod1RetriggerChannel = 105, kDefaultMod1RetriggerNote = 106,
        kDefaultMod2RetriggerChannel = 107, kDefaultMod2RetriggerNote = 108,
        kDefaultMaxDelayTime = 109, kDefaultRealtimeQuality = 110, kDefaultOfflineQuality = 111,
        kTapLeft = 112, kTapRight = 113, kFirstNoteLearn = 114, kLastNoteLearn = 117
    };
    static_assert(kSelectedLine == kOutputGain + 1);

    // The free times of a line that have a knob each: delay and pre-delay,
    // left and right.
    static constexpr int kNumTimeKnobs = 4;

    // The version of the factory presets this build installs.
    static constexpr const char* kFactoryPresetVersion = "1.1";
    static constexpr const char* kPresetVersion = "1.1";

    // The editor is a layer above the processor: the plug-in factory
    // (editor/PluginFactory.cpp) hands the processor the way to make it. Without
    // one the processor has no editor, as where only its sound is wanted.
    using EditorFactory = std::function<std::unique_ptr<PluginGuiRoot>(Tavinor&)>;

    explicit Tavinor(EditorFactory editorFactory = {});
    ~Tavinor() override;

    //==========================================================================
    // juce::AudioProcessor
    void prepareToPlay(double sampleRate, int samplesPerBlock) override;
    void releaseResources() override;
    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;
    using BasePlugin::processBlock;

    bool acceptsMidi() const override { return true; }
    bool producesMidi() const override { return false; }
    bool silenceInProducesSilenceOut() const override { return true; }
    double getTailLengthSeconds() const override { return 0.0; }
    bool isBusesLayoutSupported(const BusesLayout& layouts) const override;

    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE("-Wdeprecated-declarations")
    const juce::String getInputChannelName(int) const override { return {}; }
    const juce::String getOutputChannelName(int) const override { return {}; }
    bool isInputChannelStereoPair(int) const override { return getTotalNumInputChannels() == 2; }
    bool isOutputChannelStereoPair(int) const override { return getTotalNumOutputChannels() == 2; }
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE

    //==========================================================================
    // Identity
    juce::String getDescription() const override { return "High Quality Flexible Delay Unit"; }
    juce::String getVersion() const override { return "1.1.2"; }
    juce::String getProductPage() const override { return "https://www.orvgroup.audio/tavinor"; }
    juce::String getYear() const override { return "2013"; }
    // The date this build was made (UTC).
    juce::String getBuildDate() const override;
    juce::String getPluginFormat() const override { return "VST"; }
    juce::String getBuildId() const override { return "C841602"; }
    juce::String getBranch() const override { return "master"; }
    juce::String getVersionTag() const override { return "v1.1.2"; }
    juce::String getBuildNumber() const override { return juce::String(0); }
    juce::String getProductName() const override { return "Tavinor"; }
    juce::String getShortCode() const override { return "TN"; }
    // A place for product extensions; nothing uses it yet.
    virtual void productHook() {}

    int getRealtimeQualityParameterId() const override { return kRealtimeQuality; }
    int getOfflineQualityParameterId() const override { return kOfflineQuality; }
    int getDefaultRealtimeQualityParameterId() const override { return kDefaultRealtimeQuality; }
    int getDefaultOfflineQualityParameterId() const override { return kDefaultOfflineQuality; }
    void processingModeChanged(bool nonRealtime) override;
    void deliverDueNotices() override;

    // LatencySource: the limiter's look-ahead while it is on, at the rate
    // prepared for, from the moment the setting or the preparation changed it.
    int getLatencyInForce() const override { return latencyInForce.load(); }

    //==========================================================================
    // Parameter dispatch
    void parameterChanged(Parameter* p) override;
    void parameterChangeGestureBegin(Parameter* p) override;
    void parameterChangeGestureEnd(Parameter* p) override;

    juce::String getPluginParameterText(int id) override;
    juce::String getPluginParameterName(int id) override;

    // The product editor, made once as the instance's GUI root by the
    // factory given at construction.
    std::unique_ptr<PluginGuiRoot> createEditorComponent() override;
    bool hasEditor() const override { return getGuiRoot() != nullptr; }

    //==========================================================================
    // Lines
    void selectLine(int line);
    int getSelectedLine() const { return selectedLine.load(); }
    int getSelectedLineParameterBase() const { return getLineParameterBase(getSelectedLine()); }
    ParameterPadlock* getLinePadlock(int line);
    ParameterPadlock* getFXAmountPadlock() { return &fxAmountPadlock; }

    void copyLine(int line);
    void pasteLine(int line);
    void restoreLineDefaults(int line);
    bool hasCopiedLine() const { return copySourceLine.load() >= 0; }
    // The line held in the line clipboard, or -1.
    int getCopySourceLine() const { return copySourceLine.load(); }
    // Whether the line's time controls are those of the pre-delay: its panel
    // parameter is two-valued, 0 the delay and anything else the pre-delay,
    // the same for the tap and for the editor.
    bool isPreDelayPanelShown(int line);

    // Meters, read without the engine lock.
    void getOutputLevels(float& left, float& right) const;
    void getOutputClips(bool& left, bool& right) const;
    void getLineLevels(float levels[8]) const;

    void addListener(Listener* l);
    void removeListener(Listener* l);
    using BasePlugin::addListener;
    using BasePlugin::removeListener;

    //==========================================================================
    // State, settings and presets
    std::unique_ptr<Preset> createPresetToSave(PresetCollection* collection, const juce::File& file) override;
    void applyPreset(PresetCollection* collection, const Preset& preset) override;
    const Preset* getDefaultPreset(PresetCollection* collection) override;
    juce::String getCurrentPresetName(PresetCollection* collection) override;
    void setCurrentPresetName(PresetCollection* collection, const juce::String& name) override;

    std::unique_ptr<juce::XmlElement> createPluginState() override;
    void restorePluginState(const juce::XmlElement* element) override;

    std::unique_ptr<Preset> createEditionStatePreset();
    // The knob positions of the free times, which the milliseconds alone do
    // not give back to the last bit: for the host state only.
    std::unique_ptr<Preset> createTimeKnobsStatePreset();
    void applyTimeKnobsState(const Preset& preset);
    void applyStoredEntries(const Preset& preset, const juce::SparseSet<int>& ids, int firstLegacyId, int firstId);
    void applyEditionState(const Preset& preset);
    std::unique_ptr<Preset> createDefaultSettingsPreset();
    void applyDefaultSettings(const Preset& preset);

    void readSettings(const juce::XmlElement& root) override;
    void writeSettings(juce::XmlElement& root) override;
    void copyDefaultSettings() override;

    bool needsFactoryPresetInstall() const;
    // Takes a newer installer's record from the settings file, as another
    // instance may have written it since this one read it (only beside
    // presets, as at start-up). Asked before the installer is offered again.
    void readFactoryPresetRecord();
    void setFactoryPresetsInstalled();
    juce::String getInstalledFactoryPresetVersion() const;
    juce::File getFactoryDataFolder() const;

    const juce::SparseSet<int>& getParametersStateIds() const { return parametersStateIds; }
    const juce::SparseSet<int>& getEditionStateIds() const { return editionStateIds; }
    const juce::SparseSet<int>& getDefaultSettingsIds() const { return defaultSettingsIds; }

    // For tests and the editor's display refresh.
    DelayEngine* getEngine() const { return engine.get(); }
    juce::CriticalSection& getEngineLock() { return engineLock; }
    RetriggerMidiNote& getRetriggerNote(int index) { return retriggerNotes[(size_t) index]; }
    Clock& getClock(int modulator) { return *clocks[(size_t) modulator]; }

private:
    class EngineUpdateBatch;

    // The preset's values without the engine reset of applyPreset.
    void applyPresetValues(const Preset& preset);
    // Whether a padlock keeps presets and states from changing the parameter.
    bool isPadlocked(int id) const;

    // The selected line's parameter behind a proxy; nullptr for any other parameter.
    Parameter* getSelectedLineParameterFor(const Parameter* proxy);
    void handleLineParameter(Parameter* p, int line, int k);
    void handleGlobalParameter(Parameter* p, int id);
    // After a write of a free time's knob (knobLeads) or of its milliseconds
    // by any thread, the other of the pair follows.
    void settleTimePair(int line, int knobK, bool knobLeads);
    void bringTimePartner(int line, int knobK, bool knobLeads);
    // A synced rate (rateChanged) or scale choice of a modulator has changed:
    // recomputes the modulator's rate for its clock and the engine.
    void updateModulatorRate(int modulator, const Parameter& changed, bool rateChanged);
    void tap(int switchId, bool on);
    void setNoteLearn(int switchId, bool on);
    void applyQualityForCurrentMode();
    void updateLatency();

    void processPendingSamples();
    void handleMidiEvent(const juce::MidiMessage& message);
    void readHostPosition();
    void writeBackTapsAndLearnedNotes();

    juce::String getLineParameterText(int line, int k, int id);
    juce::String getMillisecondsText(int id);

    // The installer's record ("Presets" > "Installed") in settings, or null.
    static const juce::XmlElement* findFactoryPresetRecord(const juce::XmlElement& root);
    bool presetFolderHasPresets() const;

    // Members after the base, in order.
    juce::String installedFactoryVersion;
    // The installer's worker thread marks the presets installed while the
    // message thread may be asking whether they are.
    juce::CriticalSection installedVersionLock;
    const EditorFactory editorFactory;
    std::unique_ptr<DelayEngine> engine;
    juce::CriticalSection engineLock;
    MidiEventQueue midiQueue;
    std::atomic<int> selectedLine { 0 };
    std::array<std::unique_ptr<Clock>, kNumModulators> clocks;
    juce::ListenerList<Listener> listeners;

    juce::OwnedArray<Parameter> lineClipboard;
    std::atomic<int> copySourceLine { -1 };
    int copiedPanel = 0;

    std::array<ParameterPadlockRange, kNumLines> linePadlocks;
    ParameterPadlockRange fxAmountPadlock;

    juce::SparseSet<int> parametersStateIds;
    juce::SparseSet<int> editionStateIds;
    // The lines' time knobs, kept in the state beside the times they set.
    juce::SparseSet<int> timeKnobsStateIds;
    juce::SparseSet<int> defaultSettingsIds;
    Preset defaultPreset;

    // Each line's free times and their knobs (settleTimePair): which of a pair
    // was written last, whether the other has yet to follow, and whether a
    // thread is bringing it.
    struct TimePair
    {
        std::atomic<bool> knobLeads { true };
        std::atomic<bool> due { false };
        std::atomic<bool> settling { false };
    };
    std::array<TimePair, kNumLines * kNumTimeKnobs> timePairs;
    std::array<std::unique_ptr<Preset>, kNumLines> linePresets;

    float currentSampleRate = 44100.0f;
    std::array<RetriggerMidiNote, 4> retriggerNotes;
    std::atomic<bool> tapSwitchState[2] { { false }, { false } };
    bool presetFolderHadPresets = false;

    // Synced modulator rate: factor from the rate choice times the rhythmic
    // scale. Only touched under the engine lock.
    std::array<double, kNumModulators> rateFactors { 1.0, 1.0 };
    std::array<double, kNumModulators> rateScales { 1.0, 1.0 };
    // The clock rates are written on any thread and taken over by the audio
    // thread at the start of a block.
    std::array<std::atomic<double>, kNumModulators> pendingClockRates;
    std::array<std::atomic<int>, kNumModulators> retriggerModes;
    std::atomic<bool> limiterOn { false };

    // Written under the engine lock together with what it follows from, so
    // that the last write is of the latest settings.
    std::atomic<int> latencyInForce { 0 };

    // JUCE keeps the reported latency in a plain int that the host side reads
    // on the message thread, so it is only ever written there: a change from
    // another thread (host automation, MIDI) is carried over.
    class LatencyPublisher : public AudioSafeUpdater
    {
    public:
        explicit LatencyPublisher(Tavinor& o) : owner(o) {}
        ~LatencyPublisher() override { cancelPendingUpdate(); }
        void publish();
        void handleAsyncUpdate() override;

    private:
        Tavinor& owner;
        // What JUCE was given last; written on the message thread.
        std::atomic<int> published { 0 };
    };
    LatencyPublisher latencyPublisher { *this };

    // Processing state.
    float* channelPointers[2] = { nullptr, nullptr };
    int pendingSamples = 0;
    int preparedBlockSize = 1024;
    bool stereoIn = true;
    bool stereoOut = true;
    double lastValidTempo = 120.0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(Tavinor)
};

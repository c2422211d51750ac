#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_audio_basics/juce_audio_basics.h>
#include <array>
#include <atomic>
#include <memory>

#include "core/AudioSafeUpdater.h"
#include "core/EventsMap.h"
#include "core/MidiControl.h"
#include "core/Parameter.h"
#include "core/ParameterManager.h"
#include "core/Preset.h"
#include "core/PresetCollection.h"
#include "core/SoftwareDesignation.h"
#include "core/StateLoader.h"

class HostParameter;
class PluginGuiRoot;

// The in-house processor base. It owns the parameter registry, the map of the
// host's generic parameters onto our parameters, the MIDI controller map, the
// events map, the user settings and the host chunk, the preset state, and the
// one GUI root that lives as long as the instance.
class BasePlugin : public juce::AudioProcessor,
                   public AudioSafeUpdater,
                   public Parameter::Listener,
                   public SoftwareDesignation,
                   public PresetCollection::Listener,
                   public StateLoader
{
public:
    // Notifications delivered on the message thread (presetChanged on the
    // thread of the preset operation, the message thread in practice).
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void pluginStateRestored(BasePlugin*) {}
        virtual void pluginStateStored(BasePlugin*) {}
        virtual void pluginPrepared(BasePlugin*) {}
        virtual void processingModeChanged(BasePlugin*, int mode) {}
        virtual void presetChanged(PresetCollection*) {}
    };

    static constexpr int kNumHostParameters = 128;
    static constexpr int kGuiTimerIntervalMs = 25;

    // Processing modes carried by the processing-mode notification.
    enum ProcessingMode
    {
        processingModeNone = 0,
        processingModeRealtime = 1,
        processingModeOffline = 2
    };

    explicit BasePlugin(const BusesProperties& buses = BusesProperties()
                            .withInput("Input", juce::AudioChannelSet::stereo(), true)
                            .withOutput("Output", juce::AudioChannelSet::stereo(), true));
    ~BasePlugin() override;

    // Steps 2 to 7 of the plug-in factory, on a processor just constructed:
    // diagnostic table, start-up settings, GUI root, one broadcast of every
    // parameter, post-initialisation hook, diagnostic dump.
    static void completeStartUp(BasePlugin& plugin);

    //==========================================================================
    // juce::AudioProcessor
    const juce::String getName() const override;
    void prepareToPlay(double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override {}
    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    bool silenceInProducesSilenceOut() const override { return true; }
    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override { return true; }

    // The host's view of the parameters: fixed generic slots 0..127.
    int getNumParameters() override;
    const juce::String getParameterName(int index) override;
    float getParameter(int index) override;
    const juce::String getParameterText(int index) override;
    float getParameterDefaultValue(int index) override;
    void setParameter(int index, float value) override;
    bool isParameterAutomatable(int index) const override;

    // Text of an arbitrary value of a slot, and the reverse (host text entry).
    juce::String getHostParameterTextForValue(int index, float value);
    float getHostParameterValueForText(int index, const juce::String& text);

    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram(int) override {}
    const juce::String getProgramName(int) override { return {}; }
    void changeProgramName(int, const juce::String&) override {}

    void getStateInformation(juce::MemoryBlock& destData) override;
    void getCurrentProgramStateInformation(juce::MemoryBlock& destData) override;
    void setStateInformation(const void* data, int sizeInBytes) override;
    void setCurrentProgramStateInformation(const void* data, int sizeInBytes) override;

    // StateLoader: the chunk is read and checked before anything changes; a
    // chunk that is no "PluginState" of this product changes nothing.
    bool loadState(const void* data, int sizeInBytes) override;

    //==========================================================================
    // SoftwareDesignation answers of the base
    juce::String getSpareText() const override { return {}; }
    juce::String getBuildId() const override { return {}; }
    juce::String getBranch() const override { return {}; }
    juce::String getVersionTag() const override { return {}; }
    juce::String getBuildNumber() const override { return {}; }
    juce::String getBundlePath() const override;
    juce::String getArchitecture() const override { return "64bit"; }

    //==========================================================================
    // Own virtual operations
    virtual int getRealtimeQualityParameterId() const { return -1; }
    virtual int getOfflineQualityParameterId() const { return -1; }
    virtual int getDefaultRealtimeQualityParameterId() const { return -1; }
    virtual int getDefaultOfflineQualityParameterId() const { return -1; }
    virtual void processingModeChanged(bool nonRealtime) {}

    // Parameter::Listener: forwards changes and gestures of mapped parameters
    // to the host. Overrides must end by calling these.
    void parameterChanged(Parameter* p) override;
    void parameterChangeGestureBegin(Parameter* p) override;
    void parameterChangeGestureEnd(Parameter* p) override;

    virtual void postInitialise() {}
    virtual void initialise();
    // The GUI root; none in the base until the editor exists.
    virtual std::unique_ptr<PluginGuiRoot> createEditorComponent();
    virtual juce::String getProductName() const { return "BasePlugin"; }
    virtual juce::String getShortCode() const { return "XX"; }

    virtual bool isValidPluginState(const juce::XmlElement* element) const;
    virtual void restorePluginState(const juce::XmlElement* element);
    virtual std::unique_ptr<juce::XmlElement> createPluginState();
    virtual void restoreProgramState(const juce::XmlElement*) {}
    virtual std::unique_ptr<juce::XmlElement> createProgramState() { return nullptr; }

    virtual juce::File getUserSettingsFile() const;
    virtual bool isValidUserSettings(const juce::XmlElement* element) const;
    virtual void readSettings(const juce::XmlElement& root) {}
    virtual void writeSettings(juce::XmlElement& root) {}
    virtual void copyDefaultSettings() {}
    virtual std::unique_ptr<juce::XmlElement> createAlternativeSettings() { return nullptr; }

    virtual int getNumHostParameters() const { return kNumHostParameters; }
    virtual juce::String getPluginParameterText(int id);
    virtual juce::String getPluginParameterName(int id);
    virtual void handleEditorEvent(int uid) {}
    void handleAsyncUpdate() override;
    // On the message thread, from the editor's timer: what changed on the
    // host's audio paths (its automation, a block's MIDI) since the last call
    // reaches the controllers and listeners, which there post nothing.
    virtual void deliverDueNotices();
    virtual bool isDebugTableEnabled() const { return false; }
    virtual bool isDebugDumpEnabled() const { return false; }

    virtual PresetCollection* getPresetCollection(int index);
    virtual int getNumPresetCollections() const { return 1; }
    virtual PresetCollection* getPresetCollectionAt(int index);

    // The preset contents, supplied by the product.
    virtual std::unique_ptr<Preset> createPresetToSave(PresetCollection* collection, const juce::File& file);
    virtual void applyPreset(PresetCollection* collection, const Preset& preset) {}
    virtual const Preset* getDefaultPreset(PresetCollection* collection) { return nullptr; }
    virtual juce::String getCurrentPresetName(PresetCollection* collection) { return {}; }
    virtual void setCurrentPresetName(PresetCollection* collection, const juce::String& name) {}
    virtual bool isDefaultPresetApplied(PresetCollection* collection);
    virtual void setDefaultPresetApplied(PresetCollection* collection, bool applied);
    virtual void setPresetModified(PresetCollection* collection, bool modified);
    virtual bool isPresetModified(PresetCollection* collection);
    virtual juce::File getCurrentPresetPath(PresetCollection* collection);
    virtual void setCurrentPresetPath(PresetCollection* collection, const juce::File& file);
    // Credits of the about window; the base has none.
    virtual juce::String getCreditsTitle() const { return {}; }
    virtual bool hasCredits() const { return false; }
    virtual juce::String getCreditsText() const { return {}; }

    //==========================================================================
    // Start-up and GUI root
    void loadStartupSettings();
    void createGuiRoot();
    void deleteEditorComponent();
    PluginGuiRoot* getGuiRoot() const { return guiRoot.get(); }

    // Diagnostic table and dump (never on in the product).
    void addDebugTable();
    void restoreDebugDump();
    void writeDebugDump();
    juce::File getDebugDumpFile() const;

    //==========================================================================
    // Host-parameter map
    void assignHostParameter(int index, Parameter* p, bool notify);
    void assignHostParameterByIndex(int index, int parameterId, bool notify);
    void unassignHostParameter(int index);
    int getParameterIdForHostIndex(int index) const;
    int getHostIndexForParameterId(int parameterId) const;
    void clearHostParametersMap();
    bool isValidHostParametersMap(const juce::XmlElement* element) const;
    bool loadHostParametersMap(const juce::XmlElement* element);
    std::unique_ptr<juce::XmlElement> createHostParametersMapXml() const;
    bool loadHostParametersMapFile(const juce::File& file);
    bool saveHostParametersMapFile(const juce::File& file) const;
    void loadDefaultHostParametersMap();
    juce::String getHostParametersMapFileExtension() const;
    juce::ChangeBroadcaster& getHostParametersMapBroadcaster() { return hostMapBroadcaster; }

    // User's default map: kept in the user settings, edited by the host page.
    juce::String getDefaultHostParametersMapFile() const { return defaultHostMapFile; }
    void setDefaultHostParametersMapFile(const juce::String& path) { defaultHostMapFile = path; }
    bool isDefaultHostParametersMapEnabled() const { return loadDefaultHostMapAtStart; }
    void setDefaultHostParametersMapEnabled(bool enabled) { loadDefaultHostMapAtStart = enabled; }

    //==========================================================================
    // Settings, folders and plug-in state
    juce::File getUserDataFolder() const;
    juce::File getCommonDataFolder() const;
    bool addNamedFolder(const juce::String& name, const juce::File& path, bool create);
    juce::File getNamedFolder(const juce::String& name) const;

    bool isValidSettingsXml(const juce::XmlElement* element, const juce::String& tag) const;
    std::unique_ptr<juce::XmlElement> createSettingsRoot(const juce::String& tag) const;
    std::unique_ptr<juce::XmlElement> createUserSettingsXml();
    void loadUserSettings();
    void saveUserSettings();
    void saveUserSettingsOnClose();

    void addListener(Listener* l);
    void removeListener(Listener* l);
    // The host's listeners (juce::AudioProcessorListener) stay reachable.
    using juce::AudioProcessor::addListener;
    using juce::AudioProcessor::removeListener;

    //==========================================================================
    // Presets
    void initPresetCollection(const juce::String& extension, const juce::File& rootFolder);
    void setPresetModified(bool modified);
    // False when nothing was saved (no collection or preset, or the file could not be written).
    bool savePresetToFile(PresetCollection* collection, const juce::File& file);
    void restoreDefaultPreset(PresetCollection* collection);
    void loadPresetFile(PresetCollection* collection, const juce::File& file);
    void selectPreviousPreset(PresetCollection* collection);
    void selectNextPreset(PresetCollection* collection);
    // Signs one of the user's own presets with the current author name. False
    // only when the file needed the new name and could not be rewritten (it is
    // then left as it was); files that need nothing, or are not ours, are true.
    bool updatePresetAuthor(const juce::File& file);
    int getTotalNumPresets();
    void presetCollectionChanged(PresetCollection*) override {}

    juce::File getDefaultPresetFile() const { return defaultPresetFile; }
    void setDefaultPresetFile(const juce::File& f) { defaultPresetFile = f; }
    juce::String getAuthorName() const;
    void setAuthorName(const juce::String& name);
    juce::String getOwnerId() const { return ownerId; }

    //==========================================================================
    ParameterManager& getParameterManager() { return parameterManager; }
    MidiControl& getMidiControl() { return midiControl; }
    EventsMap& getEventsMap() { return eventsMap; }
    juce::MidiKeyboardState& getKeyboardState() { return keyboardState; }

    // Set where incoming MIDI is handled, consumed by the editor's timer.
    void setMidiActivity() { midiActivity.store(1); }
    bool takeMidiActivity() { return midiActivity.exchange(0) != 0; }

protected:
    // Run at the start of prepareToPlay and of processBlock.
    void checkProcessingMode();
    // The settings file's root when it is readable and ours, else null.
    std::unique_ptr<juce::XmlElement> readUserSettingsFile() const;

private:
    void writeUserSettingsNow();
    // Moves a settings file that is not readable out of the way of the next
    // write, under the name of the file plus ".unreadable"; false when
    // something of that name must not be replaced.
    bool setAsideUnreadableUserSettings() const;
    Parameter* getHostMappedParameter(int index) const;
    bool isValidHostIndex(int index) const { return index >= 0 && index < kNumHostParameters; }
    // Empties the map without telling anyone.
    void resetHostParametersMap();
    void notifyHostParametersMapChanged();
    // The instance keeps one collection; preset state is asked about it only.
    bool isOwnCollection(const PresetCollection* collection) const
    {
        return collection != nullptr && collection == presetCollection.get();
    }
    void selectAdjacentPreset(PresetCollection* collection, int step);
    // After a state is restored, the current preset is the file the state
    // names when it is one of the collection's, else the first file of the
    // preset's name, else none.
    void restoreCurrentPreset(const juce::String& relativePath);
    // The check against the collection and the search by name, on the message thread.
    void followRestoredPreset(const juce::File& restored, const juce::String& presetName);
    // loadPresetFile, telling whether the preset was applied.
    bool tryLoadPresetFile(PresetCollection* collection, const juce::File& file);

    // Members in order of construction.
    bool lastNonRealtime = false;
    // The preparation the listeners last heard of (none yet: rate 0).
    double lastPreparedRate = 0.0;
    int lastPreparedBlockSize = 0;
    std::unique_ptr<PluginGuiRoot> guiRoot;
    juce::File bundle;
    juce::HashMap<juce::String, juce::File> namedFolders { 101 };
    ParameterManager parameterManager;

    juce::CriticalSection hostMapLock;
    juce::Array<Parameter*> hostParameters;
    juce::HashMap<int, int, juce::DefaultHashFunctions, juce::CriticalSection> hostIndexById { 101 };
    std::array<std::atomic<float>, kNumHostParameters> hostValues {};
    std::array<std::atomic<int>, kNumHostParameters> beingSetByHost {};
    juce::ChangeBroadcaster hostMapBroadcaster;
    juce::String defaultHostMapFile;
    bool loadDefaultHostMapAtStart = false;
    std::array<HostParameter*, kNumHostParameters> hostParameterObjects {};

    MidiControl midiControl;
    EventsMap eventsMap;

    std::atomic<int> stateRestoredFlag { 0 };
    std::atomic<int> stateStoredFlag { 0 };
    std::atomic<int> preparedFlag { 0 };
    std::atomic<int> processingModeFlag { processingModeNone };

    juce::ListenerList<Listener> listeners;

    std::unique_ptr<PresetCollection> presetCollection;
    juce::File defaultPresetFile;
    // A host may ask for the state on its own thread while the editor loads a preset.
    juce::CriticalSection presetPathLock;
    juce::File currentPresetPath;
    std::atomic<bool> presetModified { false };
    std::atomic<bool> defaultPresetApplied { false };
    juce::CriticalSection authorLock;
    juce::String authorName;
    juce::String ownerId;

    juce::MidiKeyboardState keyboardState;
    std::atomic<int> midiActivity { 0 };

    // This instance's user settings as it last read or wrote them: what it
    // changes since is what it writes over the file's settings.
    std::unique_ptr<juce::XmlElement> userSettingsAsRead;

    JUCE_DECLARE_WEAK_REFERENCEABLE(BasePlugin)
    JUCE_DECLARE_NON_COPYABLE(BasePlugin)
};

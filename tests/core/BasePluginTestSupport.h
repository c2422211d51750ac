#pragma once

#include "core/BasePlugin.h"
#include "core/PluginGuiRoot.h"
#include "core/XmlHelpers.h"
#include <map>
#include <vector>

namespace BasePluginTestSupport
{
// The values of the given ids, as the product stores them.
inline void fillPreset(Preset& preset, ParameterManager& manager, const juce::SparseSet<int>& ids)
{
    preset.clear();
    for (int i = 0; i < ids.size(); ++i)
        if (auto* p = manager.getParameter(ids[i]))
            preset.addParameter(p);
}

// A GUI root that only remembers what the plug-in base did with it.
class FakeGuiRoot : public PluginGuiRoot
{
public:
    FakeGuiRoot() { setSize(320, 200); }
    void initialise() override { ++initialiseCalls; }
    void editorInitialised() override { ++editorInitialisedCalls; }
    void timerCallback() override {}
    std::unique_ptr<juce::XmlElement> writeSettings() override
    {
        auto e = std::make_unique<juce::XmlElement>("Editor");
        e->createNewChildElement("Skin")->setAttribute("name", defaultSkin);
        return e;
    }
    std::unique_ptr<juce::XmlElement> createStateXml() override
    {
        auto e = std::make_unique<juce::XmlElement>("Editor");
        e->createNewChildElement("Skin")->setAttribute("name", currentSkin);
        return e;
    }
    void restoreStateXml(const juce::XmlElement& e) override
    {
        if (auto* skin = e.getChildByName("Skin"))
            currentSkin = skin->getStringAttribute("name");
    }

    int initialiseCalls = 0;
    int editorInitialisedCalls = 0;
    juce::String defaultSkin = "Default";
    juce::String currentSkin = "Current";
};

// The plug-in base with just enough product on top: the product's identity,
// its quality ids, a parameters and an editing-state section in the chunk,
// and presets over the global parameters.
class TestPlugin : public BasePlugin
{
public:
    static constexpr int kFirstStateId = 47;
    static constexpr int kLastStateId = 91;
    static constexpr int kFirstEditionId = 92;
    static constexpr int kLastEditionId = 104;

    explicit TestPlugin(bool withGuiRoot = false) : guiRootWanted(withGuiRoot)
    {
        getParameterManager().storeDefaultValues();
        stateIds.addRange({ kFirstStateId, kLastStateId + 1 });
        editionIds.addRange({ kFirstEditionId, kLastEditionId + 1 });
        defaultPreset.setName("Default");
        fillPreset(defaultPreset, getParameterManager(), stateIds);
    }

    ~TestPlugin() override { deleteEditorComponent(); }

    juce::String getProductName() const override { return "Tavinor"; }
    juce::String getShortCode() const override { return "TN"; }
    juce::String getDescription() const override { return "test"; }
    juce::String getVersion() const override { return "1.1.2"; }
    juce::String getProductPage() const override { return {}; }
    juce::String getYear() const override { return "2013"; }
    juce::String getBuildDate() const override { return {}; }
    juce::String getPluginFormat() const override { return "VST"; }

    int getRealtimeQualityParameterId() const override { return 99; }
    int getOfflineQualityParameterId() const override { return 100; }
    int getDefaultRealtimeQualityParameterId() const override { return 110; }
    int getDefaultOfflineQualityParameterId() const override { return 111; }

    std::unique_ptr<PluginGuiRoot> createEditorComponent() override
    {
        if (!guiRootWanted)
            return nullptr;
        return std::make_unique<FakeGuiRoot>();
    }

    void initialise() override
    {
        BasePlugin::initialise();
        heardDuringBroadcast.clear();
        counting = true;
    }
    void postInitialise() override { counting = false; }

    void parameterChanged(Parameter* p) override
    {
        if (counting)
            ++heardDuringBroadcast[p->getId()];
        BasePlugin::parameterChanged(p);
    }

    std::unique_ptr<juce::XmlElement> createPluginState() override
    {
        auto root = BasePlugin::createPluginState();
        Preset parameters("ParametersState", {});
        fillPreset(parameters, getParameterManager(), stateIds);
        root->addChildElement(parameters.createXml(&getParameterManager()).release());
        Preset edition("EditionStateParameters", {});
        fillPreset(edition, getParameterManager(), editionIds);
        root->addChildElement(edition.createXml(&getParameterManager()).release());
        root->addChildElement(createHostParametersMapXml().release());
        root->addChildElement(getMidiControl().createXml().release());
        return root;
    }

    void restorePluginState(const juce::XmlElement* e) override
    {
        BasePlugin::restorePluginState(e);
        if (!isValidPluginState(e))
            return;
        for (auto* child : e->getChildIterator())
        {
            if (!tagNameIs(*child, "Preset"))
                continue;
            Preset preset;
            preset.loadFromXml(child, &getParameterManager(), false);
            const auto& ids = preset.getName() == "ParametersState" ? stateIds : editionIds;
            for (int i = 0; i < preset.getNumEntries(); ++i)
                if (ids.contains(preset.getEntry(i)->id))
                    getParameterManager().setText(preset.getEntry(i)->id, preset.getEntry(i)->text);
        }
        loadHostParametersMap(e->getChildByName("HostParametersMap"));
        if (auto* midi = e->getChildByName("MidiControlMap"))
            getMidiControl().loadFromXml(*midi);
    }

    std::unique_ptr<Preset> createPresetToSave(PresetCollection*, const juce::File&) override
    {
        auto preset = std::make_unique<Preset>();
        fillPreset(*preset, getParameterManager(), stateIds);
        return preset;
    }
    void applyPreset(PresetCollection*, const Preset& preset) override
    {
        ++presetsApplied;
        for (int i = 0; i < preset.getNumEntries(); ++i)
            getParameterManager().setText(preset.getEntry(i)->id, preset.getEntry(i)->text);
    }
    const Preset* getDefaultPreset(PresetCollection*) override { return &defaultPreset; }
    juce::String getCurrentPresetName(PresetCollection*) override { return currentName; }
    void setCurrentPresetName(PresetCollection*, const juce::String& n) override { currentName = n; }

    bool guiRootWanted;
    bool counting = false;
    std::map<int, int> heardDuringBroadcast;
    juce::SparseSet<int> stateIds, editionIds;
    Preset defaultPreset;
    juce::String currentName;
    int presetsApplied = 0;
};

// What the host hears from the processor.
class HostRecorder : public juce::AudioProcessorListener
{
public:
    void audioProcessorParameterChanged(juce::AudioProcessor*, int index, float value) override
    {
        changes.push_back({ index, value });
    }
    void audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails& d) override
    {
        if (d.parameterInfoChanged)
            ++namesChanged;
    }
    void audioProcessorParameterChangeGestureBegin(juce::AudioProcessor*, int index) override
    {
        gestures.push_back(index);
    }
    void audioProcessorParameterChangeGestureEnd(juce::AudioProcessor*, int index) override
    {
        gestures.push_back(-1 - index);
    }

    std::vector<std::pair<int, float>> changes;
    std::vector<int> gestures;
    int namesChanged = 0;
};

class PluginRecorder : public BasePlugin::Listener
{
public:
    void pluginStateRestored(BasePlugin*) override { ++restored; }
    void pluginStateStored(BasePlugin*) override { ++stored; }
    void pluginPrepared(BasePlugin*) override { ++prepared; }
    void processingModeChanged(BasePlugin*, int m) override { modes.push_back(m); }
    void presetChanged(PresetCollection*) override { ++presetChanges; }

    int restored = 0, stored = 0, prepared = 0, presetChanges = 0;
    std::vector<int> modes;
};

// A settings file left by another test must not leak into the next one.
inline void removeUserSettings()
{
    TestPlugin probe;
    probe.getUserSettingsFile().deleteFile();
}

inline std::unique_ptr<TestPlugin> startPlugin(bool withGuiRoot = false)
{
    auto plugin = std::make_unique<TestPlugin>(withGuiRoot);
    BasePlugin::completeStartUp(*plugin);
    return plugin;
}
} // namespace BasePluginTestSupport

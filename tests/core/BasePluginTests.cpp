#include <gtest/gtest.h>
#include "BasePluginTestSupport.h"
#include "TestHelpers.h"
#include "core/AudioProcessorEditorWrapper.h"
#include <limits>

using namespace BasePluginTestSupport;

namespace
{
class BasePluginTest : public ::testing::Test
{
protected:
    void SetUp() override { removeUserSettings(); }
    void TearDown() override
    {
        TestHelpers::pumpMessages();
        removeUserSettings();
    }
};

constexpr int kDryWet = 89;
constexpr int kOutputGain = 91;
constexpr int kLimiter = 87;
constexpr int kRouting = 90; // not automatable
constexpr int kSelectedLine = 92;
} // namespace

TEST_F(BasePluginTest, StartUpBroadcastsEveryParameterOnceAndAppliesTheDefaultMap)
{
    auto plugin = startPlugin();
    auto& manager = plugin->getParameterManager();

    int registered = 0;
    for (int id = 0; id < 200; ++id)
    {
        if (manager.getParameter(id) == nullptr)
            continue;
        ++registered;
        EXPECT_EQ(plugin->heardDuringBroadcast[id], 1) << "parameter " << id;
    }
    EXPECT_GT(registered, 100);
    EXPECT_EQ((int) plugin->heardDuringBroadcast.size(), registered);

    // default.tnhpmap: slot 1 is "Dry/Wet", slot 2 "Output Gain".
    EXPECT_EQ(plugin->getParameterIdForHostIndex(0), kDryWet);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(1), kOutputGain);
    EXPECT_EQ(plugin->getParameterName(0), "Dry/Wet");

    EXPECT_EQ(plugin->getNumPrograms(), 1);
    EXPECT_EQ(plugin->getCurrentProgram(), 0);
    EXPECT_EQ(plugin->getProgramName(0), "");
    EXPECT_EQ(plugin->getTailLengthSeconds(), 0.0);
    EXPECT_EQ(plugin->getNumParameters(), 128);
    EXPECT_EQ(plugin->getParameters().size(), 128);
    EXPECT_EQ(plugin->getName(), "Tavinor");
    EXPECT_EQ(plugin->getArchitecture(), "64bit");
    EXPECT_TRUE(plugin->hasEditor());
    EXPECT_EQ(plugin->createEditor(), nullptr);

    // Built-in events follow the product's own.
    EXPECT_EQ(plugin->getEventsMap().getUid("Options"), 1000);
    EXPECT_EQ(plugin->getEventsMap().getUid("Toggle Midi Learn"), 1010);
    // Realtime quality took the user's default.
    EXPECT_EQ(manager.getText(99), manager.getText(110));
}

TEST_F(BasePluginTest, FreeHostSlotsKeepTheHostsValue)
{
    auto plugin = startPlugin();
    plugin->clearHostParametersMap();

    EXPECT_EQ(plugin->getParameterName(0), "Parameter 1");
    EXPECT_EQ(plugin->getParameterName(127), "Parameter 128");
    plugin->getParameters()[5]->setValue(0.3f);
    EXPECT_FLOAT_EQ(plugin->getParameter(5), 0.3f);
    EXPECT_EQ(plugin->getParameterText(5), "0.30000001");
    EXPECT_EQ(plugin->getParameters()[5]->getCurrentValueAsText(), "0.30000001");

    for (int bad : { -1, 128, 1000 })
    {
        plugin->setParameter(bad, 0.7f);
        EXPECT_EQ(plugin->getParameter(bad), 0.0f);
        EXPECT_EQ(plugin->getParameterName(bad), "");
        EXPECT_EQ(plugin->getParameterText(bad), "");
        EXPECT_FALSE(plugin->isParameterAutomatable(bad));
    }
    EXPECT_TRUE(plugin->isParameterAutomatable(127));

    plugin->setParameter(5, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(plugin->getParameter(5), 0.3f);
}

TEST_F(BasePluginTest, AssigningMovesParametersAndRefusesWhatCannotBeMapped)
{
    auto plugin = startPlugin();
    HostRecorder host;
    plugin->addListener(&host);
    plugin->clearHostParametersMap();
    auto* dryWet = plugin->getParameterManager().getParameter(kDryWet);

    plugin->assignHostParameter(5, dryWet, true);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(5), kDryWet);
    const int namesChanged = host.namesChanged;

    plugin->assignHostParameter(9, dryWet, true);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(5), -1);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(9), kDryWet);
    EXPECT_GT(host.namesChanged, namesChanged);

    // Refusals leave the parameter where it was.
    struct Case { int index; int id; };
    for (auto c : { Case { -1, kDryWet }, Case { 128, kDryWet }, Case { 3, kRouting }, Case { 4, 123456 } })
    {
        plugin->assignHostParameterByIndex(c.index, c.id, true);
        EXPECT_EQ(plugin->getParameterIdForHostIndex(9), kDryWet);
        for (int i = 0; i < 128; ++i)
            if (i != 9)
                EXPECT_EQ(plugin->getParameterIdForHostIndex(i), -1) << i;
    }

    // A slot taken by another parameter drops the first one entirely.
    plugin->assignHostParameterByIndex(9, kOutputGain, true);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(9), kOutputGain);
    host.changes.clear();
    dryWet->setNormalisedValue(0.11f, true);
    EXPECT_TRUE(host.changes.empty());

    plugin->unassignHostParameter(9);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(9), -1);
    plugin->removeListener(&host);
}

TEST_F(BasePluginTest, HostWritesAreNotEchoedButEditorAndMidiChangesAre)
{
    auto plugin = startPlugin();
    HostRecorder host;
    plugin->addListener(&host);
    plugin->clearHostParametersMap();
    auto& manager = plugin->getParameterManager();
    auto* dryWet = manager.getParameter(kDryWet);
    plugin->assignHostParameter(3, dryWet, false);

    plugin->getParameters()[3]->setValue(0.25f);
    EXPECT_FLOAT_EQ(dryWet->getNormalisedValue(), 0.25f);
    EXPECT_FLOAT_EQ(plugin->getParameter(3), 0.25f);
    EXPECT_TRUE(host.changes.empty());

    dryWet->setNormalisedValue(0.75f, true); // an editor control
    ASSERT_EQ(host.changes.size(), 1u);
    EXPECT_EQ(host.changes[0].first, 3);
    EXPECT_FLOAT_EQ(host.changes[0].second, 0.75f);

    plugin->getMidiControl().assign(7, dryWet, false);
    plugin->getMidiControl().processMidiMessage(juce::MidiMessage::controllerEvent(1, 7, 127));
    ASSERT_EQ(host.changes.size(), 2u);
    EXPECT_EQ(host.changes[1].first, 3);
    EXPECT_FLOAT_EQ(host.changes[1].second, 1.0f);

    dryWet->beginChangeGesture();
    dryWet->endChangeGesture();
    manager.getParameter(kOutputGain)->beginChangeGesture(); // unmapped: nothing
    EXPECT_EQ(host.gestures, (std::vector<int> { 3, -4 }));

    // The host's default value is the parameter's stored default.
    EXPECT_FLOAT_EQ(plugin->getParameterDefaultValue(3), manager.getDefaultValue(kDryWet));
    EXPECT_EQ(plugin->getParameterDefaultValue(4), 0.0f);
    plugin->removeListener(&host);
}

TEST_F(BasePluginTest, HostParametersMapFileRoundTripAndRefusals)
{
    TestHelpers::TempFolder temp;
    auto plugin = startPlugin();
    HostRecorder host;
    plugin->addListener(&host);
    plugin->clearHostParametersMap();
    plugin->assignHostParameterByIndex(0, kLimiter, false);
    plugin->assignHostParameterByIndex(127, kDryWet, false);

    const auto file = temp.getChild("mine.tnhpmap");
    ASSERT_TRUE(plugin->saveHostParametersMapFile(file));
    auto written = juce::parseXML(file);
    ASSERT_NE(written, nullptr);
    EXPECT_EQ(written->getTagName(), "HostParametersMap");
    EXPECT_EQ(written->getStringAttribute("name"), "Tavinor");
    ASSERT_EQ(written->getNumChildElements(), 2);
    EXPECT_EQ(written->getChildElement(0)->getStringAttribute("hostParam"), "1");
    EXPECT_EQ(written->getChildElement(0)->getStringAttribute("pluginParam"), "Limiter");
    EXPECT_EQ(written->getChildElement(1)->getStringAttribute("hostParam"), "128");

    plugin->clearHostParametersMap();
    const int namesBefore = host.namesChanged;
    ASSERT_TRUE(plugin->loadHostParametersMapFile(file));
    EXPECT_GT(host.namesChanged, namesBefore);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(0), kLimiter);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(127), kDryWet);

    // Foreign or unreadable maps change nothing and are left as they were.
    const auto foreign = temp.getChild("foreign.tnhpmap");
    foreign.replaceWithText("<HostParametersMap name=\"Other\"><assign hostParam=\"5\" pluginParam=\"Dry/Wet\"/>"
                            "</HostParametersMap>");
    const auto broken = temp.getChild("broken.tnhpmap");
    broken.replaceWithText("<HostParametersMap name=\"Tavinor\"><assign");
    for (auto& f : { foreign, broken, temp.getChild("missing.tnhpmap") })
    {
        const auto before = f.loadFileAsString();
        EXPECT_FALSE(plugin->loadHostParametersMapFile(f));
        EXPECT_EQ(f.loadFileAsString(), before);
        EXPECT_EQ(plugin->getParameterIdForHostIndex(0), kLimiter);
        EXPECT_EQ(plugin->getParameterIdForHostIndex(127), kDryWet);
    }

    // Later entries win; entries without a slot or with unknown names are skipped.
    auto map = juce::parseXML("<hostparametersmap name=\"TAVINOR\">"
                              "<assign hostParam=\"2\" pluginParam=\"Dry/Wet\"/>"
                              "<assign hostParam=\"3\" pluginParam=\"Dry/Wet\"/>"
                              "<assign hostParam=\"4\" pluginParam=\"Limiter\"/>"
                              "<assign hostParam=\"4\" pluginParam=\"Output Gain\"/>"
                              "<assign pluginParam=\"Limiter\"/>"
                              "<assign hostParam=\"3\" pluginParam=\"No Such Thing\"/>"
                              "<assign hostParam=\"6\" pluginParam=\"Routing\"/>"
                              "</hostparametersmap>");
    ASSERT_TRUE(plugin->loadHostParametersMap(map.get()));
    EXPECT_EQ(plugin->getParameterIdForHostIndex(1), -1);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(2), kDryWet);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(3), kOutputGain);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(5), -1);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(0), -1);
    plugin->removeListener(&host);
}

TEST_F(BasePluginTest, PluginStateChunkRoundTripIntoAFreshInstance)
{
    auto source = startPlugin(true);
    auto& m = source->getParameterManager();
    m.setNormalisedValue(kDryWet, 0.625f);
    m.setText(kRouting, "Serial");
    m.setText(47, "Envelope");
    m.setIntValue(kSelectedLine, 3);
    m.setText(97, "My Sound");
    source->clearHostParametersMap();
    source->assignHostParameterByIndex(10, kOutputGain, false);
    source->assignHostParameterByIndex(11, kLimiter, false);
    source->getMidiControl().assign(20, m.getParameter(kDryWet), false);
    dynamic_cast<FakeGuiRoot*>(source->getGuiRoot())->currentSkin = "Dark";

    juce::MemoryBlock chunk;
    source->getStateInformation(chunk);
    ASSERT_GT(chunk.getSize(), 0u);
    auto xml = juce::AudioProcessor::getXmlFromBinary(chunk.getData(), (int) chunk.getSize());
    ASSERT_NE(xml, nullptr);
    EXPECT_EQ(xml->getTagName(), "PluginState");
    EXPECT_EQ(xml->getStringAttribute("application"), "Tavinor");
    EXPECT_EQ(xml->getChildElement(0)->getTagName(), "Editor");

    auto target = startPlugin(true);
    PluginRecorder recorder;
    target->addListener(&recorder);
    HostRecorder host;
    target->addListener(&host);
    target->setStateInformation(chunk.getData(), (int) chunk.getSize());
    // The restored map puts other parameters on the host's slots.
    EXPECT_GT(host.namesChanged, 0);
    auto& t = target->getParameterManager();
    for (int id : { kDryWet, kRouting, 47, kSelectedLine, 97 })
        EXPECT_EQ(t.getText(id), m.getText(id)) << id;
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(target->getParameterIdForHostIndex(i), source->getParameterIdForHostIndex(i)) << i;
    EXPECT_EQ(target->getMidiControl().getParameterForController(20), t.getParameter(kDryWet));
    EXPECT_EQ(dynamic_cast<FakeGuiRoot*>(target->getGuiRoot())->currentSkin, "Dark");

    TestHelpers::pumpMessages();
    EXPECT_EQ(recorder.restored, 1);

    // A chunk that is not ours restores nothing but is still announced.
    const char garbage[] = "definitely not a chunk";
    target->setStateInformation(garbage, (int) sizeof(garbage));
    auto other = std::make_unique<juce::XmlElement>("PluginState");
    other->setAttribute("application", "Other");
    juce::MemoryBlock foreign;
    juce::AudioProcessor::copyXmlToBinary(*other, foreign);
    target->setStateInformation(foreign.getData(), (int) foreign.getSize());
    EXPECT_EQ(t.getText(kDryWet), m.getText(kDryWet));
    EXPECT_EQ(target->getParameterIdForHostIndex(10), kOutputGain);
    TestHelpers::pumpMessages();
    EXPECT_EQ(recorder.restored, 2);
    target->removeListener(&recorder);
    target->removeListener(&host);
}

TEST_F(BasePluginTest, UserSettingsFileRoundTrip)
{
    TestHelpers::TempFolder temp;
    const auto mapFile = temp.getChild("startup.tnhpmap");
    {
        auto source = startPlugin(true);
        source->setAuthorName("Ada");
        source->getMidiControl().setDefaultMapEnabled(true);
        source->getMidiControl().setDefaultMapFile(temp.getChild("cc.tnccmap").getFullPathName());
        source->clearHostParametersMap();
        source->assignHostParameterByIndex(42, kLimiter, false);
        ASSERT_TRUE(source->saveHostParametersMapFile(mapFile));
        source->setDefaultHostParametersMapEnabled(true);
        source->setDefaultHostParametersMapFile(mapFile.getFullPathName());
        source->getParameterManager().setText(110, "Low");
        source->getParameterManager().setText(111, "Medium");
        source->saveUserSettings();
    }

    auto settings = juce::parseXML(TestPlugin().getUserSettingsFile());
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->getTagName(), "UserSettings");
    EXPECT_EQ(settings->getStringAttribute("application"), "Tavinor");
    juce::StringArray tags;
    for (auto* child : settings->getChildIterator())
        tags.add(child->getTagName());
    EXPECT_EQ(tags.joinIntoString(","), "Presets,MidiControlMap,HostParametersMap,Preset,Editor");
    EXPECT_EQ(settings->getChildElement(0)->getChildByName("Author")->getStringAttribute("name"), "Ada");
    EXPECT_EQ(settings->getChildElement(1)->getStringAttribute("default"), "yes");
    EXPECT_EQ(settings->getChildElement(2)->getStringAttribute("default"), "yes");
    EXPECT_EQ(settings->getChildElement(2)->getStringAttribute("file"), mapFile.getFullPathName());
    EXPECT_EQ(settings->getChildElement(3)->getStringAttribute("name"), "DefaultProcessingQuality");
    EXPECT_EQ(settings->getChildElement(3)->getNumChildElements(), 2);

    auto target = startPlugin(true);
    auto& t = target->getParameterManager();
    EXPECT_EQ(target->getAuthorName(), "Ada");
    EXPECT_TRUE(target->getMidiControl().isDefaultMapEnabled());
    EXPECT_EQ(target->getMidiControl().getDefaultMapFile(), temp.getChild("cc.tnccmap").getFullPathName());
    EXPECT_TRUE(target->isDefaultHostParametersMapEnabled());
    EXPECT_EQ(target->getDefaultHostParametersMapFile(), mapFile.getFullPathName());
    EXPECT_EQ(t.getText(110), "Low");
    EXPECT_EQ(t.getText(111), "Medium");
    EXPECT_EQ(t.getText(99), "Low");
    EXPECT_EQ(t.getText(100), "Medium");
    // The user's default map replaced the built-in one at start-up.
    EXPECT_EQ(target->getParameterIdForHostIndex(42), kLimiter);
    EXPECT_EQ(target->getParameterIdForHostIndex(0), -1);
}

TEST_F(BasePluginTest, UserSettingsOfAnotherProductAreIgnored)
{
    const auto file = TestPlugin().getUserSettingsFile();
    file.getParentDirectory().createDirectory();

    struct Case { const char* text; const char* author; bool hostDefault; };
    const Case cases[] = {
        { "<UserSettings application=\"Other\"><Presets><Author name=\"X\"/></Presets>"
          "<HostParametersMap default=\"yes\"/></UserSettings>", "", false },
        { "<usersettings application=\"TAVINOR\"><presets><author name=\"X\"/></presets>"
          "<HostParametersMap default=\"YeS\" file=\"\"/></usersettings>", "X", true },
        { "<UserSettings application=\"Tavinor\"><HostParametersMap default=\"true\"/></UserSettings>", "", false },
        { "<UserSettings application=\"Tavinor\"><Presets><Author name=\"X\"/>", "", false },
    };
    for (const auto& c : cases)
    {
        file.replaceWithText(c.text);
        TestPlugin plugin;
        plugin.loadUserSettings();
        EXPECT_EQ(plugin.getAuthorName(), c.author) << c.text;
        EXPECT_EQ(plugin.isDefaultHostParametersMapEnabled(), c.hostDefault) << c.text;
        EXPECT_EQ(file.loadFileAsString(), c.text);
    }
}

TEST_F(BasePluginTest, EmptyPathsAreNotWrittenToTheSettings)
{
    TestPlugin plugin;
    auto xml = plugin.createUserSettingsXml();
    EXPECT_FALSE(xml->getChildByName("MidiControlMap")->hasAttribute("file"));
    EXPECT_EQ(xml->getChildByName("HostParametersMap")->getStringAttribute("default"), "no");
    EXPECT_FALSE(xml->getChildByName("HostParametersMap")->hasAttribute("file"));
}

TEST_F(BasePluginTest, NotificationsAreFoldedAndDeliveredOnTheMessageThread)
{
    TestPlugin plugin;
    PluginRecorder recorder;
    plugin.addListener(&recorder);
    plugin.prepareToPlay(44100.0, 512);
    plugin.prepareToPlay(48000.0, 512);
    juce::MemoryBlock block;
    plugin.getStateInformation(block);
    EXPECT_EQ(recorder.prepared, 0);
    TestHelpers::pumpMessages();
    EXPECT_EQ(recorder.prepared, 1);
    EXPECT_EQ(recorder.stored, 1);
    EXPECT_TRUE(recorder.modes.empty());

    // The same preparation again (a host's suspend and resume) is no news.
    plugin.prepareToPlay(48000.0, 512);
    TestHelpers::pumpMessages();
    EXPECT_EQ(recorder.prepared, 1);
    plugin.prepareToPlay(48000.0, 256);
    TestHelpers::pumpMessages();
    EXPECT_EQ(recorder.prepared, 2);

    plugin.setNonRealtime(true);
    juce::AudioBuffer<float> buffer(2, 16);
    juce::MidiBuffer midi;
    plugin.processBlock(buffer, midi);
    plugin.setNonRealtime(false);
    plugin.processBlock(buffer, midi);
    TestHelpers::pumpMessages();
    EXPECT_EQ(recorder.modes, (std::vector<int> { 1 }));
    plugin.removeListener(&recorder);
}

TEST_F(BasePluginTest, EditorWrapperShowsTheSameRootEveryTime)
{
    auto plugin = startPlugin(true);
    auto* root = dynamic_cast<FakeGuiRoot*>(plugin->getGuiRoot());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->initialiseCalls, 1);
    EXPECT_EQ(root->editorInitialisedCalls, 1);
    // The root's timer runs while an editor shows it, so that an instance
    // without one wakes no thread.
    EXPECT_FALSE(root->isTimerRunning());

    for (int round = 0; round < 2; ++round)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor(plugin->createEditor());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->getChildComponent(0), root);
        EXPECT_TRUE(root->isVisible());
        EXPECT_EQ(root->getTimerInterval(), BasePlugin::kGuiTimerIntervalMs);
        EXPECT_EQ(editor->getWidth(), 320);
        EXPECT_EQ(editor->getHeight(), 200);
        editor.reset();
        EXPECT_EQ(plugin->getGuiRoot(), root);
        EXPECT_EQ(root->getParentComponent(), nullptr);
        EXPECT_FALSE(root->isVisible());
        EXPECT_FALSE(root->isTimerRunning());
    }

    // A host that tears the plug-in down before closing its window.
    std::unique_ptr<juce::AudioProcessorEditor> editor(plugin->createEditor());
    plugin->deleteEditorComponent();
    EXPECT_EQ(plugin->getGuiRoot(), nullptr);
    EXPECT_EQ(plugin->createEditor(), nullptr);
    editor.reset();
}

TEST_F(BasePluginTest, NamedFoldersAndDataFolders)
{
    TestHelpers::TempFolder temp;
    TestPlugin plugin;
    const auto folder = temp.getChild("Presets");
    EXPECT_TRUE(plugin.addNamedFolder("presetDirectory", folder, true));
    EXPECT_TRUE(folder.isDirectory());
    EXPECT_FALSE(plugin.addNamedFolder("presetDirectory", temp.getChild("Other"), true));
    EXPECT_EQ(plugin.getNamedFolder("presetDirectory"), folder);
    EXPECT_EQ(plugin.getNamedFolder("unknown"), juce::File());
    EXPECT_TRUE(plugin.getUserDataFolder().getFullPathName().endsWith("/Orv Group/Tavinor"));
    EXPECT_TRUE(plugin.getUserSettingsFile().getFullPathName().endsWith("/Orv Group/Tavinor/Tavinor.ini"));
    EXPECT_EQ(plugin.getHostParametersMapFileExtension(), ".tnhpmap");
}

namespace
{
class DiagnosticPlugin : public TestPlugin
{
public:
    bool isDebugTableEnabled() const override { return true; }
    bool isDebugDumpEnabled() const override { return true; }
};
} // namespace

TEST_F(BasePluginTest, DiagnosticTableAndDump)
{
    {
        DiagnosticPlugin plugin;
        BasePlugin::completeStartUp(plugin);
        auto& m = plugin.getParameterManager();
        ASSERT_NE(m.getParameter(300000), nullptr);
        EXPECT_EQ(m.getParameterName(300011), "Debug Parameter 11");
        EXPECT_EQ(m.getParameter(300012), nullptr);
        EXPECT_EQ(plugin.heardDuringBroadcast[300005], 1);
        EXPECT_EQ(plugin.getEventsMap().getUid("Debug Event 0"), 10000);
        EXPECT_EQ(plugin.getEventsMap().getName(10011), "Debug Event 11");

        m.setNormalisedValue(kDryWet, 0.2f);
        plugin.saveUserSettings(); // also writes the dump
        EXPECT_TRUE(plugin.getDebugDumpFile().existsAsFile());
    }
    DiagnosticPlugin restored;
    PluginRecorder recorder;
    restored.addListener(&recorder);
    BasePlugin::completeStartUp(restored);
    EXPECT_FLOAT_EQ(restored.getParameterManager().getNormalisedValue(kDryWet), 0.2f);
    TestHelpers::pumpMessages();
    EXPECT_EQ(recorder.restored, 1);
    restored.removeListener(&recorder);
    restored.getDebugDumpFile().deleteFile();
}

TEST_F(BasePluginTest, SettingsSavedFromAWorkerAreWrittenOnTheMessageThread)
{
    TestPlugin plugin;
    plugin.setAuthorName("Worker");
    const auto file = plugin.getUserSettingsFile();
    juce::Thread::launch([&plugin] { plugin.saveUserSettings(); });
    for (int i = 0; i < 200 && !file.existsAsFile(); ++i)
    {
        juce::Thread::sleep(5);
        TestHelpers::pumpMessages();
    }
    ASSERT_TRUE(file.existsAsFile());
    EXPECT_TRUE(file.loadFileAsString().contains("Worker"));
}

TEST_F(BasePluginTest, HostTextsOfOtherValuesLeaveTheParameterAlone)
{
    auto plugin = startPlugin();
    plugin->clearHostParametersMap();
    auto* limiter = plugin->getParameterManager().getParameter(kLimiter);
    plugin->assignHostParameter(0, limiter, false);
    limiter->setText("off", false);

    auto* slot = plugin->getParameters()[0];
    EXPECT_EQ(slot->getCurrentValueAsText(), "off");
    EXPECT_EQ(slot->getText(1.0f, 100), "on");
    EXPECT_FLOAT_EQ(slot->getValueForText("on"), 1.0f);
    EXPECT_EQ(limiter->getText(), "off");
    EXPECT_FLOAT_EQ(plugin->getParameters()[7]->getValueForText("0.25"), 0.25f);
    EXPECT_EQ(plugin->getParameters()[7]->getText(0.5f, 100), "0.50000000");
}

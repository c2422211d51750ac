#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "TavinorTestSupport.h"

#include "core/Preset.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>

using namespace TavinorTest;

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

// A sound that uses a bit of everything, so that a state that loses any of it shows.
void setBusySound(Tavinor& t)
{
    auto& pm = t.getParameterManager();
    pm.setText(Tavinor::kRouting, "Tapped Serial");
    pm.setNormalisedValue(Tavinor::kDryWet, 0.6f);
    pm.setNormalisedValue(lineId(0, Tavinor::kLevel), 0.7f);
    pm.setNormalisedValue(lineId(1, Tavinor::kLevel), 0.6f);
    pm.setNormalisedValue(lineId(2, Tavinor::kLevel), 0.5f);
    pm.setValue(lineId(0, Tavinor::kDelayLeftMs), 123.0f);
    pm.setValue(lineId(1, Tavinor::kDelayRightMs), 321.0f);
    pm.setBoolValue(lineId(1, Tavinor::kDelaySync), false);
    pm.setNormalisedValue(lineId(0, Tavinor::kFeedback), 0.8f);
    pm.setText(lineId(0, Tavinor::kFilterType), "Low Pass");
    pm.setNormalisedValue(lineId(0, Tavinor::kCutoff), 0.4f);
    pm.setBoolValue(lineId(0, Tavinor::kOverdrive), true);
    pm.setNormalisedValue(lineId(0, Tavinor::kPreamp), 0.6f);
    pm.setNormalisedValue(lineId(1, Tavinor::kTimeModDepth), 0.3f);
    pm.setText(lineId(1, Tavinor::kModSource), "MOD 2");
    pm.setText(Tavinor::kMod2Waveform, "Square");
    pm.setNormalisedValue(Tavinor::kMod2Frequency, 0.3f);
    pm.setBoolValue(Tavinor::kLimiter, true);
    pm.setNormalisedValue(Tavinor::kLimiterThreshold, 0.5f);
    pm.setIntValue(Tavinor::kSelectedLine, 3);
    pm.setText(Tavinor::kMod1RetriggerNote, "D#4");
    t.getMidiControl().assign(7, pm.getParameter(Tavinor::kDryWet), true);
    t.assignHostParameter(5, pm.getParameter(lineId(0, Tavinor::kFeedback)), true);
}

float maxDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return 1.0e30f;
    float d = 0.0f;
    for (size_t i = 0; i < a.size(); ++i)
        d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

juce::MemoryBlock stateOf(Tavinor& t)
{
    juce::MemoryBlock m;
    t.getStateInformation(m);
    return m;
}
} // namespace

TEST(TavinorState, ChunkRestoresTheSameSoundAndTheSameChunk)
{
    auto a = makeProcessor();
    setBusySound(*a);
    const auto chunk = stateOf(*a);
    ASSERT_GT(chunk.getSize(), 100u);

    auto b = makeProcessor();
    a->setStateInformation(chunk.getData(), (int) chunk.getSize());
    b->setStateInformation(chunk.getData(), (int) chunk.getSize());

    EXPECT_EQ(stateOf(*b), chunk);
    EXPECT_EQ(b->getSelectedLine(), 2);
    EXPECT_EQ(b->getMidiControl().getParameterForController(7)->getId(), Tavinor::kDryWet);
    EXPECT_EQ(b->getParameterIdForHostIndex(5), lineId(0, Tavinor::kFeedback));

    a->prepareToPlay(kRate, kBlock);
    b->prepareToPlay(kRate, kBlock);
    const auto input = pinkNoise(3 * (size_t) kRate, -12.0);
    const auto outA = process(*a, input, kBlock);
    const auto outB = process(*b, input, kBlock);
    ASSERT_TRUE(allFinite(outA));
    EXPECT_GT(rmsDb(outA.left), -40.0);
    EXPECT_EQ(0, std::memcmp(outA.left.data(), outB.left.data(), outA.left.size() * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(outA.right.data(), outB.right.data(), outA.right.size() * sizeof(float)));
}

TEST(TavinorState, TheChunkHoldsTheStateSetsInOrder)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    auto state = t->createPluginState();
    ASSERT_NE(state, nullptr);

    // Our five additions come last, in this order.
    juce::StringArray tail;
    for (auto* child : state->getChildIterator())
        tail.add(child->getTagName() + ":" + child->getStringAttribute("name"));
    ASSERT_GE(tail.size(), 5);
    tail.removeRange(0, tail.size() - 5);
    EXPECT_EQ(tail.joinIntoString(","), "Preset:ParametersState,Preset:TimeKnobsState,Preset:EditionStateParameters,"
                                        "HostParametersMap:Tavinor,MidiControlMap:Tavinor");

    auto namesIn = [&](const juce::String& presetName, juce::String& version) {
        juce::StringArray names;
        for (auto* child : state->getChildIterator())
            if (child->getStringAttribute("name") == presetName)
            {
                version = child->getStringAttribute("version");
                for (auto* param : child->getChildIterator())
                    names.add(param->getStringAttribute("name"));
            }
        return names;
    };

    // Every line setting but the knob positions and freeze, and the globals 47 to 91.
    juce::String version;
    const auto parameters = namesIn("ParametersState", version);
    EXPECT_EQ(version, "1.1");
    EXPECT_EQ(parameters.size(), 4 * 42 + 45);
    for (int line = 0; line < Tavinor::kNumLines; ++line)
        for (int k = 0; k < Tavinor::kNumTemplateParameters; ++k)
        {
            const bool left = k == Tavinor::kDelayLeftKnob || k == Tavinor::kDelayRightKnob
                              || k == Tavinor::kPreDelayLeftKnob || k == Tavinor::kPreDelayRightKnob || k == Tavinor::kFreeze;
            EXPECT_EQ(parameters.contains(pm.getParameterName(Tavinor::getLineParameterBase(line) + k)), ! left)
                << line << " " << k;
        }
    for (int id = 0; id < 126; ++id)
        EXPECT_EQ(parameters.contains(pm.getParameterName(id)), id >= Tavinor::kMod1First && id <= Tavinor::kOutputGain) << id;

    // The knobs of the free times, which their milliseconds do not give back
    // to the last bit, in the state only.
    const auto knobs = namesIn("TimeKnobsState", version);
    EXPECT_EQ(version, "1.1");
    juce::StringArray expectedKnobs;
    for (int line = 0; line < Tavinor::kNumLines; ++line)
        for (const int k : { Tavinor::kDelayLeftKnob, Tavinor::kDelayRightKnob, Tavinor::kPreDelayLeftKnob,
                             Tavinor::kPreDelayRightKnob })
            expectedKnobs.add(pm.getParameterName(Tavinor::getLineParameterBase(line) + k));
    EXPECT_EQ(knobs, expectedKnobs);

    // The editing state: 92 to 104.
    const auto edition = namesIn("EditionStateParameters", version);
    EXPECT_EQ(version, "1.1");
    juce::StringArray expected;
    for (int id = Tavinor::kSelectedLine; id <= Tavinor::kMod2RetriggerNote; ++id)
        expected.add(pm.getParameterName(id));
    EXPECT_EQ(edition, expected);

    // The default settings, in the user settings: 105 to 109, without a version.
    auto defaults = t->createDefaultSettingsPreset()->createXml(&pm);
    EXPECT_EQ(defaults->getStringAttribute("name"), "DefaultSettingsParameters");
    EXPECT_FALSE(defaults->hasAttribute("version"));
    juce::StringArray defaultNames, expectedDefaults;
    for (auto* param : defaults->getChildIterator())
        defaultNames.add(param->getStringAttribute("name"));
    for (int id = Tavinor::kDefaultMod1RetriggerChannel; id <= Tavinor::kDefaultMaxDelayTime; ++id)
        expectedDefaults.add(pm.getParameterName(id));
    EXPECT_EQ(defaultNames, expectedDefaults);
}

// The current preset's file travels in the state as one attribute that older
// readers pass over, and comes back at once in a new instance, also when the
// host restores the state on a thread of its own.
TEST(TavinorState, TheCurrentPresetFileIsAnAddedAttributeAndRoundTrips)
{
    auto t = makeProcessor();
    auto* collection = t->getPresetCollection(0);
    const auto file = collection->getRootFolder().getChildFile("Sub Folder/Mine.tnprst");
    ASSERT_TRUE(t->savePresetToFile(collection, file));
    TestHelpers::pumpMessages();
    auto withFile = t->createPluginState();
    EXPECT_EQ(withFile->getStringAttribute("presetFile"), "Sub Folder/Mine.tnprst");

    const auto chunk = stateOf(*t);
    t->setCurrentPresetPath(collection, {});
    auto without = t->createPluginState();
    EXPECT_FALSE(without->hasAttribute("presetFile"));
    withFile->removeAttribute("presetFile");
    EXPECT_TRUE(withFile->isEquivalentTo(without.get(), false)) << "nothing else differs";

    auto other = makeProcessor();
    juce::MemoryBlock again;
    std::thread host([&] {
        other->setStateInformation(chunk.getData(), (int) chunk.getSize());
        other->getStateInformation(again);
    });
    host.join();
    EXPECT_EQ(again, chunk);
    TestHelpers::pumpMessages();
    EXPECT_EQ(other->getCurrentPresetPath(other->getPresetCollection(0)), file);
    EXPECT_EQ(stateOf(*other), chunk);
    file.getParentDirectory().deleteRecursively();
}

// A project file is anyone's: a stored preset path that can name no preset of
// the folder (deeper than the folder is read, a name longer than a file's, a
// way out of it) is passed over as in a state without one, and costs its
// length, not its depth: the state loads on a thread with a small stack.
TEST(TavinorState, AStoredPresetPathThatNamesNoPresetOfTheFolderIsPassedOver)
{
    auto source = makeProcessor();
    auto* collection = source->getPresetCollection(0);
    const auto mine = collection->getRootFolder().getChildFile("Mine.tnprst");
    ASSERT_TRUE(source->savePresetToFile(collection, mine));
    TestHelpers::pumpMessages();
    auto xml = source->createPluginState();
    for (const auto& path : { "Mine/" + juce::String::repeatedString("x/", 20000) + "a.tnprst",
                              "Mine/" + juce::String::repeatedString("x", 100000) + ".tnprst",
                              juce::String("../Mine.tnprst"), mine.getFullPathName() })
    {
        xml->setAttribute("presetFile", path);
        juce::MemoryBlock chunk;
        juce::AudioProcessor::copyXmlToBinary(*xml, chunk);
        auto reopened = makeProcessor();
        struct Loader : juce::Thread
        {
            Loader(std::function<void()> w) : juce::Thread("state loader", 512 * 1024), work(std::move(w)) {}
            void run() override { work(); }
            std::function<void()> work;
        } loader([&] { reopened->setStateInformation(chunk.getData(), (int) chunk.getSize()); });
        ASSERT_TRUE(loader.startThread() && loader.waitForThreadToExit(10000)) << path.substring(0, 20);
        TestHelpers::pumpMessages();
        // Found by the preset's name, as for a state of an older version.
        EXPECT_EQ(reopened->getCurrentPresetPath(reopened->getPresetCollection(0)), mine) << path.substring(0, 20);
    }
    mine.deleteFile();
}

TEST(TavinorState, ForeignOrBrokenChunksChangeNothing)
{
    auto t = makeProcessor();
    const auto before = stateOf(*t);
    juce::XmlElement other("PluginState");
    other.setAttribute("application", "SomethingElse");
    other.createNewChildElement("Preset")->setAttribute("name", "ParametersState");
    juce::MemoryBlock foreign;
    juce::AudioProcessor::copyXmlToBinary(other, foreign);
    t->setStateInformation(foreign.getData(), (int) foreign.getSize());
    const char garbage[] = "not a chunk at all";
    t->setStateInformation(garbage, (int) sizeof(garbage));
    t->setStateInformation(nullptr, 0);
    EXPECT_EQ(stateOf(*t), before);
}

TEST(TavinorState, OldPresetsAreUpgraded)
{
    struct Case { juce::String version, waveform, storedInvert, expectedWaveform; bool expectedInvert; };
    const Case cases[] = {
        { "1.0", "Saw Up", "off", "Saw Down", true },
        { "", "Saw Up", "off", "Saw Down", true },
        { "1.0", "Square", "on", "Square", false },
        { "1.1", "Saw Up", "off", "Saw Down", false },
        { "1.1", "Saw Up", "on", "Saw Down", true },
        { "1.1", "Sine", "on", "Sine", true },
    };
    for (const auto& c : cases)
    {
        for (const int waveformId : { (int) Tavinor::kMod1Waveform, (int) Tavinor::kMod2Waveform })
        {
            auto t = makeProcessor();
            auto& pm = t->getParameterManager();
            Preset p;
            p.setVersion(c.version);
            p.addParameter(waveformId, c.waveform);
            p.addParameter(waveformId + 1, c.storedInvert);
            p.addParameter(lineId(0, Tavinor::kModSource), "LFO2");
            p.addParameter(lineId(1, Tavinor::kModSource), "LFO1");
            t->applyPreset(nullptr, p);
            EXPECT_EQ(pm.getText(waveformId), c.expectedWaveform) << c.version << " " << c.waveform;
            EXPECT_EQ(pm.getBoolValue(waveformId + 1), c.expectedInvert) << c.version << " " << c.waveform;
            EXPECT_EQ(pm.getText(lineId(0, Tavinor::kModSource)), "MOD 2");
            EXPECT_EQ(pm.getText(lineId(1, Tavinor::kModSource)), "MOD 1");
        }
    }
}

TEST(TavinorState, PadlocksAndIdSetsLimitWhatAPresetChanges)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    t->getLinePadlock(1)->toggle();
    t->getFXAmountPadlock()->toggle();
    Preset p;
    p.setVersion("1.1");
    p.addParameter(lineId(0, Tavinor::kFeedback), "0.9");
    p.addParameter(lineId(1, Tavinor::kFeedback), "0.9");
    p.addParameter(Tavinor::kDryWet, "0.9");
    p.addParameter(lineId(0, Tavinor::kFreeze), "on");  // freeze is not part of a preset
    p.addParameter(Tavinor::kMaxDelayTime, "9");     // nor are the settings
    t->applyPreset(nullptr, p);
    EXPECT_FLOAT_EQ(pm.getValue(lineId(0, Tavinor::kFeedback)), 0.9f);
    EXPECT_NE(pm.getValue(lineId(1, Tavinor::kFeedback)), 0.9f);
    EXPECT_NE(pm.getValue(Tavinor::kDryWet), 0.9f);
    EXPECT_FALSE(pm.getBoolValue(lineId(0, Tavinor::kFreeze)));
    EXPECT_NE(pm.getIntValue(Tavinor::kMaxDelayTime), 9);
}

TEST(TavinorState, EditionStateUpgrade)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    Preset old;
    old.addParameter(123, "E-3");  // legacy id of the MOD 1 retrigger note
    old.addParameter(Tavinor::kSelectedLine, "2");
    t->applyEditionState(old);
    EXPECT_EQ(pm.getText(Tavinor::kMod1RetriggerNote), "E-3");
    EXPECT_EQ(t->getSelectedLine(), 1);
    EXPECT_EQ(pm.getIntValue(Tavinor::kRealtimeQuality), 3);
    EXPECT_EQ(pm.getIntValue(Tavinor::kOfflineQuality), 3);

    pm.setIntValue(Tavinor::kRealtimeQuality, 1);
    auto current = t->createEditionStatePreset();
    EXPECT_EQ(current->getVersion(), "1.1");
    t->applyEditionState(*current);
    EXPECT_EQ(pm.getIntValue(Tavinor::kRealtimeQuality), 1);
}

TEST(TavinorState, DefaultSettingsGoThroughTheUserSettings)
{
    {
        auto t = makeProcessor();
        auto& pm = t->getParameterManager();
        pm.setText(Tavinor::kDefaultMod2RetriggerNote, "A-6");
        pm.setIntValue(Tavinor::kDefaultMaxDelayTime, 7);
    } // saves the settings when closed
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    EXPECT_EQ(pm.getText(Tavinor::kDefaultMod2RetriggerNote), "A-6");
    EXPECT_EQ(pm.getText(Tavinor::kMod2RetriggerNote), "A-6");
    EXPECT_EQ(pm.getIntValue(Tavinor::kMaxDelayTime), 7);

    // Legacy ids in old settings.
    Preset legacy;
    legacy.addParameter(121, "G-2");
    t->applyDefaultSettings(legacy);
    EXPECT_EQ(pm.getText(Tavinor::kDefaultMod2RetriggerNote), "G-2");
    pm.setIntValue(Tavinor::kDefaultMaxDelayTime, 4);
    pm.setText(Tavinor::kDefaultMod2RetriggerNote, "C-5");
}

TEST(TavinorState, FactoryPresetVersion)
{
    auto t = makeProcessor();
    // The preset folder was empty when this instance started: nothing installed.
    EXPECT_TRUE(t->getInstalledFactoryPresetVersion().isEmpty());
    EXPECT_TRUE(t->needsFactoryPresetInstall());
    t->setFactoryPresetsInstalled();
    EXPECT_FALSE(t->needsFactoryPresetInstall());

    juce::XmlElement root("UserSettings");
    root.createNewChildElement("Presets")->createNewChildElement("Author")->setAttribute("name", "me");
    t->writeSettings(root);
    auto* installed = root.getChildByName("Presets")->getChildByName("Installed");
    ASSERT_NE(installed, nullptr);
    EXPECT_EQ(installed->getStringAttribute("version"), "1.1");

    // The settings file now names 1.1 (written when the instance closes); with
    // presets in the folder it is believed.
    const auto folder = t->getNamedFolder("presetDirectory");
    t.reset();
    const auto somePreset = folder.getChildFile("Mine.tnprst");
    ASSERT_TRUE(somePreset.replaceWithText("<Preset/>"));
    EXPECT_EQ(makeProcessor()->getInstalledFactoryPresetVersion(), "1.1");

    // An empty preset folder asks for the presets whatever the file says.
    somePreset.deleteFile();
    EXPECT_TRUE(makeProcessor()->needsFactoryPresetInstall());
}

TEST(TavinorState, CopiedLineSoundsTheSameOnAnotherLine)
{
    struct Recorder : Tavinor::Listener
    {
        juce::StringArray calls;
        void lineCopied(Tavinor*, int line) override { calls.add("copied " + juce::String(line)); }
        void linePasted(Tavinor*, int line) override { calls.add("pasted " + juce::String(line)); }
    };

    auto render = [](bool paste) {
        auto t = makeProcessor();
        setCleanSingleEcho(*t, 180.0f, 260.0f);
        auto& pm = t->getParameterManager();
        pm.setNormalisedValue(lineId(0, Tavinor::kFeedback), 0.75f);
        pm.setText(lineId(0, Tavinor::kFilterType), "Band Pass");
        pm.setNormalisedValue(lineId(0, Tavinor::kCutoff), 0.55f);
        pm.setBoolValue(lineId(0, Tavinor::kOverdrive), true);
        pm.setNormalisedValue(lineId(0, Tavinor::kStereoOffset), 0.3f);
        pm.setNormalisedValue(lineId(0, Tavinor::kTimeModDepth), 0.2f);
        if (paste)
        {
            Recorder recorder;
            t->addListener(&recorder);
            t->copyLine(0);
            t->pasteLine(2);
            t->pasteLine(3); // one paste per copy
            t->removeListener(&recorder);
            EXPECT_EQ(recorder.calls.joinIntoString(","), "copied 0,pasted 2");
            EXPECT_EQ(t->getSelectedLine(), 2);
            // Only line 3 sounds, at line 1's level.
            pm.setNormalisedValue(lineId(2, Tavinor::kLevel), pm.getNormalisedValue(lineId(0, Tavinor::kLevel)));
            pm.setNormalisedValue(lineId(0, Tavinor::kLevel), 0.0f);
        }
        t->prepareToPlay(kRate, kBlock);
        return process(*t, pinkNoise((size_t) kRate, -18.0), kBlock);
    };

    const auto original = render(false);
    const auto pasted = render(true);
    EXPECT_GT(rmsDb(original.left), -40.0);
    // The lines are summed in another order, which may move the last bit.
    EXPECT_LT(maxDifference(original.left, pasted.left), 1e-6f);
    EXPECT_LT(maxDifference(original.right, pasted.right), 1e-6f);
}

TEST(TavinorState, RestoreLineDefaultsRespectsPadlocks)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    const float original = pm.getValue(lineId(1, Tavinor::kFeedback));
    pm.setNormalisedValue(lineId(1, Tavinor::kFeedback), 0.95f);
    pm.setNormalisedValue(lineId(2, Tavinor::kFeedback), 0.95f);
    t->getLinePadlock(2)->toggle();
    t->restoreLineDefaults(1);
    t->restoreLineDefaults(2);
    EXPECT_FLOAT_EQ(pm.getValue(lineId(1, Tavinor::kFeedback)), original);
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(lineId(2, Tavinor::kFeedback)), 0.95f);
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(lineId(1, Tavinor::kLevel)), 0.0f); // line 2's own default level
}

// Whether the preset counts as changed by the user (what makes the editor ask
// before stepping to another one): nothing the instance does by itself, no
// state the host restores and no preset applied make it so; a change by the
// user or by the host's automation afterwards does. A state keeps what it was
// when the host saved it.
TEST(TavinorState, OnlyTheUserOrTheHostsAutomationModifiesThePreset)
{
    const auto modified = [](Tavinor& t) { return t.isPresetModified(t.getPresetCollection(0)); };
    const auto changed = [](Tavinor& t) { t.getParameterManager().setNormalisedValue(lineId(0, Tavinor::kFeedback), 0.3f); };

    juce::File presetFile;
    juce::MemoryBlock unchangedState, changedState;
    {
        auto source = makeProcessor();
        setBusySound(*source);
        auto* collection = source->getPresetCollection(0);
        presetFile = collection->getRootFolder().getChildFile("Modified Or Not.tnprst");
        ASSERT_TRUE(source->savePresetToFile(collection, presetFile));
        unchangedState = stateOf(*source);
        changed(*source);
        changedState = stateOf(*source);
    }

    const struct
    {
        const char* what;
        std::function<void(Tavinor&)> run;
        bool expected;
    } cases[] = {
        { "start-up", [](Tavinor&) {}, false },
        { "playing with a play head",
          [](Tavinor& t) {
              FakePlayHead head(97.0);
              t.setPlayHead(&head);
              t.prepareToPlay(kRate, kBlock);
              process(t, pinkNoise(kRate / 2, -12.0), kBlock);
              t.setPlayHead(nullptr);
          },
          false },
        { "an unchanged state restored",
          [&](Tavinor& t) { t.setStateInformation(unchangedState.getData(), (int) unchangedState.getSize()); }, false },
        { "an unchanged state restored over changes",
          [&](Tavinor& t) {
              changed(t);
              t.setStateInformation(unchangedState.getData(), (int) unchangedState.getSize());
          },
          false },
        // A host that restores the chunk and then sets every parameter to
        // the value it kept in its session: as it read it, or as text of
        // six significant digits, as hosts write them into their files.
        { "an unchanged state restored, then every host parameter set to the value it has",
          [&](Tavinor& t) {
              t.setStateInformation(unchangedState.getData(), (int) unchangedState.getSize());
              for (int i = 0; i < t.getNumParameters(); ++i)
                  t.setParameter(i, t.getParameter(i));
          },
          false },
        { "an unchanged state restored, then every host parameter set to the value it has, kept as text",
          [&](Tavinor& t) {
              t.setStateInformation(unchangedState.getData(), (int) unchangedState.getSize());
              for (int i = 0; i < t.getNumParameters(); ++i)
                  t.setParameter(i, std::stof(juce::String::formatted("%g", t.getParameter(i)).toStdString()));
          },
          false },
        { "a state saved with changes restored",
          [&](Tavinor& t) { t.setStateInformation(changedState.getData(), (int) changedState.getSize()); }, true },
        { "a preset file loaded over changes",
          [&](Tavinor& t) {
              changed(t);
              t.loadPresetFile(t.getPresetCollection(0), presetFile);
          },
          false },
        { "the default preset restored over changes",
          [&](Tavinor& t) {
              changed(t);
              t.restoreDefaultPreset(t.getPresetCollection(0));
          },
          false },
    };
    for (const auto& c : cases)
    {
        auto t = makeProcessor();
        c.run(*t);
        TestHelpers::pumpMessages();
        EXPECT_EQ(modified(*t), c.expected) << c.what;

        // Afterwards the user's change and the host's automation both count.
        auto& pm = t->getParameterManager();
        pm.setNormalisedValue(Tavinor::kDryWet, pm.getNormalisedValue(Tavinor::kDryWet) == 0.25f ? 0.5f : 0.25f);
        EXPECT_TRUE(modified(*t)) << c.what << ", then a change by the user";
        t->setStateInformation(unchangedState.getData(), (int) unchangedState.getSize());
        ASSERT_FALSE(modified(*t)) << c.what;
        t->assignHostParameter(5, pm.getParameter(lineId(1, Tavinor::kCutoff)), true);
        t->setParameter(5, pm.getNormalisedValue(lineId(1, Tavinor::kCutoff)) == 0.75f ? 0.5f : 0.75f);
        EXPECT_TRUE(modified(*t)) << c.what << ", then the host's automation";
    }
    presetFile.deleteFile();
}

// A host that compares the parameters after a restore sees what it saved:
// random values in every parameter of the state, the knobs of the free times
// last (as a host's automation of them moves them), come back to the bit.
TEST(TavinorState, EveryValueOfTheStateComesBackExactly)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const int knobs[] = { Tavinor::kDelayLeftKnob, Tavinor::kDelayRightKnob, Tavinor::kPreDelayLeftKnob,
                          Tavinor::kPreDelayRightKnob };
    std::vector<int> ids;
    for (int line = 0; line < Tavinor::kNumLines; ++line)
        for (int k = 0; k < Tavinor::kNumTemplateParameters; ++k)
            if (k != Tavinor::kFreeze) // a performance switch, left out of every state
                ids.push_back(Tavinor::getLineParameterBase(line) + k);
    for (int id = Tavinor::kMod1First; id < Tavinor::kPresetName; ++id)
        ids.push_back(id);

    auto source = makeProcessor();
    auto target = makeProcessor();
    auto& pm = source->getParameterManager();
    std::map<int, int> mismatches;
    for (int round = 0; round < 100; ++round)
    {
        for (const int id : ids)
            pm.setNormalisedValue(id, unit(random));
        for (int line = 0; line < Tavinor::kNumLines; ++line)
            for (const int k : knobs)
                pm.setNormalisedValue(Tavinor::getLineParameterBase(line) + k, unit(random));

        const auto state = stateOf(*source);
        target->setStateInformation(state.getData(), (int) state.getSize());
        for (const int id : ids)
            if (target->getParameterManager().getValue(id) != pm.getValue(id))
                ++mismatches[id];
    }
    for (const auto& [id, count] : mismatches)
        ADD_FAILURE() << pm.getParameterName(id) << " (" << id << ") came back changed " << count << " times of 100";

    // A state of an earlier version, without the knobs: they follow their
    // times as they always did, and every other value comes back exactly.
    auto state = source->createPluginState();
    for (auto* child : state->getChildIterator())
        if (child->getStringAttribute("name") == "TimeKnobsState")
        {
            state->removeChildElement(child, true);
            break;
        }
    juce::MemoryBlock old;
    juce::AudioProcessor::copyXmlToBinary(*state, old);
    target->setStateInformation(old.getData(), (int) old.getSize());
    for (const int id : ids)
    {
        const bool knob = std::find(std::begin(knobs), std::end(knobs), Tavinor::templateIndexOfId(id)) != std::end(knobs);

        if (knob)
            EXPECT_NEAR(target->getParameterManager().getValue(id), pm.getValue(id), 1.0e-6f) << id;
        else
            EXPECT_EQ(target->getParameterManager().getValue(id), pm.getValue(id)) << id;
    }
}

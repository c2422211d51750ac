#include <gtest/gtest.h>
#include "BasePluginTestSupport.h"
#include "TestHelpers.h"

using namespace BasePluginTestSupport;

namespace
{
constexpr int kDryWet = 89;
constexpr int kOutputGain = 91;

class BasePluginPresetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        removeUserSettings();
        plugin = startPlugin();
        presets = temp.getChild("Presets");
        presets.getChildFile("Pads").createDirectory();
        plugin->initPresetCollection(".tnprst", presets);
        collection = plugin->getPresetCollection(0);
        plugin->addListener(&recorder);
    }
    void TearDown() override
    {
        plugin->removeListener(&recorder);
        TestHelpers::pumpMessages();
        removeUserSettings();
    }

    juce::File save(const juce::String& relativePath, float dryWet)
    {
        plugin->getParameterManager().setNormalisedValue(kDryWet, dryWet);
        const auto file = presets.getChildFile(relativePath);
        plugin->savePresetToFile(collection, file);
        return file;
    }

    float dryWet() { return plugin->getParameterManager().getNormalisedValue(kDryWet); }

    TestHelpers::TempFolder temp;
    juce::File presets;
    std::unique_ptr<TestPlugin> plugin;
    PresetCollection* collection = nullptr;
    PluginRecorder recorder;
};
} // namespace

TEST_F(BasePluginPresetTest, SaveLoadAndStepThroughTheCollection)
{
    const auto a = save("A.tnprst", 0.1f);
    const auto b = save("B.tnprst", 0.2f);
    const auto c = save("Pads/C.tnprst", 0.3f);
    ASSERT_EQ(collection->getNumPresets(), 3);
    EXPECT_EQ(recorder.presetChanges, 3);
    EXPECT_EQ(plugin->getCurrentPresetPath(collection), c);
    EXPECT_EQ(plugin->currentName, "C");
    EXPECT_FALSE(plugin->isPresetModified(collection));

    FilePreset header(a);
    header.loadFromFile(a, nullptr, true);
    EXPECT_EQ(header.getId(), plugin->getOwnerId());

    // Tree order: a folder's own presets, then its sub-folders'.
    ASSERT_EQ(collection->getPresetFile(0), a);
    ASSERT_EQ(collection->getPresetFile(2), c);
    plugin->selectNextPreset(collection); // from the last, wraps to the first
    EXPECT_EQ(plugin->getCurrentPresetPath(collection), a);
    EXPECT_FLOAT_EQ(dryWet(), 0.1f);
    plugin->selectNextPreset(collection);
    EXPECT_EQ(plugin->getCurrentPresetPath(collection), b);
    EXPECT_FLOAT_EQ(dryWet(), 0.2f);
    plugin->selectPreviousPreset(collection);
    EXPECT_EQ(plugin->getCurrentPresetPath(collection), a);
    plugin->selectPreviousPreset(collection); // from the first, wraps to the last
    EXPECT_EQ(plugin->getCurrentPresetPath(collection), c);
    EXPECT_FLOAT_EQ(dryWet(), 0.3f);

    // The current file again: nothing happens.
    const int applied = plugin->presetsApplied;
    const int changes = recorder.presetChanges;
    plugin->getParameterManager().setNormalisedValue(kDryWet, 0.9f);
    plugin->loadPresetFile(collection, c);
    EXPECT_EQ(plugin->presetsApplied, applied);
    EXPECT_EQ(recorder.presetChanges, changes);
    EXPECT_FLOAT_EQ(dryWet(), 0.9f);

    // After the default was restored the same file loads again.
    plugin->restoreDefaultPreset(collection);
    EXPECT_TRUE(plugin->isDefaultPresetApplied(collection));
    EXPECT_EQ(plugin->currentName, "Default");
    EXPECT_FLOAT_EQ(dryWet(), plugin->getParameterManager().getDefaultValue(kDryWet));
    plugin->loadPresetFile(collection, c);
    EXPECT_FLOAT_EQ(dryWet(), 0.3f);
    EXPECT_FALSE(plugin->isDefaultPresetApplied(collection));
    EXPECT_EQ(plugin->getTotalNumPresets(), 3);
}

TEST_F(BasePluginPresetTest, OldPresetsAreCompletedFromTheDefault)
{
    const auto file = presets.getChildFile("Old.tnprst");
    file.replaceWithText("<Preset version=\"1.0\"><param name=\"Dry/Wet\" value=\"0.5\"/></Preset>");
    collection->rescan();
    plugin->getParameterManager().setNormalisedValue(kOutputGain, 0.9f);
    plugin->loadPresetFile(collection, file);
    EXPECT_FLOAT_EQ(dryWet(), 0.5f);
    EXPECT_FLOAT_EQ(plugin->getParameterManager().getNormalisedValue(kOutputGain),
                    plugin->getParameterManager().getDefaultValue(kOutputGain));
}

TEST_F(BasePluginPresetTest, UnreadableOrForeignPresetFilesAreRefusedAndKept)
{
    const auto broken = presets.getChildFile("Broken.tnprst");
    broken.replaceWithText("<Preset><param name=\"Dry/Wet\" value=\"0.5\"");
    const auto foreign = presets.getChildFile("Foreign.tnprst");
    foreign.replaceWithText("<Preset application=\"Other\"><param name=\"Dry/Wet\" value=\"0.5\"/></Preset>");
    const auto notPreset = presets.getChildFile("Map.tnprst");
    notPreset.replaceWithText("<HostParametersMap name=\"Tavinor\"/>");
    collection->rescan();

    plugin->getParameterManager().setNormalisedValue(kDryWet, 0.8f);
    for (const auto& f : { broken, foreign, notPreset })
    {
        const auto before = f.loadFileAsString();
        plugin->loadPresetFile(collection, f);
        EXPECT_FLOAT_EQ(dryWet(), 0.8f) << f.getFileName();
        EXPECT_EQ(f.loadFileAsString(), before);
    }
    EXPECT_EQ(recorder.presetChanges, 0);
    EXPECT_EQ(plugin->presetsApplied, 0);
}

TEST_F(BasePluginPresetTest, AuthorsAndOwnersOfPresetFiles)
{
    plugin->setAuthorName("Me");
    const auto others = presets.getChildFile("Theirs.tnprst");
    others.replaceWithText("<Preset author=\"Someone\" id=\"other-owner\"><param name=\"Dry/Wet\" value=\"0.5\"/></Preset>");
    save("Theirs.tnprst", 0.4f);

    FilePreset header(others);
    header.loadFromFile(others, nullptr, true);
    EXPECT_EQ(header.getAuthor(), "Someone");
    EXPECT_EQ(header.getId(), "other-owner");

    struct Case { const char* text; const char* author; bool ownId; };
    const Case cases[] = {
        { "<Preset author=\"Old\"><param name=\"Dry/Wet\" value=\"0.5\"/></Preset>", "Me", true },
        { "<Preset author=\"Old\" id=\"other-owner\"><param name=\"Dry/Wet\" value=\"0.5\"/></Preset>", "Old", false },
    };
    for (const auto& c : cases)
    {
        const auto f = presets.getChildFile("Rewrite.tnprst");
        f.replaceWithText(c.text);
        plugin->updatePresetAuthor(f);
        FilePreset rewritten(f);
        rewritten.loadFromFile(f, &plugin->getParameterManager(), false);
        EXPECT_EQ(rewritten.getAuthor(), c.author) << c.text;
        EXPECT_EQ(rewritten.getId() == plugin->getOwnerId(), c.ownId) << c.text;
    }

    const auto own = save("Own.tnprst", 0.6f);
    plugin->setAuthorName("New Name");
    plugin->updatePresetAuthor(own);
    FilePreset renamed(own);
    renamed.loadFromFile(own, nullptr, true);
    EXPECT_EQ(renamed.getAuthor(), "New Name");
}

TEST_F(BasePluginPresetTest, SavingOverALoadedPresetIsWhatLoadsNextTime)
{
    const auto a = save("A.tnprst", 0.1f);
    const auto b = save("B.tnprst", 0.2f);
    plugin->loadPresetFile(collection, a);
    EXPECT_FLOAT_EQ(dryWet(), 0.1f);

    save("A.tnprst", 0.7f);
    plugin->loadPresetFile(collection, b);
    EXPECT_FLOAT_EQ(dryWet(), 0.2f);
    plugin->loadPresetFile(collection, a);
    EXPECT_FLOAT_EQ(dryWet(), 0.7f);
}

TEST_F(BasePluginPresetTest, OperationsWithoutACollectionDoNothing)
{
    const auto a = save("A.tnprst", 0.1f);
    const int changes = recorder.presetChanges;
    plugin->getParameterManager().setNormalisedValue(kDryWet, 0.9f);

    plugin->restoreDefaultPreset(nullptr);
    plugin->loadPresetFile(nullptr, a);
    plugin->selectNextPreset(nullptr);
    plugin->savePresetToFile(nullptr, presets.getChildFile("New.tnprst"));
    EXPECT_FLOAT_EQ(dryWet(), 0.9f);
    EXPECT_EQ(plugin->presetsApplied, 0);
    EXPECT_EQ(recorder.presetChanges, changes);
    EXPECT_FALSE(presets.getChildFile("New.tnprst").exists());
    EXPECT_FALSE(plugin->isDefaultPresetApplied(collection));
}

TEST_F(BasePluginPresetTest, AuthorRewriteLeavesFilesThatAreNotOurPresetsAlone)
{
    plugin->setAuthorName("Me");
    const char* const texts[] = {
        "<Preset application=\"Other\" author=\"Someone\"><param name=\"Dry/Wet\" value=\"0.5\"/></Preset>",
        "<Preset author=\"Someone\"><param name=\"Dry/Wet\"",
        "<HostParametersMap name=\"Tavinor\"/>",
        "not xml at all",
    };
    for (const auto* text : texts)
    {
        const auto f = presets.getChildFile("Other.tnprst");
        f.replaceWithText(text);
        plugin->updatePresetAuthor(f);
        EXPECT_EQ(f.loadFileAsString(), text);
    }
}

TEST_F(BasePluginPresetTest, APresetDamagedInItsRootTagIsNeitherAppliedNorRewritten)
{
    // A byte that is no UTF-8 at the start of a root attribute (Latin-1 "À",
    // cp1252 "€"), or a file cut off inside the root tag, parses in JUCE as a
    // root without entries. Applied, it would reset every parameter; signed by
    // the author update, the file would be rewritten as a header only.
    const std::string params = "<param name=\"Dry/Wet\" value=\"0.5\"/><param name=\"Output Gain\" value=\"0.7\"/>"
                               "</Preset>";
    const std::string texts[] = {
        "<Preset name=\"\xC0rger\" author=\"A\">" + params,
        "<Preset author=\"\x80 five\">" + params,
        "<Preset name=\"Cut\" author=\"A",
        "<Preset name=\"Cut\" auth",
    };
    plugin->setAuthorName("Me");
    int n = 0;
    for (const auto& text : texts)
    {
        SCOPED_TRACE(text);
        const auto file = presets.getChildFile("Damaged " + juce::String(n++) + ".tnprst");
        ASSERT_TRUE(file.replaceWithData(text.data(), text.size()));
        collection->rescan();

        plugin->getParameterManager().setNormalisedValue(kDryWet, 0.8f);
        plugin->getParameterManager().setNormalisedValue(kOutputGain, 0.2f);
        plugin->loadPresetFile(collection, file);
        EXPECT_FLOAT_EQ(dryWet(), 0.8f);
        EXPECT_FLOAT_EQ(plugin->getParameterManager().getNormalisedValue(kOutputGain), 0.2f);
        EXPECT_EQ(plugin->presetsApplied, 0);

        plugin->updatePresetAuthor(file);
        juce::MemoryBlock after;
        file.loadFileAsData(after);
        EXPECT_EQ(after, juce::MemoryBlock(text.data(), text.size()));
    }
    EXPECT_EQ(recorder.presetChanges, 0);
}

TEST_F(BasePluginPresetTest, NextAndPreviousStepOverPresetsTheyRefuse)
{
    const auto a = save("A.tnprst", 0.1f);
    const auto b = presets.getChildFile("B.tnprst");
    b.replaceWithText("<Preset><param name=\"Dry/Wet\" value=\"0.2\"");
    const auto c = save("C.tnprst", 0.3f);
    const auto d = presets.getChildFile("D.tnprst");
    d.replaceWithText("<Preset application=\"Other\"><param name=\"Dry/Wet\" value=\"0.4\"/></Preset>");
    collection->rescan();
    ASSERT_EQ(collection->getNumPresets(), 4);

    plugin->loadPresetFile(collection, a);
    plugin->selectNextPreset(collection); // over the broken B
    EXPECT_EQ(plugin->getCurrentPresetPath(collection), c);
    EXPECT_FLOAT_EQ(dryWet(), 0.3f);
    plugin->selectNextPreset(collection); // over the foreign D, round to A
    EXPECT_EQ(plugin->getCurrentPresetPath(collection), a);
    plugin->selectPreviousPreset(collection);
    EXPECT_EQ(plugin->getCurrentPresetPath(collection), c);
    plugin->selectPreviousPreset(collection);
    EXPECT_EQ(plugin->getCurrentPresetPath(collection), a);

    // Nothing else loadable: one round, then the current preset stays.
    c.replaceWithText("broken");
    const int changes = recorder.presetChanges;
    plugin->selectNextPreset(collection);
    plugin->selectPreviousPreset(collection);
    EXPECT_EQ(plugin->getCurrentPresetPath(collection), a);
    EXPECT_EQ(recorder.presetChanges, changes);
}

#include "PageTestSupport.h"

#include "editor/PresetsSettingsComponent.h"

#include <sys/stat.h>

namespace
{
using namespace PageTest;

// A plug-in over its own preset folder. It can count its collection twice (so
// that a run goes through the files twice) and hold the worker at the second
// pass until the test lets it go on.
class PresetPlugin : public BasePlugin
{
public:
    explicit PresetPlugin(const juce::File& folder) { initPresetCollection(".tnprst", folder); }

    juce::String getProductName() const override { return "Tavinor"; }
    juce::String getDescription() const override { return {}; }
    juce::String getVersion() const override { return {}; }
    juce::String getProductPage() const override { return {}; }
    juce::String getYear() const override { return {}; }
    juce::String getBuildDate() const override { return {}; }
    juce::String getPluginFormat() const override { return {}; }
    int getNumPresetCollections() const override { return numPasses; }
    PresetCollection* getPresetCollectionAt(int index) override
    {
        if (index == 1 && !juce::MessageManager::getInstance()->isThisTheMessageThread())
        {
            ++secondPassVisits;
            gate.wait(10000);
        }
        return BasePlugin::getPresetCollectionAt(0);
    }

    int numPasses = 1;
    std::atomic<int> secondPassVisits { 0 };
    juce::WaitableEvent gate;
};

juce::File writePreset(const juce::File& folder, const juce::String& name, const juce::String& author,
                       const juce::String& id)
{
    const auto file = folder.getChildFile(name + ".tnprst");
    file.getParentDirectory().createDirectory();
    juce::String text = "<Preset application=\"Tavinor\" author=\"" + author + "\"";
    if (id.isNotEmpty())
        text << " id=\"" << id << "\"";
    text << "><param name=\"Dry/Wet\" value=\"0.5\"/></Preset>";
    file.replaceWithText(text);
    return file;
}

juce::String authorOf(const juce::File& file)
{
    const auto xml = juce::parseXML(file);
    return xml != nullptr ? xml->getStringAttribute("author") : "(unreadable)";
}

class PresetsPage : public Fixture
{
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        presets = folder.getChild("Presets");
        presets.createDirectory();
    }

    void make()
    {
        plugin = std::make_unique<PresetPlugin>(presets);
        plugin->setAuthorName("New Author");
        page = std::make_unique<PresetsSettingsComponent>(*plugin);
        editor.setLookAndFeel(&laf);
        editor.addAndMakeVisible(*page);
        page->setBounds(0, 0, 780, 500);
    }

    void TearDown() override
    {
        if (plugin != nullptr)
            plugin->gate.signal();
        page.reset();
        plugin.reset();
        editor.setLookAndFeel(nullptr);
        Fixture::TearDown();
    }

    // Lets the worker end and the window's timer show the outcome.
    void finishRun()
    {
        auto& window = page->getUpdateWindow();
        ASSERT_TRUE(window.waitForThreadToExit(10000));
        window.timerCallback();
    }

    TestHelpers::TempFolder folder;
    juce::File presets;
    Desktop editor;
    std::unique_ptr<PresetPlugin> plugin;
    std::unique_ptr<PresetsSettingsComponent> page;
};

TEST_F(PresetsPage, AReadOnlyPresetIsReportedAndTheOthersAreSigned)
{
    PresetPlugin probe(presets);
    const auto own = probe.getOwnerId();
    const auto mine = writePreset(presets, "Mine/Echo", "Old Name", own);
    const auto locked = writePreset(presets, "Mine/Locked", "Old Name", own);
    const auto unsigned_ = writePreset(presets, "Unsigned", "", {});
    const auto theirs = writePreset(presets, "Theirs", "Someone", "someone-else");
    ::chmod(locked.getFullPathName().toRawUTF8(), 0444);
    const auto lockedText = locked.loadFileAsString();
    const auto theirText = theirs.loadFileAsString();
    make();

    click(page->getUpdateButton());
    auto& window = page->getUpdateWindow();
    EXPECT_TRUE(window.isVisible());
    finishRun();

    EXPECT_EQ(authorOf(mine), "New Author");
    EXPECT_EQ(authorOf(unsigned_), "New Author");
    EXPECT_EQ(locked.loadFileAsString(), lockedText);
    EXPECT_EQ(theirs.loadFileAsString(), theirText);

    EXPECT_EQ(window.getFailedFiles(), juce::StringArray({ "Presets/Mine/Locked" }));
    EXPECT_EQ(window.getMessageLine().getText(), "Operation finished with errors.");
    EXPECT_EQ(window.getProgressLine().getText(), "1 preset could not be written:");
    EXPECT_EQ(window.getCurrentFileLine().getText(), "Presets/Mine/Locked");
    EXPECT_TRUE(window.getCurrentFileLine().isVisible());
    EXPECT_TRUE(window.getOkButton().isEnabled());
    EXPECT_FALSE(window.getCancelButton().isEnabled());
    writeScreenshot(editor, "update-presets-errors");

    // OK closes it; the next run finds nothing left to sign but the locked file.
    click(window.getOkButton());
    EXPECT_FALSE(window.isVisible());
    ::chmod(locked.getFullPathName().toRawUTF8(), 0644);
    click(page->getUpdateButton());
    finishRun();
    EXPECT_EQ(window.getMessageLine().getText(), "Operation completed.");
    EXPECT_FALSE(window.getProgressLine().isVisible());
    EXPECT_EQ(authorOf(locked), "New Author");
}

TEST_F(PresetsPage, WithoutPresetsTheRunEndsAtOnce)
{
    make();
    click(page->getUpdateButton());
    finishRun();
    EXPECT_EQ(page->getUpdateWindow().getMessageLine().getText(), "Operation completed.");
    EXPECT_EQ(page->getUpdateWindow().getProgress(), 0);
    EXPECT_TRUE(page->getUpdateWindow().hasCompleted());
}

TEST_F(PresetsPage, NoNewRunStartsWhileTheLastOneIsStillStopping)
{
    PresetPlugin probe(presets);
    const auto locked = writePreset(presets, "Locked", "Old Name", probe.getOwnerId());
    ::chmod(locked.getFullPathName().toRawUTF8(), 0444);
    make();
    plugin->numPasses = 2;

    click(page->getUpdateButton());
    auto& window = page->getUpdateWindow();
    // The first pass records the locked file; the worker then waits.
    for (int i = 0; i < 1000 && plugin->secondPassVisits.load() == 0; ++i)
        juce::Thread::sleep(5);
    ASSERT_EQ(plugin->secondPassVisits.load(), 1);

    // Cancelled, and the window closed by its close button while the worker
    // has not yet seen the request.
    click(window.getCancelButton());
    click(window.getCloseButton());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.isThreadRunning());

    // "Update presets" now shows the run that is ending instead of starting
    // one over the same files.
    click(page->getUpdateButton());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.getFailedFiles(), juce::StringArray({ "Presets/Locked" }));

    plugin->gate.signal();
    finishRun();
    EXPECT_EQ(plugin->secondPassVisits.load(), 1);
    EXPECT_EQ(window.getMessageLine().getText(), "Operation has been cancelled.");
    EXPECT_EQ(window.getProgressLine().getText(), "1 preset could not be written:");
    ::chmod(locked.getFullPathName().toRawUTF8(), 0644);
}

} // namespace

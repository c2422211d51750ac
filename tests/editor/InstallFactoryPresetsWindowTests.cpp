#include "EditorTestSupport.h"

#include "core/XmlHelpers.h"
#include "editor/InstallFactoryPresetsWindow.h"
#include "editor/TavinorEditor.h"

// The installer unpacks the factory archive that fits the user's installed
// version into the user's preset folder, keeps what is there, refuses what
// would land elsewhere, and records the version only when every preset is in
// place.

namespace juce
{
static void PrintTo(const StringArray& a, std::ostream* os)
{
    *os << "{ " << a.joinIntoString(" | ") << " }";
}
} // namespace juce

namespace
{
using namespace EditorTest;

const juce::String kNotFound = "Error: Installation file with factory presets not found.\n";

juce::File builtArchives()
{
    return TestHelpers::buildFolder().getChildFile("tools/factory-presets");
}

juce::File archiveIn(const juce::File& folder, const juce::String& kind = "full")
{
    return folder.getChildFile("Tavinor Factory Presets v1.1 - " + kind + ".zip");
}

juce::StringArray filesBelow(const juce::File& folder)
{
    juce::StringArray names;
    for (const auto& f : folder.findChildFiles(juce::File::findFiles, true))
        names.add(f.getRelativePathFrom(folder));
    names.sort(false);
    return names;
}

struct Installer
{
    Installer(Tavinor& processor, const juce::File& factoryFolder) : window(processor, factoryFolder)
    {
        desktop.addChildComponent(window);
        window.open();
    }

    // Start, as the user clicks it, until the worker has ended and the timer shown it.
    void run()
    {
        click(window.getStartButton());
        EXPECT_TRUE(window.waitForThreadToExit(60000));
        window.timerCallback();
        TestHelpers::pumpMessages();
        EXPECT_TRUE(window.getOkButton().isVisible() && !window.getStartButton().isVisible());
    }

    juce::String status() const { return window.getStatusLabel().getText(); }

    Desktop desktop;
    InstallFactoryPresetsWindow window;
};

// An archive of text entries; the entry whose text holds damagedMarker has one
// of its stored bytes changed afterwards.
void writeZip(const juce::File& zipFile, const std::vector<std::pair<juce::String, juce::String>>& entries,
              const juce::String& damagedMarker = {})
{
    juce::ZipFile::Builder builder;
    for (const auto& [name, text] : entries)
        builder.addEntry(new juce::MemoryInputStream(text.toRawUTF8(), text.getNumBytesAsUTF8(), true), 0, name,
                         juce::Time(2015, 0, 8, 12, 0));
    juce::MemoryOutputStream out;
    ASSERT_TRUE(builder.writeToStream(out, nullptr));
    auto bytes = out.getMemoryBlock();
    if (damagedMarker.isNotEmpty())
    {
        const std::string data(static_cast<const char*>(bytes.getData()), bytes.getSize());
        const auto at = data.find(damagedMarker.toStdString());
        ASSERT_NE(at, std::string::npos);
        bytes[at] = 'X';
    }
    ASSERT_TRUE(zipFile.getParentDirectory().createDirectory().wasOk());
    ASSERT_TRUE(zipFile.replaceWithData(bytes.getData(), bytes.getSize()));
}
} // namespace

class InstallFactoryPresets : public Fixture
{
protected:
    ScopedUserFolder user;
};

TEST_F(InstallFactoryPresets, TheInstalledVersionChoosesTheArchive)
{
    if (!archiveIn(builtArchives()).existsAsFile())
        GTEST_SKIP() << "factory archives not built";

    const struct
    {
        const char* installed;
        const char* archive;
        const char* message;
    } cases[] = {
        { "", "full", "Factory presets need to be installed now.\nIt will take just a while..." },
        { "1.0", "update", "New presets (v1.1) need to be installed now.\nIt will take just a while..." },
        { "1.1", nullptr, "" },
        { "2.0", nullptr, "" },
        { "1.10", nullptr, "" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(juce::String("installed version '") + c.installed + "'");
        user.getPluginFolder().deleteRecursively();
        auto processor = makeProcessorWithInstalledVersion(c.installed);
        ASSERT_EQ(processor->getInstalledFactoryPresetVersion(), c.installed);
        EXPECT_EQ(processor->needsFactoryPresetInstall(), c.archive != nullptr) << "only older versions ask";

        Installer installer(*processor, builtArchives());
        auto& window = installer.window;
        EXPECT_EQ(window.getMessageLabel().getText(), c.message);
        const auto presets = user.getPresetFolder();
        const auto before = filesBelow(presets);
        if (c.archive == nullptr)
        {
            EXPECT_TRUE(window.getArchivePath().isEmpty());
            installer.run();
            EXPECT_EQ(installer.status(), kNotFound);
            EXPECT_EQ(filesBelow(presets), before);
            EXPECT_EQ(processor->getInstalledFactoryPresetVersion(), c.installed);
            continue;
        }

        const auto archiveFile = archiveIn(builtArchives(), c.archive);
        EXPECT_EQ(window.getArchivePath(), archiveFile.getFullPathName());
        juce::ZipFile zip(archiveFile);
        ASSERT_GT(zip.getNumEntries(), 0);
        // A preset of the user's with the name of an archive entry stays as it is.
        const auto kept = user.getPluginFolder().getChildFile(zip.getEntry(0)->filename);
        ASSERT_TRUE(kept.create().wasOk() && kept.replaceWithText("mine"));
        writeScreenshot(installer.desktop, "installer-start");

        installer.run();
        writeScreenshot(installer.desktop, "installer-done");
        EXPECT_EQ(window.getProgress(), 100);
        EXPECT_TRUE(window.getCompletionLabel().isVisible());
        EXPECT_EQ(window.getCompletionLabel().getText(), "Operation completed.");
        EXPECT_FALSE(window.getStatusLabel().isVisible() || window.getProgressLabel().isVisible());

        // Exactly the archive's presets arrive, byte for byte, around the kept one.
        EXPECT_EQ(kept.loadFileAsString(), "mine");
        juce::StringArray expected(before);
        for (int i = 0; i < zip.getNumEntries(); ++i)
        {
            const auto file = user.getPluginFolder().getChildFile(zip.getEntry(i)->filename);
            expected.addIfNotAlreadyThere(file.getRelativePathFrom(presets));
            std::unique_ptr<juce::InputStream> in(zip.createStreamForEntry(i));
            if (file != kept)
                EXPECT_EQ(file.loadFileAsString(), in->readEntireStreamAsString()) << file.getFileName();
        }
        expected.sort(false);
        EXPECT_EQ(filesBelow(presets), expected);

        // Recorded, written to the settings, and the presets listed.
        EXPECT_EQ(processor->getInstalledFactoryPresetVersion(), "1.1");
        const auto settings = juce::parseXML(processor->getUserSettingsFile());
        ASSERT_NE(settings, nullptr);
        const auto* installed = findChildTagged(*findChildTagged(*settings, "Presets"), "Installed");
        ASSERT_NE(installed, nullptr);
        EXPECT_EQ(installed->getStringAttribute("version"), "1.1");
        EXPECT_EQ(processor->getPresetCollection(0)->getNumPresets(), expected.size());

        click(window.getOkButton());
        EXPECT_FALSE(window.isVisible());
    }
}

TEST_F(InstallFactoryPresets, FailuresAreNamedAndLeaveTheVersionUnrecorded)
{
    TestHelpers::TempFolder factory;
    const auto zip = archiveIn(factory.get());
    const auto presetFolder = user.getPresetFolder();
    const auto outsideFile = factory.getChild("elsewhere/Absolute.tnprst");
    const juce::String good = "<Preset author=\"Orv\"/>";
    const std::vector<std::pair<juce::String, juce::String>> goodOnly { { "Presets/Echoes/Good.tnprst", good } };
    const struct
    {
        const char* what;
        std::vector<std::pair<juce::String, juce::String>> entries;
        const char* damagedMarker;
        std::function<void()> prepare;
        juce::String status; // empty: the installation completes
        bool goodArrives;
    } cases[] = {
        { "names leading out of the preset folder",
          { goodOnly[0], { "../Escaped.tnprst", good }, { "Presets/../../Outside.tnprst", good },
            { outsideFile.getFullPathName(), good }, { "Stray.tnprst", good } },
          "", [] {}, "Error: 4 presets could not be installed:\nEscaped, Outside, Absolute and 1 more.", true },
        { "a damaged entry", { goodOnly[0], { "Presets/Echoes/Broken.tnprst", "<Preset name=\"BROKEN\"/>" } },
          "BROKEN", [] {}, "Error: 1 preset could not be installed:\nBroken.", true },
        { "no preset folder: it is made", goodOnly, "", [&] { presetFolder.deleteRecursively(); }, "", true },
        { "a preset folder that cannot be made", goodOnly, "",
          [&] { presetFolder.deleteRecursively(), presetFolder.replaceWithText("in the way"); },
          "Error: The preset folder could not be created.\n" + presetFolder.getFullPathName(), false },
        { "no archive", goodOnly, "", [&] { zip.deleteFile(); }, kNotFound + zip.getFullPathName(), false },
        { "not an archive", goodOnly, "", [&] { zip.replaceWithText("not a zip"); },
          "Error: The installation file could not be read.\n" + zip.getFullPathName(), false },
        { "an archive without entries", {}, "", [] {},
          "Error: The installation file could not be read.\n" + zip.getFullPathName(), false },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        user.getPluginFolder().deleteRecursively();
        writeZip(zip, c.entries, c.damagedMarker);
        auto processor = makeProcessorWithInstalledVersion({});
        c.prepare();
        Installer installer(*processor, factory.get());
        installer.run();
        EXPECT_EQ(installer.window.hasCompleted(), c.status.isEmpty());
        EXPECT_EQ(installer.window.getCompletionLabel().isVisible(), c.status.isEmpty());
        if (c.status.isNotEmpty())
            EXPECT_EQ(installer.status(), c.status);
        if (c.damagedMarker[0] != 0)
            writeScreenshot(installer.window, "installer-refused");

        // What is in place arrived and is listed; nothing else was written anywhere.
        auto written = filesBelow(user.getPluginFolder().getParentDirectory());
        written.removeString("Tavinor/Tavinor.ini"); // the settings, saved with the version
        written.removeString("Tavinor/Tavinor.ini.lock"); // and the lock file beside them
        written.removeString("Tavinor/Presets");     // the file in the way
        EXPECT_EQ(written,
                  c.goodArrives ? juce::StringArray({ "Tavinor/Presets/Echoes/Good.tnprst" }) : juce::StringArray());
        EXPECT_FALSE(outsideFile.exists());
        EXPECT_EQ(processor->getPresetCollection(0)->getNumPresets(), c.goodArrives ? 1 : 0);
        EXPECT_EQ(processor->needsFactoryPresetInstall(), c.status.isNotEmpty()) << "asked again for the rest";
    }
}

TEST_F(InstallFactoryPresets, AStoppedWorkerRecordsNothing)
{
    TestHelpers::TempFolder factory;
    writeZip(archiveIn(factory.get()), { { "Presets/A/One.tnprst", "<Preset/>" }, { "Presets/A/Two.tnprst", "<Preset/>" } });
    auto processor = makeProcessorWithInstalledVersion({});
    Installer installer(*processor, factory.get());
    // Asked to stop (the editor closing), the worker ends after the entry in hand.
    installer.window.signalThreadShouldExit();
    installer.window.run();
    installer.window.timerCallback();
    EXPECT_EQ(installer.status(), "Operation has been interrupted.");
    EXPECT_EQ(installer.window.getProgress(), 50);
    EXPECT_TRUE(processor->needsFactoryPresetInstall());
}

TEST_F(InstallFactoryPresets, TheEditorOffersFromTheRecordAsItIsWhenItOpens)
{
    if (!archiveIn(builtArchives()).existsAsFile())
        GTEST_SKIP() << "factory archives not built";

    for (const bool installedMeanwhile : { true, false })
    {
        SCOPED_TRACE(installedMeanwhile ? "another instance installed them meanwhile" : "nobody installed them");
        user.getPluginFolder().deleteRecursively();
        // Made while the user had no presets and no record: its editor,
        // made with it, has the offer ready.
        auto early = makeProcessor();
        auto* editor = dynamic_cast<TavinorEditor*>(early->getGuiRoot());
        ASSERT_NE(editor, nullptr);
        ASSERT_NE(editor->getInstallerWindow(), nullptr);

        if (installedMeanwhile)
        {
            auto other = makeProcessor();
            Installer installer(*other, builtArchives());
            installer.run();
            EXPECT_TRUE(installer.window.hasCompleted());
            EXPECT_EQ(other->getPresetCollection(0)->getNumPresets(), 41);
            EXPECT_EQ(other->getInstalledFactoryPresetVersion(), "1.1");
        }

        // The host opens the early instance's editor.
        std::unique_ptr<juce::AudioProcessorEditor> window(early->createEditor());
        ASSERT_TRUE(editor->isVisible());
        auto* offer = editor->getInstallerWindow();
        if (installedMeanwhile)
        {
            EXPECT_TRUE(offer == nullptr || !offer->isVisible()) << offer->getMessageLabel().getText();
            EXPECT_EQ(early->getInstalledFactoryPresetVersion(), "1.1");
        }
        else
        {
            ASSERT_TRUE(offer != nullptr && offer->isVisible());
            EXPECT_EQ(offer->getMessageLabel().getText(),
                      "Factory presets need to be installed now.\nIt will take just a while...");
        }
        window.reset();
    }
}

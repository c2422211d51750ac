#include "EditorTestSupport.h"

#include "core/XmlHelpers.h"
#include "editor/InstallFactoryPresetsWindow.h"

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

const juce::String kFullMessage = "Factory presets need to be installed now.\nIt will take just a while...";
const juce::String kUpdateMessage = "New presets (v1.1) need to be installed now.\nIt will take just a while...";
const juce::String kNotFound = "Error: Installation file with factory presets not found.\n";

juce::File builtArchives()
{
    return TestHelpers::buildFolder().getChildFile("tools/factory-presets");
}

juce::File archiveOfKind(const juce::File& folder, const juce::String& kind)
{
    return folder.getChildFile("Tavinor Factory Presets v1.1 - " + kind + ".zip");
}

// Every file below a folder, by its path relative to the folder.
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
    }

    juce::String status() const { return window.getStatusLabel().getText(); }
    bool showsOnlyOk()
    {
        return window.getOkButton().isVisible() && window.getOkButton().isEnabled()
               && !window.getStartButton().isVisible();
    }

    Desktop desktop;
    InstallFactoryPresetsWindow window;
};

struct ZipEntry
{
    juce::String name;
    juce::String text;
};

void writeZip(const juce::File& zipFile, const std::vector<ZipEntry>& entries)
{
    juce::ZipFile::Builder builder;
    for (const auto& e : entries)
        builder.addEntry(new juce::MemoryInputStream(e.text.toRawUTF8(), e.text.getNumBytesAsUTF8(), true), 0, e.name,
                         juce::Time(2015, 0, 8, 12, 0));
    zipFile.getParentDirectory().createDirectory();
    zipFile.deleteFile();
    juce::FileOutputStream out(zipFile);
    ASSERT_TRUE(builder.writeToStream(out, nullptr));
}

// Damages the stored bytes of an entry whose text holds marker.
void damage(const juce::File& zipFile, const juce::String& marker)
{
    juce::MemoryBlock bytes;
    ASSERT_TRUE(zipFile.loadFileAsData(bytes));
    const std::string data(static_cast<const char*>(bytes.getData()), bytes.getSize());
    const auto at = data.find(marker.toStdString());
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'X';
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
    if (!archiveOfKind(builtArchives(), "full").existsAsFile())
        GTEST_SKIP() << "factory archives not built";

    struct Case
    {
        const char* installed;
        bool needsInstall;
        const char* archive;
        const juce::String* message;
    };
    const juce::String none;
    const Case cases[] = {
        { "", true, "full", &kFullMessage },
        { "1.0", true, "update", &kUpdateMessage },
        { "1.1", false, nullptr, &none },
        { "2.0", false, nullptr, &none },
        { "1.10", false, nullptr, &none },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(juce::String("installed version '") + c.installed + "'");
        user.getPluginFolder().deleteRecursively();
        auto processor = makeProcessorWithInstalledVersion(c.installed);
        ASSERT_EQ(processor->getInstalledFactoryPresetVersion(), c.installed);
        EXPECT_EQ(processor->needsFactoryPresetInstall(), c.needsInstall);

        Installer installer(*processor, builtArchives());
        auto& window = installer.window;
        EXPECT_EQ(window.getMessageLabel().getText(), *c.message);
        EXPECT_EQ(window.getTitle(), "Presets initalization");
        EXPECT_FALSE(window.getCloseButton().isVisible());
        EXPECT_TRUE(window.getStartButton().isVisible());
        EXPECT_FALSE(window.getOkButton().isVisible());

        const auto presets = user.getPresetFolder();
        const auto before = filesBelow(presets);
        if (c.archive == nullptr)
        {
            // Nothing to install for this version: the error line, with no path.
            EXPECT_TRUE(window.getArchivePath().isEmpty());
            installer.run();
            EXPECT_EQ(installer.status(), kNotFound);
            EXPECT_TRUE(installer.showsOnlyOk());
            EXPECT_EQ(filesBelow(presets), before);
            EXPECT_EQ(processor->getInstalledFactoryPresetVersion(), c.installed);
            continue;
        }

        const auto archiveFile = archiveOfKind(builtArchives(), c.archive);
        EXPECT_EQ(window.getArchivePath(), archiveFile.getFullPathName());
        juce::ZipFile zip(archiveFile);
        ASSERT_GT(zip.getNumEntries(), 0);

        // A preset of the user's with the name of an archive entry stays as it is.
        const auto kept = user.getPluginFolder().getChildFile(zip.getEntry(0)->filename);
        ASSERT_TRUE(kept.create().wasOk());
        ASSERT_TRUE(kept.replaceWithText("mine"));

        installer.run();
        EXPECT_TRUE(window.hasCompleted());
        EXPECT_EQ(window.getProgress(), 100);
        EXPECT_TRUE(window.getCompletionLabel().isVisible());
        EXPECT_EQ(window.getCompletionLabel().getText(), "Operation completed.");
        EXPECT_FALSE(window.getStatusLabel().isVisible());
        EXPECT_FALSE(window.getProgressLabel().isVisible());
        EXPECT_TRUE(installer.showsOnlyOk());

        EXPECT_EQ(kept.loadFileAsString(), "mine");
        juce::StringArray expected(before);
        for (int i = 0; i < zip.getNumEntries(); ++i)
        {
            const auto* entry = zip.getEntry(i);
            const auto file = user.getPluginFolder().getChildFile(entry->filename);
            expected.addIfNotAlreadyThere(file.getRelativePathFrom(presets));
            if (file == kept)
                continue;
            std::unique_ptr<juce::InputStream> in(zip.createStreamForEntry(i));
            EXPECT_EQ(file.loadFileAsString(), in->readEntireStreamAsString()) << entry->filename;
        }
        expected.sort(false);
        EXPECT_EQ(filesBelow(presets), expected) << "exactly the archive's presets arrive";

        // Recorded, written to the settings, and the presets listed.
        EXPECT_EQ(processor->getInstalledFactoryPresetVersion(), "1.1");
        EXPECT_FALSE(processor->needsFactoryPresetInstall());
        const auto settings = readXmlFile(processor->getUserSettingsFile());
        ASSERT_NE(settings, nullptr);
        const auto* installed = findChildTagged(*findChildTagged(*settings, "Presets"), "Installed");
        ASSERT_NE(installed, nullptr);
        EXPECT_EQ(installed->getStringAttribute("version"), "1.1");
        EXPECT_EQ(processor->getPresetCollection(0)->getNumPresets(), expected.size());

        // OK hides the window; it stays a child of its editor.
        click(window.getOkButton());
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.getCoveringWindow().getParentComponent(), &installer.desktop);
    }
}

TEST_F(InstallFactoryPresets, BadEntriesAreRefusedReportedAndLeaveTheVersionUnrecorded)
{
    TestHelpers::TempFolder factory;
    const auto outsideFile = factory.getChild("elsewhere/Absolute.tnprst");
    const juce::String good = "<Preset author=\"Orv\"/>";

    struct Case
    {
        const char* what;
        std::vector<ZipEntry> entries;
        const char* damagedMarker;
        const char* status;
    };
    const Case cases[] = {
        { "names leading out of the preset folder",
          { { "Presets/Echoes/Good.tnprst", good },
            { "../Escaped.tnprst", good },
            { "Presets/../../Outside.tnprst", good },
            { outsideFile.getFullPathName(), good },
            { "Stray.tnprst", good } },
          nullptr,
          "Error: 4 presets could not be installed:\nEscaped, Outside, Absolute and 1 more." },
        { "a damaged entry",
          { { "Presets/Echoes/Good.tnprst", good }, { "Presets/Echoes/Broken.tnprst", "<Preset name=\"BROKEN\"/>" } },
          "BROKEN",
          "Error: 1 preset could not be installed:\nBroken." },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        user.getPluginFolder().deleteRecursively();
        const auto zipFile = archiveOfKind(factory.get(), "full");
        writeZip(zipFile, c.entries);
        if (c.damagedMarker != nullptr)
            damage(zipFile, c.damagedMarker);

        auto processor = makeProcessorWithInstalledVersion({});
        Installer installer(*processor, factory.get());
        installer.run();

        EXPECT_EQ(installer.status(), c.status);
        writeScreenshot(installer.window, "installer-refused");
        EXPECT_TRUE(installer.window.getStatusLabel().isVisible());
        EXPECT_FALSE(installer.window.getCompletionLabel().isVisible());
        EXPECT_TRUE(installer.showsOnlyOk());

        // The good preset arrived and is listed; nothing else was written anywhere.
        EXPECT_EQ(filesBelow(user.getPluginFolder().getParentDirectory()),
                  juce::StringArray({ "Tavinor/Presets/Echoes/Good.tnprst" }));
        EXPECT_EQ(user.getPresetFolder().getChildFile("Echoes/Good.tnprst").loadFileAsString(), good);
        EXPECT_FALSE(outsideFile.exists());
        EXPECT_EQ(processor->getPresetCollection(0)->getNumPresets(), 1);

        // Asked again next time, for the rest.
        EXPECT_TRUE(processor->getInstalledFactoryPresetVersion().isEmpty());
        EXPECT_TRUE(processor->needsFactoryPresetInstall());
    }
}

TEST_F(InstallFactoryPresets, MissingFilesAndFoldersAreNamedInTheErrorLine)
{
    TestHelpers::TempFolder factory;
    writeZip(archiveOfKind(factory.get(), "full"), { { "Presets/A/One.tnprst", "<Preset/>" } });

    {
        // No preset folder: it is made, and the presets go in.
        auto processor = makeProcessorWithInstalledVersion({});
        ASSERT_TRUE(user.getPluginFolder().deleteRecursively());
        Installer installer(*processor, factory.get());
        installer.run();
        EXPECT_TRUE(installer.window.hasCompleted());
        EXPECT_TRUE(user.getPresetFolder().getChildFile("A/One.tnprst").existsAsFile());
    }
    {
        // A preset folder that cannot be made.
        user.getPluginFolder().deleteRecursively();
        auto processor = makeProcessorWithInstalledVersion({});
        ASSERT_TRUE(user.getPresetFolder().deleteRecursively());
        ASSERT_TRUE(user.getPresetFolder().replaceWithText("in the way"));
        Installer installer(*processor, factory.get());
        installer.run();
        EXPECT_EQ(installer.status(),
                  "Error: The preset folder could not be created.\n" + user.getPresetFolder().getFullPathName());
        EXPECT_TRUE(processor->needsFactoryPresetInstall());
    }

    const struct
    {
        const char* what;
        std::function<void(const juce::File&)> prepare;
        juce::String expected;
    } archiveCases[] = {
        { "no archive", [](const juce::File& zip) { zip.deleteFile(); },
          kNotFound + archiveOfKind(factory.get(), "full").getFullPathName() },
        { "not an archive", [](const juce::File& zip) { zip.replaceWithText("not a zip"); },
          "Error: The installation file could not be read.\n" + archiveOfKind(factory.get(), "full").getFullPathName() },
    };
    for (const auto& c : archiveCases)
    {
        SCOPED_TRACE(c.what);
        user.getPluginFolder().deleteRecursively();
        c.prepare(archiveOfKind(factory.get(), "full"));
        auto processor = makeProcessorWithInstalledVersion({});
        Installer installer(*processor, factory.get());
        installer.run();
        EXPECT_EQ(installer.status(), c.expected);
        EXPECT_TRUE(processor->needsFactoryPresetInstall());
        EXPECT_EQ(filesBelow(user.getPresetFolder()).size(), 0);
    }
}

TEST_F(InstallFactoryPresets, AStoppedWorkerRecordsNothing)
{
    TestHelpers::TempFolder factory;
    writeZip(archiveOfKind(factory.get(), "full"),
             { { "Presets/A/One.tnprst", "<Preset/>" }, { "Presets/A/Two.tnprst", "<Preset/>" } });
    auto processor = makeProcessorWithInstalledVersion({});
    Installer installer(*processor, factory.get());
    auto& window = installer.window;

    // The worker asked to stop (the editor closing) ends after the entry in hand.
    window.signalThreadShouldExit();
    window.run();
    window.timerCallback();
    EXPECT_EQ(installer.status(), "Operation has been interrupted.");
    EXPECT_EQ(window.getProgress(), 50);
    EXPECT_TRUE(processor->needsFactoryPresetInstall());
}

TEST_F(InstallFactoryPresets, LayoutKeepsEveryLineInsideTheWindow)
{
    auto processor = makeProcessorWithInstalledVersion({});
    Installer installer(*processor, builtArchives());
    auto& window = installer.window;
    EXPECT_EQ(window.getBounds().getWidth(), 500);
    EXPECT_EQ(window.getHeight(), 180);
    EXPECT_TRUE(window.shouldDimBackground());

    const auto content = window.getContentArea();
    const juce::Array<juce::Rectangle<int>> rows { window.getMessageLabel().getBounds(),
                                                   window.getProgressLabel().getBounds(),
                                                   window.getStatusLabel().getBounds(),
                                                   window.getStartButton().getBounds() };
    for (const auto& r : rows)
        EXPECT_TRUE(fitsWithoutOverlap(r, content, rows)) << r.toString();
    for (auto* b : { &window.getStartButton(), &window.getOkButton() })
    {
        EXPECT_EQ(b->getBottom(), content.getBottom());
        EXPECT_NEAR(b->getBounds().getCentreX(), content.getCentreX(), 1);
    }
    writeScreenshot(installer.desktop, "installer-start");
    installer.run();
    writeScreenshot(installer.desktop, "installer-done");
}

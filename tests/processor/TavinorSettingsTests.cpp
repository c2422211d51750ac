// The user settings file shared by every instance, in one process and in
// several: a write keeps what the others wrote since the writer read it, the
// installer's record above all; and what counts as an earlier installation.

#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "TavinorTestSupport.h"

#include "core/XmlHelpers.h"
#include "core/XmlInput.h"

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace TavinorTest;

namespace
{
// The plug-in's user folders in a folder of the test's own for its length.
class ScopedConfigHome
{
public:
    explicit ScopedConfigHome(const juce::File& folder)
        : previous(juce::SystemStats::getEnvironmentVariable("XDG_CONFIG_HOME", {}))
    {
        setenv("XDG_CONFIG_HOME", folder.getFullPathName().toRawUTF8(), 1);
    }
    ~ScopedConfigHome() { setenv("XDG_CONFIG_HOME", previous.toRawUTF8(), 1); }

private:
    juce::String previous;
};

juce::File userFolder(const juce::File& configHome)
{
    return configHome.getChildFile("Orv Group").getChildFile("Tavinor");
}

// The installer's record and the author as the settings file holds them.
struct Written
{
    juce::String installed;
    juce::String author;
};

Written readSettings(const juce::File& configHome)
{
    Written w;
    const auto root = juce::parseXML(userFolder(configHome).getChildFile("Tavinor.ini"));
    if (root == nullptr)
        return w;
    if (auto* presets = findChildTagged(*root, "Presets"))
    {
        if (auto* installed = findChildTagged(*presets, "Installed"))
            w.installed = installed->getStringAttribute("version");
        if (auto* author = findChildTagged(*presets, "Author"))
            w.author = author->getStringAttribute("name");
    }
    return w;
}

// A preset in the preset folder, as the installer leaves it.
void putOnePreset(const juce::File& configHome)
{
    const auto source = TestHelpers::sourceFolder().getChildFile("resources/presets/Echoes/Dotted Eighth Lead.tnprst");
    const auto target = userFolder(configHome).getChildFile("Presets/Echoes/Dotted Eighth Lead.tnprst");
    ASSERT_TRUE(target.getParentDirectory().createDirectory());
    ASSERT_TRUE(source.copyFileTo(target));
}

bool waitForFile(const juce::File& f, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (! f.exists())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The other process's part: this test program again, running only the
// child test below with its role and folders in the environment.
constexpr const char* kRoleVariable = "TAVINOR_SETTINGS_CHILD_ROLE";
constexpr const char* kConfigVariable = "TAVINOR_SETTINGS_CHILD_CONFIG";

bool startChild(juce::ChildProcess& child, const char* role, const juce::File& configHome)
{
    setenv(kRoleVariable, role, 1);
    setenv(kConfigVariable, configHome.getFullPathName().toRawUTF8(), 1);
    const auto self = juce::File::getSpecialLocation(juce::File::currentExecutableFile);
    return child.start(juce::StringArray { self.getFullPathName(), "--gtest_also_run_disabled_tests",
                                           "--gtest_filter=TavinorSettingsChild.DISABLED_Instance" });
}
} // namespace

TEST(TavinorSettings, TwoInstancesInOneProcessKeepEachOthersChanges)
{
    const TestHelpers::TempFolder home;
    const ScopedConfigHome scope(home.get());

    // Made before the installer ran, with no presets and no record yet.
    auto early = makeProcessor();
    ASSERT_NE(early, nullptr);
    EXPECT_TRUE(early->needsFactoryPresetInstall());
    early->setAuthorName("Alice");

    auto installer = makeProcessor();
    putOnePreset(home.get());
    installer->setFactoryPresetsInstalled();
    EXPECT_EQ(readSettings(home.get()).installed, "1.1");

    // The early instance closes: its own change goes in, the record stays.
    early.reset();
    auto written = readSettings(home.get());
    EXPECT_EQ(written.installed, "1.1");
    EXPECT_EQ(written.author, "Alice");

    installer.reset();
    written = readSettings(home.get());
    EXPECT_EQ(written.installed, "1.1");
    EXPECT_EQ(written.author, "Alice");

    auto later = makeProcessor();
    EXPECT_FALSE(later->needsFactoryPresetInstall());
    EXPECT_EQ(later->getInstalledFactoryPresetVersion(), "1.1");
    EXPECT_EQ(later->getAuthorName(), "Alice");
}

TEST(TavinorSettings, TwoProcessesKeepEachOthersChanges)
{
    const TestHelpers::TempFolder home;
    const auto signals = home.getChild("signals");
    ASSERT_TRUE(signals.createDirectory());

    // Process one makes its instance before process two installs the
    // presets, and closes it afterwards.
    juce::ChildProcess early;
    ASSERT_TRUE(startChild(early, "early", home.get()));
    ASSERT_TRUE(waitForFile(signals.getChildFile("early made"), 60000)) << early.readAllProcessOutput();

    juce::ChildProcess installer;
    ASSERT_TRUE(startChild(installer, "installer", home.get()));
    const auto installerOutput = installer.readAllProcessOutput();
    ASSERT_TRUE(installer.waitForProcessToFinish(60000));
    ASSERT_EQ(installer.getExitCode(), 0u) << installerOutput;
    EXPECT_EQ(readSettings(home.get()).installed, "1.1");

    ASSERT_TRUE(signals.getChildFile("close early").create());
    const auto earlyOutput = early.readAllProcessOutput();
    ASSERT_TRUE(early.waitForProcessToFinish(60000));
    ASSERT_EQ(early.getExitCode(), 0u) << earlyOutput;

    const auto written = readSettings(home.get());
    EXPECT_EQ(written.installed, "1.1");
    EXPECT_EQ(written.author, "Alice");
    const ScopedConfigHome scope(home.get());
    EXPECT_FALSE(makeProcessor()->needsFactoryPresetInstall());
}

// One instance in a process of its own, for the test above; does nothing
// when run any other way.
TEST(TavinorSettingsChild, DISABLED_Instance)
{
    const juce::String role = juce::SystemStats::getEnvironmentVariable(kRoleVariable, {});
    const juce::File home(juce::SystemStats::getEnvironmentVariable(kConfigVariable, {}));
    if (role.isEmpty() || ! juce::File::isAbsolutePath(home.getFullPathName()))
        return;
    const ScopedConfigHome scope(home);
    const auto signals = home.getChildFile("signals");
    auto t = makeProcessor();
    ASSERT_NE(t, nullptr);
    if (role == "early")
    {
        t->setAuthorName("Alice");
        ASSERT_TRUE(signals.getChildFile("early made").create());
        ASSERT_TRUE(waitForFile(signals.getChildFile("close early"), 60000));
    }
    else if (role == "installer")
    {
        putOnePreset(home);
        t->setFactoryPresetsInstalled();
    }
}

TEST(TavinorSettings, OnlyAPresetCountsAsAnEarlierInstallation)
{
    struct Case
    {
        const char* what;
        const char* file; // below the preset folder; a name ending in "/" is a folder
        bool earlier;
    };
    const Case cases[] = {
        { "an empty preset folder", nullptr, false },
        { "an empty category", "Echoes/", false },
        { "a file that is no preset", "Echoes/notes.txt", false },
        { "a preset", "Echoes/Mine.tnprst", true },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const TestHelpers::TempFolder home;
        const ScopedConfigHome scope(home.get());
        const auto presets = userFolder(home.get()).getChildFile("Presets");
        ASSERT_TRUE(presets.createDirectory());
        // A settings file without the installer's record, as an earlier
        // version left it.
        ASSERT_TRUE(userFolder(home.get()).getChildFile("Tavinor.ini").replaceWithText(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UserSettings application=\"Tavinor\"/>\n"));
        if (c.file != nullptr)
        {
            const juce::String path(c.file);
            const auto target = presets.getChildFile(path);
            if (path.endsWith("/"))
                ASSERT_TRUE(target.createDirectory());
            else
                ASSERT_TRUE(target.getParentDirectory().createDirectory() && target.replaceWithText("<Preset/>"));
        }
        auto t = makeProcessor();
        EXPECT_TRUE(t->needsFactoryPresetInstall());
        // Without a record, an earlier user is one of the version before
        // this one's set (offered the update), anyone else has none at all
        // (offered the whole set).
        EXPECT_EQ(t->getInstalledFactoryPresetVersion().isNotEmpty(), c.earlier);
    }
}

// What the plug-in writes it reads back: settings that another writer (a
// newer build, a hand) made large are rewritten in a form the next
// instance still takes, keeping the installer's record, the author and the
// maps, and what else the limit leaves room for.
TEST(TavinorSettings, ALargeSettingsFileStaysReadable)
{
    const auto limit = XmlInput::getMaxBytes(XmlInput::Kind::userSettings);
    const juce::String midiMap = "/maps/Mine.tnccmap";
    const juce::String hostMap = "/maps/Mine.tnhpmap";
    const auto settingsWith = [&](const juce::String& author, const juce::String& unknown) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UserSettings application=\"Tavinor\"><Presets><Author name=\""
               + author + "\"/><Installed version=\"1.1\"/></Presets><MidiControlMap default=\"no\" file=\"" + midiMap
               + "\"/><HostParametersMap default=\"no\" file=\"" + hostMap + "\"/>" + unknown + "</UserSettings>\n";
    };
    // An element of many children, written compactly, filling the file to size.
    const auto manyChildren = [&](const juce::String& child, size_t size) {
        const auto frame = settingsWith("Alice", "<Unknown></Unknown>").getNumBytesAsUTF8();
        const juce::String attribute = " p=\"\"";
        const auto count = (size - frame - attribute.length()) / child.getNumBytesAsUTF8();
        const auto pad = size - frame - attribute.length() - count * child.getNumBytesAsUTF8();
        return "<Unknown p=\"" + juce::String::repeatedString("x", (int) pad) + "\">"
               + juce::String::repeatedString(child, (int) count) + "</Unknown>";
    };
    const juce::String accents = juce::String::repeatedString(juce::String::fromUTF8("\xc3\xa9"), 300000);

    enum Unknown
    {
        kept,     // written compactly, all of it
        dropped,  // written without what the plug-in does not know
        unchanged // nothing it could write would be read: the file stays as it was
    };
    const struct
    {
        const char* what;
        juce::String text;
        Unknown unknown;
    } cases[] = {
        { "an element of 99,000 children, written compactly",
          settingsWith("Alice", "<Unknown>" + juce::String::repeatedString("<i n=\"1\"/>", 99000) + "</Unknown>"),
          kept },
        { "a file just under the limit", settingsWith("Alice", manyChildren("<item name=\"12345\"/>", limit - 1)),
          kept },
        { "text that grows when written", settingsWith("Alice", "<Notes text=\"" + accents + "\"/>"), dropped },
        { "an author's name that grows when written", settingsWith(accents, {}), unchanged },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const TestHelpers::TempFolder home;
        const ScopedConfigHome scope(home.get());
        putOnePreset(home.get());
        const auto file = userFolder(home.get()).getChildFile("Tavinor.ini");
        ASSERT_TRUE(file.replaceWithText(c.text, false, false, nullptr));
        const auto size = file.getSize();
        ASSERT_LE(size, (juce::int64) limit);
        ASSERT_NE(XmlInput::readFile(file, XmlInput::Kind::userSettings), nullptr);
        std::cout << c.what << ": " << size << " bytes";

        for (int instance = 1; instance <= 2; ++instance)
        {
            SCOPED_TRACE("after instance " + std::to_string(instance));
            makeProcessor().reset();
            XmlInput::Verdict verdict {};
            const auto root = XmlInput::readFile(file, XmlInput::Kind::userSettings, &verdict);
            ASSERT_NE(root, nullptr) << (int) verdict << ", " << file.getSize() << " bytes";
            EXPECT_FALSE(file.getSiblingFile("Tavinor.ini.unreadable").exists());
            std::cout << (instance == 1 ? ", written as " : ", then ") << file.getSize();

            const auto written = readSettings(home.get());
            EXPECT_EQ(written.installed, "1.1");
            EXPECT_EQ(written.author, c.unknown == unchanged ? accents : juce::String("Alice"));
            const auto* midi = findChildTagged(*root, "MidiControlMap");
            const auto* host = findChildTagged(*root, "HostParametersMap");
            ASSERT_TRUE(midi != nullptr && host != nullptr);
            EXPECT_EQ(midi->getStringAttribute("file"), midiMap);
            EXPECT_EQ(host->getStringAttribute("file"), hostMap);
            const bool hasUnknown = findChildTagged(*root, "Unknown") != nullptr || findChildTagged(*root, "Notes") != nullptr;
            EXPECT_EQ(hasUnknown, c.unknown == kept);
            if (c.unknown == unchanged)
                EXPECT_EQ(file.loadFileAsString(), c.text);
        }
        std::cout << " bytes\n";

        auto later = makeProcessor();
        EXPECT_EQ(later->getInstalledFactoryPresetVersion(), "1.1");
        EXPECT_FALSE(later->needsFactoryPresetInstall());
        EXPECT_EQ(later->getMidiControl().getDefaultMapFile(), midiMap);
        EXPECT_EQ(later->getDefaultHostParametersMapFile(), hostMap);
    }
}

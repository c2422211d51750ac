// Links in the user's preset folder that loop back, fan out or lead out of
// it: the plug-in is still made (a host scanning plug-ins waits for that),
// its editor opens, and the preset browser shows each real folder once.
// Each case runs in a process of its own, watched: a walk that never ends
// fails the case instead of holding up the tests.

#include "EditorTestSupport.h"

#include "editor/InstallFactoryPresetsWindow.h"
#include "editor/PresetBrowser.h"
#include "editor/TavinorEditor.h"
#include "editor/TavinorPresetBrowser.h"

#include <chrono>
#include <cstdlib>

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

struct Case
{
    const char* what;
    // Below the preset folder: "a/" a folder, "a/b.tnprst" a preset, "a/l -> b"
    // a link to b ("." the preset folder itself, "@" the folder outside it,
    // "@/..." a path below that one).
    juce::StringArray tree;
    const char* installed; // what the plug-in makes of it: "" no presets, "1.0" those of an earlier version
    juce::StringArray rootRows, catRows; // the browser's rows: the preset folder's, then Cat's
};

const juce::String kPreset = "<Preset><param name=\"Mix\" value=\"1\"/></Preset>";

const Case kCases[] = {
    { "two links of a folder back to itself, no preset", { "Cat/x -> Cat", "Cat/y -> Cat" }, "", { "Cat" }, {} },
    { "the same, with a preset at the top", { "Cat/x -> Cat", "Cat/y -> Cat", "Top.tnprst" }, "1.0",
      { "Cat", "Top" }, {} },
    { "links back to every level from every level, no preset",
      { "Cat/a -> Cat", "Cat/b -> Cat", "Cat/c -> .", "Cat/Sub/a -> Cat", "Cat/Sub/b -> Cat/Sub", "Cat/Sub/c -> .",
        "Cat/Sub/Deep/a -> Cat/Sub", "Cat/Sub/Deep/b -> Cat", "Cat/Sub/Deep/c -> ." },
      "", { "Cat" }, { "Sub" } },
    { "a link out of the folder, to a folder whose links lead back, no preset",
      { "Cat/x -> Cat", "Cat/Out -> @", "@/back -> .", "@/again -> @", "@/cat -> Cat" }, "", { "Cat" }, { "Out" } },
    { "the same, with a preset out there", { "Cat/x -> Cat", "Cat/Out -> @", "@/back -> .", "@/Far.tnprst" }, "1.0",
      { "Cat" }, { "Out" } },
};

// Far beyond the moment it takes: only a walk that never ends meets it.
constexpr int kWatchdogMs = 60000;
constexpr const char* kCaseVariable = "TAVINOR_LINK_CASE";
constexpr const char* kConfigVariable = "TAVINOR_LINK_CONFIG";

juce::File presetFolderIn(const juce::File& configHome)
{
    return configHome.getChildFile("Orv Group/Tavinor/Presets");
}

void build(const juce::File& presets, const juce::File& outside, const juce::StringArray& tree)
{
    const auto place = [&](const juce::String& path) {
        return path == "@" ? outside : path.startsWith("@/") ? outside.getChildFile(path.substring(2))
                                                             : presets.getChildFile(path);
    };
    for (const auto& line : tree)
    {
        if (line.contains(" -> "))
        {
            const auto at = place(line.upToFirstOccurrenceOf(" -> ", false, false));
            ASSERT_TRUE(at.getParentDirectory().createDirectory().wasOk());
            ASSERT_TRUE(place(line.fromFirstOccurrenceOf(" -> ", false, false)).createSymbolicLink(at, false)) << line;
        }
        else
        {
            const auto f = place(line);
            ASSERT_TRUE(f.getParentDirectory().createDirectory().wasOk());
            ASSERT_TRUE(f.replaceWithText(kPreset)) << line;
        }
    }
}

juce::StringArray rowsOf(PresetBrowser::PresetDirectoryColumn& column)
{
    juce::StringArray rows;
    for (int row = 0; row < column.getNumRows(); ++row)
        rows.add(column.getRowText(row));
    return rows;
}
} // namespace

TEST(PresetFolderLinks, ThePlugInIsMadeAndItsBrowserShowsEachFolderOnce)
{
    int index = 0;
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.what);
        const TestHelpers::TempFolder home;
        const auto outside = home.getChild("outside");
        ASSERT_TRUE(presetFolderIn(home.get()).createDirectory().wasOk());
        ASSERT_TRUE(outside.createDirectory().wasOk());
        build(presetFolderIn(home.get()), outside, c.tree);
        // Settings without the installer's record, as an earlier version left them.
        ASSERT_TRUE(presetFolderIn(home.get()).getSiblingFile("Tavinor.ini").replaceWithText(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UserSettings application=\"Tavinor\"/>\n"));

        setenv(kCaseVariable, juce::String(index++).toRawUTF8(), 1);
        setenv(kConfigVariable, home.get().getFullPathName().toRawUTF8(), 1);
        const auto self = juce::File::getSpecialLocation(juce::File::currentExecutableFile);
        juce::ChildProcess child;
        ASSERT_TRUE(child.start(juce::StringArray { self.getFullPathName(), "--gtest_also_run_disabled_tests",
                                                    "--gtest_filter=PresetFolderLinksChild.DISABLED_Case" }));
        const bool ended = child.waitForProcessToFinish(kWatchdogMs);
        if (! ended)
            child.kill();
        const auto output = child.readAllProcessOutput();
        EXPECT_TRUE(ended) << "not made within " << kWatchdogMs << " ms";
        if (ended)
            EXPECT_EQ(child.getExitCode(), 0u) << output;
        // How long the plug-in took to be made, for people to read.
        std::cout << output.fromFirstOccurrenceOf("[made in ", true, false).upToFirstOccurrenceOf("]", true, false)
                  << "\n";
    }
}

// One case of the test above in a process of its own; does nothing when run
// any other way.
TEST(PresetFolderLinksChild, DISABLED_Case)
{
    const auto index = juce::SystemStats::getEnvironmentVariable(kCaseVariable, {});
    const juce::File home(juce::SystemStats::getEnvironmentVariable(kConfigVariable, {}));
    if (index.isEmpty() || ! juce::File::isAbsolutePath(home.getFullPathName()))
        return;
    const auto& c = kCases[index.getIntValue()];
    setenv("HOME", home.getFullPathName().toRawUTF8(), 1);
    setenv("XDG_CONFIG_HOME", home.getFullPathName().toRawUTF8(), 1);
    DefaultLookAndFeel laf;
    juce::LookAndFeel::setDefaultLookAndFeel(&laf);

    const auto start = std::chrono::steady_clock::now();
    auto processor = makeProcessor();
    const auto made = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::cout << "[made in " << juce::roundToInt(made) << " ms]" << std::endl;
    ASSERT_NE(processor, nullptr);
    EXPECT_EQ(processor->getInstalledFactoryPresetVersion(), juce::String(c.installed));

    // The editor opens (asking again whether to offer the factory presets),
    // then the browser, as the user opens it.
    auto* editor = dynamic_cast<TavinorEditor*>(processor->getGuiRoot());
    ASSERT_NE(editor, nullptr);
    editor->setVisible(true);
    if (auto* installer = editor->getInstallerWindow())
        installer->hide();
    auto* button = editor->findSkinComponent("PresetBrowseButton", true);
    ASSERT_NE(button, nullptr);
    click(*button);
    TestHelpers::pumpMessages();
    auto* window = editor->getPresetBrowser();
    ASSERT_TRUE(window != nullptr && window->isVisible());
    auto& browser = window->getBrowser();

    for (const bool rescanned : { false, true })
    {
        SCOPED_TRACE(rescanned ? "after a rescan" : "as opened");
        if (rescanned)
        {
            click(window->getRescanButton());
            TestHelpers::pumpMessages();
        }
        auto* root = dynamic_cast<PresetBrowser::PresetDirectoryColumn*>(browser.getColumn(0));
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(rowsOf(*root), c.rootRows);

        // Cat, clicked as the user clicks it.
        const int cat = c.rootRows.indexOf("Cat");
        ASSERT_GE(cat, 0);
        root->getList().scrollToEnsureRowIsOnscreen(cat);
        auto& row = *root->getList().getComponentForRowNumber(cat)->getParentComponent();
        mouseEventAt(row, { 30, 10 }, down);
        mouseEventAt(row, { 30, 10 }, up);
        TestHelpers::pumpMessages();
        auto* catColumn = dynamic_cast<PresetBrowser::PresetDirectoryColumn*>(browser.getColumn(1));
        ASSERT_NE(catColumn, nullptr);
        EXPECT_EQ(rowsOf(*catColumn), c.catRows);
    }

    window->hide();
    editor->setVisible(false);
    processor.reset();
    TestHelpers::pumpMessages();
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
}

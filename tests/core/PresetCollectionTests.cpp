#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/IntParameter.h"
#include "core/ParameterManager.h"
#include "core/PresetCollection.h"
#include "core/XmlHelpers.h"

namespace juce
{
// Readable failure messages (internal linkage: other test files may print their own way).
static void PrintTo(const File& f, std::ostream* os)
{
    *os << f.getFullPathName();
}

static void PrintTo(const StringArray& a, std::ostream* os)
{
    *os << "{ " << a.joinIntoString(" | ") << " }";
}
} // namespace juce

namespace
{
const juce::String kExtension = ".tnprst";

struct CountingListener : public PresetCollection::Listener
{
    void presetCollectionChanged(PresetCollection*) override { ++calls; }
    int calls = 0;
};

// Every file and folder below a folder, with each file's text, as one list that
// two states of the disk can be compared by.
juce::StringArray snapshot(const juce::File& folder)
{
    juce::StringArray lines;
    for (const auto& entry : juce::RangedDirectoryIterator(folder, true, "*", juce::File::findFilesAndDirectories))
    {
        const auto f = entry.getFile();
        lines.add(f.getRelativePathFrom(folder) + (f.isDirectory() ? "/" : " = " + f.loadFileAsString()));
    }
    lines.sort(false);
    return lines;
}

struct PresetCollectionFixture : public ::testing::Test
{
    PresetCollectionFixture()
    {
        root = temp.getChild("Presets");
        for (const char* path : { "Pad 10", "Pad 2", "Pad 1", "pad 3", "Bass/Sub", "Bass/Sub 2", "Bass 1/Deep",
                                  "Bass/Wobble/W 2", "Bass/Wobble/W 1" })
            makePreset(path);
        root.getChildFile("notes.txt").replaceWithText("not a preset");
        root.getChildFile("Empty").createDirectory();
        collection.addListener(&listener);
        collection.setRootFolder(root);
        TestHelpers::pumpMessages();
        listener.calls = 0;
    }

    ~PresetCollectionFixture() override { collection.removeListener(&listener); }

    juce::File makePreset(const juce::String& path)
    {
        const auto f = root.getChildFile(path + kExtension);
        f.getParentDirectory().createDirectory();
        f.replaceWithText("<Preset><param name=\"Mix\" value=\"" + juce::String(path.length()) + "\"/></Preset>");
        return f;
    }

    juce::File preset(const juce::String& path) const { return root.getChildFile(path + kExtension); }

    juce::StringArray listedFiles() const
    {
        juce::StringArray names;
        for (int i = 0; i < collection.getNumPresets(); ++i)
            names.add(collection.getPresetFile(i).getRelativePathFrom(root));
        return names;
    }

    juce::StringArray childNames(const juce::File& folder) const
    {
        juce::StringArray names;
        if (auto* node = collection.getNodeForFolder(folder))
            for (int i = 0; i < node->getNumChildren(); ++i)
                names.add(node->getChildFolder(i).getFileName());
        return names;
    }

    // One listener call for everything done since the last check.
    int notifications()
    {
        TestHelpers::pumpMessages();
        const int n = listener.calls;
        listener.calls = 0;
        return n;
    }

    TestHelpers::TempFolder temp;
    juce::File root;
    PresetCollection collection { "Presets", kExtension };
    CountingListener listener;
};
} // namespace

TEST_F(PresetCollectionFixture, ScanBuildsTheTreeInNaturalOrder)
{
    const juce::StringArray expected = { "Pad 1.tnprst", "Pad 2.tnprst", "Pad 10.tnprst", "pad 3.tnprst",
                                         "Bass/Sub.tnprst", "Bass/Sub 2.tnprst", "Bass/Wobble/W 1.tnprst",
                                         "Bass/Wobble/W 2.tnprst", "Bass 1/Deep.tnprst" };
    EXPECT_EQ(listedFiles(), expected);
    EXPECT_EQ(childNames(root), juce::StringArray({ "Bass", "Bass 1", "Empty" }));
    EXPECT_EQ(childNames(root.getChildFile("Bass")), juce::StringArray({ "Wobble" }));

    auto* bass = collection.getNodeForFolder(root.getChildFile("Bass"));
    ASSERT_NE(bass, nullptr);
    EXPECT_EQ(bass->getRowOfItem(preset("Bass/Sub 2")), 2);
    EXPECT_EQ(bass->getRowOfItem(preset("Pad 1")), -1);
    EXPECT_EQ(bass->getItem(5), juce::File());
    EXPECT_EQ(bass->getChild(1), nullptr);
    EXPECT_EQ(collection.getNodeForFolder(root), collection.getRootNode());
    EXPECT_EQ(collection.getNodeForFolder(temp.get()), nullptr);
    EXPECT_TRUE(collection.containsFolder(root));
    EXPECT_FALSE(collection.containsFolder(temp.get()));
    EXPECT_EQ(collection.getDisplayPath(preset("Bass/Sub")), "Presets/Bass/Sub.tnprst");
}

TEST_F(PresetCollectionFixture, PresetsAreLoadedOnceAndBrokenOnesRefused)
{
    ParameterManager manager;
    manager.addParameter(std::make_unique<IntParameter>(7, "Mix", 0, 100, 0));

    auto* pad = collection.getPresetForFile(preset("Pad 2"), &manager);
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->getName(), "Pad 2");
    ASSERT_EQ(pad->getNumEntries(), 1);
    EXPECT_EQ(pad->getEntry(0)->text, "5");
    EXPECT_EQ(collection.getPreset(1, &manager), pad);
    EXPECT_EQ(collection.getPreset(-1, &manager), nullptr);
    EXPECT_EQ(collection.getPreset(collection.getNumPresets(), &manager), nullptr);

    const juce::String brokenText = "<Preset><param";
    preset("Pad 10").replaceWithText(brokenText);
    preset("Pad 1").replaceWithText("<Other/>");
    EXPECT_EQ(collection.getPresetForFile(preset("Pad 10"), &manager), nullptr);
    EXPECT_EQ(collection.getPresetForFile(preset("Pad 1"), &manager), nullptr);
    EXPECT_EQ(preset("Pad 10").loadFileAsString(), brokenText);
    EXPECT_EQ(preset("Pad 1").loadFileAsString(), "<Other/>");
}

TEST_F(PresetCollectionFixture, CreateFolderNumbersTakenNames)
{
    const auto first = collection.createFolder(root);
    const auto second = collection.createFolder(root);
    EXPECT_EQ(first, root.getChildFile("New folder"));
    EXPECT_EQ(second, root.getChildFile("New folder (2)"));
    EXPECT_TRUE(second.isDirectory());
    EXPECT_EQ(childNames(root), juce::StringArray({ "Bass", "Bass 1", "Empty", "New folder", "New folder (2)" }));
    EXPECT_EQ(notifications(), 1);

    const auto before = snapshot(temp.get());
    EXPECT_EQ(collection.createFolder(temp.get()), juce::File());
    EXPECT_EQ(collection.createFolder(preset("Pad 1")), juce::File());
    EXPECT_EQ(collection.createFolder(root.getChildFile("missing")), juce::File());
    EXPECT_EQ(snapshot(temp.get()), before);
}

TEST_F(PresetCollectionFixture, DuplicateUsesBracketedNumbers)
{
    const auto copy = collection.duplicatePreset(preset("Bass/Sub"));
    EXPECT_EQ(copy, preset("Bass/Sub (2)"));
    EXPECT_EQ(copy.loadFileAsString(), preset("Bass/Sub").loadFileAsString());
    EXPECT_EQ(collection.duplicatePreset(preset("Bass/Sub")), preset("Bass/Sub (3)"));
    EXPECT_EQ(collection.duplicatePreset(copy), preset("Bass/Sub (4)"));
    EXPECT_EQ(collection.getNodeForFolder(root.getChildFile("Bass"))->getNumItems(), 5);
    EXPECT_EQ(root.getChildFile("Bass").getNumberOfChildFiles(juce::File::findFiles), 5) << "no temporary file left";
    EXPECT_EQ(notifications(), 1);

    const auto outside = temp.getChild("Outside.tnprst");
    outside.replaceWithText("<Preset/>");
    const auto before = snapshot(temp.get());
    EXPECT_EQ(collection.duplicatePreset(outside), juce::File());
    EXPECT_EQ(collection.duplicatePreset(root.getChildFile("notes.txt")), juce::File());
    EXPECT_EQ(collection.duplicatePreset(preset("Missing")), juce::File());
    EXPECT_EQ(snapshot(temp.get()), before);
}

TEST_F(PresetCollectionFixture, RenamesAndTheirRefusals)
{
    const auto renamed = collection.renamePreset(preset("Pad 2"), "Pad 20");
    EXPECT_EQ(renamed, preset("Pad 20"));
    EXPECT_FALSE(preset("Pad 2").exists());
    EXPECT_EQ(listedFiles()[2], "Pad 20.tnprst");

    const auto folder = collection.renameFolder(root.getChildFile("Bass"), "Acid");
    EXPECT_EQ(folder, root.getChildFile("Acid"));
    EXPECT_EQ(childNames(root), juce::StringArray({ "Acid", "Bass 1", "Empty" }));
    EXPECT_EQ(childNames(folder), juce::StringArray({ "Wobble" }));
    EXPECT_TRUE(listedFiles().contains("Acid/Wobble/W 1.tnprst"));
    EXPECT_EQ(notifications(), 1);

    struct Refusal
    {
        juce::File item;
        juce::String newName;
        bool folder;
    };
    const Refusal refusals[] = {
        { preset("Pad 1"), "Pad 10", false }, // the name is taken
        { preset("Pad 1"), "Pad 1", false },
        { preset("Pad 1"), "Empty", false },  // taken by a folder named "Empty.tnprst"
        { preset("Pad 1"), "../Escaped", false },
        { preset("Pad 1"), "", false },
        { root.getChildFile("notes.txt"), "Notes", false },
        { root.getChildFile("Acid"), "Bass 1", true }, // the name is taken
        { root.getChildFile("Acid"), "Pad 1.tnprst", true }, // taken by a file
        { root, "Other", true },                       // the root itself
        { temp.get(), "Other", true },
        { root.getChildFile("Acid"), "a/b", true },
    };
    root.getChildFile("Empty" + kExtension).createDirectory(); // a folder that looks like a preset
    const auto withDecoy = snapshot(temp.get());
    for (const auto& r : refusals)
    {
        SCOPED_TRACE(r.item.getFullPathName() + " -> " + r.newName);
        const auto result = r.folder ? collection.renameFolder(r.item, r.newName) : collection.renamePreset(r.item, r.newName);
        EXPECT_EQ(result, juce::File());
        EXPECT_EQ(snapshot(temp.get()), withDecoy);
    }
    EXPECT_EQ(notifications(), 0);
}

TEST_F(PresetCollectionFixture, MovesAndTheirRefusals)
{
    const auto bass = root.getChildFile("Bass");
    const auto wobble = bass.getChildFile("Wobble");
    makePreset("Bass 1/Sub"); // same name as Bass/Sub
    root.getChildFile("Bass 1/Pad 1" + kExtension).createDirectory(); // a folder with a preset's name
    collection.rescan();
    notifications();

    const auto before = snapshot(temp.get());
    EXPECT_FALSE(collection.moveItems({ bass }, wobble));                 // into its own sub-folder
    EXPECT_FALSE(collection.moveItems({ bass }, bass));                   // into itself
    EXPECT_FALSE(collection.moveItems({ wobble }, bass));                 // already there
    EXPECT_FALSE(collection.moveItems({ preset("Bass/Sub") }, root.getChildFile("Bass 1"))); // same-named preset
    EXPECT_FALSE(collection.moveItems({ preset("Pad 1") }, root.getChildFile("Bass 1"))); // a folder of that name
    EXPECT_FALSE(collection.moveItems({ preset("Pad 1") }, temp.get()));  // out of the collection
    EXPECT_FALSE(collection.moveItems({ preset("Pad 1") }, root));        // already there
    EXPECT_EQ(snapshot(temp.get()), before);
    EXPECT_EQ(notifications(), 1);

    // A mixed batch: the refused item stays, the others move.
    EXPECT_FALSE(collection.moveItems({ preset("Pad 2"), preset("Bass/Sub"), wobble }, root.getChildFile("Bass 1")));
    EXPECT_TRUE(root.getChildFile("Bass 1/Pad 2" + kExtension).existsAsFile());
    EXPECT_TRUE(root.getChildFile("Bass 1/Wobble/W 1" + kExtension).existsAsFile());
    EXPECT_TRUE(preset("Bass/Sub").existsAsFile());
    EXPECT_EQ(childNames(root.getChildFile("Bass 1")), juce::StringArray({ "Pad 1.tnprst", "Wobble" }));
    EXPECT_TRUE(listedFiles().contains("Bass 1/Pad 2.tnprst"));
    EXPECT_EQ(notifications(), 1);
}

TEST_F(PresetCollectionFixture, DeleteMovesToTheTrash)
{
    const auto outside = temp.getChild("Outside.tnprst");
    outside.replaceWithText("<Preset/>");
    const auto before = snapshot(temp.get());
    EXPECT_FALSE(collection.deleteItems({ root, outside, root.getChildFile("notes.txt"), preset("Missing") }));
    EXPECT_EQ(snapshot(temp.get()), before);
    EXPECT_EQ(notifications(), 1);

    const auto padText = preset("Pad 1").loadFileAsString();
    EXPECT_TRUE(collection.deleteItems({ preset("Pad 1"), root.getChildFile("Bass") }));
    EXPECT_FALSE(preset("Pad 1").exists());
    EXPECT_FALSE(root.getChildFile("Bass").exists());
    EXPECT_EQ(listedFiles(), juce::StringArray({ "Pad 2.tnprst", "Pad 10.tnprst", "pad 3.tnprst", "Bass 1/Deep.tnprst" }));
    EXPECT_EQ(notifications(), 1);

    // Nothing is lost: both wait in the trash.
    const juce::File trash("~/.local/share/Trash/files");
    EXPECT_EQ(trash.getChildFile("Pad 1" + kExtension).loadFileAsString(), padText);
    EXPECT_TRUE(trash.getChildFile("Bass/Wobble/W 1" + kExtension).existsAsFile());
}

TEST_F(PresetCollectionFixture, AddFileTakesInNewFolders)
{
    const auto saved = makePreset("Keys/Soft/E Piano");
    makePreset("Keys/Other");
    EXPECT_TRUE(collection.addFile(saved));
    EXPECT_TRUE(collection.addFile(saved));
    EXPECT_TRUE(listedFiles().contains("Keys/Soft/E Piano.tnprst"));
    EXPECT_TRUE(listedFiles().contains("Keys/Other.tnprst"));
    EXPECT_EQ(listedFiles().size(), 11);

    EXPECT_FALSE(collection.addFile(root.getChildFile("notes.txt")));
    EXPECT_FALSE(collection.addFile(temp.getChild("x.tnprst")));
    EXPECT_EQ(notifications(), 1);
}

TEST_F(PresetCollectionFixture, TemporaryFilesOfSavesAreNeverListed)
{
    // What an interrupted save leaves next to the preset it was replacing.
    const auto leftover = getTemporaryFileFor(preset("Pad 1"));
    EXPECT_EQ(leftover.getParentDirectory(), root);
    leftover.replaceWithText("<Preset><param");
    collection.rescan();
    EXPECT_EQ(collection.getNumPresets(), 9);
    EXPECT_FALSE(collection.addFile(leftover));
    EXPECT_EQ(collection.getNumPresets(), 9);
}

TEST_F(PresetCollectionFixture, WorkerRescanRunsOnTheMessageThread)
{
    ParameterManager manager;
    auto* held = collection.getPreset(0, &manager);
    ASSERT_NE(held, nullptr);
    makePreset("Added");

    struct Rescanner : public juce::Thread
    {
        explicit Rescanner(PresetCollection& c) : juce::Thread("rescan"), collection(c) {}
        void run() override { collection.rescan(); }
        PresetCollection& collection;
    } worker(collection);
    worker.startThread();
    ASSERT_TRUE(worker.waitForThreadToExit(5000));

    // Nothing changed under the message thread's feet: the tree and the cached
    // preset are still the old ones until the message loop runs.
    EXPECT_EQ(collection.getNumPresets(), 9);
    EXPECT_EQ(collection.getPreset(0, &manager), held);
    EXPECT_EQ(notifications(), 1);
    EXPECT_EQ(collection.getNumPresets(), 10);
    EXPECT_TRUE(listedFiles().contains("Added.tnprst"));
}

TEST(PresetCategoryNodeTest, KeepsFilesUniqueAndSorted)
{
    PresetCategoryNode node(juce::File("/p"));
    node.addFile(juce::File("/p/b 10.x"), true);
    node.addFile(juce::File("/p/b 9.x"), true);
    node.addFile(juce::File("/p/b 9.x"), true);
    node.addFile(juce::File(), true);
    node.addChild(new PresetCategoryNode(juce::File("/p/v1.5")), false);
    node.addChild(new PresetCategoryNode(juce::File("/p/v1.4")), false);
    node.addChild(nullptr, true);
    node.sort(true);
    EXPECT_EQ(node.getNumItems(), 2);
    EXPECT_EQ(node.getItem(0).getFileName(), "b 9.x");
    EXPECT_EQ(node.getChildFolder(0).getFileName(), "v1.4");
    EXPECT_EQ(node.indexOfChild(juce::File("/p/v1.5")), 1);
    EXPECT_EQ(node.getRowOfItem(juce::File("/p/b 10.x")), 3);
    node.removeChild(node.getChild(0));
    node.removeFile(juce::File("/p/b 9.x"));
    EXPECT_EQ(node.getNumChildren(), 1);
    EXPECT_EQ(node.getItem(0).getFileName(), "b 10.x");
    EXPECT_EQ(node.findChild(juce::File("/p/v1.4")), nullptr);

    // Many at once: the same rules.
    node.addFiles({ juce::File("/p/a 2.x"), juce::File("/p/b 10.x"), juce::File(), juce::File("/p/a 1.x"),
                    juce::File("/p/a 2.x") },
                  true);
    ASSERT_EQ(node.getNumItems(), 3);
    EXPECT_EQ(node.getItem(0).getFileName(), "a 1.x");
    EXPECT_EQ(node.getItem(1).getFileName(), "a 2.x");
    EXPECT_EQ(node.getItem(2).getFileName(), "b 10.x");
}

TEST_F(PresetCollectionFixture, LinkedFoldersAreEnteredOnceHoweverTheyLoop)
{
    // Presets/linked -> ext, ext/a -> ext, ext/b -> ext: followed blindly, the
    // paths linked/a/b/a/... multiply without end.
    const auto ext = temp.getChild("ext");
    ASSERT_TRUE(ext.createDirectory().wasOk());
    ext.getChildFile("Shared" + kExtension).replaceWithText("<Preset><param name=\"Mix\" value=\"1\"/></Preset>");
    ASSERT_TRUE(ext.createSymbolicLink(root.getChildFile("linked"), false));
    ASSERT_TRUE(ext.createSymbolicLink(ext.getChildFile("a"), false));
    ASSERT_TRUE(ext.createSymbolicLink(ext.getChildFile("b"), false));
    ASSERT_TRUE(ext.createSymbolicLink(root.getChildFile("zz second link"), false));
    ASSERT_TRUE(root.createSymbolicLink(root.getChildFile("Bass/up"), false));

    collection.rescan();
    EXPECT_EQ(listedFiles(), juce::StringArray({ "Pad 1.tnprst", "Pad 2.tnprst", "Pad 10.tnprst", "pad 3.tnprst",
                                                 "Bass/Sub.tnprst", "Bass/Sub 2.tnprst", "Bass/Wobble/W 1.tnprst",
                                                 "Bass/Wobble/W 2.tnprst", "Bass 1/Deep.tnprst",
                                                 "linked/Shared.tnprst" }));
    EXPECT_EQ(childNames(root), juce::StringArray({ "Bass", "Bass 1", "Empty", "linked" }));
    EXPECT_EQ(childNames(root.getChildFile("linked")), juce::StringArray());
    EXPECT_EQ(childNames(root.getChildFile("Bass")), juce::StringArray({ "Wobble" }));
}

TEST_F(PresetCollectionFixture, AFileThatWentWithItsFolderCountsAsDone)
{
    const auto wobble = root.getChildFile("Bass/Wobble");
    const auto bass1 = root.getChildFile("Bass 1");
    EXPECT_TRUE(collection.moveItems({ wobble, preset("Bass/Wobble/W 1") }, bass1));
    EXPECT_TRUE(preset("Bass 1/Wobble/W 1").existsAsFile());
    EXPECT_FALSE(wobble.exists());
    EXPECT_EQ(notifications(), 1);

    EXPECT_TRUE(collection.deleteItems({ bass1, preset("Bass 1/Deep"), preset("Bass 1/Wobble/W 2") }));
    EXPECT_FALSE(bass1.exists());
    EXPECT_FALSE(listedFiles().contains("Bass 1/Deep.tnprst"));

    // Only what went with a folder of the same request counts.
    EXPECT_FALSE(collection.deleteItems({ root.getChildFile("Bass"), preset("Bass 1/Deep") }));
    EXPECT_FALSE(root.getChildFile("Bass").exists());
}

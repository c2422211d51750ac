#include <gtest/gtest.h>

#include "TestHelpers.h"

#include <juce_core/juce_core.h>

// The installer unpacks these archives below the user's data folder without
// overwriting, and counts its progress per entry; the presets must land in the
// "Presets" folder that the preset collection scans.

namespace
{
// The archives are built next to the tests in the same build tree.
juce::File archive(const juce::String& kind)
{
    return TestHelpers::buildFolder()
        .getChildFile("tools/factory-presets")
        .getChildFile("Tavinor Factory Presets v1.1 - " + kind + ".zip");
}

juce::StringArray entryNames(juce::ZipFile& zip)
{
    juce::StringArray names;
    for (int i = 0; i < zip.getNumEntries(); ++i)
        names.add(zip.getEntry(i)->filename);
    return names;
}
} // namespace

TEST(FactoryPresetArchive, FullAndUpdateHoldPresetsBelowThePresetFolder)
{
    const auto full = archive("full");
    const auto update = archive("update");
    if (! full.existsAsFile() || ! update.existsAsFile())
        GTEST_SKIP() << "archives not built: " << full.getFullPathName();

    juce::ZipFile fullZip(full);
    juce::ZipFile updateZip(update);
    const auto fullNames = entryNames(fullZip);
    const auto updateNames = entryNames(updateZip);

    EXPECT_GE(fullNames.size(), 30);
    EXPECT_GE(updateNames.size(), 1);
    EXPECT_LT(updateNames.size(), fullNames.size());

    juce::StringArray categories;
    for (const auto& name : fullNames)
    {
        // "Presets/<Category>/<Name>.tnprst": one folder level, no folder entries.
        const auto parts = juce::StringArray::fromTokens(name, "/", "");
        ASSERT_EQ(parts.size(), 3) << name;
        EXPECT_EQ(parts[0], "Presets") << name;
        EXPECT_TRUE(parts[2].endsWith(".tnprst")) << name;
        categories.addIfNotAlreadyThere(parts[1]);
    }
    EXPECT_GE(categories.size(), 4);
    for (const auto& name : updateNames)
        EXPECT_TRUE(fullNames.contains(name)) << name;
}

TEST(FactoryPresetArchive, UnpacksIntoTheUserFolderWithoutTouchingExistingFiles)
{
    const auto full = archive("full");
    if (! full.existsAsFile())
        GTEST_SKIP() << "archive not built: " << full.getFullPathName();

    TestHelpers::TempFolder userFolder;
    juce::ZipFile zip(full);
    ASSERT_GT(zip.getNumEntries(), 0);
    const juce::String firstName = zip.getEntry(0)->filename;
    const auto existing = userFolder.get().getChildFile(firstName);
    ASSERT_TRUE(existing.create().wasOk());
    ASSERT_TRUE(existing.replaceWithText("mine"));

    for (int i = 0; i < zip.getNumEntries(); ++i)
        zip.uncompressEntry(i, userFolder.get(), false);

    EXPECT_EQ(existing.loadFileAsString(), "mine");
    const auto presets = userFolder.get().getChildFile("Presets")
                             .findChildFiles(juce::File::findFiles, true, "*.tnprst");
    EXPECT_EQ(presets.size(), zip.getNumEntries());
    for (const auto& f : presets)
    {
        if (f == existing)
            continue;
        const auto xml = juce::parseXML(f);
        ASSERT_NE(xml, nullptr) << f.getFullPathName();
        EXPECT_EQ(xml->getTagName(), "Preset");
    }
}

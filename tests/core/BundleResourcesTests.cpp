#include <gtest/gtest.h>

#include "core/BundleResources.h"

#include <BinaryData.h>
#include <atomic>
#include <thread>
#include <vector>

TEST(BundleResources, EveryEmbeddedFileLoadsByItsName)
{
    ASSERT_GT(BinaryData::namedResourceListSize, 0);
    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
    {
        const juce::String name = BinaryData::originalFilenames[i];
        int size = 0;
        const char* data = BinaryData::getNamedResource(BinaryData::namedResourceList[i], size);

        const auto block = loadBundleResource(name);
        if (! name.containsChar('.'))
            continue;
        ASSERT_NE(block, nullptr) << name;
        EXPECT_EQ(block->getSize(), (size_t) size) << name;
        EXPECT_EQ(std::memcmp(block->getData(), data, (size_t) size), 0) << name;
        EXPECT_EQ(loadBundleResourceAsString(name), juce::String::fromUTF8(data, size)) << name;
    }
}

TEST(BundleResources, MissingResourcesGiveNothing)
{
    for (const char* name : { "no-such-file.xml", "", ".", "parameters", "xml" })
    {
        EXPECT_EQ(loadBundleResource(name), nullptr) << name;
        EXPECT_EQ(loadBundleResourceAsString(name), "") << name;
        EXPECT_FALSE(loadBundleResourceAsImage(name).isValid()) << name;
    }
}

TEST(BundleResources, WildcardPattern)
{
    EXPECT_EQ(makeWildcardPattern(".tnhpmap"), "*.tnhpmap");
    EXPECT_EQ(makeWildcardPattern(".tnccmap"), "*.tnccmap");
    EXPECT_EQ(makeWildcardPattern(""), "*");
}

// Generated files (the skin and the widget pictures) come from one embedded
// archive; a hand-written resource of the same name would hide one silently.
TEST(BundleResources, GeneratedFilesAreFoundAndNoneIsHiddenByAHandWrittenOne)
{
    int size = 0;
    const char* data = nullptr;
    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
        if (juce::String(BinaryData::originalFilenames[i]) == "GeneratedResources.zip")
            data = BinaryData::getNamedResource(BinaryData::namedResourceList[i], size);
    ASSERT_NE(data, nullptr);
    juce::ZipFile archive(new juce::MemoryInputStream(data, (size_t) size, false), true);
    ASSERT_GT(archive.getNumEntries(), 0);

    juce::StringArray handWritten;
    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
        handWritten.add(BinaryData::originalFilenames[i]);

    for (int i = 0; i < archive.getNumEntries(); ++i)
    {
        const auto name = archive.getEntry(i)->filename;
        EXPECT_FALSE(handWritten.contains(name)) << name;
        const auto block = loadBundleResource(name);
        ASSERT_NE(block, nullptr) << name;
        EXPECT_EQ((juce::int64) block->getSize(), archive.getEntry(i)->uncompressedSize) << name;
    }
    EXPECT_TRUE(loadBundleResourceAsString("skin.xml").startsWith("<?xml"));
    EXPECT_TRUE(loadBundleResourceAsImage("PluginLogo.png").isValid());
}

// Editors of several plug-in instances may load their pictures at once.
TEST(BundleResources, GeneratedFilesLoadTheSameFromManyThreads)
{
    const juce::StringArray names { "skin.xml", "PluginLogo.png", "OrvLogo.png", "MainPanel.png" };
    std::vector<juce::MemoryBlock> expected;
    for (const auto& name : names)
        expected.push_back(*loadBundleResource(name));

    std::atomic<int> mismatches { 0 };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < 25; ++round)
                for (int i = 0; i < names.size(); ++i)
                {
                    const auto block = loadBundleResource(names[i]);
                    if (block == nullptr || *block != expected[(size_t) i])
                        ++mismatches;
                }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(mismatches.load(), 0);
}

#include <gtest/gtest.h>

#include "core/BundleResources.h"

#include <BinaryData.h>

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

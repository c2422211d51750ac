#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/XmlHelpers.h"

TEST(XmlHelpers, TagNamesMatchIgnoringCase)
{
    const juce::XmlElement e("MidiCCMap");
    EXPECT_TRUE(tagNameIs(e, "midiccmap"));
    EXPECT_TRUE(tagNameIs(e, "MIDICCMAP"));
    EXPECT_TRUE(tagNameIs(e, "MidiCCMap"));
    EXPECT_FALSE(tagNameIs(e, "MidiCCMap2"));
    EXPECT_FALSE(tagNameIs(e, ""));
}

TEST(XmlHelpers, WritesUtf8DocumentAndReplacesTheOldFile)
{
    TestHelpers::TempFolder folder;
    const auto file = folder.getChild("map.tnccmap");
    ASSERT_TRUE(file.replaceWithText("old contents"));

    juce::XmlElement root("Root");
    root.setAttribute("name", juce::String::fromUTF8("Caf\xc3\xa9"));
    root.createNewChildElement("child")->setAttribute("a", 1);
    ASSERT_TRUE(writeXmlFile(root, file));

    EXPECT_EQ(TestHelpers::readFile(file),
              juce::String::fromUTF8("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n"
                                     "<Root name=\"Caf&#233;\">\r\n  <child a=\"1\"/>\r\n</Root>\r\n"));
    const auto back = juce::parseXML(file);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->getStringAttribute("name"), juce::String::fromUTF8("Caf\xc3\xa9"));
    EXPECT_EQ(folder.get().getNumberOfChildFiles(juce::File::findFilesAndDirectories), 1)
        << "no temporary file is left behind";
}

TEST(XmlHelpers, FailedWriteReportsFalse)
{
    TestHelpers::TempFolder folder;
    const auto file = folder.getChild("missing folder").getChildFile("map.tnccmap");
    const juce::XmlElement root("Root");
    EXPECT_FALSE(writeXmlFile(root, file));
    EXPECT_FALSE(file.exists());
}
